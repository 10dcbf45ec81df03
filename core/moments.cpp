#include "core/moments.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/error.h"
#include "engine/numeric.h"

namespace pelmora {
namespace {

// Internally everything is computed in extended precision; a moment that does
// not fit a double is reported as missing rather than as an infinity.
std::optional<double> Fit(Extended x) {
    double d = static_cast<double>(x);
    if (!std::isfinite(d)) return std::nullopt;
    return d;
}

Moments Of(Extended mean, Extended variance) { return {Fit(mean), Fit(variance)}; }
Moments Constant(Extended value) { return Of(value, 0); }
Moments MeanOnly(Extended mean) { return {Fit(mean), std::nullopt}; }
Moments None() { return {}; }

// The count a row receives: TruncToInt, or nothing when the truncation
// itself fails (then every value of the row fails).
std::optional<int32_t> Count(double x) {
    try {
        return TruncToInt(x);
    } catch (const Error&) {
        return std::nullopt;
    }
}

Extended Clip01(double p) { return std::clamp<Extended>(p, 0, 1); }

// Beta row: V = a·E1 / (a·E1 + b·E2) = E1 / (E1 + r·E2) with r = b / a.
// P(V <= v) = r·v / (1 + (r - 1)·v), hence with k = r - 1
//   E[V]   = (r ln r - r + 1) / k^2     = sum_j (-k)^j / ((j + 1)(j + 2)),
//   E[V^2] = (r^2 - 1 - 2 r ln r) / k^3 = 2 sum_j (-k)^j / ((j + 2)(j + 3)).
// The closed forms cancel badly near r = 1, where the series converge fast.
Moments BetaRow(double a, double b) {
    if (a == 0 && b == 0) return None();  // 0 / 0 on every value
    if (a == 0) return Constant(0);
    if (b == 0) return Constant(1);
    Extended r = static_cast<Extended>(b) / a;
    // Opposite signs: the denominator comes arbitrarily close to 0 and the
    // values have no mean.
    if (!(r > 0)) return None();
    Extended k = r - 1;
    Extended m1 = 0, m2 = 0;
    if (std::fabs(k) < 0.5L) {
        Extended power = 1;
        for (int j = 0; j < 70; ++j) {
            m1 += power / ((j + 1) * (j + 2));
            m2 += 2 * power / ((j + 2) * (j + 3));
            power *= -k;
        }
    } else {
        Extended lr = std::log(r);
        m1 = (r * lr - r + 1) / (k * k);
        m2 = ((r - 1) * (r + 1) - 2 * r * lr) / (k * k * k);
    }
    return Of(m1, m2 - m1 * m1);
}

// Row 7: NextBelow(n) + 1 with wrap-around. n >= 1 gives 1..n; n = 0 gives 1;
// a negative n acts as the unsigned count N = 2^32 + n, and r + 1 for r in
// [0, N) covers 1..2^31 - 1 and then, wrapped, -2^31..n.
Moments DiscreteUniformRow(int32_t n) {
    if (n == 0) return Constant(1);
    if (n > 0) {
        Extended e = n;
        return Of((e + 1) / 2, (e * e - 1) / 12);
    }
    auto sum = [](Extended lo, Extended hi) { return (lo + hi) * (hi - lo + 1) / 2; };
    auto squares = [](Extended m) { return m * (m + 1) * (2 * m + 1) / 6; };  // 1^2 + ... + m^2
    const Extended top = 2147483647.0L;    // 2^31 - 1
    const Extended bottom = 2147483648.0L;  // |-2^31|
    Extended count = 4294967296.0L + n;
    Extended first = sum(1, top);
    Extended second = sum(-bottom, n);
    Extended firstSquares = squares(top);
    Extended secondSquares = squares(bottom) - squares(-static_cast<Extended>(n) - 1);
    Extended mean = (first + second) / count;
    Extended meanSquare = (firstSquares + secondSquares) / count;
    return Of(mean, meanSquare - mean * mean);
}

// Row 11: Best's methods for shape above 1 and below 1; shape 1 delegates to
// the exponential generator with rate 1 / scale (0 for a negative scale).
Moments GammaRow(double shape, double scale) {
    Extended s = scale;
    if (shape == 1) {
        if (scale == 0) return None();  // 1 / scale
        if (scale < 0) return Constant(0);
        return Of(s, s * s);
    }
    if (shape <= 0) return None();  // 1 / 0, or a negative shape: no gamma law
    return Of(shape * s, shape * s * s);
}

// E[1 / X] and E[1 / X^2] for a noncentral chi-square X with k degrees of
// freedom and noncentrality delta: X given J is chi-square with k + 2J
// degrees of freedom, J Poisson with mean delta / 2, and for chi-square with
// m degrees of freedom E[1/X] = 1/(m - 2), E[1/X^2] = 1/((m - 2)(m - 4)).
struct InverseMoments {
    Extended first;
    Extended second;  // meaningful only for k > 4
};

InverseMoments NoncentralChiSquareInverse(int32_t k, Extended delta) {
    Extended lambda = delta / 2;
    auto inv1 = [&](Extended j) { return 1 / (k - 2 + 2 * j); };
    auto inv2 = [&](Extended j) { return 1 / ((k - 2 + 2 * j) * (k - 4 + 2 * j)); };
    if (lambda == 0) return {inv1(0), inv2(0)};
    if (lambda > 1e10L) {
        // J is concentrated around lambda: E[g(J)] = g(lambda) + g''(lambda)·lambda/2
        // + O(1/lambda^2) relative.
        Extended a = k - 2 + 2 * lambda;
        Extended b = k - 4 + 2 * lambda;
        Extended ab = a * b;
        Extended g2 = 8 * (a + b) * (a + b) / (ab * ab * ab) - 8 / (ab * ab);
        return {1 / a + 4 * lambda / (a * a * a), 1 / ab + g2 * lambda / 2};
    }
    // Sum the Poisson weights within 12 standard deviations of the mode.
    Extended spread = 12 * std::sqrt(lambda) + 40;
    Extended lo = std::max<Extended>(0, std::floor(lambda - spread));
    Extended hi = std::floor(lambda + spread);
    Extended logLambda = std::log(lambda);
    InverseMoments m{0, 0};
    for (Extended j = lo; j <= hi; j += 1) {
        Extended w = std::exp(j * logLambda - lambda - std::lgamma(j + 1));
        m.first += w * inv1(j);
        m.second += w * inv2(j);
    }
    return m;
}

// Row 24: (X1 / d1) / (X2 / d2) with both chi-squares given the same delta.
Moments NoncentralFRow(double p1, double p2, double p3) {
    auto d1 = Count(p1);
    auto d2 = Count(p2);
    if (!d1 || !d2) return None();
    if (*d1 == 0 || *d2 == 0 || *d2 < 0 || p3 < 0) return None();  // 0 / 0 or x / 0 on every value
    if (*d1 < 0) return Constant(0);                                // X1 = 0
    Extended delta = p3;
    Extended n1 = *d1, n2 = *d2;
    if (*d2 <= 2) return None();  // E[1 / X2] is infinite
    InverseMoments inv = NoncentralChiSquareInverse(*d2, delta);
    Extended meanX1 = n1 + delta;
    Extended meanSquareX1 = 2 * (n1 + 2 * delta) + meanX1 * meanX1;
    Extended mean = n2 / n1 * meanX1 * inv.first;
    if (*d2 <= 4) return MeanOnly(mean);
    Extended meanSquare = (n2 / n1) * (n2 / n1) * meanSquareX1 * inv.second;
    return Of(mean, meanSquare - mean * mean);
}

// sqrt(n/2) · Gamma((n-1)/2) / Gamma(n/2), the mean of sqrt(n / C) for C
// chi-square with n degrees of freedom (n >= 2).
Extended InverseRootChiSquareMean(int32_t n) {
    Extended x = static_cast<Extended>(n) / 2;
    if (x >= 100) {
        // Asymptotic series in 1/x; its error is below 1e-16 from x = 100 on.
        Extended t = 1 / x;
        return 1 + t * (3.0L / 8 + t * (25.0L / 128 + t * (105.0L / 1024 + t * (1659.0L / 32768 + t * (6237.0L / 262144 + t * 50765.0L / 4194304)))));
    }
    return std::sqrt(x) * std::exp(std::lgamma(x - 0.5L) - std::lgamma(x));
}

// Row 25: (z + delta) / sqrt(C / n).
Moments NoncentralTRow(double p1, double p2) {
    auto n = Count(p1);
    if (!n || *n <= 0) return None();  // 0 / 0 or x / -0
    if (*n == 1) return None();        // Cauchy-like tails
    Extended delta = p2;
    Extended mean = delta * InverseRootChiSquareMean(*n);
    if (*n == 2) return MeanOnly(mean);
    Extended e = *n;
    return Of(mean, e * (1 + delta * delta) / (e - 2) - mean * mean);
}

// Row 26: beta · E^(1/alpha).
Moments WeibullRow(double alpha, double beta) {
    if (!(alpha > 0) || !(beta > 0)) return Constant(0);
    Extended inv = 1 / static_cast<Extended>(alpha);
    Extended lg1 = std::lgamma(1 + inv);
    Extended lg2 = std::lgamma(1 + 2 * inv);
    Extended b = beta;
    Extended mean = b * std::exp(lg1);
    // Gamma(1 + 2/alpha) - Gamma(1 + 1/alpha)^2 without the cancellation.
    Extended variance = b * b * std::exp(lg2) * -std::expm1(2 * lg1 - lg2);
    return Of(mean, variance);
}

}  // namespace

Moments TheoreticalMoments(int row, double p1, double p2, double p3) {
    const Extended pi = kPi;
    switch (row) {
        case 0:
            return BetaRow(p1, p2);
        case 1: {  // 1 when U <= p
            Extended q = Clip01(p1);
            return Of(q, q * (1 - q));
        }
        case 2: {  // N(mean, sigma^2) behind a gate open with probability p
            Extended q = Clip01(p1), mu = p2, sigma = p3;
            return Of(q * mu, q * sigma * sigma + q * (1 - q) * mu * mu);
        }
        case 3: {
            auto n = Count(p1);
            if (!n) return None();
            if (*n <= 0) return Constant(0);
            Extended q = Clip01(p2);
            return Of(*n * q, *n * q * (1 - q));
        }
        case 4:  // alpha - beta / tan(pi U)
            if (p2 == 0) return Constant(p1);
            return None();
        case 5: {
            auto n = Count(p1);
            if (!n) return None();
            if (*n <= 0) return Constant(0);
            return Of(*n, 2 * static_cast<Extended>(*n));
        }
        case 6: {
            Extended a = p1, b = p2;
            return Of((a + b) / 2, (b - a) * (b - a) / 12);
        }
        case 7: {
            auto n = Count(p1);
            if (!n) return None();
            return DiscreteUniformRow(*n);
        }
        case 8: {  // -scale · ln(U1 ... Um)
            auto m = Count(p1);
            if (!m) return None();
            if (*m <= 0) return Constant(0);
            Extended s = p2;
            return Of(*m * s, *m * s * s);
        }
        case 9:
            if (!(p1 > 0)) return Constant(0);
            return Of(1 / static_cast<Extended>(p1), 1 / (static_cast<Extended>(p1) * p1));
        case 10:  // E1 / E2 whatever d1 and d2 are: no finite mean
            return None();
        case 11:
            return GammaRow(p1, p2);
        case 12:
            return Of(p1, static_cast<Extended>(p2) * p2);
        case 13: {  // failures before the first success
            if (p1 >= 1 || !(p1 > 0)) return Constant(0);
            Extended p = p1;
            return Of((1 - p) / p, (1 - p) / (p * p));
        }
        case 14:
            return Of(0, 2 * static_cast<Extended>(p1) * p1);
        case 15: {
            Extended mu = p1, s2 = static_cast<Extended>(p2) * p2;
            return Of(std::exp(mu + s2 / 2), std::expm1(s2) * std::exp(2 * mu + s2));
        }
        case 16:
            return Of(0, pi * pi / 3);
        case 17:
            if (!(p1 > 0)) return Constant(0);
            return Of(p1, p1);
        case 18: {
            if (!(p1 > 0)) return Constant(0);
            Extended s = p1;
            return Of(s * std::sqrt(pi / 2), (4 - pi) / 2 * s * s);
        }
        case 19:
            return Of(0, 1);
        case 20: {
            auto n = Count(p1);
            if (!n) return None();
            if (*n < 1) return Constant(0);
            if (*n == 1) return None();
            if (*n == 2) return MeanOnly(0);
            Extended e = *n;
            return Of(0, e / (e - 2));
        }
        case 21: {
            if (!(p3 > p1) || !(p3 < p2) || !(p2 > p1)) return Constant(0);
            Extended a = p1, b = p2, m = p3;
            return Of((a + b + m) / 3, (a * a + b * b + m * m - a * b - a * m - b * m) / 18);
        }
        case 22: {
            auto r = Count(p1);
            if (!r) return None();
            if (p2 >= 1 || !(p2 > 0) || *r <= 0) return Constant(0);
            Extended p = p2;
            return Of(*r * (1 - p) / p, *r * (1 - p) / (p * p));
        }
        case 23: {
            auto n = Count(p1);
            if (!n) return None();
            if (p2 < 0 || *n <= 0) return Constant(0);
            Extended e = *n, delta = p2;
            return Of(e + delta, 2 * (e + 2 * delta));
        }
        case 24:
            return NoncentralFRow(p1, p2, p3);
        case 25:
            return NoncentralTRow(p1, p2);
        case 26:
            return WeibullRow(p1, p2);
        default:
            return None();
    }
}

}  // namespace pelmora
