#pragma once
// The x87 realisation of Extended (see engine/extended.h): long double is
// the unit's 80-bit format, and the primitives are its instructions. They
// are inline: passing an 80-bit value through memory costs as much as the
// arithmetic around it.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace pelmora {

using Extended = long double;
static_assert(std::numeric_limits<Extended>::digits == 64, "Extended must be the x87 80-bit format");

// significand * 2^exponent, exactly.
constexpr Extended ExtendedConstant(uint64_t significand, int exponent) {
    Extended v = static_cast<Extended>(significand);
    for (; exponent > 0; --exponent) v *= 2;
    for (; exponent < 0; ++exponent) v /= 2;
    return v;
}

}  // namespace pelmora

#include "engine/extended_constants.h"

namespace pelmora::unit {

inline bool IsInf(Extended x) { return std::isinf(x); }
inline Extended Abs(Extended x) { return fabsl(x); }
inline Extended Trunc(Extended x) { return truncl(x); }

inline Extended RoundToInteger(Extended t) {
    Extended n;
    asm("frndint" : "=t"(n) : "0"(t));  // to nearest, ties to even
    return n;
}

inline Extended Scale(Extended m, Extended n) {
    Extended r;
    asm("fscale" : "=t"(r) : "0"(m), "u"(n));
    return r;
}

inline Extended Sqrt(Extended x) {
    Extended r;
    asm("fsqrt" : "=t"(r) : "0"(x));
    return r;
}

inline Extended Ln(Extended x) {
    Extended r;
    asm("fyl2x" : "=t"(r) : "0"(x), "u"(kLn2) : "st(1)");
    return r;
}

inline Extended Exp2m1(Extended f) {
    Extended r;
    asm("f2xm1" : "=t"(r) : "0"(f));
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

// glibc's strtold rounds exactly to this format.
inline Extended FromText(const char* digits) { return std::strtold(digits, nullptr); }

}  // namespace pelmora::unit
