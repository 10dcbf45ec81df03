#pragma once
// The law of what a row draws, for checking a sample against it: the
// distribution function of the row's construction (not of the textbook law
// its name suggests, where the two differ), or why none is known. The
// functions come from Boost.Math where the construction is a textbook law;
// the few others are written out beside their row.

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

namespace pelmora {

struct Law {
    enum class Kind { Unknown, Continuous, Discrete };
    Kind kind = Kind::Unknown;
    // P(X <= x); for a discrete law X takes integer values only.
    std::function<double(double)> cdf;
    // For Unknown: why there is no distribution function to compare with.
    std::string note;
    // The smallest x with P(X <= x) >= p, for 0 < p < 1, where a formula
    // or Boost.Math gives it; empty where only the cdf is known (pelmora-gen
    // then searches the cdf).
    std::function<double(double)> quantile;

    static Law Continuous(std::function<double(double)> f, std::function<double(double)> q = {}) {
        return {Kind::Continuous, std::move(f), {}, std::move(q)};
    }
    static Law Discrete(std::function<double(double)> f, std::function<double(double)> q = {}) {
        return {Kind::Discrete, std::move(f), {}, std::move(q)};
    }
    static Law None(std::string why) { return {Kind::Unknown, {}, std::move(why), {}}; }
};

}  // namespace pelmora
