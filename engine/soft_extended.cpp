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

// The slow, careful forms: the natural logarithm and 2^f - 1 in Wide. They
// build the tables below and take the arguments the tables serve badly
// (near 1 for the logarithm, tiny f), where they need few terms.
Wide NaturalLog(SoftExtended x) {
    // x = m * 2^k with m in [sqrt(1/2), sqrt 2); ln m = 2 atanh(s), s = (m - 1) / (m + 1)
    Wide m = FromExtended(x);
    int32_t k = m.exp;
    m.exp = 0;
    if (m.sig > kSqrt2Sig) {
        m.exp = -1;
        ++k;
    }
    const Wide one = Constant(uint64_t{1} << 63, 0, 0);
    const Wide s = Div(Sub(m, one), Add(m, one));
    const Wide lnM = Times2To(Mul(s, Polynomial(Mul(s, s), kAtanhCoefficients)), 1);
    return Add(Mul(FromInteger(k), kWideLn2), lnM);
}

Wide Exp2m1Wide(SoftExtended f) {
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
    return e;
}

// The fast forms work in fixed point: a signed 128-bit integer times 2^-124
// (magnitudes below 8), products truncated; they serve arguments whose
// results are not small, so the absolute error of about 2^-121 stays a
// relative one below 2^-100.
using Fixed = __int128;
constexpr int kPoint = 124;

constexpr Fixed FixMul(Fixed a, Fixed b) {
    const bool negative = (a < 0) != (b < 0);
    const U128 x = a < 0 ? -static_cast<U128>(a) : static_cast<U128>(a);
    const U128 y = b < 0 ? -static_cast<U128>(b) : static_cast<U128>(b);
    const uint64_t xh = static_cast<uint64_t>(x >> 64), xl = static_cast<uint64_t>(x);
    const uint64_t yh = static_cast<uint64_t>(y >> 64), yl = static_cast<uint64_t>(y);
    const U128 hl = static_cast<U128>(xh) * yl, lh = static_cast<U128>(xl) * yh;
    const U128 mid = ((static_cast<U128>(xl) * yl) >> 64) + static_cast<uint64_t>(hl) + static_cast<uint64_t>(lh);
    const U128 hi = static_cast<U128>(xh) * yh + (hl >> 64) + (lh >> 64) + (mid >> 64);
    const U128 r = (hi << (128 - kPoint)) | (static_cast<U128>(static_cast<uint64_t>(mid)) >> (kPoint - 64));
    return negative ? -static_cast<Fixed>(r) : static_cast<Fixed>(r);
}

constexpr Fixed ToFixed(Wide w) {
    if (w.sig == 0 || w.exp < -100) return 0;
    const U128 v = w.sig >> (127 - kPoint - w.exp);  // w.exp <= 2 here
    return w.negative ? -static_cast<Fixed>(v) : static_cast<Fixed>(v);
}

constexpr Fixed FixedOne = Fixed{1} << kPoint;

// A fixed-point value rounded once to the format.
SoftExtended FixedToExtended(Fixed v) {
    const bool negative = v < 0;
    return SoftExtended::Round(negative, soft::kBias + 127 - kPoint, negative ? -static_cast<U128>(v) : static_cast<U128>(v));
}

// Series coefficients in fixed point: (-1)^(n+1) / n for ln(1 + t), 1 / n!
// for e^y - 1, sin and cos.
constexpr std::array<Fixed, 10> kLogSeries = [] {
    std::array<Fixed, 10> c{};
    for (int n = 1; n < 10; ++n) c[n] = (n % 2 ? 1 : -1) * ToFixed(InverseOf(static_cast<uint64_t>(n)));
    return c;
}();
constexpr std::array<Fixed, 16> kFactorialSeries = [] {
    std::array<Fixed, 16> c{};
    for (int n = 0; n < 16; ++n) c[n] = ToFixed(kInverseFactorial[n]);
    return c;
}();
constexpr Fixed kFixedLog2E = ToFixed(kWideLog2E);
constexpr Fixed kFixedLn2 = ToFixed(kWideLn2);

// The tables of the fast forms, made once with the slow ones.
struct Tables {
    // ln x: m in [1, 2) times c1 = C1 / 2^16, picked by m's top 7 fraction
    // bits, is within 2^-8 of 1; times c2 = C2 / 2^24, picked by the next
    // bits, within 2^-16.
    std::array<uint32_t, 128> c1;
    std::array<Fixed, 128> lnC1;
    static constexpr int kC2Half = 300;
    std::array<uint32_t, 2 * kC2Half + 1> c2;
    std::array<Fixed, 2 * kC2Half + 1> lnC2;
    // 2^f - 1: 2^(j/256) and 2^(j/256) - 1 for j = -128..128
    std::array<Fixed, 257> pow2, pow2m1;
    // sin and cos of j/64, j = 0..52
    std::array<Fixed, 53> sinA, cosA;

