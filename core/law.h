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

    static Law Continuous(std::function<double(double)> f) { return {Kind::Continuous, std::move(f), {}}; }
    static Law Discrete(std::function<double(double)> f) { return {Kind::Discrete, std::move(f), {}}; }
    static Law None(std::string why) { return {Kind::Unknown, {}, std::move(why)}; }
};

}  // namespace pelmora

#include <cmath>

#include <boost/math/distributions/normal.hpp>

namespace pelmora {

// A Boost.Math distribution object as a law (its constructor has already
// checked the parameters and thrown std::domain_error for bad ones).
template <class Distribution>
Law ContinuousOf(Distribution d) {
    return Law::Continuous([d](double x) { return cdf(d, x); });
}
template <class Distribution>
Law DiscreteOf(Distribution d) {
    return Law::Discrete([d](double x) { return x < 0 ? 0.0 : cdf(d, std::floor(x)); });
}

// The constructions that are no textbook law, worked out by hand:
// a E1 / (a E1 + b E2) with E1, E2 exponential with mean 1 is below x
// exactly when E1 < c E2, c = b x / (a (1 - x)), which has probability
// c / (1 + c) = b x / (a (1 - x) + b x).
inline Law BetaRowLaw(double a, double b) {
    if (!(a > 0 && b > 0)) throw std::domain_error("a and b must be positive");
    return Law::Continuous([a, b](double x) { return x <= 0 ? 0.0 : x >= 1 ? 1.0 : b * x / (a * (1 - x) + b * x); });
}
// E1 / E2 is below x with probability x / (1 + x).
inline Law RatioOfExponentialsLaw() {
    return Law::Continuous([](double x) { return x <= 0 ? 0.0 : x / (1 + x); });
}
// 0 with probability 1 - p, else normal: a point mass at 0 in a normal law.
inline Law BernoulliGaussLaw(double p, double mean, double sigma) {
    if (!(p >= 0 && p <= 1)) throw std::domain_error("p must lie in [0, 1]");
    boost::math::normal_distribution<double> normal(mean, sigma);
    return Law::Continuous([p, normal](double x) { return (x >= 0 ? 1 - p : 0.0) + p * cdf(normal, x); });
}
// 1 to n, each with probability 1/n.
inline Law DiscreteUniformLaw(double n) {
    if (!(n >= 1)) throw std::domain_error("n must be at least 1");
    return Law::Discrete([n](double x) { return x < 1 ? 0.0 : x >= n ? 1.0 : std::floor(x) / n; });
}

}  // namespace pelmora
