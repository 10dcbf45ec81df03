#include "engine/continuous.h"

#include "engine/numeric.h"
#include "engine/uniform.h"

namespace pelmora {

// Exponential with rate lambda by inversion: -ln U / lambda.
double DrawExponential(double lambda) {
    ReseedFromClock();
    if (!(lambda > 0)) return 0.0;
    Extended u = NextUniform();
    return ToDouble(Div(-Ln(u), lambda));
}

// Rayleigh with scale sigma by inversion: sqrt(-2 sigma^2 ln U).
double DrawRayleigh(double sigma) {
    ReseedFromClock();
    if (!(sigma > 0)) return 0.0;
    Extended u = NextUniform();
    return ToDouble(Sqrt(-Ln(u) * 2 * sigma * sigma));
}

// Weibull with shape alpha and scale beta by inversion: beta (-ln U)^(1/alpha).
double DrawWeibull(double alpha, double beta) {
    ReseedFromClock();
    if (alpha <= 0) return 0.0;
    if (!(beta > 0)) return 0.0;
    Extended u = NextUniform();
    return ToDouble(Mul(beta, Power(-Ln(u), Div(1, alpha))));
}

// Cauchy with location alpha and scale beta: alpha - beta / tan(pi U).
double DrawCauchy(double alpha, double beta) {
    ReseedFromClock();
    Extended u = NextUniform();
    Extended t = Tan(kPi * u);
    return ToDouble(alpha - Div(beta, t));
}

// Standard logistic by inversion: ln(U / (1 - U)).
double DrawLogistic() {
    ReseedFromClock();
    Extended u = NextUniform();
    return ToDouble(Ln(Div(u, 1 - u)));
}

// Laplace with location 0 and scale beta: U1 picks the side, U2 the distance.
double DrawLaplace(double beta) {
    ReseedFromClock();
    Extended u1 = NextUniform();
    Extended u2 = NextUniform();
    if (u1 > 0.5) return ToDouble(beta * Ln(u2));
    return ToDouble(-static_cast<Extended>(beta) * Ln(1 - u2));
}

// Box-Muller, cosine branch only: every call draws two fresh uniforms.
double DrawStandardNormal() {
    ReseedFromClock();
    Extended u1 = NextUniform();
    Extended u2 = NextUniform();
    double t = ToDouble(kTwoPi * u1);
    double r = ToDouble(Sqrt(-2 * Ln(u2)));
    return ToDouble(Cos(t) * r);
}

double DrawGaussNormal(double mu, double sigma) {
    ReseedFromClock();
    return ToDouble(PolarNormal(mu, sigma));
}

double DrawLogNormal(double mu, double sigma) {
    ReseedFromClock();
    Extended x = PolarNormal(mu, sigma);
    return ToDouble(Exp(x));
}

// Triangle on [a, b] with mode m by inversion; continues the current stream.
double DrawTriangle(double a, double b, double m) {
    if (m <= a) return 0.0;
    if (m >= b) return 0.0;
    if (!(b > a)) return 0.0;
    double c = ToDouble(Div(static_cast<Extended>(m) - a, static_cast<Extended>(b) - a));
    Extended u = NextUniform();
    // c is stored; 1 - c, like every other step here, stays extended.
    Extended y = u < c ? Sqrt(c * u) : 1 - Sqrt((1 - static_cast<Extended>(c)) * (1 - u));
    return ToDouble((static_cast<Extended>(b) - a) * y + a);
}

}  // namespace pelmora
