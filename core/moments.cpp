#include "core/moments.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/error.h"
#include "core/rows.h"
#include "engine/numeric.h"

namespace pelmora {

Moments TheoreticalMoments(Row row, double p1, double p2, double p3) { return Record(row).moments(p1, p2, p3); }

namespace moments {
namespace {

std::optional<double> Fit(MomentReal x) {
    double d = static_cast<double>(x);
    if (!std::isfinite(d)) return std::nullopt;
    return d;
}

}  // namespace

Moments Of(MomentReal mean, MomentReal variance) { return {Fit(mean), Fit(variance)}; }
Moments MeanOnly(MomentReal mean) { return {Fit(mean), std::nullopt}; }

std::optional<int32_t> Count(double x) {
    try {
        return TruncToInt(x);
    } catch (const Error&) {
        return std::nullopt;
    }
}

MomentReal Clip01(double p) { return std::clamp<MomentReal>(p, 0, 1); }

// Beta row: V = a·E1 / (a·E1 + b·E2) = E1 / (E1 + r·E2) with r = b / a.
// P(V <= v) = r·v / (1 + (r - 1)·v), hence with k = r - 1
//   E[V]   = (r ln r - r + 1) / k^2     = sum_j (-k)^j / ((j + 1)(j + 2)),
//   E[V^2] = (r^2 - 1 - 2 r ln r) / k^3 = 2 sum_j (-k)^j / ((j + 2)(j + 3)).
// The closed forms cancel badly near r = 1, where the series converge fast.
Moments BetaRow(double a, double b) {
    if (a == 0 && b == 0) return None();  // 0 / 0 on every value
    if (a == 0) return Constant(0);
    if (b == 0) return Constant(1);
    MomentReal r = static_cast<MomentReal>(b) / a;
    // Opposite signs: the denominator comes arbitrarily close to 0 and the
    // values have no mean.
    if (!(r > 0)) return None();
    MomentReal k = r - 1;
    MomentReal m1 = 0, m2 = 0;
    if (std::fabs(k) < 0.5L) {
        MomentReal power = 1;
        for (int j = 0; j < 70; ++j) {
            m1 += power / ((j + 1) * (j + 2));
            m2 += 2 * power / ((j + 2) * (j + 3));
            power *= -k;
        }
    } else {
        MomentReal lr = std::log(r);
        m1 = (r * lr - r + 1) / (k * k);
        m2 = ((r - 1) * (r + 1) - 2 * r * lr) / (k * k * k);
    }
    return Of(m1, m2 - m1 * m1);
}

// Discrete Uniform: NextBelow(n) + 1 with wrap-around. n >= 1 gives 1..n; n = 0 gives 1;
// a negative n acts as the unsigned count N = 2^32 + n, and r + 1 for r in
// [0, N) covers 1..2^31 - 1 and then, wrapped, -2^31..n.
Moments DiscreteUniformRow(int32_t n) {
    if (n == 0) return Constant(1);
    if (n > 0) {
        MomentReal e = n;
        return Of((e + 1) / 2, (e * e - 1) / 12);
    }
    auto sum = [](MomentReal lo, MomentReal hi) { return (lo + hi) * (hi - lo + 1) / 2; };
    auto squares = [](MomentReal m) { return m * (m + 1) * (2 * m + 1) / 6; };  // 1^2 + ... + m^2
    const MomentReal top = 2147483647.0L;    // 2^31 - 1
    const MomentReal bottom = 2147483648.0L;  // |-2^31|
    MomentReal count = 4294967296.0L + n;
    MomentReal first = sum(1, top);
    MomentReal second = sum(-bottom, n);
    MomentReal firstSquares = squares(top);
    MomentReal secondSquares = squares(bottom) - squares(-static_cast<MomentReal>(n) - 1);
    MomentReal mean = (first + second) / count;
    MomentReal meanSquare = (firstSquares + secondSquares) / count;
    return Of(mean, meanSquare - mean * mean);
}

// Gamma: Best's methods for shape above 1 and below 1; shape 1 delegates to
// the exponential generator with rate 1 / scale (0 for a negative scale).
Moments GammaRow(double shape, double scale) {
    MomentReal s = scale;
    if (shape == 1) {
        if (scale == 0) return None();  // 1 / scale
        if (scale < 0) return Constant(0);
        return Of(s, s * s);
    }
    if (shape <= 0) return None();  // 1 / 0, or a negative shape: no gamma law
    return Of(shape * s, shape * s * s);
}

namespace {

// E[1 / X] and E[1 / X^2] for a noncentral chi-square X with k degrees of
// freedom and noncentrality delta: X given J is chi-square with k + 2J
// degrees of freedom, J Poisson with mean delta / 2, and for chi-square with
// m degrees of freedom E[1/X] = 1/(m - 2), E[1/X^2] = 1/((m - 2)(m - 4)).
struct InverseMoments {
    MomentReal first;
    MomentReal second;  // meaningful only for k > 4
};

InverseMoments NoncentralChiSquareInverse(int32_t k, MomentReal delta) {
    MomentReal lambda = delta / 2;
    auto inv1 = [&](MomentReal j) { return 1 / (k - 2 + 2 * j); };
    auto inv2 = [&](MomentReal j) { return 1 / ((k - 2 + 2 * j) * (k - 4 + 2 * j)); };
    if (lambda == 0) return {inv1(0), inv2(0)};
    if (lambda > 1e10L) {
        // J is concentrated around lambda: E[g(J)] = g(lambda) + g''(lambda)·lambda/2
        // + O(1/lambda^2) relative.
        MomentReal a = k - 2 + 2 * lambda;
        MomentReal b = k - 4 + 2 * lambda;
        MomentReal ab = a * b;
        MomentReal g2 = 8 * (a + b) * (a + b) / (ab * ab * ab) - 8 / (ab * ab);
        return {1 / a + 4 * lambda / (a * a * a), 1 / ab + g2 * lambda / 2};
    }
    // Sum the Poisson weights within 12 standard deviations of the mode.
    MomentReal spread = 12 * std::sqrt(lambda) + 40;
    MomentReal lo = std::max<MomentReal>(0, std::floor(lambda - spread));
    MomentReal hi = std::floor(lambda + spread);
    MomentReal logLambda = std::log(lambda);
    InverseMoments m{0, 0};
    for (MomentReal j = lo; j <= hi; j += 1) {
        MomentReal w = std::exp(j * logLambda - lambda - std::lgamma(j + 1));
        m.first += w * inv1(j);
        m.second += w * inv2(j);
    }
    return m;
}

}  // namespace

// Noncentral F: (X1 / d1) / (X2 / d2) with both chi-squares given the same delta.
Moments NoncentralFRow(double p1, double p2, double p3) {
    auto d1 = Count(p1);
    auto d2 = Count(p2);
    if (!d1 || !d2) return None();
    if (*d1 == 0 || *d2 == 0 || *d2 < 0 || p3 < 0) return None();  // 0 / 0 or x / 0 on every value
    if (*d1 < 0) return Constant(0);                                // X1 = 0
    MomentReal delta = p3;
    MomentReal n1 = *d1, n2 = *d2;
    if (*d2 <= 2) return None();  // E[1 / X2] is infinite
    InverseMoments inv = NoncentralChiSquareInverse(*d2, delta);
    MomentReal meanX1 = n1 + delta;
    MomentReal meanSquareX1 = 2 * (n1 + 2 * delta) + meanX1 * meanX1;
    MomentReal mean = n2 / n1 * meanX1 * inv.first;
    if (*d2 <= 4) return MeanOnly(mean);
    MomentReal meanSquare = (n2 / n1) * (n2 / n1) * meanSquareX1 * inv.second;
    return Of(mean, meanSquare - mean * mean);
}

namespace {

// sqrt(n/2) · Gamma((n-1)/2) / Gamma(n/2), the mean of sqrt(n / C) for C
// chi-square with n degrees of freedom (n >= 2).
MomentReal InverseRootChiSquareMean(int32_t n) {
    MomentReal x = static_cast<MomentReal>(n) / 2;
    if (x >= 100) {
        // Asymptotic series in 1/x; its error is below 1e-16 from x = 100 on.
        MomentReal t = 1 / x;
        return 1 + t * (3.0L / 8 + t * (25.0L / 128 + t * (105.0L / 1024 + t * (1659.0L / 32768 + t * (6237.0L / 262144 + t * 50765.0L / 4194304)))));
    }
    return std::sqrt(x) * std::exp(std::lgamma(x - 0.5L) - std::lgamma(x));
}

}  // namespace

// Noncentral T: (z + delta) / sqrt(C / n).
Moments NoncentralTRow(double p1, double p2) {
    auto n = Count(p1);
    if (!n || *n <= 0) return None();  // 0 / 0 or x / -0
    if (*n == 1) return None();        // Cauchy-like tails
    MomentReal delta = p2;
    MomentReal mean = delta * InverseRootChiSquareMean(*n);
    if (*n == 2) return MeanOnly(mean);
    MomentReal e = *n;
    return Of(mean, e * (1 + delta * delta) / (e - 2) - mean * mean);
}

// Weibull: beta · E^(1/alpha).
Moments WeibullRow(double alpha, double beta) {
    if (!(alpha > 0) || !(beta > 0)) return Constant(0);
    MomentReal inv = 1 / static_cast<MomentReal>(alpha);
    MomentReal lg1 = std::lgamma(1 + inv);
    MomentReal lg2 = std::lgamma(1 + 2 * inv);
    MomentReal b = beta;
    MomentReal mean = b * std::exp(lg1);
    // Gamma(1 + 2/alpha) - Gamma(1 + 1/alpha)^2 without the cancellation.
    MomentReal variance = b * b * std::exp(lg2) * -std::expm1(2 * lg1 - lg2);
    return Of(mean, variance);
}

}  // namespace moments
}  // namespace pelmora