    Tables() {
        for (int i = 0; i < 128; ++i) {
            c1[i] = static_cast<uint32_t>(((uint64_t{1} << 25) / (257 + 2 * i) + 1) / 2);
            lnC1[i] = ToFixed(NaturalLog(SoftExtended(c1[i]) * SoftExtended(0x1p-16)));
        }
        for (int j = -kC2Half; j <= kC2Half; ++j) {
            const uint64_t c = (((uint64_t{1} << 40) / static_cast<uint64_t>((1 << 15) + j)) + 1) / 2;
            c2[j + kC2Half] = static_cast<uint32_t>(c);
            lnC2[j + kC2Half] = ToFixed(NaturalLog(SoftExtended(c) * SoftExtended(0x1p-24)));
        }
        for (int j = -128; j <= 128; ++j) {
            pow2m1[j + 128] = ToFixed(Exp2m1Wide(SoftExtended(j) * SoftExtended(0x1p-8)));
            pow2[j + 128] = pow2m1[j + 128] + FixedOne;
        }
        for (int j = 0; j <= 52; ++j) {
            const Wide a = FromExtended(SoftExtended(j) * SoftExtended(0x1p-6));
            sinA[j] = ToFixed(Sine(a));
            cosA[j] = ToFixed(Cosine(a));
        }
    }
};

const Tables& Table() {
    static const Tables tables;
    return tables;
}

// sin r and cos r for |r| <= pi/4 (in fixed point): r = a + d with a = j/64
// from the table and |d| <= 1/128, whose series end at d^13 and d^14.
struct SinCos {
    Fixed sin, cos;
};

SinCos FixedSinCos(Fixed r) {
    const Tables& t = Table();
    const int j = static_cast<int>((r + (Fixed{1} << (kPoint - 7))) >> (kPoint - 6));
    const Fixed d = r - (static_cast<Fixed>(j) << (kPoint - 6));
    const Fixed z = FixMul(d, d);
    auto sign = [](int n) { return n % 2 ? -1 : 1; };
    Fixed ps = kFactorialSeries[13], pc = -kFactorialSeries[14];
    for (int n = 5; n >= 0; --n) ps = FixMul(ps, z) + sign(n) * kFactorialSeries[2 * n + 1];
    for (int n = 6; n >= 0; --n) pc = FixMul(pc, z) + sign(n) * kFactorialSeries[2 * n];
    const Fixed sd = FixMul(d, ps), cd = pc;
    const Fixed sa = j < 0 ? -t.sinA[-j] : t.sinA[j], ca = t.cosA[j < 0 ? -j : j];
    return {FixMul(sa, cd) + FixMul(ca, sd), FixMul(ca, cd) - FixMul(sa, sd)};
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
    // Within 2^-8 of 1 the result is small: the careful form, with few terms.
    const int32_t e = x.BiasedExponent();
    const uint64_t sig = x.Significand();
    if ((e == soft::kBias && (sig >> 55) == 0x100) || (e == soft::kBias - 1 && (sig >> 56) == 0xff))
        return ToExtended(Mul(Mul(NaturalLog(x), kWideLog2E), FromExtended(kLn2Extended)));
    // x = m * 2^k, m = M / 2^63 in [1, 2); ln m = ln(m c1 c2) - ln c1 - ln c2
    const Wide w = FromExtended(x);
    const int32_t k = w.exp;
    const uint64_t m = static_cast<uint64_t>(w.sig >> 64);
    const Tables& t = Table();
    const int i = static_cast<int>((m >> 56) & 0x7f);
    const U128 p1 = static_cast<U128>(m) * t.c1[i];  // times 2^-79
    const Fixed t1 = static_cast<Fixed>(p1) - (Fixed{1} << 79);
    const int j = static_cast<int>((t1 + (Fixed{1} << 63)) >> 64);  // t1 in units of 2^-15, rounded
    const U128 p2 = p1 * t.c2[j + Tables::kC2Half];                 // times 2^-103
    const Fixed tt = (static_cast<Fixed>(p2) - (Fixed{1} << 103)) << (kPoint - 103);
    // ln(1 + tt) = tt (1 - tt/2 + tt^2/3 - ...), |tt| <= 2^-16: to tt^9
    Fixed q = kLogSeries[9];
    for (int n = 8; n >= 1; --n) q = FixMul(q, tt) + kLogSeries[n];
    const Fixed lnM = FixMul(tt, q) - t.lnC1[i] - t.lnC2[j + Tables::kC2Half];
    // log2 x = k + ln m * log2 e, then times the x87 unit's ln 2 (64 bits)
    const Fixed log2M = FixMul(lnM, kFixedLog2E);
    const int point = k == 0 ? kPoint : 110;
    const Fixed y = (static_cast<Fixed>(k) << point) + (log2M >> (kPoint - point));
    const bool negative = y < 0;
    const U128 a = negative ? -static_cast<U128>(y) : static_cast<U128>(y);
    const uint64_t ln2 = kLn2Extended.Significand();  // ln 2 = ln2 * 2^-64
    const U128 lo = static_cast<U128>(static_cast<uint64_t>(a)) * ln2;
    const U128 hi = static_cast<U128>(static_cast<uint64_t>(a >> 64)) * ln2 + (lo >> 64);
    const U128 top = hi | (static_cast<uint64_t>(lo) != 0);  // (a * ln2) / 2^64, sticky
    return Extended::Round(negative, soft::kBias + 127 - point, top);
}

