#pragma once
// The software realisation of Extended: the x87 80-bit format in plain
// integer arithmetic, for CPUs without an x87 unit (arm64, where long double
// is binary128) and for comparing the two on x86-64.
//
// A value is a sign, a 15-bit biased exponent and a 64-bit significand with
// an explicit integer bit, exactly the bits the x87 unit stores. Every
// operation forms its exact result, or enough of it (a 128-bit significand
// whose lowest bit records whether anything nonzero was cut off), and ends in
// Round, the one routine that rounds to nearest with ties to even, makes a
// gradual underflow and overflows to infinity, as the x87 unit does with its
// exceptions masked. + - * /, the square root, comparisons and conversions
// are therefore correctly rounded and give the x87 unit's bits; the NaN an
// invalid operation makes is the x87 unit's "real indefinite".
//
// Written here rather than taken from a library: the x87 extended format
// with its denormals and NaN rules, bit for bit, is what the engine needs,
// and it is a few hundred lines with unsigned __int128.

#include <cfloat>
#include <compare>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <limits>

#include "engine/in_double.h"

namespace pelmora {

namespace soft {

using U128 = unsigned __int128;

inline constexpr int32_t kBias = 16383;
inline constexpr uint16_t kExpMask = 0x7fff;
inline constexpr uint64_t kTop = uint64_t{1} << 63;

constexpr int Clz64(uint64_t x) { return x == 0 ? 64 : __builtin_clzll(x); }
constexpr int Clz128(U128 x) {
    uint64_t hi = static_cast<uint64_t>(x >> 64);
    return hi != 0 ? Clz64(hi) : 64 + Clz64(static_cast<uint64_t>(x));
}

// x >> n for n >= 0, with every bit shifted out ORed into the lowest bit.
constexpr U128 ShiftRightSticky(U128 x, int n) {
    if (n <= 0) return x;
    if (n >= 128) return x != 0;
    return (x >> n) | ((x << (128 - n)) != 0);
}

}  // namespace soft

class SoftExtended {
public:
    constexpr SoftExtended() = default;  // +0

    // Exact from every double and every integer up to 64 bits.
    constexpr SoftExtended(double d) { *this = FromDouble(d); }
    template <std::integral I>
    constexpr SoftExtended(I v) {
        if constexpr (std::is_signed_v<I>) {
            const bool negative = v < 0;
            const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
            *this = FromMagnitude(negative, magnitude);
        } else {
            *this = FromMagnitude(false, static_cast<uint64_t>(v));
        }
    }
    // From the host's long double: the x87 format itself on x86-64, rounded
    // once from binary128, exact from a double-sized one. For tests and
    // tools; engine code writes its constants with ExtendedConstant.
    PELMORA_IN_DOUBLE("the host's long double, read as it is")
    SoftExtended(long double v);

    // The value rounded to double (to nearest, ties to even, gradual
    // underflow, beyond the double range infinity).
    explicit constexpr operator double() const;
    // Toward zero; NaN and everything beyond the signed 64-bit range give
    // INT64_MIN, the x87 unit's integer indefinite.
    explicit constexpr operator int64_t() const;
    explicit constexpr operator int32_t() const { return static_cast<int32_t>(static_cast<int64_t>(*this)); }
    // Exact where the host's long double has at least 64 significand bits.
    PELMORA_IN_DOUBLE("the host's long double, written as it is")
    explicit operator long double() const;

    // The 80-bit encoding: sign and exponent, significand with its explicit bit.
    static constexpr SoftExtended FromBits(uint16_t signExponent, uint64_t significand) {
        SoftExtended r;
        r.se_ = signExponent;
        r.sig_ = significand;
        return r;
    }
    constexpr uint16_t SignExponent() const { return se_; }
    constexpr uint64_t Significand() const { return sig_; }

    constexpr bool Negative() const { return (se_ & 0x8000) != 0; }
    constexpr int32_t BiasedExponent() const { return se_ & soft::kExpMask; }
    constexpr bool IsNaN() const { return BiasedExponent() == soft::kExpMask && (sig_ << 1) != 0; }
    constexpr bool IsInf() const { return BiasedExponent() == soft::kExpMask && (sig_ << 1) == 0; }
    constexpr bool IsZero() const { return BiasedExponent() == 0 && sig_ == 0; }

