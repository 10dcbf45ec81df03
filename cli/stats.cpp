#include "cli/stats.h"

#include <cmath>

#include "core/numtext.h"

namespace pelmora::cli {

std::optional<double> RunningStats::mean() const {
    if (count_ == 0) return std::nullopt;
    return static_cast<double>(mean_);
}

std::optional<double> RunningStats::variance() const {
    if (count_ < 2) return std::nullopt;
    const auto v = static_cast<double>(m2_ / static_cast<long double>(count_ - 1));
    if (!std::isfinite(v)) return std::nullopt;  // beyond the double range, as the law's moments
    return v;
}

std::optional<double> RunningStats::min() const {
    if (count_ == 0) return std::nullopt;
    return min_;
}

std::optional<double> RunningStats::max() const {
    if (count_ == 0) return std::nullopt;
    return max_;
}

namespace {

std::string Text(std::optional<double> x) { return x ? FormatGeneral(*x, std::string_view(".")) : std::string("none"); }

std::string Line(const char* name, const std::string& value) {
    std::string line = name;
    line.append(10 - line.size(), ' ');
    return line + value;
}

std::string Line(const char* name, std::optional<double> sample, std::optional<double> expected) {
    std::string line = Line(name, Text(sample));
    if (line.size() < 30) line.append(30 - line.size(), ' ');
    return line + "  (expected " + Text(expected) + ")";
}

}  // namespace

std::string StatsReport(const RunningStats& stats, const Moments& expected, const Quartiles& sample,
                        const Quartiles& law) {
    std::string report;
    report += Line("count", std::to_string(stats.count())) + "\n";
    report += Line("mean", stats.mean(), expected.mean) + "\n";
    report += Line("variance", stats.variance(), expected.variance) + "\n";
    report += Line("minimum", Text(stats.min())) + "\n";
    report += Line("1st qu.", sample.q1, law.q1) + "\n";
    report += Line("median", sample.median, law.median) + "\n";
    report += Line("3rd qu.", sample.q3, law.q3) + "\n";
    report += Line("maximum", Text(stats.max())) + "\n";
    return report;
}

}  // namespace pelmora::cli