Extended Exp2m1(Extended f) {
    if (f.IsNaN()) return f + f;
    if (f.IsZero()) return f;
    const int32_t e = f.BiasedExponent() - soft::kBias;  // |f| in [2^e, 2^(e+1))
    if (e < -20 || e >= 0) return ToExtended(Exp2m1Wide(f));
    // 2^f - 1 = (2^a - 1) + 2^a (e^y - 1), a = j/256 nearest f, y = (f - a) ln 2
    const Fixed fx = ToFixed(FromExtended(f));  // exact
    const int j = static_cast<int>((fx + (Fixed{1} << (kPoint - 9))) >> (kPoint - 8));
    const Fixed g = fx - (static_cast<Fixed>(j) << (kPoint - 8));
    const Fixed y = FixMul(g, kFixedLn2);
    // e^y - 1 = y (1 + y/2! + ... + y^10/11!), |y| <= 2^-9.5
    Fixed q = kFactorialSeries[11];
    for (int n = 10; n >= 1; --n) q = FixMul(q, y) + kFactorialSeries[n];
    const Tables& t = Table();
    return FixedToExtended(t.pow2m1[j + 128] + FixMul(t.pow2[j + 128], FixMul(q, y)));
}

// Beyond 2^62 in size an argument is returned unchanged (the x87 unit does
// so from 2^63); the generators stay below 2 pi.
constexpr bool OutOfRange(Extended x) { return x.BiasedExponent() >= soft::kBias + 62; }

// sin r and cos r of the reduced argument: in fixed point, or in Wide when
// r is small (near a zero of the cosine), where relative accuracy counts.
struct WideSinCos {
    Wide sin, cos;
};

WideSinCos ReducedSinCos(const Wide& r) {
    if (r.sig == 0 || r.exp < -8) return {Sine(r), Cosine(r)};
    const SinCos sc = FixedSinCos(ToFixed(r));
    auto toWide = [](Fixed v) { return Normalized(v < 0, 127 - kPoint, v < 0 ? -static_cast<U128>(v) : static_cast<U128>(v)); };
    return {toWide(sc.sin), toWide(sc.cos)};
}

Extended Cos(Extended x) {
    if (x.IsNaN()) return x + x;
    if (x.IsInf()) return Extended::Indefinite();
    if (OutOfRange(x)) return x;
    const Reduced red = ReduceHalfPi(x);
    if (red.r.sig != 0 && red.r.exp >= -8) {
        const SinCos sc = FixedSinCos(ToFixed(red.r));
        switch (red.k & 3) {
            case 0: return FixedToExtended(sc.cos);
            case 1: return FixedToExtended(-sc.sin);
            case 2: return FixedToExtended(-sc.cos);
            default: return FixedToExtended(sc.sin);
        }
    }
    switch (red.k & 3) {
        case 0: return ToExtended(Cosine(red.r));
        case 1: return ToExtended(Negate(Sine(red.r)));
        case 2: return ToExtended(Negate(Cosine(red.r)));
        default: return ToExtended(Sine(red.r));
    }
}

Extended Tan(Extended x) {
    if (x.IsNaN()) return x + x;
    if (x.IsInf()) return Extended::Indefinite();
    if (x.IsZero() || OutOfRange(x)) return x;
    const Reduced red = ReduceHalfPi(x);
    const WideSinCos sc = ReducedSinCos(red.r);
    Wide t = (red.k & 1) ? Negate(Div(sc.cos, sc.sin)) : Div(sc.sin, sc.cos);
    if (x.Negative()) t = Negate(t);
    return ToExtended(t);
}

PELMORA_IN_DOUBLE("the C library reads the text; the value is rounded once to the format")
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
