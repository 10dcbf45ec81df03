// Text to real: the reading of a field's text (see core/numtext.h).
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "core/numtext.h"

namespace pelmora {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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

    // General case: the extended type's own reading of a decimal text
    // (strtold on x86-64, which rounds exactly). The text handed to it has
    // no decimal point, so the process locale cannot change its reading.
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
    return unit::FromText(buf);
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

}  // namespace pelmora
