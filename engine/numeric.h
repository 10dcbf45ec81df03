#pragma once
// Arithmetic environment of the engine and the shared numeric routines.
//
// Expressions are evaluated in x87 80-bit extended precision (`Extended`,
// 64-bit significand, round to nearest even); values are rounded to double
// only where they are stored (ToDouble). Faults follow one policy: an invalid
// operation, a division by zero and an overflow throw pelmora::Error with
// their message at the operation that faults; underflow, denormals and
// inexact results stay silent. The checks are explicit tests inside the few
// operations that can fault, so no NaN or infinity is ever produced from
// finite operands and no rejection loop can spin on one.

#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/error.h"

namespace pelmora {

using Extended = long double;
static_assert(std::numeric_limits<Extended>::digits == 64, "Extended must be the x87 80-bit format");

[[noreturn]] void RaiseInvalid();
[[noreturn]] void RaiseDivisionByZero();
[[noreturn]] void RaiseOverflow();
[[noreturn]] void RaiseIntegerOverflow();

inline constexpr Extended kPi = 3.14159265358979323846264338327950288L;
inline constexpr Extended kTwoPi = 6.28318530717958647692528676655900577L;

// a / b: 0/0 is invalid, x/0 a division by zero, a quotient beyond the
// extended range an overflow.
inline Extended Div(Extended a, Extended b) {
    if (b == 0) {
        if (a == 0) RaiseInvalid();
        RaiseDivisionByZero();
    }
    Extended q = a / b;
    if (std::isinf(q)) RaiseOverflow();
    return q;
}

// a * b with the overflow check, for the few products that can leave the
// extended range (chains of squarings, a huge power times a scale).
inline Extended Mul(Extended a, Extended b) {
    Extended p = a * b;
    if (std::isinf(p)) RaiseOverflow();
    return p;
}

// Stores an extended value as a double: beyond the double range after
// rounding is an overflow; below it the value quietly becomes subnormal or 0.
inline double ToDouble(Extended x) {
    double d = static_cast<double>(x);
    if (std::isinf(d)) RaiseOverflow();
    if (std::isnan(d)) RaiseInvalid();
    return d;
}

// Natural logarithm, ln x = log2(x) * ln 2 on the x87 unit.
Extended Ln(Extended x);
// e^x as 2^f * 2^n with n = round(x * log2 e) and |f| <= 1/2.
Extended Exp(Extended x);
// Correctly rounded extended square root; sqrt(-0) is -0.
Extended Sqrt(Extended x);
// The processor's extended cosine and tangent, without further range reduction.
Extended Cos(Extended x);
Extended Tan(Extended x);

// Rounds toward zero to a signed 64-bit integer and keeps its low 32 bits
// (two's complement, no range error); outside the signed 64-bit range it is
// an invalid operation.
int32_t TruncToInt(Extended x);

// base^exponent: exponent 0 gives 1, base 0 with a positive exponent 0, an
// integral exponent up to 2147483647 in size repeated squaring, anything else
// exp(exponent * ln base).
Extended Power(Extended base, Extended exponent);

// The polar method: a normal deviate with the given mean and standard
// deviation from pairs of NextUniform values; only the first coordinate is
// used, nothing is cached, the source is never reseeded.
Extended PolarNormal(Extended mean, Extended sd);

}  // namespace pelmora
