#include "core/numtext.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace pelmora {

namespace {

using u128 = unsigned __int128;

// An empty separator (regional settings without one) stands for ".".
std::string_view EffectiveSeparator(std::string_view sep) { return sep.empty() ? std::string_view(".") : sep; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// ---------------------------------------------------------------------------
// Text to real
// ---------------------------------------------------------------------------

// Digits kept for the exact conversion. Every rounding boundary of the
// extended format (a midpoint between neighbours, or the overflow threshold)
// is (2j+1) * 2^-16446 or coarser, and such a number has at most
// floor(16446 * log10 5 + 65 * log10 2) + 1 = 11515 significant digits. Keeping
// the first 12000 digits and standing in a single 1 for a nonzero rest
// therefore lands on the same side of every boundary as the full text does.
constexpr std::size_t kKeptDigits = 12000;

// Exact powers of ten in extended precision: 10^27 = 2^27 * 5^27 and
// 5^27 < 2^64, so all of these fit the 64-bit significand.
constexpr std::array<Extended, 28> kExactPow10 = [] {
    std::array<Extended, 28> p{};
    Extended v = 1;
    for (auto& x : p) {
        x = v;
        v *= 10;
    }
    return p;
}();

// The digits of a valid text: the integer part [intBegin, intEnd) and the
// fraction [fracBegin, fracEnd) of the text, and the explicit exponent.
struct Mantissa {
    std::size_t intBegin, intEnd, fracBegin, fracEnd;
    int exponent;
};

// A walk over the significant digits, which may straddle the separator.
class DigitRun {
public:
    DigitRun(std::string_view text, const Mantissa& m) : text_(text), m_(m) {}

    // The n-th digit (from 0) of the integer part followed by the fraction.
    char At(std::size_t n) const {
        std::size_t intLen = m_.intEnd - m_.intBegin;
        return n < intLen ? text_[m_.intBegin + n] : text_[m_.fracBegin + (n - intLen)];
    }
    std::size_t Size() const { return (m_.intEnd - m_.intBegin) + (m_.fracEnd - m_.fracBegin); }

private:
    std::string_view text_;
    const Mantissa& m_;
};

// Rounds the value of the significant digits run[first, first + count), read
// as 0.d1d2...dn times 10^decExp, to extended precision. The first and the
// last digit are not zero.
Extended ScaleDigits(const DigitRun& run, std::size_t first, std::size_t count, int64_t decExp) {
    // 10^4933 exceeds the largest extended value (about 1.19E4932); below
    // 10^-4952 everything rounds to zero (the smallest denormal is 3.6E-4951).
    if (decExp > 4933) return std::numeric_limits<Extended>::infinity();
    if (decExp < -4951) return 0;

    // Quick path: at most 19 digits form an exact 64-bit integer, and one
    // multiplication or division by an exact power of ten rounds only once.
    int64_t scale = decExp - static_cast<int64_t>(count);
    if (count <= 19) {
        uint64_t n = 0;
        for (std::size_t i = 0; i < count; ++i) n = n * 10 + static_cast<uint64_t>(run.At(first + i) - '0');
        // Fold a larger scale into the integer while it stays below 10^19.
        for (std::size_t width = count; scale > 27 && width < 19; ++width) {
            n *= 10;
            --scale;
        }
        if (scale >= 0 && scale <= 27) return static_cast<Extended>(n) * kExactPow10[static_cast<std::size_t>(scale)];
        if (scale < 0 && scale >= -27) return static_cast<Extended>(n) / kExactPow10[static_cast<std::size_t>(-scale)];
    }

    // General case: glibc's strtold rounds exactly. The text handed to it
    // has no decimal point, so the process locale cannot change its reading.
    char buf[kKeptDigits + 32];
    std::size_t kept = count < kKeptDigits ? count : kKeptDigits;
    for (std::size_t i = 0; i < kept; ++i) buf[i] = run.At(first + i);
    std::size_t len = kept;
    int64_t exp10 = decExp - static_cast<int64_t>(kept);
    if (kept < count) {  // the last digit is nonzero, so the dropped rest is
        buf[len++] = '1';
        --exp10;
    }
    len += static_cast<std::size_t>(std::snprintf(buf + len, 32, "e%lld", static_cast<long long>(exp10)));
    buf[len] = '\0';
    return std::strtold(buf, nullptr);
}

[[noreturn]] void ThrowInvalid(std::string_view text) { throw Error(InvalidRealMessage(text)); }

}  // namespace

std::string InvalidRealMessage(std::string_view text) {
    std::string msg;
    msg.reserve(text.size() + 40);
    msg += '\'';
    msg += text;
    msg += "' is not a valid floating point value";
    return msg;
}

// The steps: blanks, sign, integer digits, separator and fraction digits (at
// least one character taken by these two), exponent, blanks, end of text.
// A zero mantissa gives zero whatever its exponent ("0e4999" reads as 0);
// the sign is applied last, so "-0" gives -0.
Extended TextToReal(std::string_view text, std::string_view sep) {
    sep = EffectiveSeparator(sep);
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && text[i] == ' ') ++i;

    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

