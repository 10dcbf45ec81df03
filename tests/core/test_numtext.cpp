// Number texts: the conversion of field texts to reals and the general format.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <charconv>
#include <random>
#include <sstream>
#include <regex>
#include <string>
#include <vector>

#include "core/numtext.h"
#include "engine/error.h"
#include "tests/format_reference.h"

namespace pelmora::numtext_detail {
// The first 19 significant digits of a finite nonzero x, truncated, and E
// with |x| = 0.d1d2... * 10^E, as the general format finds them or all
// through the exact path (defined in core/numtext.cpp).
void LeadingDigits(double x, bool exactPath, uint64_t* digits, int* exp10);
}  // namespace pelmora::numtext_detail

namespace pelmora {
namespace {

using namespace std::string_literals;
using pelmora::testing::ReferenceFormat;
using pelmora::testing::ReferenceLayout;
using pelmora::testing::RoundHalfUp;

// ---------------------------------------------------------------------------
// Text to real
// ---------------------------------------------------------------------------

struct ParseCase {
    std::string text;
    std::string sep;
    bool valid;
    Extended value;  // when valid
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << "'" << c.text << "' sep '" << c.sep << "'"; }

class ParseTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTable, GivesValueOrError) {
    const ParseCase& c = GetParam();
    if (c.valid) {
        Extended v = TextToReal(c.text, c.sep);
        EXPECT_EQ(v, c.value);
        EXPECT_EQ(std::signbit(static_cast<long double>(v)), std::signbit(static_cast<long double>(c.value)));
    } else {
        try {
            TextToReal(c.text, c.sep);
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            const std::string expected = "'" + c.text + "' is not a valid floating point value";
            EXPECT_STREQ(e.what(), expected.c_str());  // up to a NUL in the text
            EXPECT_EQ(InvalidRealMessage(c.text), expected);
        }
    }
}

ParseCase Ok(std::string text, Extended v, std::string sep = ".") { return {std::move(text), std::move(sep), true, v}; }
ParseCase Bad(std::string text, std::string sep = ".") { return {std::move(text), std::move(sep), false, 0}; }

INSTANTIATE_TEST_SUITE_P(
    Edges, ParseTable,
    ::testing::Values(
        // blanks, signs, digits
        Ok("10", 10), Ok("  10", 10), Ok("10   ", 10), Ok("   10   ", 10), Ok("+7", 7), Ok("-12", -12),
        Ok("007", 7), Ok("-0", -0.0L), Ok("+0", 0), Ok("0", 0), Ok(" -3.5 ", -3.5L),
        Bad(""), Bad(" "), Bad("    "), Bad("abc"), Bad("-"), Bad("+"), Bad("- 1"), Bad("+-1"), Bad("--1"),
        Bad("1 0"), Bad("1-"), Bad("0x10"), Bad("1a"),
        // the separator
        Ok(".", 0), Ok("-.", -0.0L), Ok("+.", 0), Ok(" . ", 0), Ok("5.", 5), Ok(".5", 0.5L), Ok("-.25", -0.25L),
        Ok("2.5", 2.5L), Bad("1.2.3"), Bad(".."), Bad("1..2"), Bad("1,000"), Bad("1,000.5"), Bad("10,5"),
        Ok("10,5", 10.5L, ","), Bad("10.5", ","), Ok(",", 0, ","), Bad("1,2,3", ","),
        Ok("1\xC2\xB7" "5", 1.5L, "\xC2\xB7"), Bad("1\xC2" "5", "\xC2\xB7"), Ok("1.5", 1.5L, ""),
        // the exponent
        Ok("1E", 1), Ok("1e", 1), Ok("1e+", 1), Ok("1E-", 1), Ok("1e+5", 100000), Ok("1E5", 100000),
        Ok("2.5e-3", 0.0025L), Ok(".E5", 0), Ok("5.e1", 50), Ok("1e0000000000003", 1000), Ok("1e499", 1e499L),
        Ok("1e4931", 1e4931L), Ok("1e400", 1e400L), Ok("-1e400", -1e400L), Ok("1e-400", 1e-400L),
        Ok("1e-4940", 1e-4940L), Ok("1e-4999", 0), Ok("-1e-4999", -0.0L), Ok("0e4999", 0), Ok("-0e4999", -0.0L),
        Ok("0.00000e4999", 0), Bad("1e4999"), Bad("1e5000"), Bad("0e5000"), Bad("1e49999"), Bad("0e49999"), Bad("0e-5000"), Bad("1e-5000"), Ok("1e500", 1e500L),
        Bad("E5"), Bad("e"), Bad("1e5.5"), Bad("1e 5"), Bad("1ee5"), Bad("1E+-5"),
        // the extended range
        Ok("1.18973149535723176502e4932", std::numeric_limits<Extended>::max()), Bad("1.2e4932"), Bad("1" + std::string(5000, '0')),
        Ok("0.1e4933", 1e4932L), Ok("1000000e4926", 1e4932L),
        // a tie between two extended values, and texts nearer to a tie than
        // a binary128 reading can tell (arm64's strtold would meet the tie)
        Ok("1.0000000000000000000542101086242752217003726400434970855712890625", 1),  // 1 + 2^-64, to even
        Ok("1.00000000000000000005421010862427522170037264004349708557128906250000000001", 1 + 0x1p-63L),
        Ok("1.82259976594123730126e-4951", 0),  // below half the smallest denormal
        Ok("1.8225997659412373013e-4951", std::numeric_limits<Extended>::denorm_min()),
        // words, tabs, bytes
        Bad("inf"), Bad("INF"), Bad("-inf"), Bad("infinity"), Bad("nan"), Bad("NAN"), Bad("\t10"), Bad("10\t"),
        Bad("10\n"), Bad("1\0"s), Bad("\0"s "1"), Bad("1\xC2\xA0"), Bad("\xEF\xBC\x91")));

// The text is valid in extended precision; storing it as a double is what fails.
TEST(TextToReal, BeyondTheDoubleRangeOverflowsWhenStored) {
    try {
        ToDouble(TextToReal("1e400"));
        ADD_FAILURE() << "stored";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Floating point overflow");
    }
    EXPECT_EQ(ToDouble(TextToReal("1e-400")), 0.0);
    EXPECT_EQ(ToDouble(TextToReal("4.9406564584124654e-324")), 0x1p-1074);
}

TEST(TextToReal, MessageQuotesTheWholeText) {
    EXPECT_EQ(InvalidRealMessage("abc"), "'abc' is not a valid floating point value");
    EXPECT_EQ(InvalidRealMessage(""), "'' is not a valid floating point value");
    EXPECT_EQ(InvalidRealMessage(" 1 2 "), "' 1 2 ' is not a valid floating point value");
    EXPECT_EQ(InvalidRealMessage("7\0" "8"s), "'7\0" "8' is not a valid floating point value"s);
    EXPECT_EQ(InvalidRealMessage("\xFF"), "'\xFF' is not a valid floating point value");
}

// glibc's strtold rounds exactly (the tests run in the "C" locale) to the
// host's long double: the extended format on x86-64; binary128 on arm64,
// which rounds once more exactly but for texts within 2^-113 of a tie of the
// extended format, which are rows of the table above instead.
TEST(TextToReal, MatchesExactRoundingOfTheText) {
    const char* texts[] = {
        "0.1", "0.2", "0.3", "3.14159265358979323846264338327950288", "2.718281828459045235360287471352662497757",
        "123456789012345678901234567890", "1234567890123456789", "18446744073709551615", "18446744073709551617",
        "0.000000000000000000000000000001", "9007199254740993", "4.9406564584124654e-324",
        "1.7976931348623157e308", "1.7976931348623159e308", "3.64519953188247460253e-4951",
        "2e-4951", "1e-4951", "6.02214076e23", "7e-10", "123.456e-7",
        "99999999999999999999e-20", "1e27", "1e28", "123e30", "4e-28", "1234567890123456789e-27",
    };
    for (const char* t : texts) {
        EXPECT_EQ(TextToReal(t), std::strtold(t, nullptr)) << t;
        std::string comma(t);
        if (auto p = comma.find('.'); p != std::string::npos) comma[p] = ',';
        EXPECT_EQ(TextToReal(comma, ","), std::strtold(t, nullptr)) << comma;
    }
}

TEST(TextToReal, RandomTextsMatchExactRounding) {
    std::mt19937_64 rng(20261208);
    for (int i = 0; i < 20000; ++i) {
        std::string t = std::to_string(rng() % 1000000000000ull);
        int fraction = static_cast<int>(rng() % 30);
        std::string digits;
        for (int j = 0; j < fraction; ++j) digits += static_cast<char>('0' + rng() % 10);
        t += "." + digits + "e" + std::to_string(static_cast<int>(rng() % 9000) - 4500);
        Extended expected = std::strtold(t.c_str(), nullptr);
        if (std::isinf(static_cast<long double>(expected))) continue;
        ASSERT_EQ(TextToReal(t), expected) << t;
    }
}

// Short random texts over the characters that matter, judged by a model
// written as a pattern: the shape of a valid text, the exponent rule (its
// digits, without leading zeros, are at most three, or four whose first
// three read below 500), and the value as glibc reads the same number.
TEST(TextToReal, RandomShortTextsFollowTheModel) {
    const std::regex shape(R"(^ *([+-]?)((\d*)(S(\d*))?)([eE]([+-]?)(\d*))? *$)");
    const std::string alphabet = " +-0159.,eEx\t";
    std::mt19937_64 rng(31);
    int valid = 0;
    for (int i = 0; i < 200000; ++i) {
        const std::string sep = i % 2 ? "." : ",";
        std::string t;
        for (std::size_t n = rng() % 11; n > 0; --n) t += alphabet[rng() % alphabet.size()];
        std::string pattern = t;  // the separator as "S"
        for (char& c : pattern)
            if (c == sep[0]) c = 'S';
            else if (c == 'S') c = '?';
        std::smatch m;
        bool ok = std::regex_match(pattern, m, shape) && (m[3].length() > 0 || m[4].matched);
        long double expected = 0;
        if (ok && m[6].matched) {
            std::string d = m[8].str();
            d.erase(0, std::min(d.find_first_not_of('0'), d.size()));
            ok = d.size() <= 3 || (d.size() == 4 && std::stoi(d.substr(0, 3)) < 500);
        }
        if (ok) {
            // strtold stops before an exponent mark without digits.
            const std::string c = m[1].str() + "0" + m[3].str() + "." + m[5].str() + "e" + m[7].str() + m[8].str();
            expected = std::strtold(c.c_str(), nullptr);
            ok = !std::isinf(expected);
        }
        if (ok) {
            ++valid;
            Extended v;
            ASSERT_NO_THROW(v = TextToReal(t, sep)) << "'" << t << "'";
            ASSERT_EQ(v, expected) << "'" << t << "'";
            ASSERT_EQ(std::signbit(static_cast<long double>(v)), std::signbit(static_cast<long double>(expected))) << "'" << t << "'";
        } else {
            ASSERT_THROW(TextToReal(t, sep), Error) << "'" << t << "'";
        }
    }
    EXPECT_GT(valid, 5000);
}

// 1 + 2^-64 lies halfway between 1 and the next extended value; a nonzero
// digit far behind it, beyond the digits kept for the conversion, decides.
TEST(TextToReal, FarDigitDecidesAHalfwayCase) {
    const std::string half = "1.0000000000000000000542101086242752217003726400434970855712890625";
    const Extended next = 1.0L + 0x1p-63L;
    EXPECT_EQ(TextToReal(half), 1.0L);
    EXPECT_EQ(TextToReal(half + std::string(20000, '0')), 1.0L);
    EXPECT_EQ(TextToReal(half + std::string(20000, '0') + "1"), next);
    EXPECT_EQ(TextToReal(half.substr(0, half.size() - 1) + "4" + std::string(20000, '9')), 1.0L);
}

// Half the smallest denormal, 2^-16446, has the longest exact expansion of
// any rounding boundary (11496 significant digits).
TEST(TextToReal, FarDigitDecidesTheDeepestBoundary) {
    // The exact digits of the smallest denormal 2^-16445, then times 5 and
    // over 10.
    std::vector<char> buf(20000);
    std::snprintf(buf.data(), buf.size(), "%.11600Le", 0x1p-16445L);
    std::string exact(buf.data());
    int exponent = std::atoi(exact.c_str() + exact.find('e') + 1);
    std::string digits = exact.substr(0, 1) + exact.substr(2, exact.find('e') - 2);
    digits.erase(digits.find_last_not_of('0') + 1);
    std::string half(digits.size() + 1, '0');
    int carry = 0;
    for (std::size_t i = digits.size(); i-- > 0;) {
        int v = (digits[i] - '0') * 5 + carry;
        half[i + 1] = static_cast<char>('0' + v % 10);
        carry = v / 10;
    }
    half[0] = static_cast<char>('0' + carry);
    // 0.<half> * 10^(exponent + 1) is 2^-16446.
    if (half[0] == '0') {
        half.erase(0, 1);
        --exponent;
    }
    half.erase(half.find_last_not_of('0') + 1);
    ASSERT_GT(half.size(), 11000u);
    const std::string e = "e" + std::to_string(exponent + 1);
    EXPECT_EQ(TextToReal("0." + half + e), 0.0L);  // a tie, to the even zero
    EXPECT_EQ(TextToReal("0." + half + std::string(3000, '0') + "1" + e), 0x1p-16445L);
    EXPECT_EQ(TextToReal("0." + half.substr(0, half.size() - 1) + "4" + std::string(3000, '9') + e), 0.0L);
    EXPECT_EQ(TextToReal("0." + digits + "e" + std::to_string(std::atoi(exact.c_str() + exact.find('e') + 1) + 1)),
              0x1p-16445L);
}

TEST(TextToReal, HugeTextsStayLinear) {
    const std::string ones(1 << 20, '1');
    EXPECT_EQ(TextToReal("0." + ones), TextToReal("0." + ones.substr(0, 100)));
    EXPECT_EQ(TextToReal("0." + std::string(1 << 20, '0') + "1"), 0.0L);
    EXPECT_EQ(TextToReal(std::string(1 << 20, '0') + "1.5"), 1.5L);
    const std::string d4000 = ones.substr(0, 4000) + "e-499";
    EXPECT_EQ(TextToReal(d4000), std::strtold(d4000.c_str(), nullptr));
    EXPECT_THROW(TextToReal(ones), Error);
    EXPECT_THROW(TextToReal(ones + "x"), Error);
    EXPECT_THROW(TextToReal(std::string(1 << 20, ' ')), Error);
    EXPECT_EQ(TextToReal(std::string(1 << 20, ' ') + "2" + std::string(1 << 20, ' ')), 2.0L);
    const std::string d400 = std::string(400, '7');
    EXPECT_EQ(TextToReal(d400), std::strtold(d400.c_str(), nullptr));
}

// ---------------------------------------------------------------------------
// The general format
// ---------------------------------------------------------------------------

struct FormatCase {
    double x;
    const char* sep;
    const char* text;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.text; }

class FormatTable : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTable, WritesText) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(FormatGeneral(c.x, c.sep), c.text) << c.x;
    char buf[kFormatMax + 8];
    std::size_t n = FormatGeneral(c.x, buf, c.sep);
    EXPECT_EQ(std::string(buf, n), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FormatTable,
    ::testing::Values(
        FormatCase{0.0, ".", "0"}, FormatCase{3.0, ".", "3"}, FormatCase{-12.0, ".", "-12"},
        FormatCase{0.5, ".", "0.5"}, FormatCase{1.0 / 3, ".", "0.333333333333333"},
        FormatCase{2.0 / 3, ".", "0.666666666666667"}, FormatCase{0.0001, ".", "0.0001"},
        FormatCase{0.00001, ".", "1E-5"}, FormatCase{0.000012345, ".", "1.2345E-5"},
        FormatCase{123456789012345.0, ".", "123456789012345"}, FormatCase{1e15, ".", "1E15"},
        FormatCase{1234567890123456789.0, ".", "1.23456789012346E18"}, FormatCase{-0.00000025, ".", "-2.5E-7"}));

