#include "engine/gamma.h"

#include <cmath>
#include <cstdint>

#include "engine/continuous.h"
#include "engine/in_double.h"
#include "engine/numeric.h"
#include "engine/uniform.h"

namespace pelmora {

namespace {

// The acceptance tests below compare logarithms and powers. Double-precision
// library functions decide them whenever the two sides differ by far more
// than their rounding errors (a relative margin of 1e-12 against errors of
// about 1e-16); only near-ties take the extended-precision routines, so the
// outcome is always that of the extended comparison, at a fraction of the
// cost of the x87 transcendental instructions.
constexpr double kMargin = 1e-12;

enum class Verdict { Accept, Reject, Undecided };

PELMORA_IN_DOUBLE("a pre-test: it decides only when the sides differ by 1e-12 relative, far beyond double rounding")
Verdict Compare(double lhs, double rhs, double scale) {
    if (!std::isfinite(lhs) || !std::isfinite(rhs) || !std::isfinite(scale)) return Verdict::Undecided;
    double margin = kMargin * scale + 1e-300;
    if (lhs < rhs - margin) return Verdict::Accept;
    if (lhs > rhs + margin) return Verdict::Reject;
    return Verdict::Undecided;
}

// ln z <= 2 (b ln(x / b) - y), for z > 0 and x, b > 0.
PELMORA_IN_DOUBLE("a pre-test: Compare leaves every near-tie to the extended test")
Verdict PreTestLog(double z, double x, double b, double y) {
    if (!(z > 0)) return Verdict::Undecided;
    double lhs = std::log(z);
    double bl = b * std::log(x / b);
    double rhs = 2 * (bl - y);
    return Compare(lhs, rhs, std::fabs(lhs) + 2 * (std::fabs(bl) + std::fabs(y) + b) + 1);
}

// v <= e^-x
PELMORA_IN_DOUBLE("a pre-test: Compare leaves every near-tie to the extended test")
Verdict PreTestExp(double v, double x) {
    double e = std::exp(-x);
    return Compare(v, e, e);
}

// v <= y^(shape - 1), for y > 0.
PELMORA_IN_DOUBLE("a pre-test: Compare leaves every near-tie to the extended test")
Verdict PreTestPower(double v, double y, double shape) {
    if (!(y > 0)) return Verdict::Undecided;
    double p = std::pow(y, shape - 1.0);
    return Compare(v, p, p * (1 + std::fabs(std::log(y))));
}

bool AcceptLogTest(double z, double x, double b, double y, GammaAcceptance acceptance) {
    if (acceptance == GammaAcceptance::PreTested) {
        Verdict verdict = PreTestLog(z, x, b, y);
        if (verdict != Verdict::Undecided) return verdict == Verdict::Accept;
    }
    return Ln(z) <= 2 * (b * Ln(Div(x, b)) - y);
}

bool AcceptExpTest(Extended v, double x, GammaAcceptance acceptance) {
    if (acceptance == GammaAcceptance::PreTested) {
        Verdict verdict = PreTestExp(ToDouble(v), x);
        if (verdict != Verdict::Undecided) return verdict == Verdict::Accept;
    }
    return v <= Exp(-static_cast<Extended>(x));
}

bool AcceptPowerTest(Extended v, double y, double shape, GammaAcceptance acceptance) {
    if (acceptance == GammaAcceptance::PreTested) {
        Verdict verdict = PreTestPower(ToDouble(v), y, shape);
        if (verdict != Verdict::Undecided) return verdict == Verdict::Accept;
    }
    return v <= Power(y, static_cast<Extended>(shape) - 1);
}

// Shape above 1: Best's rejection method XG (Best, 1978). Every named
// quantity but the two uniforms (64 bits wide from the counter-based
// source) is stored as a double; the right-hand sides of the two
// acceptance tests stay in extended precision.
double GammaBest1978(double shape, GammaAcceptance acceptance) {
    const double b = ToDouble(static_cast<Extended>(shape) - 1);
    const double c = ToDouble(3 * static_cast<Extended>(shape) - 0.75);
    for (;;) {
        // step 1: two uniforms, u first
        const Extended u = NextUniform();
        const Extended v = NextUniform();
        // steps 2-4: the candidate
        const double w = ToDouble((1 - u) * u);
        const double y = ToDouble(Sqrt(Div(c, w)) * (u - 0.5));
        const double x = ToDouble(static_cast<Extended>(b) + y);
        // step 5: negative candidates are rejected (0 goes on)
        if (x < 0) continue;
        // step 6
        const double z = ToDouble(64 * static_cast<Extended>(w) * w * w * v * v);
        // step 7: the cheap squeeze
        if (1 - Div(2 * static_cast<Extended>(y) * y, x) >= z) return x;
        // step 8: the full test
        if (AcceptLogTest(z, x, b, y, acceptance)) return x;
        // step 9: reject
    }
}

// Shape below 1 (zero and negative shapes included): Best's rejection
// method RGS (Best, 1983). For shapes far below 0 the acceptance
// probability vanishes (about e^-t); the candidate count is therefore
// bounded, and running out of candidates is reported rather than hanging.
constexpr int64_t kMaxCandidates = 10'000'000;

// 0.07 of the set-up, rounded to the extended format.
constexpr Extended kSevenHundredths = ExtendedConstant(0x8f5c28f5c28f5c29ull, -67);

double GammaBest1983(double shape, GammaAcceptance acceptance) {
    const double t = ToDouble(0.75 * Sqrt(1 - static_cast<Extended>(shape)) + kSevenHundredths);
    const double b = ToDouble(Exp(-static_cast<Extended>(t)) * shape / t + 1);
    const double r = ToDouble(Div(1, shape));
    for (int64_t candidate = 0; candidate < kMaxCandidates; ++candidate) {
        // step 1
        const Extended u = NextUniform();
        const Extended v = NextUniform();
        // step 2
        const double p = ToDouble(static_cast<Extended>(b) * u);
        if (p <= 1) {
            // step 3: the part below 1, x = p^(1/shape) t
            const double x = ToDouble(Mul(Power(p, r), t));
            if (v <= Div(2 - static_cast<Extended>(x), 2 + static_cast<Extended>(x))) return x;
            if (AcceptExpTest(v, x, acceptance)) return x;
        } else {
            // step 4: the exponential tail
            const double x = ToDouble(-Ln(static_cast<Extended>(r) * t * (b - static_cast<Extended>(p))));
            const double y = ToDouble(Div(x, t));
            if (v * ((shape + static_cast<Extended>(y)) - static_cast<Extended>(shape) * y) <= 1) return x;
            if (AcceptPowerTest(v, y, shape, acceptance)) return x;
        }
    }
    throw Error("Gamma shape too far below 0: no value accepted");
}

}  // namespace

double DrawGammaWith(double shape, double scale, GammaAcceptance acceptance) {
    if (shape > 1) return ToDouble(static_cast<Extended>(scale) * GammaBest1978(shape, acceptance));
    if (shape == 1) return DrawExponential(ToDouble(Div(1, scale)));
    return ToDouble(static_cast<Extended>(scale) * GammaBest1983(shape, acceptance));
}

double DrawGamma(double shape, double scale) { return DrawGammaWith(shape, scale, GammaAcceptance::PreTested); }

}  // namespace pelmora
