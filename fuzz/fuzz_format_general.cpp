// The general format, fed any double (its 8 bytes, then a byte that picks
// the decimal separator).
//
// Checked for every input:
// - the text matches a slow reference written straight from the rules of
//   the format on top of glibc's printf, which prints the exact binary value
//   correctly rounded to 18 significant digits;
// - the text fits the promised buffer (kFormatMax plus the separator);
// - a finite value reads back through TextToReal to within half a unit of
//   its 15th significant digit (and the little that the rounding to 18
//   digits before it adds), and when that reading fits a double, the double
//   is written as the same text again.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/numtext.h"
#include "engine/error.h"
#include "engine/numeric.h"

namespace {

using pelmora::Extended;

constexpr std::string_view kSeparators[] = {".", ",", "\xC2\xB7"};

[[noreturn]] void Fail(const char* what, double x, const std::string& got, const std::string& expected) {
    std::fprintf(stderr, "fuzz_format_general: %s for %a: got '%s', expected '%s'\n", what, x, got.c_str(),
                 expected.c_str());
    std::abort();
}

// The format's rules, one by one, on decimal digit strings.
std::string Reference(double x, std::string_view sep) {
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
    if (x == 0) return "0";

    // |x| to 18 significant digits: d.ddddddddddddddddde[+-]xx
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17e", std::fabs(x));
    std::string digits = std::string(1, buf[0]) + std::string(buf + 2, 17);
    int E = std::atoi(std::strchr(buf, 'e') + 1) + 1;  // |x| = 0.d1d2... * 10^E

    // Then to 15: the 16th digit decides.
    std::string d = digits.substr(0, 15);
    if (digits[15] >= '5') {
        int i = 14;
        while (i >= 0 && d[static_cast<std::size_t>(i)] == '9') d[static_cast<std::size_t>(i--)] = '0';
        if (i < 0) {
            d = "1" + std::string(14, '0');
            ++E;
        } else {
            ++d[static_cast<std::size_t>(i)];
        }
    }
    while (d.back() == '0') d.pop_back();
    const int k = static_cast<int>(d.size());

    std::string out = x < 0 ? "-" : "";
    if (E >= -3 && E <= 15) {
        if (E <= 0) {
            out += "0" + std::string(sep) + std::string(static_cast<std::size_t>(-E), '0') + d;
        } else if (k <= E) {
            out += d + std::string(static_cast<std::size_t>(E - k), '0');
        } else {
            out += d.substr(0, static_cast<std::size_t>(E)) + std::string(sep) + d.substr(static_cast<std::size_t>(E));
        }
    } else {
        out += d.substr(0, 1);
        if (k > 1) out += std::string(sep) + d.substr(1);
        out += "E" + std::to_string(E - 1);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    uint64_t bits = 0;
    std::memcpy(&bits, data, size < 8 ? size : 8);
    double x;
    std::memcpy(&x, &bits, sizeof x);
    const std::string_view sep = kSeparators[size > 8 ? data[8] % std::size(kSeparators) : 0];

    // The buffer form, with guard bytes after the promised room.
    char out[pelmora::kFormatMax + 8 + 16];
    std::memset(out, 0x5A, sizeof out);
    std::size_t n = pelmora::FormatGeneral(x, out, sep);
    const std::size_t room = pelmora::kFormatMax + sep.size();
    if (n > room) Fail("longer than kFormatMax", x, std::string(out, n), "");
    for (std::size_t i = room; i < sizeof out; ++i) {
        if (out[i] != 0x5A) Fail("wrote beyond the promised room", x, std::string(out, n), "");
    }
    const std::string text(out, n);
    if (pelmora::FormatGeneral(x, sep) != text) Fail("the two forms differ", x, pelmora::FormatGeneral(x, sep), text);

    const std::string expected = Reference(x, sep);
    if (text != expected) Fail("differs from the reference", x, text, expected);

    if (!std::isfinite(x)) return 0;
    Extended back;
    try {
        back = pelmora::TextToReal(text, sep);
    } catch (const pelmora::Error& e) {
        Fail("does not read back", x, text, e.what());
    }
    // Rounding to 18 digits first can carry digits 16 to 19 from 4995 up to
    // a whole unit of the 15th: 0.5005 units of it, at most 5.005e-15 of the
    // value; the reading adds one extended rounding.
    const Extended tolerance = std::fabs(static_cast<Extended>(x)) * 5.0050001e-15L;
    if (std::fabs(back - static_cast<Extended>(x)) > tolerance) Fail("reads back to another value", x, text, "");
    // Zero is written "0" whatever its sign.
    if (x != 0 && std::signbit(back) != std::signbit(x)) Fail("reads back with another sign", x, text, "");
    double stored;
    try {
        stored = pelmora::ToDouble(back);
    } catch (const pelmora::Error&) {
        // The 15-digit text of a value next to the largest double rounds
        // beyond it: there is no double to compare.
        if (std::fabs(x) < 1.79769313486231e308) Fail("the reading does not fit a double", x, text, "");
        return 0;
    }
    const std::string again = pelmora::FormatGeneral(stored, sep);
    if (again != text) Fail("the reading is written differently", x, again, text);
    return 0;
}
