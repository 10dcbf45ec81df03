#include "cli/fit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <numbers>

#include <boost/math/special_functions/gamma.hpp>

#include "cli/format.h"

namespace pelmora::cli {
namespace {

using Kind = Law::Kind;

// The integer cells of a discrete law over the sample's range [lo, hi]:
// cell i holds lo + i * width up to the next cell's start; the first cell
// takes the whole left tail and the last the whole right tail of the law.
struct Cells {
    double lo;
    double width;
    int64_t count;
};

Cells IntegerCells(double lo, double hi, int64_t most) {
    double range = hi - lo + 1;
    double width = std::max(1.0, std::ceil(range / static_cast<double>(most)));
    return {lo, width, static_cast<int64_t>(std::ceil(range / width))};
}

std::string Number(double x, int digits) {
    char text[kValueMax];
    return std::string(text, FormatValue(x, digits, text));
}

}  // namespace

double KolmogorovTail(double lambda) {
    if (lambda <= 0) return 1;
    if (lambda < 1.18) {
        // P(K <= lambda) = sqrt(2 pi) / lambda * sum exp(-(2k - 1)^2 pi^2 / (8 lambda^2)),
        // which converges fast for small lambda.
        double sum = 0;
        for (int k = 1; k <= 20; ++k) {
            double j = 2.0 * k - 1;
            sum += std::exp(-j * j * std::numbers::pi * std::numbers::pi / (8 * lambda * lambda));
        }
        return std::clamp(1 - std::sqrt(2 * std::numbers::pi) / lambda * sum, 0.0, 1.0);
    }
    // P(K > lambda) = 2 sum (-1)^(k-1) exp(-2 k^2 lambda^2).
    double sum = 0;
    for (int k = 1; k <= 100; ++k) {
        double term = std::exp(-2.0 * k * k * lambda * lambda);
        sum += (k % 2 == 1 ? term : -term);
        if (term < 1e-17) break;
    }
    return std::clamp(2 * sum, 0.0, 1.0);
}

Fit TestFit(std::vector<double> sample, const Law& law) {
    Fit fit;
    if (law.kind == Kind::Unknown || sample.empty()) return fit;
    std::sort(sample.begin(), sample.end());
    const double n = static_cast<double>(sample.size());
    if (law.kind == Kind::Continuous) {
        // Equal values are taken together, and the law's left limit below
        // each, so that a point mass (Bernoulli-Gauss's 0) counts right.
        double d = 0;
        for (std::size_t i = 0, j; i < sample.size(); i = j) {
            for (j = i + 1; j < sample.size() && sample[j] == sample[i];) ++j;
            double below = law.cdf(std::nextafter(sample[i], -INFINITY));
            d = std::max({d, static_cast<double>(j) / n - law.cdf(sample[i]), below - static_cast<double>(i) / n});
        }
        double root = std::sqrt(n);
        fit = {true, "Kolmogorov-Smirnov", d, 0, KolmogorovTail((root + 0.12 + 0.11 / root) * d)};
        return fit;
    }

    // Chi-square over integer cells: the tail below the sample's range, the
    // cells of the range, the tail above it; pooled from the left until each
    // group expects at least 5 values, a short remainder joining the last.
    Cells cells = IntegerCells(sample.front(), sample.back(), 100000);
    std::vector<double> expected, observed;
    double groupE = 0, groupO = 0;
    auto add = [&](double e, double o, bool last) {
        groupE += e;
        groupO += o;
        if (groupE < 5 && !last) return;
        if (groupE < 5 && !expected.empty()) {
            expected.back() += groupE;
            observed.back() += groupO;
        } else {
            expected.push_back(groupE);
            observed.push_back(groupO);
        }
        groupE = groupO = 0;
    };
    double below = law.cdf(cells.lo - 1);
    add(n * below, 0, false);
    std::size_t next = 0;
    for (int64_t c = 0; c < cells.count; ++c) {
        double high = cells.lo + static_cast<double>(c + 1) * cells.width - 1;  // last integer of the cell
        double upTo = law.cdf(high);
        double count = 0;
        while (next < sample.size() && sample[next] <= high) ++next, ++count;
        add(n * (upTo - below), count, false);
        below = upTo;
    }
    add(n * (1 - below), 0, true);
    if (expected.size() < 2) return fit;
    double x2 = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        double diff = observed[i] - expected[i];
        x2 += diff * diff / expected[i];
    }
    int degrees = static_cast<int>(expected.size()) - 1;
    fit = {true, "chi-square", x2, degrees, boost::math::gamma_q(degrees / 2.0, x2 / 2)};
    return fit;
}