    Mantissa m{};
    m.intBegin = i;
    while (i < n && IsDigit(text[i])) ++i;
    m.intEnd = i;
    m.fracBegin = m.fracEnd = i;
    bool tookSeparator = false;
    if (text.substr(i).starts_with(sep)) {
        tookSeparator = true;
        i += sep.size();
        m.fracBegin = i;
        while (i < n && IsDigit(text[i])) ++i;
        m.fracEnd = i;
    }
    if (m.intEnd == m.intBegin && !tookSeparator) ThrowInvalid(text);

    if (i < n && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
        int e = 0;
        while (i < n && IsDigit(text[i]) && e < 500) e = e * 10 + (text[i++] - '0');
        m.exponent = expNegative ? -e : e;
    }

    while (i < n && text[i] == ' ') ++i;
    if (i != n) ThrowInvalid(text);

    // The significant digits: from the first nonzero digit to the last one.
    DigitRun run(text, m);
    const std::size_t total = run.Size();
    const std::size_t intLen = m.intEnd - m.intBegin;
    std::size_t first = 0;
    while (first < total && run.At(first) == '0') ++first;
    if (first == total) return negative ? -0.0L : 0.0L;
    std::size_t last = total - 1;
    while (run.At(last) == '0') --last;

    // The value is 0.d(first)...d(last) times 10^decExp.
    int64_t decExp = static_cast<int64_t>(intLen) - static_cast<int64_t>(first) + m.exponent;
    Extended v = ScaleDigits(run, first, last - first + 1, decExp);
    if (v > std::numeric_limits<Extended>::max()) ThrowInvalid(text);
    return negative ? -v : v;
}

// ---------------------------------------------------------------------------
// The general format
// ---------------------------------------------------------------------------

namespace {

// Powers of ten 10^q for q from kMinQ to kMaxQ as 128-bit significands,
// truncated: 10^q = (hi:lo + delta) * 2^exp2 with 0 <= delta < 1 and hi's top
// bit set. Exact for 0 <= q <= 55.
struct Pow10 {
    uint64_t hi, lo;
    int32_t exp2;
};

constexpr int kMinQ = -300;  // a double below 1.8E308 needs q >= 19 - 309 - 1
constexpr int kMaxQ = 345;   // the smallest denormal (4.9E-324) needs q = 19 + 323 (+1)

// A fixed-size unsigned integer for building the table at compile time.
struct TableBig {
    static constexpr int kLimbs = 34;  // 1088 bits: 2^1024 and 5^345 (802 bits)
    std::array<uint32_t, kLimbs> limb{};

