#include "engine/discrete.h"

#include <cmath>
#include <limits>

#include "engine/in_double.h"
#include "engine/numeric.h"
#include "engine/uniform.h"

namespace pelmora {

int32_t DrawBernoulli(double p) {
    ReseedFromClock();
    Extended u = NextUniform();
    return u > p ? 0 : 1;
}

double DrawBernoulliGauss(double p, double mu, double sigma) {
    ReseedFromClock();
    Extended u = NextUniform();
    if (u > p) return 0.0;
    return ToDouble(PolarNormal(mu, sigma));
}

int32_t DrawBinomial(int32_t n, double p) {
    int32_t sum = 0;
    if (n <= 0) return 0;
    for (int32_t i = 0; i < n; ++i) sum += DrawBernoulli(p);
    return sum;
}

// Failures before the first success, by inversion: floor(ln U / ln(1 - p)).
// A count beyond the signed 32-bit range (p below about 1e-8) is reported
// instead of being wrapped into a negative number.
int32_t DrawGeometric(double p) {
    if (p >= 1) return 0;
    if (!(p > 0)) return 0;
    ReseedFromClock();
    Extended l = Ln(1 - static_cast<Extended>(p));
    Extended u = NextUniform();
    double q = ToDouble(Div(Ln(u), l));
    if (q >= 2147483648.0) RaiseIntegerOverflow();
    return TruncToInt(q);
}

// Failures before the r-th success: the sum of r geometric counts. A sum
// beyond the signed 32-bit range is reported, not wrapped.
int32_t DrawNegativeBinomial(int32_t r, double p) {
    if (p >= 1) return 0;
    if (!(p > 0)) return 0;
    if (r <= 0) return 0;
    int32_t sum = 0;
    for (int32_t i = 0; i < r; ++i) {
        if (__builtin_add_overflow(sum, DrawGeometric(p), &sum)) RaiseIntegerOverflow();
    }
    return sum;
}

namespace {

// ln k! for the transformed-rejection test below.
PELMORA_IN_DOUBLE("serves only the transformed rejection below")
double LogFactorial(double k) { return std::lgamma(k + 1.0); }

// Hormann's transformed rejection with squeeze (PTRS, 1993), for means
// where e^-lambda is no longer a positive double and the product method
// could never end. It continues the uniform stream like the product method,
// costs about 1.2 candidates of two uniforms each, and is exact.
PELMORA_IN_DOUBLE("runs only where e^-lambda is 0 as a double: the product method never ends, so there is no result to match")
int32_t PoissonTransformedRejection(double lambda) {
    const double slam = std::sqrt(lambda);
    const double loglam = std::log(lambda);
    const double b = 0.931 + 2.53 * slam;
    const double a = -0.059 + 0.02483 * b;
    const double invAlpha = 1.1239 + 1.1328 / (b - 3.4);
    const double vr = 0.9277 - 3.6224 / (b - 2);
    for (;;) {
        double u = ToDouble(NextUniform() - 0.5);
        double v = ToDouble(NextUniform());
        double us = 0.5 - std::fabs(u);
        if (us == 0) continue;  // u exactly 0: no candidate
        double k = std::floor((2 * a / us + b) * u + lambda + 0.43);
        if (us >= 0.07 && v <= vr) {
            if (k > std::numeric_limits<int32_t>::max()) RaiseIntegerOverflow();
            return static_cast<int32_t>(k);
        }
        if (k < 0 || (us < 0.013 && v > us)) continue;
        bool accept = v == 0 ||
                      std::log(v) + std::log(invAlpha) - std::log(a / (us * us) + b) <=
                          -lambda + k * loglam - LogFactorial(k);
        if (accept) {
            if (k > std::numeric_limits<int32_t>::max()) RaiseIntegerOverflow();
            return static_cast<int32_t>(k);
        }
    }
}

}  // namespace

// Poisson by the product of uniforms: the count of factors needed to bring
// the product below e^-lambda, less one. Continues the current stream.
int32_t DrawPoisson(double lambda) {
    double l = ToDouble(Exp(-static_cast<Extended>(lambda)));
    if (l == 0) return PoissonTransformedRejection(lambda);
    int32_t k = 0;
    double b = 1.0;
    do {
        Extended u = NextUniform();
        b = ToDouble(static_cast<Extended>(b) * u);
        ++k;
    } while (b >= l);
    return k - 1;
}

}  // namespace pelmora
