#include "engine/derived.h"

#include "engine/continuous.h"
#include "engine/in_double.h"
#include "engine/numeric.h"
#include "engine/uniform.h"

namespace pelmora {

// Erlang with m phases: the logarithm of a product of m uniforms, times
// -scale. Once the product has underflowed to 0 no factor can change it and
// the logarithm will fail, so the remaining draws are skipped in one jump
// of the source, which leaves it exactly where the draws would have.
double DrawErlang(int32_t m, double scale) {
    ReseedFromClock();
    double p = 1;
    for (int32_t i = 0; i < m; ++i) {
        p = ToDouble(static_cast<Extended>(NextUniform()) * p);
        if (p == 0) {
            AdvanceUniform(static_cast<uint64_t>(m - i - 1));
            break;
        }
    }
    return ToDouble(Ln(p) * -static_cast<Extended>(scale));
}

// a E1 / (a E1 + b E2), E1 and E2 exponential, each drawn after its own reseed.
double DrawBeta(double a, double b) {
    double x = DrawErlang(1, a);
    double y = DrawErlang(1, b);
    return ToDouble(Div(x, static_cast<Extended>(x) + y));
}

namespace {

// d / 2 for a parameter, in double: a single rounding of the exact half,
// exactly what the extended quotient gives when it is stored, at a fraction
// of the cost of a round trip through the x87 unit.
PELMORA_IN_DOUBLE("halving: one rounding of the exact half, the same double as the extended quotient stored")
double Half(double d) { return d / 2; }

}  // namespace

// Built on the beta row: the degrees of freedom scale the construction and
// cancel out of the value, which is E1 / E2.
double DrawF(double d1, double d2) {
    double b = DrawBeta(Half(d1), Half(d2));
    return ToDouble(Div(static_cast<Extended>(d2) * b, (1 - static_cast<Extended>(b)) * d1));
}

double DrawChiSquare(int32_t n) {
    double s = 0;
    for (int32_t i = 0; i < n; ++i) {
        double z = DrawStandardNormal();
        s = ToDouble(static_cast<Extended>(z) * z + s);
    }
    return s;
}

double DrawStudentT(int32_t n) {
    if (n < 1) return 0.0;
    double z = DrawStandardNormal();
    double c = DrawChiSquare(n);
    return ToDouble(Div(z, Sqrt(Div(c, n))));
}

// n normals of mean sqrt(delta / n) and deviation 1: their squares sum to a
// chi-square of noncentrality delta.
double DrawNoncentralChiSquare(int32_t n, double delta) {
    if (delta < 0) return 0.0;
    if (delta == 0) return DrawChiSquare(n);
    double s = 0;
    for (int32_t i = 0; i < n; ++i) {
        double mu = ToDouble(Sqrt(Div(delta, n)));
        double z = DrawGaussNormal(mu, 1);
        s = ToDouble(static_cast<Extended>(z) * z + s);
    }
    return s;
}

// Both chi-squares share the same noncentrality.
double DrawNoncentralF(int32_t d1, int32_t d2, double delta) {
    double x1 = DrawNoncentralChiSquare(d1, delta);
    double x2 = DrawNoncentralChiSquare(d2, delta);
    Extended q1 = Div(x1, d1);
    Extended q2 = Div(x2, d2);
    return ToDouble(Div(q1, q2));
}

double DrawNoncentralT(int32_t n, double delta) {
    double z = DrawStandardNormal();
    double c = DrawChiSquare(n);
    return ToDouble(Div(static_cast<Extended>(z) + delta, Sqrt(Div(c, n))));
}

}  // namespace pelmora