INSTANTIATE_TEST_SUITE_P(
    Boundaries, FormatTable,
    ::testing::Values(
        FormatCase{-0.0, ".", "0"}, FormatCase{INFINITY, ".", "INF"}, FormatCase{-INFINITY, ".", "-INF"},
        FormatCase{NAN, ".", "NAN"}, FormatCase{-NAN, ".", "NAN"}, FormatCase{DBL_MAX, ".", "1.79769313486232E308"},
        FormatCase{-DBL_MAX, ".", "-1.79769313486232E308"}, FormatCase{DBL_TRUE_MIN, ".", "4.94065645841247E-324"},
        FormatCase{DBL_MIN, ".", "2.2250738585072E-308"}, FormatCase{1e308, ".", "1E308"},
        FormatCase{1e-308, ".", "1E-308"}, FormatCase{1e-100, ".", "1E-100"}, FormatCase{-1e100, ".", "-1E100"},
        FormatCase{1e22, ".", "1E22"}, FormatCase{1e23, ".", "1E23"}, FormatCase{3e20, ".", "3E20"},
        FormatCase{1e14, ".", "100000000000000"}, FormatCase{100.0, ".", "100"}, FormatCase{0.001, ".", "0.001"},
        FormatCase{0.00015, ".", "0.00015"}, FormatCase{0.1, ".", "0.1"}, FormatCase{0.1 + 0.2, ".", "0.3"},
        FormatCase{1234567.125, ".", "1234567.125"}, FormatCase{123456789012345.6, ".", "123456789012346"},
        FormatCase{999999999999999.0, ".", "999999999999999"}, FormatCase{999999999999999.5, ".", "1E15"},
        FormatCase{1 - 0x1p-51, ".", "1"}, FormatCase{1 - 5 * 0x1p-53, ".", "0.999999999999999"},
        FormatCase{9.9999999999999995e-5, ".", "0.0001"}, FormatCase{4294967296.0, ".", "4294967296"},
        FormatCase{-2147483648.0, ".", "-2147483648"},
        // digits 16 to 19 of 1.000000000000145 are 4995: they round to 18
        // digits as ...500 and then up; 4994 stays below.
        FormatCase{1.000000000000145, ".", "1.00000000000015"}, FormatCase{1.000000000000695, ".", "1.0000000000007"},
        FormatCase{1.000000000001535, ".", "1.00000000000153"},
        // the separator in both notations
        FormatCase{2.5, ",", "2,5"}, FormatCase{-1.5e20, ",", "-1,5E20"}, FormatCase{0.25, "\xC2\xB7", "0\xC2\xB7" "25"},
        FormatCase{1e20, ",", "1E20"}, FormatCase{12.0, ",", "12"}, FormatCase{0.5, "", "0.5"}));

