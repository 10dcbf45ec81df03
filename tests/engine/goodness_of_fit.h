#pragma once
// What the statistical tests and `make quality` share: a fake clock whose
// reseeds are independent, and the goodness-of-fit statistics. The laws
// themselves come from Boost.Math, tested by its authors; only what Boost
// (1.74) lacks is written here: the Kolmogorov distribution's tail.

#include <algorithm>
#include <boost/math/distributions/chi_squared.hpp>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/uniform.h"

namespace pelmora::testing {

// splitmix64 (Steele, Lea and Flood, 2014): the outputs for successive
// counter values behave as independent 64-bit words.
inline uint64_t SplitMix64(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A clock whose readings are splitmix64 outputs, so every reseed starts from
// a fresh state unrelated to the last one.
struct MixedCounterClock {
    uint64_t state = 0;
    static uint64_t Read(void* self) { return SplitMix64(static_cast<MixedCounterClock*>(self)->state); }
    ClockSource Source() { return {&MixedCounterClock::Read, this}; }
};

// P(chi-square with df degrees of freedom > stat): the p-value of a chi-square test.
inline double ChiSquarePValue(double stat, double df) {
    return boost::math::cdf(boost::math::complement(boost::math::chi_squared(df), std::max(stat, 0.0)));
}

// Pearson's statistic over cells of given expected counts.
inline double ChiSquareStatistic(const std::vector<double>& observed, const std::vector<double>& expected) {
    double stat = 0;
    for (size_t i = 0; i < observed.size(); ++i)
        stat += (observed[i] - expected[i]) * (observed[i] - expected[i]) / expected[i];
    return stat;
}

// P(sqrt(n) D > t) for the Kolmogorov distribution, with Stephens' (1970)
// small-sample correction of t.
inline double KolmogorovPValue(double d, size_t n) {
    const double rn = std::sqrt(static_cast<double>(n));
    const double t = (rn + 0.12 + 0.11 / rn) * d;
    if (t < 0.3) return 1;
    double sum = 0;
    for (int k = 1; k <= 100; ++k) sum += (k % 2 ? 2 : -2) * std::exp(-2.0 * k * k * t * t);
    return std::clamp(sum, 0.0, 1.0);
}

struct KolmogorovSmirnovResult {
    double distance, p;
};

// The Kolmogorov-Smirnov distance of the values to `cdf`, and its p-value.
inline KolmogorovSmirnovResult KolmogorovSmirnov(std::vector<double> x, const std::function<double(double)>& cdf) {
    std::sort(x.begin(), x.end());
    const double n = static_cast<double>(x.size());
    double d = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const double f = cdf(x[i]);
        d = std::max({d, (i + 1) / n - f, f - i / n});
    }
    return {d, KolmogorovPValue(d, x.size())};
}

// The correlation of each value with the one before it.
inline double Lag1Correlation(const std::vector<double>& x) {
    const double n = static_cast<double>(x.size());
    double mean = 0;
    for (double v : x) mean += v;
    mean /= n;
    double var = 0, cov = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        var += (x[i] - mean) * (x[i] - mean);
        if (i > 0) cov += (x[i] - mean) * (x[i - 1] - mean);
    }
    return cov / var;
}

}  // namespace pelmora::testing
