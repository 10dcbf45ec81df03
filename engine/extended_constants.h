#pragma once
// The engine's extended constants, written as significand and power of two
// so that both realisations of Extended hold the same bits on any host
// (a long double literal would be rounded to the host's long double first).
// Included by extended_x87.h and extended_software.h after ExtendedConstant.

namespace pelmora {

// What the x87 unit loads with fldln2 and fldl2e: ln 2 and log2 e rounded to nearest.
inline constexpr Extended kLn2 = ExtendedConstant(0xb17217f7d1cf79acull, -64);    // 0.693147180559945309417
inline constexpr Extended kLog2E = ExtendedConstant(0xb8aa3b295c17f0bcull, -63);  // 1.44269504088896340736
// pi (fldpi) and 2 pi, rounded to nearest.
inline constexpr Extended kPi = ExtendedConstant(0xc90fdaa22168c235ull, -62);     // 3.14159265358979323851
inline constexpr Extended kTwoPi = ExtendedConstant(0xc90fdaa22168c235ull, -61);  // 6.28318530717958647703

}  // namespace pelmora
