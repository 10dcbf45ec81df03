// The general format, fed any double (its 8 bytes, then a byte that picks
// the decimal separator).
//
// Checked for every input:
// - the text matches the slow reference of tests/format_reference.h, the
//   format's rules applied step by step to the exact digits that glibc's
//   printf gives (the same reference as the format's tests);
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
#include "tests/format_reference.h"

namespace {

using pelmora::Extended;

constexpr std::string_view kSeparators[] = {".", ",", "\xC2\xB7"};

[[noreturn]] void Fail(const char* what, double x, const std::string& got, const std::string& expected) {
    std::fprintf(stderr, "fuzz_format_general: %s for %a: got '%s', expected '%s'\n", what, x, got.c_str(),
                 expected.c_str());
    std::abort();
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

    const std::string expected = pelmora::testing::ReferenceFormat(x, sep);
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
