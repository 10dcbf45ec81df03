// The formula pictures in words: each construct of the markup as a screen
// reader says it, and every row's picture in plain words only.

#include <gtest/gtest.h>

#include <string>

#include "core/rows.h"
#include "core/speech.h"

namespace {

struct SpeechCase {
    const char* name;
    const char* markup;
    const char* words;
};

void PrintTo(const SpeechCase& c, std::ostream* os) { *os << c.name; }

class Speech : public ::testing::TestWithParam<SpeechCase> {};

TEST_P(Speech, SaysTheMarkup) { EXPECT_EQ(pelmora::SpokenFormula(GetParam().markup), GetParam().words); }

INSTANTIATE_TEST_SUITE_P(
    Constructs, Speech,
    ::testing::Values(
        SpeechCase{"Application", "f(x) = λ e^{-λ x}", "f of x equals lambda e to the minus lambda x power"},
        SpeechCase{"ProductWithABlank", "a (1 - x)", "a open paren 1 minus x close paren"},
        SpeechCase{"ApplicationToAList", "Y ~ N(μ, σ^2)", "Y distributed as N of mu, sigma squared"},
        SpeechCase{"ApplicationToMore", "P(X = k)", "P of open paren X equals k close paren"},
        SpeechCase{"Powers", "x^2 + x^3 + p^k", "x squared plus x cubed plus p to the k"},
        SpeechCase{"ThinSpaceIsAProduct", R"(x^{α - 1}\, e^{-x/β})",
                   "x to the alpha minus 1 power times e to the minus x over beta power"},
        SpeechCase{"ShortFraction", R"(\frac{E_1}{E_2})", "E 1 over E 2"},
        SpeechCase{"LongFraction", R"(\frac{1}{2β} e^{-|x|/β})",
                   "the fraction 1, over 2 beta, end fraction, e to the minus the absolute value of x over beta power"},
        SpeechCase{"Binomial", R"(\binom{n}{k} p^k)", "n choose k p to the k"},
        SpeechCase{"Root", R"(\sqrt{2π} + \sqrt{n})", "the square root of 2 pi, end root, plus the square root of n"},
        SpeechCase{"Sum", R"(\sum_{i=1}^{n} Z_i)", "the sum from i equals 1 to n of Z i"},
        SpeechCase{"GrowingParentheses", R"(min\left(a, b\right)^2)", "minimum of open paren a, b close paren squared"},
        SpeechCase{"FactorialAndRelations", R"((m - 1)!,\quad a ≤ x ≥ b)",
                   "open paren m minus 1 close paren factorial, a less than or equal to x greater than or equal to b"},
        SpeechCase{"SideNoteAndText", R"(\small k = 0, 1, \ldots \text{ independent })",
                   "k equals 0, 1, dot dot dot independent"},
        SpeechCase{"BrokenMarkupIsReadAsFarAsItGoes", R"(\frac{1}{2 x} ) \nosuch)",
                   "the fraction 1, over 2 x, end fraction, nosuch"}),
    [](const auto& info) { return std::string(info.param.name); });

// The example a user hears first: Gamma, line by line.
TEST(SpokenPicture, Gamma) {
    EXPECT_EQ(pelmora::SpokenPicture(pelmora::Record(pelmora::Row::Gamma)),
              "f of x equals the fraction x to the alpha minus 1 power times e to the minus x over beta power, "
              "over Gamma of alpha times beta to the alpha, end fraction, x greater than 0");
}

// Every picture comes out as words: letters, digits, blanks, commas and the
// periods between lines, nothing a reader would spell out or skip.
TEST(SpokenPicture, EveryRowInPlainWords) {
    for (const pelmora::Distribution& row : pelmora::kRows) {
        const std::string words = pelmora::SpokenPicture(row);
        EXPECT_GE(words.size(), 20u) << row.caption;
        for (char c : words) {
            const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
                               c == ',' || c == '.';
            EXPECT_TRUE(plain) << row.caption << ": '" << c << "' in \"" << words << "\"";
            if (!plain) break;
        }
    }
}

}  // namespace