    // The one rounding routine: the value (-1)^negative * sig * 2^(exp - 16383 - 127),
    // with nothing lost below the lowest bit of sig other than what that bit
    // records (sticky), rounded to the format.
    static constexpr SoftExtended Round(bool negative, int32_t exp, soft::U128 sig);

    static constexpr SoftExtended Indefinite() { return FromBits(0xffff, 0xc000000000000000ull); }
    static constexpr SoftExtended Infinity(bool negative) {
        return FromBits(static_cast<uint16_t>((negative ? 0x8000 : 0) | soft::kExpMask), soft::kTop);
    }

    friend constexpr SoftExtended operator+(SoftExtended a, SoftExtended b) { return Add(a, b, false); }
    friend constexpr SoftExtended operator-(SoftExtended a, SoftExtended b) { return Add(a, b, true); }
    friend constexpr SoftExtended operator*(SoftExtended a, SoftExtended b) { return Multiply(a, b); }
    friend constexpr SoftExtended operator/(SoftExtended a, SoftExtended b) { return Divide(a, b); }
    friend constexpr SoftExtended operator-(SoftExtended a) { return FromBits(a.se_ ^ 0x8000, a.sig_); }
    friend constexpr SoftExtended operator+(SoftExtended a) { return a; }
    constexpr SoftExtended& operator+=(SoftExtended b) { return *this = *this + b; }
    constexpr SoftExtended& operator-=(SoftExtended b) { return *this = *this - b; }
    constexpr SoftExtended& operator*=(SoftExtended b) { return *this = *this * b; }
    constexpr SoftExtended& operator/=(SoftExtended b) { return *this = *this / b; }

    // IEEE comparisons: a NaN is unordered, -0 equals +0.
    friend constexpr bool operator==(SoftExtended a, SoftExtended b) { return Compare(a, b) == std::partial_ordering::equivalent; }
    friend constexpr std::partial_ordering operator<=>(SoftExtended a, SoftExtended b) { return Compare(a, b); }

    static SoftExtended Sqrt(SoftExtended a);
    // To an integral value: to nearest with ties to even (the x87 frndint), or toward zero.
    static constexpr SoftExtended RoundToIntegral(SoftExtended a, bool towardZero);
    // a * 2^trunc(n), rounded once (the x87 fscale).
    static constexpr SoftExtended Scale(SoftExtended a, SoftExtended n);

private:
    uint64_t sig_ = 0;
    uint16_t se_ = 0;

    // Exponent of a finite value for arithmetic: a denormal has the scale of exponent 1.
    constexpr int32_t ScaleExponent() const { return BiasedExponent() == 0 ? 1 : BiasedExponent(); }

