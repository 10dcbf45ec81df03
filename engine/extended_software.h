#pragma once
// The software realisation of Extended (see engine/extended.h): the x87
// format in integer arithmetic, engine/soft_extended.h.

#include "engine/soft_extended.h"

namespace pelmora {

using Extended = SoftExtended;

// significand * 2^exponent, exactly (a normal value).
constexpr Extended ExtendedConstant(uint64_t significand, int exponent) {
    const int shift = soft::Clz64(significand);
    return SoftExtended::FromBits(static_cast<uint16_t>(soft::kBias + 63 + exponent - shift), significand << shift);
}

}  // namespace pelmora

#include "engine/extended_constants.h"

namespace pelmora::unit {

constexpr bool IsInf(Extended x) { return x.IsInf(); }
constexpr Extended Abs(Extended x) { return Extended::FromBits(x.SignExponent() & 0x7fff, x.Significand()); }
constexpr Extended Trunc(Extended x) { return Extended::RoundToIntegral(x, true); }
constexpr Extended RoundToInteger(Extended t) { return Extended::RoundToIntegral(t, false); }
constexpr Extended Scale(Extended m, Extended n) { return Extended::Scale(m, n); }
inline Extended Sqrt(Extended x) { return Extended::Sqrt(x); }
inline Extended Ln(Extended x) { return soft::Ln(x); }
inline Extended Exp2m1(Extended f) { return soft::Exp2m1(f); }
inline Extended Cos(Extended x) { return soft::Cos(x); }
inline Extended Tan(Extended x) { return soft::Tan(x); }
inline Extended FromText(const char* digits) { return soft::FromText(digits); }

}  // namespace pelmora::unit

// The logarithm of soft_extended.cpp multiplies by the same ln 2.
static_assert(pelmora::kLn2 == pelmora::SoftExtended::FromBits(0x3ffe, 0xb17217f7d1cf79acull));
