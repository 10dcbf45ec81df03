// The error box's text of a long message: shortened in the middle, whole
// characters kept, with the length of the whole.

#include <gtest/gtest.h>

#include <string>

#include "core/generate.h"

namespace {

struct BoxCase {
    const char* name;
    std::string message;
    std::string shown;
};

void PrintTo(const BoxCase& c, std::ostream* os) { *os << c.name; }

class ShortenedForBox : public ::testing::TestWithParam<BoxCase> {};

TEST_P(ShortenedForBox, KeepsBothEndsAndSaysTheLength) {
    EXPECT_EQ(pelmora::ShortenedForBox(GetParam().message), GetParam().shown);
}

const std::string kCut = " \xE2\x80\xA6 (";
const std::string kCutEnd = " characters in all) \xE2\x80\xA6 ";
const std::string kA = "\xC3\xA4";  // one character in two bytes

std::string NotValid(const std::string& field) {
    return std::string("'").append(field) + "' is not a valid floating point value.";
}
std::string CannotOpen(const std::string& path) {
    return std::string("Cannot open file \"").append(path) + "\". No such file or directory.";
}

INSTANTIATE_TEST_SUITE_P(
    Box, ShortenedForBox,
    ::testing::Values(
        BoxCase{"Short", "Floating point overflow", "Floating point overflow"},
        BoxCase{"AtTheLimit", std::string(256, 'x'), std::string(256, 'x')},
        BoxCase{"JustAbove", std::string(100, 'a') + "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb" + std::string(100, 'c'),
                std::string(100, 'a') + kCut + "257" + kCutEnd + std::string(100, 'c')},
        // Characters, not bytes: 300 two-byte characters are cut between characters.
        BoxCase{"TwoByteCharacters", [] { std::string s; for (int i = 0; i < 300; ++i) s += kA; return s; }(),
                [] { std::string s; for (int i = 0; i < 100; ++i) s += kA; return s; }() + kCut + "300" + kCutEnd +
                    [] { std::string s; for (int i = 0; i < 100; ++i) s += kA; return s; }()},
        // A quoted field: its own length, and the message's words whole.
        BoxCase{"FourMegabyteField", NotValid(std::string(4 << 20, '7') + "x"),
                NotValid(std::string(100, '7') + kCut + "4194305" + kCutEnd + std::string(99, '7') + "x")},
        BoxCase{"QuotesInsideTheField", NotValid(std::string(150, 'a') + "'" + std::string(150, 'b')),
                NotValid(std::string(100, 'a') + kCut + "301" + kCutEnd + std::string(100, 'b'))},
        BoxCase{"QuotedPath", CannotOpen(std::string(1, '/') + std::string(300, 'd')),
                CannotOpen(std::string(1, '/') + std::string(99, 'd') + kCut + "301" + kCutEnd +
                           std::string(100, 'd'))},
        // Too little quoted to cut there: the whole text is cut.
        BoxCase{"ShortQuote", std::string("'x' ") + std::string(300, 'y'),
                std::string("'x' ") + std::string(96, 'y') + kCut + "304" + kCutEnd + std::string(100, 'y')}),
    [](const auto& info) { return std::string(info.param.name); });

// The period the box adds: only after a last character that sorts after "."
// in character-code order, a character beyond ASCII included.
TEST(ErrorBoxText, AddsAPeriodAfterWhatSortsAfterIt) {
    const struct { std::string message, shown; } cases[] = {
        {"a/", "a/."}, {"a.", "a."}, {"a-", "a-"}, {"x " + kA, "x " + kA + "."}, {"", ""}};
    for (const auto& c : cases) EXPECT_EQ(pelmora::ErrorBoxText(c.message), c.shown) << c.message;
}

}  // namespace
