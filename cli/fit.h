#pragma once
// What --hist and --stats say about the sample beside the row's law: a
// histogram with the counts the law expects, and a goodness-of-fit test
// (Kolmogorov-Smirnov for a continuous law, chi-square for a discrete one).

#include <cstdint>
#include <string>
#include <vector>

#include "core/law.h"

namespace pelmora::cli {

// The values kept for the test and the histogram: the first kSampleMax of a
// run, so that a run of any length keeps flat memory.
inline constexpr std::size_t kSampleMax = 1 << 20;

struct Fit {
    bool done = false;      // false when the law is unknown or the sample too small
    const char* test = "";  // "Kolmogorov-Smirnov" or "chi-square"
    double statistic = 0;   // D, or X^2
    int degrees = 0;        // chi-square only
    double p = 0;           // the p-value
};

// The test of `sample` (any order) against `law`. A chi-square test pools
// the tails so that every cell expects at least 5 values.
Fit TestFit(std::vector<double> sample, const Law& law);

// P(K > lambda) for the Kolmogorov distribution, the limit law of
// sqrt(n) * D. (Boost.Math of Debian 12 has no Kolmogorov-Smirnov law.)
double KolmogorovTail(double lambda);

// The line --stats and --hist end with: "fit       Kolmogorov-Smirnov D = ...,
// p = ..." or the reason why there is none.
std::string FitLine(const std::vector<double>& sample, const Law& law);

struct Bin {
    double low, high;  // [low, high); for a discrete law the integers low to high
    int64_t observed;
    double expected;   // -1 when the law is unknown
};

// `bins` bins over the sample's range (integers stay whole for a discrete
// law, one bin per value where the range is short enough).
std::vector<Bin> MakeHistogram(const std::vector<double>& sample, const Law& law, int bins);

// The histogram as text `width` columns wide: a line per bin with its lower
// end, a bar of Unicode blocks, the observed and the expected count; then
// the fit line. `total` is the run's count (the sample may be its start).
std::string HistogramText(const std::vector<double>& sample, const Law& law, int bins, int width,
                          int64_t total);

}  // namespace pelmora::cli
