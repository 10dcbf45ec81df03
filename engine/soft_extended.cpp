// The software extended type's conversions from and to the host's long
// double and from decimal text, and its logarithm, 2^f - 1, cosine and
// tangent.
//
// The four functions are evaluated in a 128-bit floating format of their
// own (Wide: sign, exponent and a 128-bit significand, truncating), about
// 120 correct bits, and rounded once to the extended format by
// SoftExtended::Round. They are therefore correctly rounded except when the
// exact value lies within about 2^-56 of an ulp of a rounding boundary.

#include <array>
#include <cfenv>
#include <cfloat>
#include <cstdlib>
#include <cstring>

#include "engine/soft_extended.h"

namespace pelmora {

using soft::U128;
using Extended = SoftExtended;

namespace {

// value = (-1)^negative * sig * 2^(exp - 127); sig has its top bit set, or is 0.
struct Wide {
    bool negative = false;
    int32_t exp = 0;
    U128 sig = 0;
};

constexpr Wide Normalized(bool negative, int32_t exp, U128 sig) {
    if (sig == 0) return {};
    const int shift = soft::Clz128(sig);
    return {negative, exp - shift, sig << shift};
}

constexpr Wide FromExtended(SoftExtended x) {
    const int32_t e = x.BiasedExponent() == 0 ? 1 : x.BiasedExponent();
    return Normalized(x.Negative(), e - soft::kBias, static_cast<U128>(x.Significand()) << 64);
}

constexpr Wide FromInteger(int64_t k) {
    const uint64_t m = k < 0 ? 0 - static_cast<uint64_t>(k) : static_cast<uint64_t>(k);
    return Normalized(k < 0, 127 - 64, static_cast<U128>(m) << 64);
}

// A 128-bit constant c * 2^(exp - 127).
constexpr Wide Constant(uint64_t hi, uint64_t lo, int32_t exp) { return {false, exp, (static_cast<U128>(hi) << 64) | lo}; }

SoftExtended ToExtended(Wide w) { return SoftExtended::Round(w.negative, w.exp + soft::kBias, w.sig); }

constexpr Wide Negate(Wide a) {
    a.negative = !a.negative;
    return a;
}

constexpr Wide Times2To(Wide a, int32_t k) {
    if (a.sig != 0) a.exp += k;
    return a;
}

// The top 128 bits of the 256-bit product, less than 3 units of the last place low.
constexpr Wide Mul(Wide a, Wide b) {
    if (a.sig == 0 || b.sig == 0) return {};
    const uint64_t ah = static_cast<uint64_t>(a.sig >> 64), al = static_cast<uint64_t>(a.sig);
    const uint64_t bh = static_cast<uint64_t>(b.sig >> 64), bl = static_cast<uint64_t>(b.sig);
    const U128 hh = static_cast<U128>(ah) * bh;
    const U128 hl = static_cast<U128>(ah) * bl;
    const U128 lh = static_cast<U128>(al) * bh;
    const U128 mid = (hl & ~uint64_t{0}) + (lh & ~uint64_t{0}) + ((static_cast<U128>(al) * bl) >> 64);
    U128 hi = hh + (hl >> 64) + (lh >> 64) + (mid >> 64);
    int32_t exp = a.exp + b.exp + 1;
    if (!(hi >> 127)) {
        hi = (hi << 1) | ((mid >> 63) & 1);
        --exp;
    }
    return {a.negative != b.negative, exp, hi};
}

constexpr Wide Add(Wide a, Wide b) {
    if (b.sig == 0) return a;
    if (a.sig == 0) return b;
    if (a.exp < b.exp || (a.exp == b.exp && a.sig < b.sig)) std::swap(a, b);
    const int32_t d = a.exp - b.exp;
    const U128 x = a.sig >> 1;
    const U128 y = d >= 127 ? 0 : (b.sig >> 1) >> d;
    if (a.negative == b.negative) return Normalized(a.negative, a.exp + 1, x + y);
    return Normalized(a.negative, a.exp + 1, x - y);
}

constexpr Wide Sub(Wide a, Wide b) { return Add(a, Negate(b)); }

// 1 / d: a 64-bit first guess, then one Newton step, y + y (1 - d y).
constexpr Wide Reciprocal(Wide d) {
    const uint64_t dh = static_cast<uint64_t>(d.sig >> 64);
    const U128 q = ~U128{0} / (static_cast<U128>(dh) + 1);  // about 2^128 / dh
    const Wide y = Normalized(d.negative, 62 - d.exp, q);
    const Wide e = Sub(Constant(uint64_t{1} << 63, 0, 0), Mul(d, y));
    return Add(y, Mul(y, e));
}

constexpr Wide Div(Wide a, Wide b) { return Mul(a, Reciprocal(b)); }

// 1 / n by long division, to 128 bits.
constexpr Wide InverseOf(uint64_t n) {
    U128 sig = 0;
    int got = 0, first = 0;
    U128 rem = 1;
    for (int pos = 0; got < 128; ++pos) {
        bool bit = rem >= n;
        if (bit) rem -= n;
        rem <<= 1;
        if (got == 0 && !bit) continue;
        if (got == 0) first = pos;
        sig = (sig << 1) | static_cast<U128>(bit);
        ++got;
    }
    return {false, -first, sig};  // the first one bit has weight 2^-first
}

// The x87 unit's ln 2 (fldln2), which the logarithm multiplies by.
constexpr SoftExtended kLn2Extended = SoftExtended::FromBits(0x3ffe, 0xb17217f7d1cf79acull);
// Constants to 128 bits.
constexpr Wide kWideLn2 = Constant(0xb17217f7d1cf79abull, 0xc9e3b39803f2f6afull, -1);
constexpr Wide kWideLog2E = Constant(0xb8aa3b295c17f0bbull, 0xbe87fed0691d3e89ull, 0);
constexpr Wide kWideTwoOverPi = Div(Constant(uint64_t{1} << 63, 0, 0), Constant(0xc90fdaa22168c234ull, 0xc4c6628b80dc1cd1ull, 0));
// sqrt 2 * 2^127 rounded up: significands above it are halved for the logarithm.
constexpr U128 kSqrt2Sig = (static_cast<U128>(0xb504f333f9de6484ull) << 64) | 0x597d89b3754abe9full;
// pi / 2: its top 64 bits (times 2^-63) and what is left, to 128 bits.
constexpr uint64_t kHalfPiTop = 0xc90fdaa22168c234ull;
constexpr Wide kHalfPiRest = Constant(0xc4c6628b80dc1cd1ull, 0x29024e088a67cc74ull, -64);

// 2 atanh(s) / s = 2 sum s^2j / (2j + 1), for |s| <= 0.1716: 24 terms leave
// less than 2^-125.
constexpr int kAtanhTerms = 24;
constexpr std::array<Wide, kAtanhTerms> kAtanhCoefficients = [] {
    std::array<Wide, kAtanhTerms> c{};
    for (int j = 0; j < kAtanhTerms; ++j) c[j] = InverseOf(2 * static_cast<uint64_t>(j) + 1);
    return c;
}();

// 1 / n! for the series of e^y - 1, sin and cos.
constexpr int kFactorials = 36;
constexpr std::array<Wide, kFactorials> kInverseFactorial = [] {
    std::array<Wide, kFactorials> c{};
    c[0] = Constant(uint64_t{1} << 63, 0, 0);
    for (int n = 1; n < kFactorials; ++n) c[n] = Mul(c[n - 1], InverseOf(static_cast<uint64_t>(n)));
    return c;
}();

// sum c[j] z^j by Horner's rule.
template <std::size_t N>
constexpr Wide Polynomial(Wide z, const std::array<Wide, N>& c) {
    Wide p = c[N - 1];
    for (std::size_t j = N - 1; j-- > 0;) p = Add(Mul(p, z), c[j]);
    return p;
}

// sin r / r and cos r as series in r^2, to r^33: for |r| <= 1 the rest is below 2^-127.
constexpr int kTrigTerms = 17;
constexpr std::array<Wide, kTrigTerms> kSineCoefficients = [] {
    std::array<Wide, kTrigTerms> c{};
    for (int n = 0; n < kTrigTerms; ++n) c[n] = n % 2 ? Negate(kInverseFactorial[2 * n + 1]) : kInverseFactorial[2 * n + 1];
    return c;
}();
constexpr std::array<Wide, kTrigTerms> kCosineCoefficients = [] {
    std::array<Wide, kTrigTerms> c{};
    for (int n = 0; n < kTrigTerms; ++n) c[n] = n % 2 ? Negate(kInverseFactorial[2 * n]) : kInverseFactorial[2 * n];
    return c;
}();

Wide Sine(Wide r) { return Mul(r, Polynomial(Mul(r, r), kSineCoefficients)); }
Wide Cosine(Wide r) { return Polynomial(Mul(r, r), kCosineCoefficients); }

// |x| = k pi/2 + r with |r| <= pi/4 (a little more for arguments far out).
// The first step is exact in integers, the rest carries 128 bits of pi/2.
struct Reduced {
    Wide r;
    uint64_t k;
};

Reduced ReduceHalfPi(SoftExtended x) {
    const Wide w = FromExtended(SoftExtended::FromBits(x.SignExponent() & 0x7fff, x.Significand()));
    if (w.sig == 0 || w.exp < -1) return {w, 0};  // below 1/2: the series take it as it is
    const Wide q = Mul(w, kWideTwoOverPi);
    // k = q rounded to nearest
    uint64_t k = 0;
    if (q.exp >= -1) {
        const U128 halves = q.sig >> (126 - q.exp);  // the integer part and one more bit
        k = static_cast<uint64_t>((halves + 1) >> 1);
    }
    if (k == 0) return {w, 0};
    // |x| - k * top: both are multiples of 2^-64 (|x| >= pi/4 > 2^-1), exact in 128 bits.
    const int32_t e = x.BiasedExponent() - soft::kBias;  // |x| = sig * 2^(e - 63), e >= -1
    const __int128 xs = static_cast<__int128>(static_cast<U128>(x.Significand()) << (e + 1));
    const __int128 d = xs - static_cast<__int128>(static_cast<U128>(k) * kHalfPiTop * 2);
    const bool dNegative = d < 0;
    const Wide first = Normalized(dNegative, 127 - 64, static_cast<U128>(dNegative ? -d : d));
    return {Sub(first, Mul(FromInteger(static_cast<int64_t>(k)), kHalfPiRest)), k};
}

}  // namespace

SoftExtended::SoftExtended(long double v) {
#if LDBL_MANT_DIG == 64
    unsigned char bytes[sizeof v];
    std::memcpy(bytes, &v, sizeof v);
    std::memcpy(&sig_, bytes, 8);
    std::memcpy(&se_, bytes + 8, 2);
#elif LDBL_MANT_DIG == 113
    U128 bits;
    std::memcpy(&bits, &v, 16);
    const bool negative = bits >> 127;
    const int32_t e = static_cast<int32_t>((bits >> 112) & 0x7fff);
    const U128 fraction = bits & ((U128{1} << 112) - 1);
    if (e == 0x7fff) {
        *this = fraction == 0 ? Infinity(negative)
                              : FromBits(static_cast<uint16_t>((negative ? 0x8000 : 0) | 0x7fff),
                                         soft::kTop | static_cast<uint64_t>(fraction >> 49) | (uint64_t{1} << 62));
        return;
    }
    // value = (hidden + fraction) * 2^(max(e, 1) - 16383 - 112); both formats share the bias.
    const U128 sig = ((e == 0 ? U128{0} : U128{1} << 112) | fraction) << 15;
    *this = Round(negative, (e == 0 ? 1 : e), sig);
#else
    *this = SoftExtended(static_cast<double>(v));
#endif
}

SoftExtended::operator long double() const {
#if LDBL_MANT_DIG == 64
    long double v = 0;
    unsigned char bytes[sizeof v] = {};
    std::memcpy(bytes, &sig_, 8);
    std::memcpy(bytes + 8, &se_, 2);
    std::memcpy(&v, bytes, sizeof v);
    return v;
#elif LDBL_MANT_DIG == 113
    const U128 sign = Negative() ? U128{1} << 127 : 0;
    if (IsNaN() || IsInf())
        return [&] {
            U128 bits = sign | (U128{0x7fff} << 112) | (static_cast<U128>(sig_ & ~soft::kTop) << 49);
            long double v;
            std::memcpy(&v, &bits, 16);
            return v;
        }();
    if (sig_ == 0) return Negative() ? -0.0L : 0.0L;
    const int shift = soft::Clz64(sig_);
    const int32_t e = ScaleExponent() - shift;  // value = (sig << shift) * 2^(e - 16383 - 63)
    const U128 m = static_cast<U128>(sig_ << shift);
    // Every extended value is a normal binary128 value but for the very lowest.
    U128 bits;
    if (e >= 1) {
        bits = sign | (static_cast<U128>(e) << 112) | ((m << 49) & ((U128{1} << 112) - 1));
    } else {
        bits = sign | ((m << 49) >> (1 - e));
    }
    long double v;
    std::memcpy(&v, &bits, 16);
    return v;
#else
    return static_cast<long double>(static_cast<double>(*this));
#endif
}

namespace soft {

Extended Ln(Extended x) {
    if (x.IsNaN()) return x + x;
    if (x.IsZero()) return -Extended::Infinity(false);
    if (x.Negative()) return Extended::Indefinite();
    if (x.IsInf()) return x;
    // x = m * 2^k with m in [sqrt(1/2), sqrt 2)
    Wide m = FromExtended(x);
    int32_t k = m.exp;
    m.exp = 0;
    if (m.sig > kSqrt2Sig) {
        m.exp = -1;
        ++k;
    }
    const Wide one = Constant(uint64_t{1} << 63, 0, 0);
    // ln m = 2 atanh(s), s = (m - 1) / (m + 1)
    const Wide s = Div(Sub(m, one), Add(m, one));
    const Wide lnM = Times2To(Mul(s, Polynomial(Mul(s, s), kAtanhCoefficients)), 1);
    // log2 x = k + ln m * log2 e, times the x87 constant
    const Wide log2X = Add(FromInteger(k), Mul(lnM, kWideLog2E));
    return ToExtended(Mul(log2X, FromExtended(kLn2Extended)));
}

Extended Exp2m1(Extended f) {
    if (f.IsNaN()) return f + f;
    if (f.IsZero()) return f;
    // e^y - 1 with y = f ln 2: the series at y / 2^8, then eight doublings,
    // e^2y - 1 = (e^y - 1)(e^y - 1 + 2).
    constexpr int kHalvings = 8;
    const Wide y = Times2To(Mul(FromExtended(f), kWideLn2), -kHalvings);
    // (e^y - 1) / y = sum y^n / (n + 1)!, to y^11
    Wide p = kInverseFactorial[12];
    for (int n = 11; n >= 1; --n) p = Add(Mul(p, y), kInverseFactorial[n]);
    Wide e = Mul(p, y);
    const Wide two = Constant(uint64_t{1} << 63, 0, 1);
    for (int i = 0; i < kHalvings; ++i) e = Mul(e, Add(e, two));
    return ToExtended(e);
}

// Beyond 2^62 in size an argument is returned unchanged (the x87 unit does
// so from 2^63); the generators stay below 2 pi.
constexpr bool OutOfRange(Extended x) { return x.BiasedExponent() >= soft::kBias + 62; }

Extended Cos(Extended x) {
    if (x.IsNaN()) return x + x;
    if (x.IsInf()) return Extended::Indefinite();
    if (OutOfRange(x)) return x;
    const Reduced red = ReduceHalfPi(x);
    Wide c;
    switch (red.k & 3) {
        case 0: c = Cosine(red.r); break;
        case 1: c = Negate(Sine(red.r)); break;
        case 2: c = Negate(Cosine(red.r)); break;
        default: c = Sine(red.r); break;
    }
    return ToExtended(c);
}

Extended Tan(Extended x) {
    if (x.IsNaN()) return x + x;
    if (x.IsInf()) return Extended::Indefinite();
    if (x.IsZero() || OutOfRange(x)) return x;
    const Reduced red = ReduceHalfPi(x);
    const Wide s = Sine(red.r), c = Cosine(red.r);
    Wide t = (red.k & 1) ? Negate(Div(c, s)) : Div(s, c);
    if (x.Negative()) t = Negate(t);
    return ToExtended(t);
}

Extended FromText(const char* digits) {
#if LDBL_MANT_DIG == 64
    return Extended(std::strtold(digits, nullptr));
#elif LDBL_MANT_DIG == 113
    // strtold rounds to binary128; rounding that once more to 64 bits is
    // right unless it landed exactly on a midpoint of the extended format.
    // Then the text is read again rounded down and up: the reading that
    // is not the midpoint shows on which side of it the exact value lies.
    const long double nearest = std::strtold(digits, nullptr);
    U128 bits;
    std::memcpy(&bits, &nearest, 16);
    const U128 below = bits & ((U128{1} << 49) - 1);
    if (below != (U128{1} << 48)) return Extended(nearest);
    const int mode = std::fegetround();
    std::fesetround(FE_DOWNWARD);
    const long double down = std::strtold(digits, nullptr);
    std::fesetround(FE_UPWARD);
    const long double up = std::strtold(digits, nullptr);
    std::fesetround(mode);
    if (down == up) return Extended(nearest);  // exactly the midpoint: ties to even
    return Extended(down == nearest ? up : down);
#else
#error "reading decimal text needs a long double of at least 64 significand bits"
#endif
}

}  // namespace soft

}  // namespace pelmora