TEST(ReferenceFormat, AgreesWithTheExamples) {
    EXPECT_EQ(ReferenceFormat(1234567890123456789.0, "."), "1.23456789012346E18");
    EXPECT_EQ(ReferenceFormat(-0.00000025, "."), "-2.5E-7");
    EXPECT_EQ(ReferenceFormat(0.0001, "."), "0.0001");
    EXPECT_EQ(ReferenceFormat(1e15, "."), "1E15");
    EXPECT_EQ(ReferenceFormat(123456789012345.0, "."), "123456789012345");
    EXPECT_EQ(ReferenceFormat(1.000000000000145, "."), "1.00000000000015");
}

double FromBits(uint64_t b) {
    double x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

void ExpectMatchesReference(double x, const char* sep = ".") {
    char buf[kFormatMax + 8];
    std::size_t n = FormatGeneral(x, buf, sep);
    ASSERT_LT(n, kFormatMax + std::strlen(sep));
    ASSERT_EQ(std::string(buf, n), ReferenceFormat(x, sep)) << std::hexfloat << x;
}

class RandomBitPatterns : public ::testing::TestWithParam<int> {};

// Every exponent, denormals included, in equal measure.
TEST_P(RandomBitPatterns, MatchReference) {
    std::mt19937_64 rng(1000 + GetParam());
    for (int i = 0; i < 250000; ++i) {
        ExpectMatchesReference(FromBits(rng()));
        if (HasFatalFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(Shards, RandomBitPatterns, ::testing::Range(0, 8));

TEST(FormatGeneral, DenormalsMatchReference) {
    std::mt19937_64 rng(7);
    for (int i = 0; i < 100000; ++i) {
        uint64_t bits = rng() & ((uint64_t{1} << 52) - 1);
        bits >>= rng() % 52;
        ExpectMatchesReference(FromBits(bits | (rng() & (uint64_t{1} << 63))));
        if (HasFatalFailure()) return;
    }
}

TEST(FormatGeneral, NearPowersOfTenMatchReference) {
    for (int k = -324; k <= 308; ++k) {
        double p = std::strtod(("1e" + std::to_string(k)).c_str(), nullptr);
        double lo = p, hi = p;
        for (int j = 0; j < 8; ++j) {
            ExpectMatchesReference(lo);
            ExpectMatchesReference(hi);
            lo = std::nextafter(lo, 0.0);
            hi = std::nextafter(hi, INFINITY);
        }
        for (double f : {0.5, 0.9999999999999995, 0.99999999999999995, 0.999999999999999, 0.9999999999999996}) {
            ExpectMatchesReference(p * f);
            ExpectMatchesReference(p * f * 10);
        }
        if (HasFatalFailure()) return;
    }
}

// Values whose digits 16 to 19 are near 4995, the one place where rounding
// to 18 digits first changes the result.
TEST(FormatGeneral, NearTheDoubleRoundingBoundaryMatchReference) {
    std::mt19937_64 rng(11);
    const char* tails[] = {"4995", "4994", "4999", "5000", "49949", "49950", "4995000000001"};
    for (int i = 0; i < 100000; ++i) {
        std::string t = std::to_string(1 + rng() % 9) + ".";
        for (int j = 0; j < 14; ++j) t += static_cast<char>('0' + rng() % 10);
        t += tails[rng() % std::size(tails)];
        t += 'e';
        t += std::to_string(static_cast<int>(rng() % 630) - 310);
        double x = std::strtod(t.c_str(), nullptr);
        ExpectMatchesReference(x);
        ExpectMatchesReference(std::nextafter(x, 0.0));
        ExpectMatchesReference(std::nextafter(x, INFINITY));
        if (HasFatalFailure()) return;
    }
}

// Round decimals such as 3E20 are exact doubles whose scaled value is an
// integer, which the truncated powers of ten reach only through the exact path.
TEST(FormatGeneral, ExactDecimalsMatchReference) {
    std::mt19937_64 rng(13);
    for (int i = 0; i < 50000; ++i) {
        uint64_t n = rng() % 100000000ull;
        int k = static_cast<int>(rng() % 30);
        double x = std::strtod((std::to_string(n) + "e" + std::to_string(k)).c_str(), nullptr);
        ExpectMatchesReference(x);
        ExpectMatchesReference(static_cast<double>(rng()));
        ExpectMatchesReference(static_cast<double>(rng() >> (rng() % 64)));
        if (HasFatalFailure()) return;
    }
}

TEST(FormatGeneral, TypicalValuesMatchReferenceWithEverySeparator) {
    std::mt19937_64 rng(17);
    std::uniform_real_distribution<double> u(0, 1);
    for (int i = 0; i < 50000; ++i) {
        double x = u(rng) * std::pow(10.0, static_cast<int>(rng() % 40) - 20);
        for (const char* sep : {".", ",", "\xC2\xB7"}) ExpectMatchesReference(rng() % 2 ? -x : x, sep);
        if (HasFatalFailure()) return;
    }
}

// The truncated leading digits, from glibc's exact expansion.
void ReferenceLeadingDigits(double x, uint64_t* digits, int* exp10) {
    char buf[1000];
    std::snprintf(buf, sizeof buf, "%.800e", std::fabs(x));
    std::string d = std::string(buf, 1) + std::string(buf + 2, 18);
    *digits = std::stoull(d);
    *exp10 = std::atoi(std::strchr(buf, 'e') + 1) + 1;
}

// Both ways of finding the leading digits are exact. Decimals such as 1E22
// or 3E20 are exact doubles whose scaled value is an integer, which the
// truncated powers of ten fall just short of: only the exact comparison
// gets their digits right.
TEST(FormatGeneral, LeadingDigitsAreExactOnBothPaths) {
    std::mt19937_64 rng(19);
    std::vector<double> xs = {DBL_MAX, DBL_TRUE_MIN, DBL_MIN, 1e22, 1e23, 3e20, 1e-5, 1.0, 0.1, 123456789e20};
    for (int i = 0; i < 20000; ++i) {
        xs.push_back(FromBits(rng() & ~(uint64_t{1} << 63) & 0x7fefffffffffffffull));
        xs.push_back(std::strtod((std::to_string(rng() % 100000000) + "e" + std::to_string(rng() % 30)).c_str(), nullptr));
    }
    for (double x : xs) {
        if (x == 0) continue;
        uint64_t want, quick, exact;
        int wantE, quickE, exactE;
        ReferenceLeadingDigits(x, &want, &wantE);
        numtext_detail::LeadingDigits(x, false, &quick, &quickE);
        numtext_detail::LeadingDigits(x, true, &exact, &exactE);
        ASSERT_EQ(quick, want) << std::hexfloat << x;
        ASSERT_EQ(quickE, wantE) << std::hexfloat << x;
        ASSERT_EQ(exact, want) << std::hexfloat << x;
        ASSERT_EQ(exactE, wantE) << std::hexfloat << x;
    }
}

// Reading a written value back gives a double that is written the same way.
// (Near the top of the double range the written text, rounded up to 15
// digits, lies beyond the largest double and does not read back.)
TEST(FormatGeneral, ReadingBackGivesTheSameText) {
    std::mt19937_64 rng(23);
    for (int i = 0; i < 200000; ++i) {
        double x = FromBits(rng());
        if (!std::isfinite(x) || std::fabs(x) > 1.797693134862315e308) continue;
        for (const char* sep : {".", ","}) {
            std::string text = FormatGeneral(x, sep);
            double back = static_cast<double>(TextToReal(text, sep));
            ASSERT_EQ(FormatGeneral(back, sep), text) << std::hexfloat << x;
        }
    }
}

// Small denormals carry fewer than 15 digits, so their text identifies them.
TEST(FormatGeneral, SmallDenormalsReadBackExactly) {
    std::mt19937_64 rng(29);
    for (int i = 0; i < 20000; ++i) {
        double x = FromBits(rng() >> (24 + rng() % 40));
        ASSERT_EQ(static_cast<double>(TextToReal(FormatGeneral(x))), x) << std::hexfloat << x;
    }
}

// ---------------------------------------------------------------------------
// The format against the standard library, over two million doubles.
// std::to_chars rounds |x| correctly to 18 significant digits, ties to even;
// those digits rounded half up to 15 and laid out must be FormatGeneral's
// text. (The format rounds the
// exact value half up to 18 digits. The two roundings differ only on an
// exact tie at digit 19 after an even digit 18, and then digits 16 to 18
// cannot be 499 against 500, so the 15 digits agree.)

// The significant digits of |x| as std::to_chars writes them with
// `precision` digits after the first, and E with |x| = 0.d1d2... x 10^E.
// From 766 on the digits are exact: a double has at most 767.
std::string LibraryDigits(double x, int precision, int& E) {
    char buf[1000];
    const auto end = std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::scientific, precision).ptr;
    *end = '\0';
    E = std::atoi(std::strchr(buf, 'e') + 1) + 1;  // d.ddd...e+XX
    std::string digits(1, buf[0]);
    digits.append(buf + 2, static_cast<std::size_t>(precision));
    return digits;
}

std::string LibraryFormat(double x) {
    if (x == 0) return "0";
    int E = 0;
    const std::string digits18 = LibraryDigits(x, 17, E);
    return ReferenceLayout(x < 0, digits18, E, ".");
}

// Which of two differing texts is right, and why: the exact value rounded
// the format's way, half up to 18 digits and then to 15.
std::string Verdict(double x, const std::string& format, const std::string& library) {
    int E = 0;
    const std::string exact = LibraryDigits(x, 766, E);
    int E18 = E;
    const std::string digits18 = RoundHalfUp(exact, 18, E18);
    const std::string right = ReferenceLayout(x < 0, digits18, E18, ".");
    std::ostringstream os;
    os << std::hexfloat << x << ": FormatGeneral writes " << format << ", std::to_chars's 18 digits give " << library
       << ". The exact value is 0." << exact.substr(0, 25) << "... x 10^" << E << ", digits 16 to 19 being "
       << exact.substr(15, 4) << "; half up to 18 digits it is " << digits18 << ", and half up to 15 " << right << ": "
       << (right == format    ? "FormatGeneral is right (to_chars rounds ties to even, the format half up)"
           : right == library ? "the library is right: FormatGeneral's digits or rounding are wrong"
                              : "neither is right");
    return os.str();
}

// A double that is m / 2^k exactly with m * 5^k of 19 digits: its decimal
// expansion has 19 significant digits and ends in 5, a tie at digit 19.
double TieAtDigit19(uint64_t m) {
    m |= 1;
    unsigned __int128 v = m;
    int k = 0;
    while (v < static_cast<unsigned __int128>(1000000000000000000ull)) {  // 10^18: fewer than 19 digits
        v *= 5;
        ++k;
    }
    return std::ldexp(static_cast<double>(m), -k);  // v may have 20 digits: then no tie, still a case
}

TEST(FormatGeneral, AgreesWithTheStandardLibraryRoundedTheSameWay) {
    std::mt19937_64 rng(31);
    std::uniform_real_distribution<double> unit(0, 1);
    const char* tails[] = {"4995", "4994", "4999", "5000", "49949", "49950", "4995000000001"};
    int differences = 0;
    auto check = [&](double x) {
        if (!std::isfinite(x)) return;
        char buf[kFormatMax + 8];
        const std::string format(buf, FormatGeneral(x, buf));
        const std::string library = LibraryFormat(x);
        if (format != library && ++differences <= 10) ADD_FAILURE() << Verdict(x, format, library);
    };
    for (int i = 0; i < 600000; ++i) {
        check(FromBits(rng()));  // every exponent, in equal measure
        check(unit(rng) * std::pow(10.0, static_cast<int>(rng() % 40) - 20));  // values as the rows draw them
        check(TieAtDigit19(rng() >> (11 + rng() % 40)));
        if (i % 4 == 0) {
            // Digits 16 to 19 near 4995: rounding to 18 digits first decides the text.
            std::string t = std::to_string(1 + rng() % 9) + ".";
            for (int j = 0; j < 14; ++j) t += static_cast<char>('0' + rng() % 10);
            t += tails[rng() % std::size(tails)];
            t += 'e';
            t += std::to_string(static_cast<int>(rng() % 630) - 310);
            const double x = std::strtod(t.c_str(), nullptr);
            check(x);
            check(std::nextafter(x, 0.0));
            check(std::nextafter(x, INFINITY));
        }
    }
    EXPECT_EQ(differences, 0);
}

}  // namespace
}  // namespace pelmora