std::string FitLine(const std::vector<double>& sample, const Law& law) {
    std::string line = "fit       ";
    if (law.kind == Kind::Unknown) return line + law.note + "; the sample alone\n";
    Fit fit;
    try {
        fit = TestFit(sample, law);
    } catch (const std::exception&) {
        return line + "the law cannot be evaluated for these parameters; the sample alone\n";
    }
    if (!fit.done) return line + "too few values for a test\n";
    line += fit.test;
    if (fit.degrees > 0) {
        line += " = " + Number(fit.statistic, 6) + " with " + std::to_string(fit.degrees) + " degrees of freedom";
    } else {
        line += " D = " + Number(fit.statistic, 6);
    }
    line += ", p = " + Number(fit.p, 4) + " (" + std::to_string(sample.size()) + " values)\n";
    return line;
}

std::vector<Bin> MakeHistogram(const std::vector<double>& sample, const Law& law, int bins) {
    std::vector<Bin> out;
    if (sample.empty()) return out;
    auto [minIt, maxIt] = std::minmax_element(sample.begin(), sample.end());
    const double lo = *minIt, hi = *maxIt, n = static_cast<double>(sample.size());
    const bool discrete = law.kind == Kind::Discrete;
    bool known = law.kind != Kind::Unknown;
    auto cdf = [&](double x) {
        if (!known) return 0.0;
        try {
            return law.cdf(x);
        } catch (const std::exception&) {
            known = false;
            return 0.0;
        }
    };

    if (discrete) {
        Cells cells = IntegerCells(lo, hi, bins);
        for (int64_t c = 0; c < cells.count; ++c) {
            double first = lo + static_cast<double>(c) * cells.width;
            out.push_back({first, std::min(hi, first + cells.width - 1), 0, n * (cdf(first + cells.width - 1) - cdf(first - 1))});
        }
        for (double x : sample) out[static_cast<std::size_t>((x - lo) / cells.width)].observed++;
    } else {
        int count = hi > lo ? bins : 1;
        double width = (hi - lo) / count;
        for (int i = 0; i < count; ++i) {
            double a = lo + i * width, b = i + 1 == count ? hi : lo + (i + 1) * width;
            out.push_back({a, b, 0, n * (cdf(b) - cdf(a))});
        }
        for (double x : sample) {
            int i = width > 0 ? static_cast<int>((x - lo) / width) : 0;
            out[static_cast<std::size_t>(std::clamp(i, 0, count - 1))].observed++;
        }
    }
    if (!known) {
        for (Bin& b : out) b.expected = -1;
    }
    return out;
}

std::string HistogramText(const std::vector<double>& sample, const Law& law, int bins, int width,
                          int64_t total) {
    std::vector<Bin> histogram = MakeHistogram(sample, law, bins);
    std::string text = "histogram of " + std::to_string(sample.size()) + " values";
    if (static_cast<int64_t>(sample.size()) < total) text += " (the first of " + std::to_string(total) + ")";
    text += "\n";
    char line[160];
    int64_t most = 1;
    for (const Bin& b : histogram) most = std::max(most, b.observed);
    // Room for the bar: what the numbers leave of the width.
    const int bar = std::max(10, width - 12 - 2 - 1 - 10 - 1 - 12);
    std::snprintf(line, sizeof line, "%12s  %-*s %10s %12s\n", "from", bar, "", "observed", "expected");
    text += line;
    static const char* const kEighths[] = {"", "▏", "▎", "▍", "▌", "▋", "▊", "▉"};
    for (const Bin& b : histogram) {
        int64_t eighths = b.observed * bar * 8 / most;
        std::string blocks;
        for (int64_t i = 0; i < eighths / 8; ++i) blocks += "█";
        blocks += kEighths[eighths % 8];
        int cells = static_cast<int>(eighths / 8 + (eighths % 8 ? 1 : 0));
        blocks.append(static_cast<std::size_t>(bar - cells), ' ');
        std::string expected = b.expected < 0 ? "-" : Number(std::round(b.expected * 10) / 10, 10);
        std::snprintf(line, sizeof line, "%12s  ", Number(b.low, 6).c_str());
        text += line + blocks;
        std::snprintf(line, sizeof line, " %10lld %12s\n", static_cast<long long>(b.observed), expected.c_str());
        text += line;
    }
    return text + FitLine(sample, law);
}

}  // namespace pelmora::cli
