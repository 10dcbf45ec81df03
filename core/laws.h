#pragma once
// Building blocks for the laws of the row records (core/rows.cpp): Boost.Math
// distributions as laws, and the constructions that are no textbook law.

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "core/law.h"


#include <boost/math/distributions.hpp>

namespace pelmora {

// A Boost.Math distribution object as a law (its constructor has already
// checked the parameters and thrown std::domain_error for bad ones).
// Outside the support the function is 0 or 1 (Boost.Math refuses such x).
template <class Distribution>
Law ContinuousOf(Distribution d) {
    return Law::Continuous(
        [d](double x) {
            auto [low, high] = support(d);
            return x <= low ? 0.0 : x >= high ? 1.0 : cdf(d, x);
        },
        [d](double p) { return quantile(d, p); });
}
// Boost.Math rounds a discrete quantile outwards; the few steps after it
// make it the smallest integer k with P(X <= k) >= p.
template <class Distribution>
Law DiscreteOf(Distribution d) {
    return Law::Discrete(
        [d](double x) {
            auto [low, high] = support(d);
            return x < low ? 0.0 : x >= high ? 1.0 : cdf(d, std::floor(x));
        },
        [d](double p) {
            auto [low, high] = support(d);
            double k = std::clamp(std::floor(quantile(d, p)), low, high);
            while (k > low && cdf(d, k - 1) >= p) k -= 1;
            while (k < high && cdf(d, k) < p) k += 1;
            return k;
        });
}

// A law on [a, b] works with b - a: where that leaves the double range (a
// uniform law from -1e308 to 1e308) its formulas give NaN, so it is refused.
inline void CheckSpan(double a, double b) {
    if (!std::isfinite(b - a)) throw std::range_error("b - a is beyond the largest double");
}

// The constructions that are no textbook law, worked out by hand:
// a E1 / (a E1 + b E2) with E1, E2 exponential with mean 1 is below x
// exactly when E1 < c E2, c = b x / (a (1 - x)), which has probability
// c / (1 + c) = b x / (a (1 - x) + b x).
// Solved for x, its quantile is a p / (a p + b (1 - p)).
inline Law BetaRowLaw(double a, double b) {
    if (!(a > 0 && b > 0)) throw std::domain_error("a and b must be positive");
    auto cdf = [a, b](double x) { return x <= 0 ? 0.0 : x >= 1 ? 1.0 : b * x / (a * (1 - x) + b * x); };
    return Law::Continuous(cdf, [a, b](double p) { return a * p / (a * p + b * (1 - p)); });
}
// E1 / E2 is below x with probability x / (1 + x): the quantile is p / (1 - p).
inline Law RatioOfExponentialsLaw() {
    return Law::Continuous([](double x) { return x <= 0 ? 0.0 : x / (1 + x); }, [](double p) { return p / (1 - p); });
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
    auto cdf = [n](double x) { return x < 1 ? 0.0 : x >= n ? 1.0 : std::floor(x) / n; };
    return Law::Discrete(cdf, [n](double p) { return std::max(1.0, std::ceil(p * n)); });
}

}  // namespace pelmora
