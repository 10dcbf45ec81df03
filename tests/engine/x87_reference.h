#pragma once
// The x87 unit as the reference for the software extended type, on x86-64
// (where long double is the x87 format): operand pairs, random and chosen,
// and one comparison of every correctly rounded operation on a pair. The
// table-driven test holds the contract with a few hundred thousand pairs;
// the comparison tool (compare-extended) runs 10^8 and more.

#include <cstdint>
#include <cstring>
#include <string>

#include "engine/soft_extended.h"

namespace pelmora::testing {

static_assert(sizeof(long double) == 16 && __LDBL_MANT_DIG__ == 64, "the reference is the x87 unit");

inline SoftExtended Soft(long double x) { return SoftExtended(x); }

inline long double Hard(uint16_t signExponent, uint64_t significand) {
    long double v = 0;
    unsigned char bytes[16] = {};
    std::memcpy(bytes, &significand, 8);
    std::memcpy(bytes + 8, &signExponent, 2);
    std::memcpy(&v, bytes, sizeof v);
    return v;
}

inline bool SameBits(SoftExtended s, long double h) {
    const SoftExtended hs(h);
    return s.SignExponent() == hs.SignExponent() && s.Significand() == hs.Significand();
}

// A small generator of its own (splitmix64), so the operands are the same everywhere.
struct Operands {
    uint64_t state;
    uint64_t Next() {
        uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }

    // An exponent: anywhere, near the denormal range, near overflow, near 0.
    uint16_t Exponent() {
        const uint64_t r = Next();
        switch (r % 8) {
            case 0: return static_cast<uint16_t>((r >> 8) % 0x7fff);
            case 1: return static_cast<uint16_t>((r >> 8) % 130);            // denormals and the lowest normals
            case 2: return static_cast<uint16_t>(0x7ffe - (r >> 8) % 70);     // the top of the range
            case 3: return static_cast<uint16_t>(0x3fff - 70 + (r >> 8) % 140);
            case 4: return static_cast<uint16_t>(0x3fff - 8200 + (r >> 8) % 200);  // products near underflow
            case 5: return static_cast<uint16_t>(0x3fff + 8100 + (r >> 8) % 200);  // products near overflow
            default: return static_cast<uint16_t>(0x3fff - 1100 + (r >> 8) % 2200);  // the double range
        }
    }

    // A significand: random, with a run of trailing zeros (ties and exact
    // results), all ones, or the top bit alone.
    uint64_t Significand() {
        const uint64_t r = Next();
        uint64_t m = Next();
        switch (r % 6) {
            case 0: m >>= (r >> 8) % 64; m <<= (r >> 8) % 64; break;
            case 1: m = ~uint64_t{0} << ((r >> 8) % 64); break;
            case 2: m = (uint64_t{1} << 63) | ((r >> 8) % 4); break;
            case 3: m = (m >> ((r >> 16) % 60)) << ((r >> 16) % 60); break;
            default: break;
        }
        return m;
    }

    // A value of every kind: mostly finite, sometimes zero, infinite or NaN.
    SoftExtended Value() {
        const uint64_t r = Next();
        const uint16_t sign = (r & 1) ? 0x8000 : 0;
        switch ((r >> 1) % 64) {
            case 0: return SoftExtended::FromBits(sign, 0);
            case 1: return SoftExtended::FromBits(sign | 0x7fff, uint64_t{1} << 63);
            case 2: return SoftExtended::FromBits(sign | 0x7fff, (uint64_t{3} << 62) | (Next() >> 3));  // quiet NaN
            case 3: return SoftExtended::FromBits(sign | 0x7fff, (uint64_t{1} << 63) | (Next() >> 3) | 1);  // signalling NaN
            default: break;
        }
        const uint16_t e = Exponent();
        uint64_t m = Significand();
        if (e == 0)
            m &= ~(uint64_t{1} << 63);  // a denormal
        else
            m |= uint64_t{1} << 63;
        return SoftExtended::FromBits(sign | e, m);
    }

    // A second operand near the first: cancellation, equal exponents,
    // neighbours, a shift of a few places.
    SoftExtended Near(SoftExtended a) {
        const uint64_t r = Next();
        if (a.IsNaN() || a.IsInf()) return Value();
        int32_t e = a.BiasedExponent() + static_cast<int32_t>((r >> 8) % 130) - 65;
        if (e < 0 || e > 0x7ffe) e = a.BiasedExponent();
        uint64_t m = a.Significand();
        switch (r % 4) {
            case 0: m += (Next() % 17) - 8; break;
            case 1: m ^= uint64_t{1} << ((r >> 20) % 64); break;
            case 2: e = a.BiasedExponent(); m = Significand(); break;
            default: break;
        }
        if (e == 0)
            m &= ~(uint64_t{1} << 63);
        else
            m |= uint64_t{1} << 63;
        const uint16_t sign = (Next() & 1) ? 0x8000 : 0;
        return SoftExtended::FromBits(static_cast<uint16_t>(sign | e), m);
    }
};

// Every correctly rounded operation on (a, b) in both; returns the name of
// the first that differs, or "".
inline std::string FirstDifference(SoftExtended a, SoftExtended b) {
    const long double x = static_cast<long double>(a), y = static_cast<long double>(b);
    if (!SameBits(a + b, x + y)) return "+";
    if (!SameBits(a - b, x - y)) return "-";
    if (!SameBits(a * b, x * y)) return "*";
    if (!SameBits(a / b, x / y)) return "/";
    if (!SameBits(SoftExtended::Sqrt(a), __builtin_sqrtl(x))) return "sqrt";
    if ((a < b) != (x < y) || (a == b) != (x == y) || (a <= b) != (x <= y) || (a > b) != (x > y)) return "compare";
    // To double and back, to integer and back.
    const double d = static_cast<double>(a), hd = static_cast<double>(x);
    if (std::memcmp(&d, &hd, sizeof d) != 0) return "to double";
    if (!SameBits(SoftExtended(hd), static_cast<long double>(hd))) return "from double";
    if (static_cast<int64_t>(a) != static_cast<int64_t>(x)) return "to int64";
    const int64_t i = static_cast<int64_t>(b.Significand() ^ a.Significand()) >> (a.Significand() % 64);
    if (!SameBits(SoftExtended(i), static_cast<long double>(i))) return "from int64";
    if (!SameBits(SoftExtended(static_cast<uint64_t>(i)), static_cast<long double>(static_cast<uint64_t>(i)))) return "from uint64";
    if (!SameBits(SoftExtended(static_cast<int32_t>(i)), static_cast<long double>(static_cast<int32_t>(i)))) return "from int32";
    if (!SameBits(SoftExtended(static_cast<uint32_t>(i)), static_cast<long double>(static_cast<uint32_t>(i)))) return "from uint32";
    // frndint, truncation, fscale by a moderate integral power.
    long double n;
    asm("frndint" : "=t"(n) : "0"(x));
    if (!SameBits(SoftExtended::RoundToIntegral(a, false), n)) return "frndint";
    if (!SameBits(SoftExtended::RoundToIntegral(a, true), __builtin_truncl(x))) return "trunc";
    const int32_t k = static_cast<int32_t>(b.Significand() % 40000) - 20000;
    long double scaled;
    asm("fscale" : "=t"(scaled) : "0"(x), "u"(static_cast<long double>(k)));
    if (!SameBits(SoftExtended::Scale(a, SoftExtended(k)), scaled)) return "fscale";
    return "";
}

}  // namespace pelmora::testing
