#pragma once
// Arithmetic environment of the engine and the shared numeric routines.
//
// Expressions are evaluated in 80-bit extended precision (`Extended`,
// 64-bit significand, round to nearest even: the x87 unit or the same format
// in software, engine/extended.h); values are rounded to double
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
#include "engine/extended.h"

namespace pelmora {

[[noreturn]] void RaiseInvalid();
[[noreturn]] void RaiseDivisionByZero();
[[noreturn]] void RaiseOverflow();
[[noreturn]] void RaiseIntegerOverflow();

// a / b: 0/0 is invalid, x/0 a division by zero, a quotient beyond the
// extended range an overflow.
inline Extended Div(Extended a, Extended b) {
    if (b == 0) {
        if (a == 0) RaiseInvalid();
        RaiseDivisionByZero();
    }
    Extended q = a / b;
    if (unit::IsInf(q)) RaiseOverflow();
    return q;
}

// a * b with the overflow check, for the few products that can leave the
// extended range (chains of squarings, a huge power times a scale).
inline Extended Mul(Extended a, Extended b) {
    Extended p = a * b;
    if (unit::IsInf(p)) RaiseOverflow();
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

// Natural logarithm, ln x = log2(x) * ln 2 with the x87 unit's ln 2.
inline Extended Ln(Extended x) {
    if (x == 0) RaiseDivisionByZero();
    if (x < 0) RaiseInvalid();
    return unit::Ln(x);
}

// e^x as 2^f * 2^n with n = round(x * log2 e) and |f| <= 1/2.
Extended ExpSlow(Extended t);
inline Extended Exp(Extended x) {
    Extended t = x * kLog2E;
    // Far outside the extended range the split below would meet infinities.
    if (!(t < 16384 && t >= -16500)) return ExpSlow(t);
    Extended n = unit::RoundToInteger(t);     // to nearest, ties to even
    Extended m = unit::Exp2m1(t - n);         // 2^f - 1 with |f| <= 1/2
    Extended r = unit::Scale(m + 1, n);       // 2^f * 2^n
    if (unit::IsInf(r)) RaiseOverflow();
    return r;
}

// Correctly rounded extended square root; sqrt(-0) is -0.
inline Extended Sqrt(Extended x) {
    if (x < 0) RaiseInvalid();
    return unit::Sqrt(x);
}

// The extended cosine and tangent, without further range reduction.
inline Extended Cos(Extended x) { return unit::Cos(x); }
inline Extended Tan(Extended x) { return unit::Tan(x); }

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