    static constexpr SoftExtended FromMagnitude(bool negative, uint64_t m) {
        if (m == 0) return FromBits(negative ? 0x8000 : 0, 0);
        const int shift = soft::Clz64(m);
        return FromBits(static_cast<uint16_t>((negative ? 0x8000 : 0) | (soft::kBias + 63 - shift)), m << shift);
    }
    static constexpr SoftExtended FromDouble(double d);
    static constexpr SoftExtended PropagateNaN(SoftExtended a, SoftExtended b);
    static constexpr SoftExtended Add(SoftExtended a, SoftExtended b, bool subtract);
    static constexpr SoftExtended Multiply(SoftExtended a, SoftExtended b);
    static constexpr SoftExtended Divide(SoftExtended a, SoftExtended b);
    static constexpr std::partial_ordering Compare(SoftExtended a, SoftExtended b);
};

constexpr SoftExtended SoftExtended::Round(bool negative, int32_t exp, soft::U128 sig) {
    const uint16_t sign = negative ? 0x8000 : 0;
    if (sig == 0) return FromBits(sign, 0);
    const int shift = soft::Clz128(sig);
    sig <<= shift;
    exp -= shift;
    if (exp <= 0) {
        // Below the normal range: the significand at the scale of exponent 1.
        sig = soft::ShiftRightSticky(sig, 1 - exp);
        exp = 0;
    }
    uint64_t hi = static_cast<uint64_t>(sig >> 64);
    const uint64_t lo = static_cast<uint64_t>(sig);
    if (lo > soft::kTop || (lo == soft::kTop && (hi & 1))) {
        ++hi;
        if (hi == 0) {  // carried out of the significand
            hi = soft::kTop;
            ++exp;
        }
    }
    if (exp == 0 && (hi & soft::kTop)) exp = 1;  // a denormal rounded up to the smallest normal
    if (exp >= soft::kExpMask) return Infinity(negative);
    return FromBits(static_cast<uint16_t>(sign | exp), hi);
}

constexpr SoftExtended SoftExtended::FromDouble(double d) {
    const uint64_t bits = __builtin_bit_cast(uint64_t, d);
    const bool negative = bits >> 63;
    const uint16_t sign = negative ? 0x8000 : 0;
    const int32_t e = static_cast<int32_t>((bits >> 52) & 0x7ff);
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    if (e == 0x7ff) {
        if (fraction == 0) return Infinity(negative);
        return FromBits(sign | soft::kExpMask, soft::kTop | (uint64_t{1} << 62) | (fraction << 11));  // quieted
    }
    if (e == 0) {
        if (fraction == 0) return FromBits(sign, 0);
        const int shift = soft::Clz64(fraction);  // >= 12
        return FromBits(static_cast<uint16_t>(sign | (soft::kBias - 1022 - (shift - 11))), fraction << shift);
    }
    return FromBits(static_cast<uint16_t>(sign | (e - 1023 + soft::kBias)), soft::kTop | (fraction << 11));
}

constexpr SoftExtended::operator double() const {
    const uint64_t sign = Negative() ? uint64_t{1} << 63 : 0;
    if (IsNaN()) return __builtin_bit_cast(double, sign | (uint64_t{0x7ff} << 52) | (uint64_t{1} << 51) | ((sig_ >> 11) & ((uint64_t{1} << 52) - 1)));
    if (IsInf()) return __builtin_bit_cast(double, sign | (uint64_t{0x7ff} << 52));
    if (sig_ == 0) return __builtin_bit_cast(double, sign);
    // value = m * 2^(e - 63) with m normalised
    const int shift = soft::Clz64(sig_);
    const uint64_t m = sig_ << shift;
    const int32_t e = ScaleExponent() - shift - soft::kBias;
    const int32_t biased = e + 1023;
    if (biased >= 0x7ff) return __builtin_bit_cast(double, sign | (uint64_t{0x7ff} << 52));
    // Keep 53 bits of a normal result, fewer of a subnormal one.
    const int drop = biased >= 1 ? 11 : 11 + (1 - biased);
    const soft::U128 wide = soft::ShiftRightSticky(static_cast<soft::U128>(m) << 64, drop);
    uint64_t kept = static_cast<uint64_t>(wide >> 64);
    const uint64_t rest = static_cast<uint64_t>(wide);
    if (rest > soft::kTop || (rest == soft::kTop && (kept & 1))) ++kept;
    // kept holds the hidden bit for a normal result, so adding the exponent
    // field less one lets a carry move into the exponent.
    uint64_t bits = biased >= 1 ? (static_cast<uint64_t>(biased - 1) << 52) + kept : kept;
    if (bits >= (uint64_t{0x7ff} << 52)) bits = uint64_t{0x7ff} << 52;
    return __builtin_bit_cast(double, sign | bits);
}

constexpr SoftExtended::operator int64_t() const {
    if (IsNaN() || IsInf()) return INT64_MIN;
    if (sig_ == 0) return 0;
    const int32_t e = ScaleExponent() - soft::kBias;  // value = sig * 2^(e - 63)
    if (e >= 63) return INT64_MIN;                    // beyond the range; -2^63 itself is INT64_MIN too
    if (e < 0) return 0;
    const uint64_t magnitude = sig_ >> (63 - e);
    return Negative() ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

constexpr SoftExtended SoftExtended::PropagateNaN(SoftExtended a, SoftExtended b) {
    // The x87 rules: a quiet NaN wins over a signalling one, between two of
    // a kind the larger significand wins; the result is made quiet.
    constexpr uint64_t kQuiet = uint64_t{1} << 62;
    SoftExtended r;
    if (a.IsNaN() && b.IsNaN()) {
        const bool aq = a.sig_ & kQuiet, bq = b.sig_ & kQuiet;
        if (aq != bq)
            r = aq ? a : b;
        else
            r = (a.sig_ & ~kQuiet) >= (b.sig_ & ~kQuiet) ? a : b;
    } else {
        r = a.IsNaN() ? a : b;
    }
    r.sig_ |= kQuiet;
    return r;
}

constexpr SoftExtended SoftExtended::Add(SoftExtended a, SoftExtended b, bool subtract) {
    if (a.IsNaN() || b.IsNaN()) return PropagateNaN(a, b);
    bool signA = a.Negative();
    bool signB = b.Negative() != subtract;
    if (a.IsInf() || b.IsInf()) {
        if (a.IsInf() && b.IsInf() && signA != signB) return Indefinite();
        return a.IsInf() ? a : Infinity(signB);
    }
    if (b.sig_ == 0) {
        if (a.sig_ == 0) return FromBits(signA && signB ? 0x8000 : 0, 0);
        return a;
    }
    if (a.sig_ == 0) return FromBits(static_cast<uint16_t>((signB ? 0x8000 : 0) | b.BiasedExponent()), b.sig_);
    int32_t ea = a.ScaleExponent(), eb = b.ScaleExponent();
    uint64_t ma = a.sig_, mb = b.sig_;
    // Denormal operands are not normalised, so compare whole magnitudes.
    if (ea < eb || (ea == eb && ma < mb)) {
        std::swap(ea, eb);
        std::swap(ma, mb);
        std::swap(signA, signB);
    }
    // Two bits of headroom above the significands, 62 guard bits below.
    const soft::U128 x = static_cast<soft::U128>(ma) << 62;
    const soft::U128 y = soft::ShiftRightSticky(static_cast<soft::U128>(mb) << 62, ea - eb);
    const soft::U128 sum = signA == signB ? x + y : x - y;
    if (sum == 0) return FromBits(0, 0);  // exact cancellation: +0 when rounding to nearest
    return Round(signA, ea + 2, sum);
}

constexpr SoftExtended SoftExtended::Multiply(SoftExtended a, SoftExtended b) {
    if (a.IsNaN() || b.IsNaN()) return PropagateNaN(a, b);
    const bool negative = a.Negative() != b.Negative();
    if (a.IsInf() || b.IsInf()) {
        if (a.sig_ == 0 || b.sig_ == 0) return Indefinite();
        return Infinity(negative);
    }
    if (a.sig_ == 0 || b.sig_ == 0) return FromBits(negative ? 0x8000 : 0, 0);
    const soft::U128 product = static_cast<soft::U128>(a.sig_) * b.sig_;
    return Round(negative, a.ScaleExponent() + b.ScaleExponent() - soft::kBias + 1, product);
}

constexpr SoftExtended SoftExtended::Divide(SoftExtended a, SoftExtended b) {
    if (a.IsNaN() || b.IsNaN()) return PropagateNaN(a, b);
    const bool negative = a.Negative() != b.Negative();
    if (a.IsInf()) return b.IsInf() ? Indefinite() : Infinity(negative);
    if (b.IsInf()) return FromBits(negative ? 0x8000 : 0, 0);
    if (b.sig_ == 0) return a.sig_ == 0 ? Indefinite() : Infinity(negative);
    if (a.sig_ == 0) return FromBits(negative ? 0x8000 : 0, 0);
    const int sa = soft::Clz64(a.sig_), sb = soft::Clz64(b.sig_);
    const uint64_t ma = a.sig_ << sa, mb = b.sig_ << sb;
    const int32_t ea = a.ScaleExponent() - sa, eb = b.ScaleExponent() - sb;
    // q in [2^63, 2^64): 64 quotient bits, then 64 more, then the sticky bit.
    const int s = ma >= mb ? 63 : 64;
    const soft::U128 n = static_cast<soft::U128>(ma) << s;
    const uint64_t q = static_cast<uint64_t>(n / mb);
    const uint64_t r = static_cast<uint64_t>(n % mb);
    const soft::U128 n2 = static_cast<soft::U128>(r) << 64;
    const uint64_t q2 = static_cast<uint64_t>(n2 / mb);
    const bool sticky = n2 % mb != 0;
    const soft::U128 sig = (static_cast<soft::U128>(q) << 64) | q2 | sticky;
    return Round(negative, ea - eb + soft::kBias + 63 - s, sig);
}

constexpr std::partial_ordering SoftExtended::Compare(SoftExtended a, SoftExtended b) {
    if (a.IsNaN() || b.IsNaN()) return std::partial_ordering::unordered;
    if (a.sig_ == 0 && b.sig_ == 0) return std::partial_ordering::equivalent;
    if (a.Negative() != b.Negative()) return a.Negative() ? std::partial_ordering::less : std::partial_ordering::greater;
    // Same sign: the encodings order the magnitudes (denormals included).
    const soft::U128 ka = (static_cast<soft::U128>(a.BiasedExponent()) << 64) | a.sig_;
    const soft::U128 kb = (static_cast<soft::U128>(b.BiasedExponent()) << 64) | b.sig_;
    if (ka == kb) return std::partial_ordering::equivalent;
    const bool less = a.Negative() ? ka > kb : ka < kb;
    return less ? std::partial_ordering::less : std::partial_ordering::greater;
}

namespace soft {

// floor(sqrt(n)) for n in [2^126, 2^128): a double's square root as the
// first guess (about 52 bits), one Newton step in integers from above, and
// a last correction by the exact remainder.
PELMORA_IN_DOUBLE("a first guess of an integer square root, corrected exactly in integers")
inline uint64_t IntegerSqrt(U128 n) {
    U128 x = static_cast<U128>(__builtin_sqrt(static_cast<double>(n)));
    if (x > ~uint64_t{0}) x = ~uint64_t{0};
    if (x < (uint64_t{1} << 62)) x = uint64_t{1} << 62;
    x = (x + n / x) >> 1;  // at or just above the root
    if (x > ~uint64_t{0}) x = ~uint64_t{0};
    while (x * x > n) --x;
    return static_cast<uint64_t>(x);
}

}  // namespace soft

inline SoftExtended SoftExtended::Sqrt(SoftExtended a) {
    if (a.IsNaN()) return PropagateNaN(a, a);
    if (a.sig_ == 0) return a;  // +-0
    if (a.Negative()) return Indefinite();
    if (a.IsInf()) return a;
    const int shift = soft::Clz64(a.sig_);
    const uint64_t m = a.sig_ << shift;
    const int32_t k = a.ScaleExponent() - shift - soft::kBias - 63;  // value = m * 2^k
    const int s = (k & 1) ? 63 : 64;                                  // k - s even
    const soft::U128 n = static_cast<soft::U128>(m) << s;
    const uint64_t r = soft::IntegerSqrt(n);
    const soft::U128 rem = n - static_cast<soft::U128>(r) * r;
    // (r + 1/2)^2 = r^2 + r + 1/4: the root lies above the midpoint when rem > r.
    const soft::U128 fraction = rem == 0 ? 0 : (rem > r ? soft::U128{soft::kTop} | 1 : 1);
    const soft::U128 sig = (static_cast<soft::U128>(r) << 64) | fraction;
    const int32_t half = (k - s) / 2;  // result = (r + fraction) * 2^half
    return Round(false, half + soft::kBias + 63, sig);
}

constexpr SoftExtended SoftExtended::RoundToIntegral(SoftExtended a, bool towardZero) {
    if (a.IsNaN()) return PropagateNaN(a, a);
    if (a.IsInf() || a.sig_ == 0) return a;
    const int32_t fractionBits = soft::kBias + 63 - a.ScaleExponent();  // of the significand
    if (fractionBits <= 0) return a;
    uint64_t integer = 0, rest = 0, half = 0;
    if (fractionBits > 64) {
        rest = 1;  // below one half
        half = ~uint64_t{0};
    } else if (fractionBits == 64) {
        rest = a.sig_;
        half = soft::kTop;
    } else {
        integer = a.sig_ >> fractionBits;
        rest = a.sig_ & ((uint64_t{1} << fractionBits) - 1);
        half = uint64_t{1} << (fractionBits - 1);
    }
    if (!towardZero && (rest > half || (rest == half && (integer & 1)))) ++integer;
    if (integer == 0) return FromBits(a.se_ & 0x8000, 0);
    return FromMagnitude(a.Negative(), integer);
}

constexpr SoftExtended SoftExtended::Scale(SoftExtended a, SoftExtended n) {
    if (a.IsNaN() || n.IsNaN()) return PropagateNaN(a, n);
    if (n.IsInf()) {
        if (n.Negative()) return a.IsInf() ? Indefinite() : FromBits(a.se_ & 0x8000, 0);
        return a.sig_ == 0 ? Indefinite() : Infinity(a.Negative());
    }
    if (a.IsInf() || a.sig_ == 0) return a;
    // Far beyond either end of the range every result is the same.
    int64_t t = static_cast<int64_t>(RoundToIntegral(n, true));
    if (t == INT64_MIN) t = n.Negative() ? -(int64_t{1} << 20) : (int64_t{1} << 20);
    if (t > (1 << 20)) t = 1 << 20;
    if (t < -(1 << 20)) t = -(1 << 20);
    return Round(a.Negative(), a.ScaleExponent() + static_cast<int32_t>(t), static_cast<soft::U128>(a.sig_) << 64);
}

}  // namespace pelmora

namespace std {

template <>
class numeric_limits<pelmora::SoftExtended> {
public:
    using T = pelmora::SoftExtended;
    static constexpr bool is_specialized = true;
    static constexpr bool is_signed = true;
    static constexpr bool is_integer = false;
    static constexpr bool is_exact = false;
    static constexpr bool has_infinity = true;
    static constexpr bool has_quiet_NaN = true;
    static constexpr bool is_iec559 = true;
    static constexpr int radix = 2;
    static constexpr int digits = 64;
    static constexpr int min_exponent = -16381;
    static constexpr int max_exponent = 16384;
    static constexpr float_round_style round_style = round_to_nearest;
    static constexpr T min() noexcept { return T::FromBits(0x0001, 0x8000000000000000ull); }
    static constexpr T max() noexcept { return T::FromBits(0x7ffe, 0xffffffffffffffffull); }
    static constexpr T lowest() noexcept { return T::FromBits(0xfffe, 0xffffffffffffffffull); }
    static constexpr T epsilon() noexcept { return T::FromBits(0x3fc0, 0x8000000000000000ull); }
    static constexpr T denorm_min() noexcept { return T::FromBits(0x0000, 1); }
    static constexpr T infinity() noexcept { return T::FromBits(0x7fff, 0x8000000000000000ull); }
    static constexpr T quiet_NaN() noexcept { return T::FromBits(0x7fff, 0xc000000000000000ull); }
};

}  // namespace std

namespace pelmora::soft {

// The transcendental primitives (soft_extended.cpp), evaluated with about
// 120 bits and rounded once; what the x87 unit's fyl2x (with its ln 2),
// f2xm1, fcos and fptan compute, on the ranges the engine uses them.
SoftExtended Ln(SoftExtended x);        // log2(x) * ln 2, ln 2 rounded to the format
SoftExtended Exp2m1(SoftExtended f);    // 2^f - 1, |f| <= 1/2
SoftExtended Cos(SoftExtended x);       // beyond 2^62 in size x itself
SoftExtended Tan(SoftExtended x);       // likewise
SoftExtended FromText(const char* digits);  // a decimal text without a point, rounded once

}  // namespace pelmora::soft
