#include "cli/fit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <numbers>
#include <stdexcept>

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

// A distribution function that gives no probability: NaN, or a number
// outside [0, 1] (a law evaluated where its formula overflows).
struct NoProbability : std::domain_error {
    using std::domain_error::domain_error;
};

double Probability(const Law& law, double x) {
    const double c = law.cdf(x);
    if (!(c >= 0 && c <= 1)) {
        throw NoProbability("the law's distribution function gives no probability at " + Number(x, 6));
    }
    return c;
}

// The sample quantile of R's default (type 7) of a sorted sample.
double SortedQuantile(const std::vector<double>& sorted, double p) {
    const double h = static_cast<double>(sorted.size() - 1) * p;
    const auto i = static_cast<std::size_t>(h);
    if (i + 1 >= sorted.size()) return sorted.back();
    const double a = sorted[i], b = sorted[i + 1];
    // a + (h - i)(b - a), with halves where b - a would overflow
    const double frac = h - static_cast<double>(i);
    return std::isfinite(b - a) ? a + frac * (b - a) : a + frac * (b / 2 - a / 2) * 2;
}

// The smallest x with P(X <= x) >= p, searched on the cdf: the bracket
// doubles outward, then bisection (on the integers for a discrete law).
double SearchQuantile(const Law& law, double p) {
    double lo = -1, hi = 1;
    while (Probability(law, lo) >= p) {
        hi = lo;
        lo *= 2;
        if (!std::isfinite(lo)) return -INFINITY;
    }
    while (Probability(law, hi) < p) {
        lo = hi;
        hi *= 2;
        if (!std::isfinite(hi)) return INFINITY;
    }
    if (law.kind == Kind::Discrete) {
        lo = std::floor(lo);
        hi = std::ceil(hi);
        while (hi - lo > 1) {
            const double mid = std::floor(lo / 2 + hi / 2);
            (Probability(law, mid) >= p ? hi : lo) = mid;
        }
        return hi;
    }
    for (int k = 0; k < 2100; ++k) {  // enough halvings to meet at adjacent doubles
        const double mid = lo / 2 + hi / 2;
        if (mid <= lo || mid >= hi) break;
        (Probability(law, mid) >= p ? hi : lo) = mid;
    }
    return hi;
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
            double below = Probability(law, std::nextafter(sample[i], -INFINITY));
            d = std::max(
                {d, static_cast<double>(j) / n - Probability(law, sample[i]), below - static_cast<double>(i) / n});
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
    double below = Probability(law, cells.lo - 1);
    add(n * below, 0, false);
    std::size_t next = 0;
    for (int64_t c = 0; c < cells.count; ++c) {
        double high = cells.lo + static_cast<double>(c + 1) * cells.width - 1;  // last integer of the cell
        double upTo = Probability(law, high);
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
    if (law.kind == Kind::Unknown) return "no fit: " + law.note + "\n";
    Fit fit;
    try {
        fit = TestFit(sample, law);
    } catch (const NoProbability& e) {
        return std::string("no fit: ") + e.what() + "\n";
    } catch (const std::exception&) {
        return "no fit: the law cannot be evaluated for these parameters\n";
    }
    if (!fit.done) return "no fit: too few values for a test\n";
    if (!std::isfinite(fit.statistic) || !(fit.p >= 0 && fit.p <= 1)) {
        return "no fit: the test gives no number for this sample\n";
    }
    std::string line = "fit       ";
    line += fit.test;
    if (fit.degrees > 0) {
        line += " = " + Number(fit.statistic, 6) + " with " + std::to_string(fit.degrees) + " degrees of freedom";
    } else {
        line += " D = " + Number(fit.statistic, 6);
    }
    line += ", p = " + Number(fit.p, 4) + " (" + std::to_string(sample.size()) + " values)\n";
    return line;
}

Quartiles SampleQuartiles(std::vector<double> sample) {
    if (sample.empty()) return {};
    std::sort(sample.begin(), sample.end());
    return {SortedQuantile(sample, 0.25), SortedQuantile(sample, 0.5), SortedQuantile(sample, 0.75)};
}

Quartiles LawQuartiles(const Law& law) {
    Quartiles q;
    if (law.kind == Kind::Unknown) return q;
    std::optional<double>* into[] = {&q.q1, &q.median, &q.q3};
    const double at[] = {0.25, 0.5, 0.75};
    for (int k = 0; k < 3; ++k) {
        try {
            const double x = law.quantile ? law.quantile(at[k]) : SearchQuantile(law, at[k]);
            if (std::isfinite(x)) *into[k] = x;
        } catch (const std::exception&) {
        }
    }
    return q;
}

HistRange DefaultRange(std::vector<double> sample) {
    if (sample.empty()) return {0, 0};
    std::sort(sample.begin(), sample.end());
    const double low = SortedQuantile(sample, 0.005), high = SortedQuantile(sample, 0.995);
    const double whole = sample.back() / 2 - sample.front() / 2, central = high / 2 - low / 2;
    if (central > 0 && whole > 3 * central) return {low, high};
    return {sample.front(), sample.back()};
}

Histogram MakeHistogram(const std::vector<double>& sample, const Law& law, int bins, std::optional<HistRange> range) {
    Histogram h;
    if (sample.empty()) return h;
    auto [minIt, maxIt] = std::minmax_element(sample.begin(), sample.end());
    const HistRange r = range ? *range : DefaultRange(sample);
    h.cut = range || r.low > *minIt || r.high < *maxIt;
    h.low = r.low;
    h.high = r.high;
    const double n = static_cast<double>(sample.size());
    bool known = law.kind != Kind::Unknown;
    auto cdf = [&](double x) {
        if (!known) return 0.0;
        try {
            return Probability(law, x);
        } catch (const std::exception&) {
            known = false;
            return 0.0;
        }
    };

    if (law.kind == Kind::Discrete) {
        const double lo = std::ceil(r.low), hi = std::floor(r.high);
        Cells cells = lo <= hi ? IntegerCells(lo, hi, bins) : Cells{lo, 1, 0};
        for (int64_t c = 0; c < cells.count; ++c) {
            double first = lo + static_cast<double>(c) * cells.width;
            double last = std::min(hi, first + cells.width - 1);
            h.bins.push_back({first, last, 0, n * (cdf(last) - cdf(first - 1))});
        }
        for (double x : sample) {
            if (x < lo) {
                ++h.below;
            } else if (x > hi) {
                ++h.above;
            } else {
                h.bins[static_cast<std::size_t>((x - lo) / cells.width)].observed++;
            }
        }
        h.expectedBelow = n * cdf(lo - 1);
        h.expectedAbove = n * (1 - cdf(hi));
    } else {
        const double lo = r.low, hi = r.high;
        const int count = hi > lo ? bins : 1;
        // Edges and places in halves where hi - lo overflows.
        const double span = hi - lo;
        const bool halves = !std::isfinite(span);
        auto edge = [&](int i) {
            if (i == count) return hi;
            if (!halves) return lo + i * (span / count);
            const double t = static_cast<double>(i) / count;
            return lo * (1 - t) + hi * t;
        };
        for (int i = 0; i < count; ++i) {
            double a = edge(i), b = edge(i + 1);
            h.bins.push_back({a, b, 0, n * (cdf(b) - cdf(a))});
        }
        for (double x : sample) {
            if (x < lo) {
                ++h.below;
                continue;
            }
            if (x > hi) {
                ++h.above;
                continue;
            }
            double place =
                span > 0 ? (halves ? (x / 2 - lo / 2) / (hi / 2 - lo / 2) * count : (x - lo) / (span / count)) : 0;
            int i = static_cast<int>(std::min(place, static_cast<double>(count - 1)));
            h.bins[static_cast<std::size_t>(std::clamp(i, 0, count - 1))].observed++;
        }
        h.expectedBelow = n * cdf(lo);
        h.expectedAbove = n * (1 - cdf(hi));
    }
    if (!known) {
        for (Bin& b : h.bins) b.expected = -1;
        h.expectedBelow = h.expectedAbove = -1;
    }
    return h;
}

std::string HistogramText(const std::vector<double>& sample, const Law& law, int bins, int width, int64_t total,
                          std::optional<HistRange> range) {
    const Histogram h = MakeHistogram(sample, law, bins, range);
    std::string text = "histogram of " + std::to_string(sample.size()) + " values";
    if (static_cast<int64_t>(sample.size()) < total) text += " (the first of " + std::to_string(total) + ")";
    text += "\n";
    char line[160];
    int64_t most = 1;
    for (const Bin& b : h.bins) most = std::max(most, b.observed);
    // Room for the bar: what the numbers leave of the width.
    const int bar = std::max(20, width - 12 - 2 - 1 - 10 - 1 - 12);
    auto expectedText = [](double e) { return e < 0 ? std::string("-") : Number(std::round(e * 10) / 10, 10); };
    // A line without a bar: the values outside the range.
    auto outside = [&](const char* label, const std::string& what, int64_t observed, double expected) {
        std::snprintf(line, sizeof line, "%12s  ", label);
        text +=
            line + what + std::string(static_cast<std::size_t>(std::max(0, bar - static_cast<int>(what.size()))), ' ');
        std::snprintf(line, sizeof line, " %10lld %12s\n", static_cast<long long>(observed),
                      expectedText(expected).c_str());
        text += line;
    };
    std::snprintf(line, sizeof line, "%12s  ", "from");
    text += line + std::string(static_cast<std::size_t>(bar), ' ');
    std::snprintf(line, sizeof line, " %10s %12s\n", "observed", "expected");
    text += line;
    if (h.cut) outside("below", "under " + Number(h.low, 6), h.below, h.expectedBelow);
    static const char* const kEighths[] = {"", "▏", "▎", "▍", "▌", "▋", "▊", "▉"};
    for (const Bin& b : h.bins) {
        int64_t eighths = b.observed * bar * 8 / most;
        std::string blocks;
        for (int64_t i = 0; i < eighths / 8; ++i) blocks += "█";
        blocks += kEighths[eighths % 8];
        int cells = static_cast<int>(eighths / 8 + (eighths % 8 ? 1 : 0));
        blocks.append(static_cast<std::size_t>(bar - cells), ' ');
        std::snprintf(line, sizeof line, "%12s  ", Number(b.low, 6).c_str());
        text += line + blocks;
        std::snprintf(line, sizeof line, " %10lld %12s\n", static_cast<long long>(b.observed),
                      expectedText(b.expected).c_str());
        text += line;
    }
    if (h.cut) outside("above", "over " + Number(h.high, 6), h.above, h.expectedAbove);
    return text + FitLine(sample, law);
}

}  // namespace pelmora::cli