    constexpr void MulSmall(uint32_t f) {
        uint64_t carry = 0;
        for (auto& l : limb) {
            uint64_t t = static_cast<uint64_t>(l) * f + carry;
            l = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
    }
    constexpr void DivSmall(uint32_t d) {
        uint64_t rem = 0;
        for (int i = kLimbs - 1; i >= 0; --i) {
            uint64_t t = (rem << 32) | limb[i];
            limb[i] = static_cast<uint32_t>(t / d);
            rem = t % d;
        }
    }
    constexpr int BitLength() const {
        for (int i = kLimbs - 1; i >= 0; --i)
            if (limb[i]) return i * 32 + std::bit_width(limb[i]);
        return 0;
    }
    constexpr bool Bit(int b) const { return b >= 0 && b < kLimbs * 32 && ((limb[b / 32] >> (b % 32)) & 1u); }
    // Bits [low, low + 128) as a 128-bit number; bits below 0 read as zero.
    constexpr u128 Top128(int low) const {
        u128 r = 0;
        for (int b = 127; b >= 0; --b) r = (r << 1) | (Bit(low + b) ? 1u : 0u);
        return r;
    }
};

using Pow10Table = std::array<Pow10, kMaxQ - kMinQ + 1>;

constexpr Pow10 MakeEntry(const TableBig& v, int exp2Offset) {
    // v * 2^exp2Offset is the power; keep its top 128 bits.
    int low = v.BitLength() - 128;
    u128 t = v.Top128(low);
    return Pow10{static_cast<uint64_t>(t >> 64), static_cast<uint64_t>(t), exp2Offset + low};
}

consteval Pow10Table BuildPow10Table() {
    Pow10Table table{};
    // 10^q = 5^q * 2^q.
    TableBig five;
    five.limb[0] = 1;
    for (int q = 0; q <= kMaxQ; ++q) {
        table[q - kMinQ] = MakeEntry(five, q);
        five.MulSmall(5);
    }
    // 10^-k = 2^-k * 2^-A * floor(2^A / 5^k) (truncated), A = 1024: the
    // quotient keeps at least 1024 - 700 bits for k up to 300.
    constexpr int kA = 1024;
    TableBig recip;
    recip.limb[kA / 32] = 1;
    for (int k = 1; k <= -kMinQ; ++k) {
        recip.DivSmall(5);
        table[-k - kMinQ] = MakeEntry(recip, -k - kA);
    }
    return table;
}

constexpr Pow10Table kPow10 = BuildPow10Table();

// An unsigned integer of up to 1536 bits for the rare exact comparison.
class Big {
public:
    static constexpr int kLimbs = 48;

