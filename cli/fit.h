#pragma once
// What --hist and --stats say about the sample beside the row's law: a
// histogram with the counts the law expects, a goodness-of-fit test
// (Kolmogorov-Smirnov for a continuous law, chi-square for a discrete one),
// and the quartiles of the sample and of the law.

#include <cstdint>
#include <optional>
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
// the tails so that every cell expects at least 5 values. Throws
// std::domain_error when the law's distribution function gives no
// probability (NaN, or outside [0, 1]) at a value of the sample.
Fit TestFit(std::vector<double> sample, const Law& law);

// P(K > lambda) for the Kolmogorov distribution, the limit law of
// sqrt(n) * D. (Boost.Math of Debian 12 has no Kolmogorov-Smirnov law.)
double KolmogorovTail(double lambda);

// The line --stats and --hist end with: "fit       Kolmogorov-Smirnov D = ...,
// p = ...", or "no fit: " and the reason why there is none.
std::string FitLine(const std::vector<double>& sample, const Law& law);

// The quartiles and the median.
struct Quartiles {
    std::optional<double> q1, median, q3;
};

// Of a sample: R's default (type 7), linear between the order statistics.
Quartiles SampleQuartiles(std::vector<double> sample);
// Of a law: its quantile function (Boost.Math), or a search of its cdf;
// nothing where the law is unknown or cannot be evaluated.
Quartiles LawQuartiles(const Law& law);

struct Bin {
    double low, high;  // [low, high); for a discrete law the integers low to high
    int64_t observed;
    double expected;   // -1 when the law is unknown
};

struct Histogram {
    std::vector<Bin> bins;
    double low = 0, high = 0;  // the range the bins cover
    // The values left of the first bin and right of the last, with the
    // counts the law expects there (-1 when unknown). `cut` says whether
    // the range leaves any part of the sample's out, or was chosen.
    bool cut = false;
    int64_t below = 0, above = 0;
    double expectedBelow = -1, expectedAbove = -1;
};

// The range --hist takes by default: the sample's own, unless its tails
// reach far out (the whole range more than three times as wide as the
// central 99%); then the 0.5% and 99.5% quantiles of the sample.
struct HistRange {
    double low, high;
};
HistRange DefaultRange(std::vector<double> sample);

// `bins` bins over `range` (the default range when not given); integers
// stay whole for a discrete law, one bin per value where the range is short
// enough. Bin edges and places are worked out so that a range wider than
// the largest double gives finite bins.
Histogram MakeHistogram(const std::vector<double>& sample, const Law& law, int bins,
                        std::optional<HistRange> range = std::nullopt);

// The histogram as text `width` columns wide: a line per bin with its lower
// end, a bar of Unicode blocks, the observed and the expected count, with
// lines for the values below and above the range; then the fit line.
// `total` is the run's count (the sample may be its start).
std::string HistogramText(const std::vector<double>& sample, const Law& law, int bins, int width, int64_t total,
                          std::optional<HistRange> range = std::nullopt);

}  // namespace pelmora::cli
