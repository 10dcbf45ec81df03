#pragma once
// The engine's one arithmetic type, `Extended`: the 80-bit extended format
// (64-bit significand, 15-bit exponent, round to nearest with ties to even,
// gradual underflow). The build chooses its realisation (CMake option
// PELMORA_SOFT_EXTENDED): the x87 unit itself (extended_x87.h, the default on
// x86 and x86-64) or the same format in integer arithmetic
// (extended_software.h over soft_extended.h, the default everywhere else).
//
// Both give `Extended`, its arithmetic and conversions, ExtendedConstant and
// the unchecked primitives of namespace unit (extended_constants.h lists
// the constants, the same bits in both):
//   unit::IsInf, Abs, Trunc          infinity test, |x|, toward zero
//   unit::RoundToInteger             to nearest, ties to even (frndint)
//   unit::Scale(m, n)                m * 2^trunc(n), one rounding (fscale)
//   unit::Sqrt                       correctly rounded square root
//   unit::Ln                         log2(x) * kLn2 for x > 0 (fyl2x)
//   unit::Exp2m1                     2^f - 1 for |f| <= 1/2 (f2xm1)
//   unit::Cos, unit::Tan             on the generators' ranges [0, 2pi), [0, pi)
//   unit::FromText                   a decimal text without a point, rounded once
// The x87 unit's last four are within about an ulp, the software ones
// correctly rounded but for a hair; all the others agree bit for bit.
// engine/numeric.h builds the checked operations on them.

#if PELMORA_SOFT_EXTENDED
#include "engine/extended_software.h"
#else
#include "engine/extended_x87.h"
#endif
