// Field texts nobody should type: a megabyte of digits or blanks, NUL bytes,
// characters beyond ASCII, 400-digit numbers. Each gives its value or the
// conversion error quoting the whole text; as a parameter, a value beyond
// the doubles is the overflow error, and as the quantity, a value beyond
// the 64-bit integers the invalid-operation error.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>

#include "core/generate.h"
#include "core/numtext.h"
#include "engine/error.h"
#include "engine/numeric.h"

namespace {

using namespace pelmora;
using namespace std::string_literals;

constexpr std::size_t kMegabyte = std::size_t(1) << 20;

enum class Kind { Value, Invalid };

struct FieldCase {
    const char* name;
    std::function<std::string()> text;
    Kind kind;
    Extended value;             // for Kind::Value
    const char* asParameter;    // "" or the message of storing it as a double
    const char* asQuantity;     // "" or the message of truncating it to the count
    std::string sep = ".";
};

void PrintTo(const FieldCase& c, std::ostream* os) { *os << c.name; }

std::string Message(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.message();
    }
    return "";
}

class HostileField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(HostileField, GivesItsValueOrItsError) {
    const FieldCase& c = GetParam();
    const std::string text = c.text();
    if (c.kind == Kind::Invalid) {
        const std::string expected = "'" + text + "' is not a valid floating point value";
        EXPECT_EQ(Message([&] { TextToReal(text, c.sep); }), expected);
        // In every field, and the first bad field in the order quantity,
        // third, first, second is the one reported.
        EXPECT_EQ(Message([&] { ParseFields({text, "1", "1", "3"}, c.sep); }), expected);
        EXPECT_EQ(Message([&] { ParseFields({"1", "1", "1", text}, c.sep); }), expected);
        EXPECT_EQ(Message([&] { ParseFields({"1", text, "x", "3"}, c.sep); }), expected);
        EXPECT_EQ(Message([&] { ParseFields({"1", "1", text, "3"}, c.sep); }), expected);
        return;
    }
    Extended v = 0;
    ASSERT_EQ(Message([&] { v = TextToReal(text, c.sep); }), "");
    EXPECT_EQ(v, c.value);
    EXPECT_TRUE(std::isfinite(static_cast<long double>(v)));
    Request r;
    EXPECT_EQ(Message([&] { r = ParseFields({"1", text, "1", "3"}, c.sep); }), c.asParameter);
    if (*c.asParameter == '\0') {
        EXPECT_EQ(r.p1, static_cast<double>(c.value));
    }
    EXPECT_EQ(Message([&] { r = ParseFields({text, "1", "1", "3"}, c.sep); }), c.asQuantity);
}

std::string Repeat(const std::string& s, std::size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (std::size_t i = 0; i < n; ++i) out += s;
    return out;
}

const Extended kThird = 1.0L / 3.0L;

