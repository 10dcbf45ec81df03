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

// The constants the x87 unit loads with fldln2 and fldl2e, rounded to nearest.
inline constexpr Extended kLn2 = 0.693147180559945309417232121458176568L;
inline constexpr Extended kLog2E = 1.44269504088896340735992468100189214L;

// Natural logarithm, ln x = log2(x) * ln 2 on the x87 unit (fyl2x). The
// x87 routines are inline: passing an 80-bit value through memory costs as
// much as the arithmetic around it.
inline Extended Ln(Extended x) {
    if (x == 0) RaiseDivisionByZero();
    if (x < 0) RaiseInvalid();
    Extended r;
    asm("fyl2x" : "=t"(r) : "0"(x), "u"(kLn2) : "st(1)");
    return r;
}

// e^x as 2^f * 2^n with n = round(x * log2 e) and |f| <= 1/2.
Extended ExpSlow(Extended t);
inline Extended Exp(Extended x) {
    Extended t = x * kLog2E;
    // Far outside the extended range the split below would meet infinities.
    if (!(t < 16384 && t >= -16500)) return ExpSlow(t);
    Extended n;
    asm("frndint" : "=t"(n) : "0"(t));  // to nearest, ties to even
    Extended m;
    asm("f2xm1" : "=t"(m) : "0"(t - n));  // 2^f - 1 with |f| <= 1/2
    Extended r;
    asm("fscale" : "=t"(r) : "0"(m + 1), "u"(n));  // 2^f * 2^n
    if (std::isinf(r)) RaiseOverflow();
    return r;
}

// Correctly rounded extended square root; sqrt(-0) is -0.
inline Extended Sqrt(Extended x) {
    if (x < 0) RaiseInvalid();
    Extended r;
    asm("fsqrt" : "=t"(r) : "0"(x));
    return r;
}

// The processor's extended cosine and tangent, without further range reduction.
inline Extended Cos(Extended x) {
    Extended r;
    asm("fcos" : "=t"(r) : "0"(x));
    return r;
}

inline Extended Tan(Extended x) {
    Extended r;
    // fptan replaces st(0) by its tangent and pushes 1.0, which is dropped.
    asm("fptan\n\tfstp %%st(0)" : "=t"(r) : "0"(x));
    return r;
}

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
