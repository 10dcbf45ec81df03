#include "engine/gamma.h"

#include <cstdint>

#include "engine/continuous.h"
#include "engine/numeric.h"
#include "engine/uniform.h"

namespace pelmora {

namespace {

// Shape above 1: Best's rejection method XG (Best, 1978). Every named
// quantity is stored as a double; the right-hand sides of the two
// acceptance tests stay in extended precision.
double GammaBest1978(double shape) {
    const double b = ToDouble(shape - 1.0L);
    const double c = ToDouble(3 * static_cast<Extended>(shape) - 0.75L);
    for (;;) {
        // step 1: two uniforms, u first
        const double u = NextUniform();
        const double v = NextUniform();
        // steps 2-4: the candidate
        const double w = ToDouble((1 - static_cast<Extended>(u)) * u);
        const double y = ToDouble(Sqrt(Div(c, w)) * (u - 0.5L));
        const double x = ToDouble(static_cast<Extended>(b) + y);
        // step 5: negative candidates are rejected (0 goes on)
        if (x < 0) continue;
        // step 6
        const double z = ToDouble(64.0L * w * w * w * v * v);
        // step 7: the cheap squeeze
        if (1 - Div(2.0L * y * y, x) >= z) return x;
        // step 8: the full test
        if (Ln(z) <= 2 * (b * Ln(Div(x, b)) - y)) return x;
        // step 9: reject
    }
}

// Shape below 1 (zero and negative shapes included): Best's rejection
// method RGS (Best, 1983). For shapes far below 0 the acceptance
// probability vanishes (about e^-t); the candidate count is therefore
// bounded, and running out of candidates is reported rather than hanging.
constexpr int64_t kMaxCandidates = 10'000'000;

double GammaBest1983(double shape) {
    const double t = ToDouble(0.75L * Sqrt(1 - static_cast<Extended>(shape)) + 0.07L);
    const double b = ToDouble(Exp(-static_cast<Extended>(t)) * shape / t + 1);
    const double r = ToDouble(Div(1, shape));
    for (int64_t candidate = 0; candidate < kMaxCandidates; ++candidate) {
        // step 1
        const double u = NextUniform();
        const double v = NextUniform();
        // step 2
        const double p = ToDouble(static_cast<Extended>(b) * u);
        if (p <= 1) {
            // step 3: the part below 1, x = p^(1/shape) t
            const double x = ToDouble(Mul(Power(p, r), t));
            if (v <= Div(2.0L - x, 2.0L + x)) return x;
            if (v <= Exp(-static_cast<Extended>(x))) return x;
        } else {
            // step 4: the exponential tail
            const double x = ToDouble(-Ln(static_cast<Extended>(r) * t * (b - static_cast<Extended>(p))));
            const double y = ToDouble(Div(x, t));
            if (v * ((shape + static_cast<Extended>(y)) - static_cast<Extended>(shape) * y) <= 1) return x;
            if (v <= Power(y, shape - 1.0L)) return x;
        }
    }
    throw Error("Gamma shape too far below 0: no value accepted");
}

}  // namespace

double DrawGamma(double shape, double scale) {
    if (shape > 1) return ToDouble(static_cast<Extended>(scale) * GammaBest1978(shape));
    if (shape == 1) return DrawExponential(ToDouble(Div(1, scale)));
    return ToDouble(static_cast<Extended>(scale) * GammaBest1983(shape));
}

}  // namespace pelmora