INSTANTIATE_TEST_SUITE_P(
    Fields, HostileField,
    ::testing::Values(
        // A megabyte of text.
        FieldCase{"MegabyteOfDigits", [] { return std::string(kMegabyte, '7'); }, Kind::Invalid, 0, "", ""},
        FieldCase{"MegabyteOfBlanks", [] { return std::string(kMegabyte, ' '); }, Kind::Invalid, 0, "", ""},
        FieldCase{"MegabyteOfLetters", [] { return std::string(kMegabyte, 'x'); }, Kind::Invalid, 0, "", ""},
        FieldCase{"NumberInAMegabyteOfBlanks",
                  [] { return std::string(kMegabyte / 2, ' ') + "42" + std::string(kMegabyte / 2, ' '); }, Kind::Value,
                  42, "", ""},
        FieldCase{"MegabyteOfThirds", [] { return "0." + std::string(kMegabyte, '3'); }, Kind::Value, kThird, "", ""},
        FieldCase{"OneAfterAMegabyteOfZeros", [] { return "0." + std::string(kMegabyte, '0') + "1"; }, Kind::Value,
                  0, "", ""},
        FieldCase{"OneBeforeAMegabyteOfZeros", [] { return "1" + std::string(kMegabyte, '0'); }, Kind::Invalid, 0,
                  "", ""},
        FieldCase{"OnePointAMegabyteOfZeros", [] { return "1." + std::string(kMegabyte, '0'); }, Kind::Value, 1, "",
                  ""},
        FieldCase{"MegabyteExponentDigits", [] { return "1e" + std::string(kMegabyte, '0') + "1"; }, Kind::Value, 10,
                  "", ""},
        FieldCase{"MegabyteOfSeparators", [] { return std::string(kMegabyte, '.'); }, Kind::Invalid, 0, "", ""},
        // 400 digits.
        FieldCase{"FourHundredDigits", [] { return "1" + std::string(399, '0'); }, Kind::Value, 1e399L, kOverflow,
                  kInvalidOperation},
        FieldCase{"FourHundredNines", [] { return std::string(400, '9'); }, Kind::Value, 1e400L, kOverflow,
                  kInvalidOperation},
        FieldCase{"FourHundredNegativeDigits", [] { return "-" + std::string(400, '9'); }, Kind::Value, -1e400L,
                  kOverflow, kInvalidOperation},
        FieldCase{"FourHundredFractionDigits", [] { return "0." + Repeat("3", 400); }, Kind::Value, kThird, "", ""},
        FieldCase{"FourHundredDigitsBelowOne", [] { return "0." + std::string(399, '0') + "5"; }, Kind::Value,
                  5e-400L, "", ""},
        FieldCase{"FourHundredDigitsOfACount", [] { return std::string(380, '0') + "2147483647.9"; }, Kind::Value,
                  2147483647.9L, "", ""},
        // Only blanks, other white space, NUL bytes.
        FieldCase{"Empty", [] { return ""s; }, Kind::Invalid, 0, "", ""},
        FieldCase{"OneBlank", [] { return " "s; }, Kind::Invalid, 0, "", ""},
        FieldCase{"Tab", [] { return "\t5"s; }, Kind::Invalid, 0, "", ""},
        FieldCase{"LineBreak", [] { return "5\n"s; }, Kind::Invalid, 0, "", ""},
        FieldCase{"Nul", [] { return "\0"s; }, Kind::Invalid, 0, "", ""},
        FieldCase{"NulInside", [] { return "1\0" "2"s; }, Kind::Invalid, 0, "", ""},
        FieldCase{"NulAfter", [] { return "12\0"s; }, Kind::Invalid, 0, "", ""},
        // Beyond ASCII.
        FieldCase{"FullwidthDigits", [] { return "\xEF\xBC\x91\xEF\xBC\x92"s; }, Kind::Invalid, 0, "", ""},
        FieldCase{"MinusSign", [] { return "\xE2\x88\x92" "5"s; }, Kind::Invalid, 0, "", ""},
        FieldCase{"NoBreakSpace", [] { return "5\xC2\xA0"s; }, Kind::Invalid, 0, "", ""},
        FieldCase{"Emoji", [] { return "\xF0\x9F\x98\x80"s; }, Kind::Invalid, 0, "", ""},
        FieldCase{"MalformedUtf8", [] { return "\xFF\xFE" "1"s; }, Kind::Invalid, 0, "", ""},
        FieldCase{"ArabicSeparator", [] { return "1\xD9\xAB" "5"s; }, Kind::Value, 1.5L, "", "", "\xD9\xAB"},
        FieldCase{"HalfOfTheSeparator", [] { return "1\xD9" "5"s; }, Kind::Invalid, 0, "", "", "\xD9\xAB"}),
    [](const auto& info) { return std::string(info.param.name); });

// The error's whole message survives a NUL byte in the text; the C string
// of what() ends at the first NUL, so the error box must not read that.
TEST(ErrorMessage, KeepsTextAfterANul) {
    const std::string text = "1\0" "2"s;
    try {
        TextToReal(text, ".");
        FAIL() << "accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "'1\0" "2' is not a valid floating point value"s);
        EXPECT_STREQ(e.what(), "'1");
    }
}

}  // namespace
