// Text to real, fed any bytes. The first byte picks the decimal separator,
// the rest is the field's text.
//
// Checked for every input:
// - an accepted text gives a finite extended value, and storing it as a
//   double gives a finite double or the overflow error, nothing else;
// - a refused text raises exactly "'<whole text>' is not a valid floating
//   point value", blanks, NUL bytes and all (Error::message());
// - where the text is one that glibc's strtold reads the same way (the
//   point as separator, only blanks, signs, digits, the point and "E"),
//   the value equals strtold's correctly rounded one.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "core/numtext.h"
#include "engine/error.h"
#include "engine/numeric.h"

namespace {

using pelmora::Extended;

// Separators that regional settings hand out: one byte, two bytes (U+00B7
// MIDDLE DOT), and the empty one, which stands for ".".
constexpr std::string_view kSeparators[] = {".", ",", "\xC2\xB7", "", "'"};

[[noreturn]] void Fail(const char* what, std::string_view text) {
    std::fprintf(stderr, "fuzz_text_to_real: %s for a text of %zu bytes\n", what, text.size());
    std::abort();
}

// glibc reads the same grammar for texts built only from these characters,
// apart from details that do not change the value: "1e" and "1e+" stop
// before the "e" (exponent 0 either way) and "." alone converts nothing (0).
bool StrtoldComparable(std::string_view text) {
    for (char c : text) {
        if (!(c == ' ' || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E' || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

Extended Reference(std::string_view text) {
    std::size_t first = text.find_first_not_of(' ');
    std::size_t last = text.find_last_not_of(' ');
    std::string trimmed(text.substr(first, last - first + 1));
    return std::strtold(trimmed.c_str(), nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view sep = kSeparators[data[0] % std::size(kSeparators)];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    Extended value;
    try {
        value = pelmora::TextToReal(text, sep);
    } catch (const pelmora::Error& e) {
        const std::string expected = "'" + std::string(text) + "' is not a valid floating point value";
        if (pelmora::InvalidRealMessage(text) != expected) Fail("InvalidRealMessage differs", text);
        if (e.message() != expected) Fail("the message does not quote the whole text", text);
        // what() is a C string: it agrees up to the first NUL.
        if (std::strcmp(e.what(), expected.c_str()) != 0) Fail("what() differs from the message", text);
        return 0;
    }

    if (!std::isfinite(value)) Fail("an accepted text gave a non-finite value", text);
    try {
        double d = pelmora::ToDouble(value);
        if (!std::isfinite(d)) Fail("ToDouble gave a non-finite double", text);
    } catch (const pelmora::Error& e) {
        if (std::string_view(e.what()) != pelmora::kOverflow) Fail("storing as a double raised another error", text);
    }

    if ((sep == "." || sep.empty()) && StrtoldComparable(text)) {
        Extended ref = Reference(text);
        if (ref != value) Fail("the value differs from strtold's", text);
    }
    return 0;
}
