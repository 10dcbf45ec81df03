#pragma once
// Running sample statistics of the values pelmora-gen writes, in constant
// memory (Welford's method), and the --stats report beside the moments the
// row's construction implies.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "cli/fit.h"
#include "core/moments.h"

namespace pelmora::cli {

class RunningStats {
public:
    void Add(double x) {
        ++count_;
        long double delta = x - mean_;
        mean_ += delta / static_cast<long double>(count_);
        m2_ += delta * (x - mean_);
        if (x < min_) min_ = x;
        if (x > max_) max_ = x;
    }

    uint64_t count() const { return count_; }
    std::optional<double> mean() const;
    // With the n - 1 divisor; needs two values, and nothing where it
    // leaves the double range.
    std::optional<double> variance() const;
    std::optional<double> min() const;
    std::optional<double> max() const;

private:
    uint64_t count_ = 0;
    // Extended precision keeps the last printed digit right over long runs.
    long double mean_ = 0;
    long double m2_ = 0;
    double min_ = std::numeric_limits<double>::infinity();
    double max_ = -std::numeric_limits<double>::infinity();
};

// The lines --stats prints, each ended by a line break, with the quartiles
// and the median beside the law's, as R's summary() shows them:
//   count     N
//   mean      <sample>  (expected <theory>)
//   variance  <sample>  (expected <theory>)
//   minimum   <value>
//   1st qu.   <sample>  (expected <law's>)
//   median    <sample>  (expected <law's>)
//   3rd qu.   <sample>  (expected <law's>)
//   maximum   <value>
// Numbers are in the general format; "none" stands for what does not exist.
std::string StatsReport(const RunningStats& stats, const Moments& expected, const Quartiles& sample = {},
                        const Quartiles& law = {});

}  // namespace pelmora::cli