    explicit Big(u128 v) {
        for (int i = 0; i < 4; ++i) limb_[i] = static_cast<uint32_t>(v >> (32 * i));
    }
    void MulPow10(int n) {
        for (; n >= 9; n -= 9) MulSmall(1000000000u);
        static constexpr uint32_t kSmall[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
        if (n > 0) MulSmall(kSmall[n]);
    }
    void MulPow2(int n) {
        int words = n / 32, bits = n % 32;
        for (int i = kLimbs - 1; i >= 0; --i) {
            uint64_t hi = i - words >= 0 ? limb_[i - words] : 0;
            uint64_t lo = i - words - 1 >= 0 ? limb_[i - words - 1] : 0;
            limb_[i] = static_cast<uint32_t>(((hi << 32 | lo) << bits) >> 32);
        }
    }
    friend bool operator<=(const Big& a, const Big& b) {
        for (int i = kLimbs - 1; i >= 0; --i)
            if (a.limb_[i] != b.limb_[i]) return a.limb_[i] < b.limb_[i];
        return true;
    }

private:
    void MulSmall(uint32_t f) {
        uint64_t carry = 0;
        for (auto& l : limb_) {
            uint64_t t = static_cast<uint64_t>(l) * f + carry;
            l = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
    }
    std::array<uint32_t, kLimbs> limb_{};
};

// Whether z + 1 <= m * 2^e2 * 10^q, exactly.
bool NextIntegerReached(u128 z, uint64_t m, int e2, int q) {
    Big lhs(z + 1), rhs(m);
    if (q < 0) lhs.MulPow10(-q);
    else rhs.MulPow10(q);
    if (e2 < 0) lhs.MulPow2(-e2);
    else rhs.MulPow2(e2);
    return lhs <= rhs;
}

// floor(m * 2^e2 * 10^q) for m with its top bit set, where the result lies
// below 2^66. The product with the truncated power is short of the true
// value by less than m units of its last bit, i.e. less than 2^64 units out
// of at least 2^126; the floor can only be wrong when the fraction bits are
// all ones above that, and then the exact comparison decides.
u128 FloorScaled(uint64_t m, int e2, int q, bool forceExact) {
    const Pow10& p = kPow10[q - kMinQ];
    u128 a = static_cast<u128>(m) * p.lo;
    u128 b = static_cast<u128>(m) * p.hi;
    // The 192-bit product p2:p1:p0; its top 128 bits are u = p2:p1.
    u128 u = b + static_cast<uint64_t>(a >> 64);
    int shift = -(e2 + p.exp2) - 64;  // bits of u below the binary point, 62 to 68
    u128 fracMask = (static_cast<u128>(1) << shift) - 1;
    u128 z = u >> shift;
    if (forceExact || (u & fracMask) == fracMask) z += NextIntegerReached(z, m, e2, q) ? 1 : 0;
    return z;
}

constexpr uint64_t kPow18 = 1000000000000000000ull;
constexpr uint64_t kPow19 = 10000000000000000000ull;
constexpr uint64_t kPow14 = 100000000000000ull;
constexpr uint64_t kPow15 = 1000000000000000ull;

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the 8 digits of v < 10^8, leading zeros included. The four pairs
// come from independent divisions by constants, not from one serial chain.
inline void WriteEight(char* out, uint32_t v) {
    uint32_t hi = v / 10000, lo = v % 10000;
    std::memcpy(out, kDigitPairs + 2 * (hi / 100), 2);
    std::memcpy(out + 2, kDigitPairs + 2 * (hi % 100), 2);
    std::memcpy(out + 4, kDigitPairs + 2 * (lo / 100), 2);
    std::memcpy(out + 6, kDigitPairs + 2 * (lo % 100), 2);
}

// The decimal digits and exponent of |x| (finite, nonzero) after the
// rounding to 18 and then 15 digits: |x| = 0.digits * 10^exp10.
struct Decimal {
    char digits[16];
    int count;
    int exp10;
};

// The first 19 significant digits of a finite nonzero |x| (given by its
// bits), truncated, and the exponent E with |x| = 0.d1d2... * 10^E.
struct Leading {
    uint64_t digits;
    int exp10;
};

Leading LeadingDigits(uint64_t bits, bool forceExact) {
    uint64_t biased = (bits >> 52) & 0x7ff;
    uint64_t m = bits & ((uint64_t{1} << 52) - 1);
    int e2;
    if (biased == 0) {
        e2 = -1074;
    } else {
        m |= uint64_t{1} << 52;
        e2 = static_cast<int>(biased) - 1075;
    }
    int lz = std::countl_zero(m);
    m <<= lz;
    e2 -= lz;  // |x| = m * 2^e2 with 2^63 <= m < 2^64

    // 2^k <= |x| < 2^(k+1), so 10^(E-1) <= |x| < 2 * 10^E for this E.
    int k = e2 + 63;
    int E = ((k * 315653) >> 20) + 1;  // floor(k * log10 2) + 1
    u128 z = FloorScaled(m, e2, 19 - E, forceExact);
    while (z < kPow18) {  // not reached while the estimate holds; kept as a guard
        --E;
        z = FloorScaled(m, e2, 19 - E, forceExact);
    }
    if (z >= kPow19) {  // |x| >= 10^E: one digit more
        z = static_cast<uint64_t>(z >> 1) / 5;
        ++E;
    }
    return Leading{static_cast<uint64_t>(z), E};
}

Decimal ToDecimal(uint64_t bits) {
    // Rounding to 18 digits and then to 15 rounds up exactly when digits 16
    // to 19 reach 4995.
    Leading lead = LeadingDigits(bits, false);
    int E = lead.exp10;
    uint64_t d15 = lead.digits / 10000;
    if (lead.digits % 10000 >= 4995 && ++d15 == kPow15) {
        d15 = kPow14;
        ++E;
    }

    Decimal d;
    d.exp10 = E;
    // 15 digits as 0d1..d7 and d8..d15; the leading 0 is overwritten below.
    char buf[16];
    WriteEight(buf, static_cast<uint32_t>(d15 / 100000000));
    WriteEight(buf + 8, static_cast<uint32_t>(d15 % 100000000));
    std::memcpy(d.digits, buf + 1, 15);
    int count = 15;
    while (d.digits[count - 1] == '0') --count;
    d.count = count;
    return d;
}

std::size_t WriteDecimal(const Decimal& d, bool negative, char* out, std::string_view sep) {
    char* p = out;
    if (negative) *p++ = '-';
    const int k = d.count, E = d.exp10;
    if (E >= -3 && E <= 15) {
        if (E <= 0) {
            *p++ = '0';
            std::memcpy(p, sep.data(), sep.size());
            p += sep.size();
            for (int i = 0; i < -E; ++i) *p++ = '0';
            std::memcpy(p, d.digits, static_cast<std::size_t>(k));
            p += k;
        } else if (k <= E) {
            std::memcpy(p, d.digits, static_cast<std::size_t>(k));
            p += k;
            for (int i = k; i < E; ++i) *p++ = '0';
        } else {
            std::memcpy(p, d.digits, static_cast<std::size_t>(E));
            p += E;
            std::memcpy(p, sep.data(), sep.size());
            p += sep.size();
            std::memcpy(p, d.digits + E, static_cast<std::size_t>(k - E));
            p += k - E;
        }
    } else {
        *p++ = d.digits[0];
        if (k > 1) {
            std::memcpy(p, sep.data(), sep.size());
            p += sep.size();
            std::memcpy(p, d.digits + 1, static_cast<std::size_t>(k - 1));
            p += k - 1;
        }
        *p++ = 'E';
        int e = E - 1;
        if (e < 0) {
            *p++ = '-';
            e = -e;
        }
        if (e >= 100) *p++ = static_cast<char>('0' + e / 100);
        if (e >= 10) *p++ = static_cast<char>('0' + e / 10 % 10);
        *p++ = static_cast<char>('0' + e % 10);
    }
    return static_cast<std::size_t>(p - out);
}

}  // namespace

std::size_t FormatGeneral(double x, char* out, std::string_view sep) {
    sep = EffectiveSeparator(sep);
    uint64_t bits = std::bit_cast<uint64_t>(x);
    bool negative = bits >> 63;
    uint64_t magnitude = bits & ~(uint64_t{1} << 63);
    if (magnitude >= 0x7ff0000000000000ull) {
        const char* text = magnitude > 0x7ff0000000000000ull ? "NAN" : negative ? "-INF" : "INF";
        std::size_t len = std::strlen(text);
        std::memcpy(out, text, len);
        return len;
    }
    if (magnitude == 0) {
        out[0] = '0';
        return 1;
    }
    return WriteDecimal(ToDecimal(magnitude), negative, out, sep);
}

std::string FormatGeneral(double x, std::string_view sep) {
    std::string s(kFormatMax + sep.size(), '\0');
    s.resize(FormatGeneral(x, s.data(), sep));
    return s;
}

namespace numtext_detail {
// For the tests: the truncated leading digits of a finite nonzero x, either
// as the format finds them or with every floor settled by the exact path,
// which the format itself takes only rarely.
void LeadingDigits(double x, bool exactPath, uint64_t* digits, int* exp10) {
    Leading lead = pelmora::LeadingDigits(std::bit_cast<uint64_t>(x) & ~(uint64_t{1} << 63), exactPath);
    *digits = lead.digits;
    *exp10 = lead.exp10;
}
}  // namespace numtext_detail

}  // namespace pelmora
