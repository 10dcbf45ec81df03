// The rows' records: every parameter domain on both sides of each bound,
// the domains as --list writes them, and whether a row reseeds before each
// value, as its generator really does.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <string>
#include <vector>

#include "core/numtext.h"
#include "core/rows.h"
#include "engine/error.h"
#include "engine/uniform.h"

namespace pelmora {
namespace {

struct DomainCase {
    Row row;
    std::array<const char*, 3> texts;
    const char* error;  // "" inside the domain
};

void PrintTo(const DomainCase& c, std::ostream* os) {
    *os << RowName(c.row) << " (" << c.texts[0] << ", " << c.texts[1] << ", " << c.texts[2] << ")";
}

class DomainTest : public ::testing::TestWithParam<DomainCase> {};

TEST_P(DomainTest, AcceptsInsideAndNamesTheRuleOutside) {
    const DomainCase& c = GetParam();
    std::array<double, 3> values{};
    std::array<std::string_view, 3> texts{};
    for (std::size_t i = 0; i < 3; ++i) {
        values[i] = ToDouble(TextToReal(c.texts[i]));
        texts[i] = c.texts[i];
    }
    std::string error;
    try {
        CheckDomain(c.row, values, texts);
    } catch (const Error& e) {
        error = e.what();
    }
    EXPECT_EQ(error, c.error);
}

// One line per side of each bound: the last value inside, the first outside.
INSTANTIATE_TEST_SUITE_P(
    EveryBound, DomainTest,
    ::testing::Values(
        DomainCase{Row::Beta, {"1e-300", "1", "0"}, ""},
        DomainCase{Row::Beta, {"0", "1", "0"}, "Beta: a must be greater than 0 (got 0)."},
        DomainCase{Row::Beta, {"1", "1e-300", "0"}, ""},
        DomainCase{Row::Beta, {"1", "-0", "0"}, "Beta: b must be greater than 0 (got -0)."},
        DomainCase{Row::Bernoulli, {"0", "-9", "-9"}, ""},
        DomainCase{Row::Bernoulli, {"-1e-300", "1", "3"}, "Bernoulli: p must be at least 0 (got -1e-300)."},
        DomainCase{Row::Bernoulli, {"1", "1", "3"}, ""},
        DomainCase{Row::Bernoulli, {"1.0000001", "1", "3"}, "Bernoulli: p must be at most 1 (got 1.0000001)."},
        DomainCase{Row::BernoulliGauss, {"0", "-1e300", "1e-300"}, ""},
        DomainCase{Row::BernoulliGauss, {"1", "5", "2"}, ""},
        DomainCase{Row::BernoulliGauss, {"-0.1", "5", "2"}, "Bernoulli-Gauss: p must be at least 0 (got -0.1)."},
        DomainCase{Row::BernoulliGauss, {"1.5", "5", "2"}, "Bernoulli-Gauss: p must be at most 1 (got 1.5)."},
        DomainCase{Row::BernoulliGauss, {"0.5", "5", "0"}, "Bernoulli-Gauss: sigma must be greater than 0 (got 0)."},
        DomainCase{Row::Binomial, {"-0", "0", "3"}, ""},
        // A count is a whole number; the window's truncation is --as-window's.
        DomainCase{Row::Binomial, {"-0.5", "0", "3"}, "Binomial: n must be a whole number (got -0.5; --as-window truncates it toward zero as the window does)."},
        DomainCase{Row::Binomial, {"10.7", "0.3", "3"}, "Binomial: n must be a whole number (got 10.7; --as-window truncates it toward zero as the window does)."},
        DomainCase{Row::ChiSquare, {"2.5", "1", "3"}, "Chi-square: n must be a whole number (got 2.5; --as-window truncates it toward zero as the window does)."},
        DomainCase{Row::ChiSquare, {"2.5e0", "1", "3"}, "Chi-square: n must be a whole number (got 2.5e0; --as-window truncates it toward zero as the window does)."},
        DomainCase{Row::ChiSquare, {"25e-1", "1", "3"}, "Chi-square: n must be a whole number (got 25e-1; --as-window truncates it toward zero as the window does)."},
        DomainCase{Row::ChiSquare, {"2.000", "1", "3"}, ""},
        DomainCase{Row::NoncentralF, {"4", "10.5", "0"}, "Noncentral F: d2 must be a whole number (got 10.5; --as-window truncates it toward zero as the window does)."},
        DomainCase{Row::Erlang, {"1e-300", "1", "3"}, "Erlang: m must be a whole number (got 1e-300; --as-window truncates it toward zero as the window does)."},
        DomainCase{Row::Binomial, {"-1", "0.5", "3"}, "Binomial: n must be at least 0 (got -1)."},
        DomainCase{Row::Binomial, {"2147483647", "1", "3"}, ""},
        DomainCase{Row::Binomial, {"2147483648", "0.5", "3"}, "Binomial: n must be at most 2147483647 (got 2147483648)."},
        DomainCase{Row::Binomial, {"10", "-0.1", "3"}, "Binomial: p must be at least 0 (got -0.1)."},
        DomainCase{Row::Binomial, {"10", "1.5", "3"}, "Binomial: p must be at most 1 (got 1.5)."},
        DomainCase{Row::Cauchy, {"-1e300", "1e-300", "3"}, ""},
        DomainCase{Row::Cauchy, {"0", "0", "3"}, "Cauchy: beta must be greater than 0 (got 0)."},
        DomainCase{Row::ChiSquare, {"1", "-1", "-1"}, ""},
        DomainCase{Row::ChiSquare, {"0", "1", "3"}, "Chi-square: n must be at least 1 (got 0)."},
        DomainCase{Row::ChiSquare, {"2147483647", "1", "3"}, ""},
        DomainCase{Row::ChiSquare, {"1e19", "1", "3"}, "Chi-square: n must be at most 2147483647 (got 1e19)."},
        DomainCase{Row::ContinuousUniform, {"1", "1.0000001", "3"}, ""},
        DomainCase{Row::ContinuousUniform, {"1", "1", "3"}, "Continuous Uniform: b must be greater than a (got 1; a is 1)."},
        DomainCase{Row::DiscreteUniform, {"1", "1", "3"}, ""},
        DomainCase{Row::DiscreteUniform, {"0", "1", "3"}, "Discrete Uniform: n must be at least 1 (got 0)."},
        DomainCase{Row::DiscreteUniform, {"2147483647", "1", "3"}, ""},
        DomainCase{Row::DiscreteUniform, {"4294967297", "1", "3"}, "Discrete Uniform: n must be at most 2147483647 (got 4294967297)."},
        DomainCase{Row::Erlang, {"1", "1e-300", "3"}, ""},
        DomainCase{Row::Erlang, {"0", "1", "3"}, "Erlang: m must be at least 1 (got 0)."},
        DomainCase{Row::Erlang, {"2147483648", "1", "3"}, "Erlang: m must be at most 2147483647 (got 2147483648)."},
        DomainCase{Row::Erlang, {"3", "-2", "3"}, "Erlang: beta must be greater than 0 (got -2)."},
        DomainCase{Row::Exponential, {"1e-300", "1", "3"}, ""},
        DomainCase{Row::Exponential, {"0", "1", "3"}, "Exponential: lambda must be greater than 0 (got 0)."},
        DomainCase{Row::F, {"1e-300", "1e-300", "3"}, ""},
        DomainCase{Row::F, {"0", "3", "3"}, "F: d1 must be greater than 0 (got 0)."},
        DomainCase{Row::F, {"3", "-1", "3"}, "F: d2 must be greater than 0 (got -1)."},
        DomainCase{Row::Gamma, {"1e-300", "1e-300", "3"}, ""},
        DomainCase{Row::Gamma, {"-2", "3", "3"}, "Gamma: afa must be greater than 0 (got -2)."},
        DomainCase{Row::Gamma, {"1", "0", "3"}, "Gamma: beta must be greater than 0 (got 0)."},
        DomainCase{Row::GaussNormal, {"-1e300", "1e-300", "3"}, ""},
        DomainCase{Row::GaussNormal, {"0", "-2", "3"}, "Gauss Normal: sigma must be greater than 0 (got -2)."},
        DomainCase{Row::Geometric, {"1e-300", "1", "3"}, ""},
        DomainCase{Row::Geometric, {"0.9999999", "1", "3"}, ""},
        DomainCase{Row::Geometric, {"0", "1", "3"}, "Geometric: p must be greater than 0 (got 0)."},
        DomainCase{Row::Geometric, {"1", "1", "3"}, "Geometric: p must be less than 1 (got 1)."},
        DomainCase{Row::Laplace, {"1e-300", "1", "3"}, ""},
        DomainCase{Row::Laplace, {"-1", "1", "3"}, "Laplace: beta must be greater than 0 (got -1)."},
        DomainCase{Row::LogNormal, {"-5", "1e-300", "3"}, ""},
        DomainCase{Row::LogNormal, {"0", "0", "3"}, "Log Normal: sigma must be greater than 0 (got 0)."},
        DomainCase{Row::Logistic, {"-1", "-1", "-1"}, ""},  // no fields: nothing to check
        DomainCase{Row::Poisson, {"1e-300", "1", "3"}, ""},
        DomainCase{Row::Poisson, {"-4", "1", "3"}, "Poisson: lambda must be greater than 0 (got -4)."},
        DomainCase{Row::Rayleigh, {"1e-300", "1", "3"}, ""},
        DomainCase{Row::Rayleigh, {"0", "1", "3"}, "Rayleigh: sigma must be greater than 0 (got 0)."},
        DomainCase{Row::StandardNormal, {"-1", "-1", "-1"}, ""},
        DomainCase{Row::StudentT, {"1", "1", "3"}, ""},
        DomainCase{Row::StudentT, {"-0", "1", "3"}, "Student's T: n must be at least 1 (got -0)."},
        DomainCase{Row::StudentT, {"2147483647", "1", "3"}, ""},
        DomainCase{Row::StudentT, {"-2147483649", "1", "3"}, "Student's T: n must be at least 1 (got -2147483649)."},
        DomainCase{Row::Triangle, {"0", "1", "1e-300"}, ""},
        DomainCase{Row::Triangle, {"0", "1", "0.9999999"}, ""},
        DomainCase{Row::Triangle, {"0", "1", "0"}, "Triangle: m must be greater than a (got 0; a is 0)."},
        DomainCase{Row::Triangle, {"1", "1", "3"}, "Triangle: m must be less than b (got 3; b is 1)."},
        DomainCase{Row::NegativeBinomial, {"1", "0.5", "3"}, ""},
        DomainCase{Row::NegativeBinomial, {"0", "0.5", "3"}, "Negative Binomial: r must be at least 1 (got 0)."},
        DomainCase{Row::NegativeBinomial, {"3", "0", "3"}, "Negative Binomial: p must be greater than 0 (got 0)."},
        DomainCase{Row::NegativeBinomial, {"3", "1", "3"}, "Negative Binomial: p must be less than 1 (got 1)."},
        DomainCase{Row::NoncentralChiSquare, {"1", "0", "3"}, ""},
        DomainCase{Row::NoncentralChiSquare, {"0", "2", "3"}, "Noncentral Chi-square: n must be at least 1 (got 0)."},
        DomainCase{Row::NoncentralChiSquare, {"5", "-1e-300", "3"},
                   "Noncentral Chi-square: delta must be at least 0 (got -1e-300)."},
        DomainCase{Row::NoncentralF, {"1", "1", "0"}, ""},
        DomainCase{Row::NoncentralF, {"0", "1", "0"}, "Noncentral F: d1 must be at least 1 (got 0)."},
        DomainCase{Row::NoncentralF, {"1", "-5", "0"}, "Noncentral F: d2 must be at least 1 (got -5)."},
        DomainCase{Row::NoncentralF, {"1", "2147483648", "0"}, "Noncentral F: d2 must be at most 2147483647 (got 2147483648)."},
        DomainCase{Row::NoncentralF, {"4", "10", "-1"}, "Noncentral F: delta must be at least 0 (got -1)."},
        DomainCase{Row::NoncentralT, {"1", "-1e300", "3"}, ""},
        DomainCase{Row::NoncentralT, {"0", "1", "3"}, "Noncentral T: n must be at least 1 (got 0)."},
        DomainCase{Row::Weibull, {"1e-300", "1e-300", "3"}, ""},
        DomainCase{Row::Weibull, {"0", "1", "3"}, "Weibull: afa must be greater than 0 (got 0)."},
        DomainCase{Row::Weibull, {"2", "0", "3"}, "Weibull: beta must be greater than 0 (got 0)."}));

struct DomainTextCase {
    Row row;
    int param;
    const char* text;
};

class DomainTextTest : public ::testing::TestWithParam<DomainTextCase> {};

TEST_P(DomainTextTest, ReadsAsTheRule) {
    EXPECT_EQ(DomainText(GetParam().row, GetParam().param), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Forms, DomainTextTest,
                         ::testing::Values(DomainTextCase{Row::Poisson, 0, "lambda > 0"},
                                           DomainTextCase{Row::Bernoulli, 0, "0 <= p <= 1"},
                                           DomainTextCase{Row::Geometric, 0, "0 < p < 1"},
                                           DomainTextCase{Row::Triangle, 2, "a < m < b"},
                                           DomainTextCase{Row::ContinuousUniform, 1, "b > a"},
                                           DomainTextCase{Row::ChiSquare, 0, "1 <= n <= 2147483647"},
                                           DomainTextCase{Row::GaussNormal, 0, "any mean"}));

// Parameters inside the row's domain: 1.5 past a lower bound (2 for a count), the middle of
// a bounded range, and 1, 2 and 1.5 where nothing bounds them (so that the
// Triangle's mode lies between its ends).
std::array<double, 3> Inside(Row row) {
    std::array<double, 3> p = {1, 2, 1.5};
    for (std::size_t i = 0; i < 3; ++i) {
        const Param& param = Record(row).params[i];
        const bool lower = param.lower.compare != Compare::None && param.lower.other < 0;
        const bool upper = param.upper.compare != Compare::None && param.upper.other < 0 && !param.count;
        if (lower && upper) p[i] = (param.lower.value + param.upper.value) / 2;
        else if (lower) p[i] = param.lower.value + (param.count ? 2 : 1.5);
    }
    return p;
}

uint64_t ConstantRead(void*) { return 0x5EED; }

// Reseeding before each value, as the record says, is what the generator
// does: from two different states of the source, the same constant clock
// gives the same values exactly when the row reseeds.
TEST(RowStream, ReseedsAsTheGeneratorDoes) {
    ScopedClock clock({&ConstantRead, nullptr});
    for (int index = 0; index < kRowCount; ++index) {
        const Row row = RowAt(index);
        std::vector<std::array<double, 3>> cases = {Inside(row)};
        if (row == Row::Gamma) cases.push_back({1, 2, 0});  // shape 1: the exponential generator
        for (const auto& p : cases) {
            EXPECT_NO_THROW(CheckDomain(row, p, {"", "", ""})) << RowName(row);
            std::vector<double> first, second;
            UniformSeed = 1;
            for (int i = 0; i < 5; ++i) first.push_back(DrawRow(row, p[0], p[1], p[2]));
            UniformSeed = 2;
            for (int i = 0; i < 5; ++i) second.push_back(DrawRow(row, p[0], p[1], p[2]));
            EXPECT_EQ(first == second, ReseedsEachValue(row, p[0])) << RowName(row) << " with " << p[0];
        }
    }
}

}  // namespace
}  // namespace pelmora

namespace pelmora {
namespace {

// A clock whose readings are unrelated numbers, counted: a part of a run can
// be set to any reading with `next`.
struct CountingClock {
    uint64_t next = 0;
    static uint64_t Read(void* context) { return MixReading(static_cast<CountingClock*>(context)->next++ + 0x5EED); }
};

struct SplitCase {
    Row row;
    std::array<double, 3> p;
};

// Every row's split, checked against a serial run: each value drawn on its
// own, from the clock reading and the uniform state the split says it
// starts at (and a stale state where the row reseeds), is the serial run's
// value bit for bit, and it takes exactly the reseeds the split says.
// Serial rows are those that never reseed.
TEST(RowSplit, EachValueAloneEqualsTheSerialRun) {
    std::vector<SplitCase> cases;
    for (int index = 0; index < kRowCount; ++index) cases.push_back({RowAt(index), Inside(RowAt(index))});
    // The parameters that change the split: guards that draw nothing,
    // counts, shape 1, a noncentrality of 0 or below.
    cases.insert(cases.end(), {{Row::Gamma, {1, 2, 0}},
                               {Row::Binomial, {0, 0.5, 0}},
                               {Row::Binomial, {3, 0.5, 0}},
                               {Row::ChiSquare, {4, 0, 0}},
                               {Row::StudentT, {0, 0, 0}},
                               {Row::StudentT, {3, 0, 0}},
                               {Row::Geometric, {1, 0, 0}},
                               {Row::NegativeBinomial, {3, 0.5, 0}},
                               {Row::NegativeBinomial, {3, 1, 0}},
                               {Row::NoncentralChiSquare, {3, 0, 0}},
                               {Row::NoncentralChiSquare, {3, -1, 0}},
                               {Row::NoncentralF, {2, 3, 0.5}},
                               {Row::NoncentralT, {3, 1, 0}},
                               {Row::Triangle, {0, 1, 2}}});
    constexpr int kValues = 6;
    CountingClock counter;
    ScopedClock clock({&CountingClock::Read, &counter});
    for (const SplitCase& c : cases) {
        const Split split = SplitOf(c.row, c.p[0], c.p[1], c.p[2]);
        SCOPED_TRACE(std::string(RowName(c.row)) + " with " + std::to_string(c.p[0]) + ", " + std::to_string(c.p[1]) +
                     ", " + std::to_string(c.p[2]));
        counter.next = 0;
        UniformSeed = 77;
        std::vector<double> serial;
        for (int i = 0; i < kValues; ++i) serial.push_back(DrawRow(c.row, c.p[0], c.p[1], c.p[2]));
        if (split.cut == Cut::Serial) {
            EXPECT_FALSE(ReseedsEachValue(c.row, c.p[0]));
            EXPECT_EQ(counter.next, 0u) << "a serial row that reseeds";
            continue;
        }
        for (int i = 0; i < kValues; ++i) {
            const uint64_t k = static_cast<uint64_t>(i);
            if (split.cut == Cut::Reseeds) {
                counter.next = k * split.perValue;
                UniformSeed = 0xBAD0 + static_cast<uint32_t>(i);
            } else {
                counter.next = 0;
                UniformSeed = 77;
                AdvanceUniform(k * split.perValue);
            }
            const double alone = DrawRow(c.row, c.p[0], c.p[1], c.p[2]);
            EXPECT_EQ(std::bit_cast<uint64_t>(alone), std::bit_cast<uint64_t>(serial[k])) << "value " << i;
            EXPECT_EQ(counter.next, split.cut == Cut::Reseeds ? (k + 1) * split.perValue : 0u) << "value " << i;
        }
    }
}

}  // namespace
}  // namespace pelmora
