// The command line of pelmora-gen: distribution names, seeds, and which
// arguments are options and which are parameters.

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/options.h"
#include "core/rows.h"

namespace pelmora::cli {
namespace {

struct NameCase {
    const char* name;
    std::optional<Row> row;
};

class FindRowTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(FindRowTest, NamesTheRow) {
    EXPECT_EQ(FindRow(GetParam().name), GetParam().row) << "'" << GetParam().name << "'";
}

constexpr std::nullopt_t kNoRow = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Names, FindRowTest,
    ::testing::Values(NameCase{"gamma", Row::Gamma}, NameCase{"Gamma", Row::Gamma}, NameCase{"GAMMA", Row::Gamma},
                      NameCase{"Gauss Normal", Row::GaussNormal}, NameCase{"gaussnormal", Row::GaussNormal},
                      NameCase{"gauss-normal", Row::GaussNormal}, NameCase{" Gauss  Normal ", Row::GaussNormal},
                      NameCase{"noncentral-f", Row::NoncentralF}, NameCase{"Noncentral F", Row::NoncentralF},
                      NameCase{"students t", Row::StudentT}, NameCase{"Student's T", Row::StudentT},
                      NameCase{"Student's T ", Row::StudentT}, NameCase{"studentst", Row::StudentT},
                      NameCase{"chi square", Row::ChiSquare}, NameCase{"Chi-square", Row::ChiSquare},
                      NameCase{"noncentral chi-square", Row::NoncentralChiSquare},
                      NameCase{"NONCENTRAL-CHI-SQUARE", Row::NoncentralChiSquare},
                      NameCase{"bernoulli-gauss", Row::BernoulliGauss}, NameCase{"bernoulli", Row::Bernoulli},
                      NameCase{"f", Row::F}, NameCase{"log-normal", Row::LogNormal}, NameCase{"lognormal", Row::LogNormal},
                      NameCase{"negative binomial", Row::NegativeBinomial},
                      NameCase{"continuous uniform", Row::ContinuousUniform},
                      NameCase{"Discrete Uniform", Row::DiscreteUniform}, NameCase{"weibull", Row::Weibull},
                      NameCase{"beta", Row::Beta}, NameCase{"standard normal", Row::StandardNormal},
                      // the short names of R and scipy, in any case
                      NameCase{"normal", Row::GaussNormal}, NameCase{"norm", Row::GaussNormal},
                      NameCase{"Gaussian", Row::GaussNormal}, NameCase{"unif", Row::ContinuousUniform},
                      NameCase{"uniform", Row::ContinuousUniform}, NameCase{"exp", Row::Exponential},
                      NameCase{"expon", Row::Exponential}, NameCase{"t", Row::StudentT}, NameCase{"T", Row::StudentT},
                      NameCase{"chisq", Row::ChiSquare}, NameCase{"chi2", Row::ChiSquare},
                      NameCase{"lnorm", Row::LogNormal}, NameCase{"lognorm", Row::LogNormal},
                      NameCase{"binom", Row::Binomial}, NameCase{"pois", Row::Poisson}, NameCase{"geom", Row::Geometric},
                      NameCase{"nbinom", Row::NegativeBinomial}, NameCase{"ncx2", Row::NoncentralChiSquare},
                      NameCase{"NCF", Row::NoncentralF}, NameCase{"nct", Row::NoncentralT},
                      NameCase{"logis", Row::Logistic}, NameCase{"cauchy", Row::Cauchy}, NameCase{"laplace", Row::Laplace},
                      NameCase{"rayleigh", Row::Rayleigh}, NameCase{"triang", Row::Triangle},
                      // row numbers: digits only, blanks around them allowed
                      NameCase{"0", Row::Beta}, NameCase{"11", Row::Gamma}, NameCase{"26", Row::Weibull},
                      NameCase{"007", Row::DiscreteUniform}, NameCase{"00", Row::Beta}, NameCase{" 11 ", Row::Gamma},
                      NameCase{"00000000000000000000000011", Row::Gamma},
                      // nothing
                      NameCase{"27", kNoRow}, NameCase{"100", kNoRow}, NameCase{"-1", kNoRow}, NameCase{"", kNoRow},
                      NameCase{"  ", kNoRow}, NameCase{"1 1", kNoRow}, NameCase{"1-1", kNoRow},
                      NameCase{"gama", kNoRow}, NameCase{"1.5", kNoRow}, NameCase{"gamma2", kNoRow},
                      NameCase{"99999999999999999999999", kNoRow}));

// Every name --list shows finds its own row, and no name belongs to two rows.
TEST(FindRow, EveryNameFindsItsOwnRowOnly) {
    std::set<std::string> seen;
    for (int index = 0; index < kRowCount; ++index) {
        const Row row = RowAt(index);
        EXPECT_EQ(FindRow(Record(row).caption), row) << Record(row).caption;
        std::vector<std::string> names = {CommandName(row)};
        for (const char* alias : Record(row).aliases) {
            if (alias) names.push_back(alias);
        }
        for (const std::string& name : names) {
            EXPECT_EQ(FindRow(name), row) << name;
            std::string key;
            for (char c : name) {
                if (c != '-') key += c;
            }
            EXPECT_TRUE(seen.insert(key).second) << name << " names two rows";
        }
    }
}

struct CountCase {
    const char* text;
    bool valid;
    int64_t value;
};

class ParseCountTest : public ::testing::TestWithParam<CountCase> {};

TEST_P(ParseCountTest, AcceptsOnlyWholeCountsUpTo2To63Minus1) {
    auto count = ParseCount(GetParam().text);
    ASSERT_EQ(count.has_value(), GetParam().valid) << "'" << GetParam().text << "'";
    if (count) {
        EXPECT_EQ(*count, GetParam().value) << "'" << GetParam().text << "'";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Counts, ParseCountTest,
    ::testing::Values(CountCase{"0", true, 0}, CountCase{"10", true, 10}, CountCase{"007", true, 7},
                      CountCase{"1e9", true, 1000000000}, CountCase{"2.5e6", true, 2500000},
                      CountCase{"1E3", true, 1000}, CountCase{"10.0", true, 10}, CountCase{"10.", true, 10},
                      CountCase{"0.05e2", true, 5}, CountCase{"1e+2", true, 100}, CountCase{"300e-2", true, 3},
                      CountCase{"0e999999999999", true, 0}, CountCase{"3000000000", true, 3000000000},
                      CountCase{"9223372036854775807", true, INT64_MAX},
                      CountCase{"9.223372036854775807e18", true, INT64_MAX},
                      CountCase{"9223372036854775808", false, 0}, CountCase{"1e19", false, 0},
                      CountCase{"1e999999999999", false, 0}, CountCase{"3.5", false, 0},
                      CountCase{"1e-1", false, 0}, CountCase{"2.55e1", false, 0}, CountCase{"-5", false, 0},
                      CountCase{"-0", false, 0}, CountCase{"+3", false, 0}, CountCase{"", false, 0},
                      CountCase{".", false, 0}, CountCase{"e5", false, 0}, CountCase{"1e", false, 0},
                      CountCase{" 10", false, 0}, CountCase{"10 ", false, 0}, CountCase{"1.2.3", false, 0},
                      CountCase{"0x10", false, 0}, CountCase{"ten", false, 0}, CountCase{"inf", false, 0}));

struct NearCase {
    const char* name;
    std::vector<std::string> nearest;
};

class NearestNamesTest : public ::testing::TestWithParam<NearCase> {};

TEST_P(NearestNamesTest, AreWithinACoupleOfSlips) { EXPECT_EQ(NearestNames(GetParam().name), GetParam().nearest); }

INSTANTIATE_TEST_SUITE_P(
    Slips, NearestNamesTest,
    ::testing::Values(NearCase{"gama", {"gamma"}}, NearCase{"GAMA", {"gamma"}}, NearCase{"nromal", {"normal"}},
                      NearCase{"poison", {"poisson"}}, NearCase{"weibul", {"weibull"}},
                      NearCase{"chisquared", {"chi-square"}}, NearCase{"expo", {"exp", "expon"}},
                      NearCase{"1 1", {}}, NearCase{"xyz", {}}, NearCase{"", {}}));

struct SeedCase {
    const char* text;
    bool valid;
    uint64_t value;
};

class ParseSeedTest : public ::testing::TestWithParam<SeedCase> {};

TEST_P(ParseSeedTest, AcceptsOnlyUnsigned64BitDecimals) {
    auto seed = ParseSeed(GetParam().text);
    ASSERT_EQ(seed.has_value(), GetParam().valid) << "'" << GetParam().text << "'";
    if (seed) {
        EXPECT_EQ(*seed, GetParam().value);
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ParseSeedTest,
                         ::testing::Values(SeedCase{"0", true, 0}, SeedCase{"1", true, 1}, SeedCase{"007", true, 7},
                                           SeedCase{"4294967296", true, 4294967296u},
                                           SeedCase{"18446744073709551615", true, UINT64_MAX},
                                           SeedCase{"018446744073709551615", true, UINT64_MAX},
                                           SeedCase{"18446744073709551616", false, 0},
                                           SeedCase{"99999999999999999999", false, 0}, SeedCase{"", false, 0},
                                           SeedCase{"-1", false, 0}, SeedCase{"+1", false, 0}, SeedCase{" 1", false, 0},
                                           SeedCase{"1 ", false, 0}, SeedCase{"1e3", false, 0}, SeedCase{"0x10", false, 0},
                                           SeedCase{"1.0", false, 0}, SeedCase{"abc", false, 0}));

ParsedArguments Parse(std::vector<std::string> args) { return ParseArguments(args); }

TEST(ParseArguments, Defaults) {
    ParsedArguments p = Parse({"gamma", "2"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.mode, Mode::Generate);
    EXPECT_EQ(p.options.row, Row::Gamma);
    EXPECT_EQ(p.options.count, "10");
    EXPECT_FALSE(p.options.seed);
    EXPECT_FALSE(p.options.output);
    EXPECT_FALSE(p.options.stats);
    EXPECT_FALSE(p.options.npy);
    EXPECT_EQ(p.options.histBins, 0);
}

struct DefaultCase {
    std::vector<std::string> args;
    const char* p1;
    const char* p2;
    const char* p3;
};

class DefaultTest : public ::testing::TestWithParam<DefaultCase> {};

// A parameter left out takes its textbook default (R's and scipy's); a
// field the row hides keeps the window's start-up text. --as-window takes
// the window's start-up texts 1, 1 and 3 for all.
TEST_P(DefaultTest, FillsWhatIsLeftOut) {
    const DefaultCase& c = GetParam();
    ParsedArguments p = Parse(c.args);
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.p1, c.p1);
    EXPECT_EQ(p.options.p2, c.p2);
    EXPECT_EQ(p.options.p3, c.p3);
}

INSTANTIATE_TEST_SUITE_P(
    TextbookDefaults, DefaultTest,
    ::testing::Values(DefaultCase{{"normal"}, "0", "1", "3"}, DefaultCase{{"normal", "5"}, "5", "1", "3"},
                      DefaultCase{{"uniform"}, "0", "1", "3"}, DefaultCase{{"cauchy"}, "0", "1", "3"},
                      DefaultCase{{"lnorm"}, "0", "1", "3"}, DefaultCase{{"exp"}, "1", "1", "3"},
                      DefaultCase{{"laplace"}, "1", "1", "3"}, DefaultCase{{"rayleigh"}, "1", "1", "3"},
                      DefaultCase{{"gamma", "2"}, "2", "1", "3"}, DefaultCase{{"erlang", "3"}, "3", "1", "3"},
                      DefaultCase{{"weibull", "2"}, "2", "1", "3"}, DefaultCase{{"ncx2", "4"}, "4", "0", "3"},
                      DefaultCase{{"nct", "4"}, "4", "0", "3"}, DefaultCase{{"ncf", "4", "10"}, "4", "10", "0"},
                      DefaultCase{{"bernoulli-gauss", "0.5"}, "0.5", "0", "1"},
                      DefaultCase{{"standard-normal"}, "1", "1", "3"},
                      DefaultCase{{"--as-window", "gamma"}, "1", "1", "3"},
                      DefaultCase{{"--as-window", "normal"}, "1", "1", "3"},
                      DefaultCase{{"--as-window", "logistic", "5", "2"}, "5", "2", "3"},
                      DefaultCase{{"--list", "gamma", "2"}, "2", "1", "3"}));

// --list DISTRIBUTION notes what has no default instead of refusing it.
TEST(ParseArguments, ListNotesWhatIsMissing) {
    ParsedArguments p = Parse({"--list", "triangle", "0"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.missing, (std::vector<std::string>{"b", "m"}));
    EXPECT_TRUE(Parse({"--list", "normal"}).options.missing.empty());
}

// --bins, --range and --npy.
TEST(ParseArguments, HistogramAndNpyOptions) {
    ParsedArguments p = Parse({"--range", "-5", "5e0", "cauchy"});
    ASSERT_EQ(p.error, "");
    ASSERT_TRUE(p.options.histRange);
    EXPECT_EQ(p.options.histRange->low, -5);
    EXPECT_EQ(p.options.histRange->high, 5);
    EXPECT_EQ(p.options.histBins, 40);  // --range draws the histogram
    EXPECT_EQ(Parse({"--bins", "12", "cauchy"}).options.histBins, 12);
    EXPECT_EQ(Parse({"--bins=12", "--hist", "cauchy"}).options.histBins, 12);
    EXPECT_EQ(Parse({"--hist=7", "12", "3", "4"}).options.row, Row::GaussNormal);
    EXPECT_EQ(Parse({"12", "3", "4", "--hist"}).options.histBins, 40);
    EXPECT_EQ(Parse({"--hist", "--", "12", "3", "4"}).options.row, Row::GaussNormal);
    EXPECT_TRUE(Parse({"--npy", "-o", "x.npy", "normal"}).options.npy);
}

TEST(ParseArguments, AllOptions) {
    ParsedArguments p = Parse({"--seed", "42", "-n", "5", "-o", "out.txt", "--stats", "noncentral-f", "4", "10", "2"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.seed, 42u);
    EXPECT_EQ(p.options.count, "5");
    EXPECT_EQ(p.options.output, "out.txt");
    EXPECT_TRUE(p.options.stats);
    EXPECT_EQ(p.options.row, Row::NoncentralF);
    EXPECT_EQ(p.options.p1, "4");
    EXPECT_EQ(p.options.p2, "10");
    EXPECT_EQ(p.options.p3, "2");
}

TEST(ParseArguments, AttachedValuesAndOptionsAfterTheDistribution) {
    ParsedArguments p = Parse({"gamma", "2", "--seed=7", "-n3", "3", "-ofile", "-j3", "--shard=3/18446744073709551615"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.threads, 3);
    ASSERT_TRUE(p.options.shard);
    EXPECT_EQ(p.options.shard->index, 3u);
    EXPECT_EQ(p.options.shard->count, UINT64_MAX);
    EXPECT_EQ(p.options.seed, 7u);
    EXPECT_EQ(p.options.count, "3");
    EXPECT_EQ(p.options.output, "file");
    EXPECT_EQ(p.options.p1, "2");
    EXPECT_EQ(p.options.p2, "3");
}

TEST(ParseArguments, TheLastOfARepeatedOptionWins) {
    ParsedArguments p = Parse({"-n", "1", "-n", "2", "--seed", "1", "--seed", "2", "beta", "1", "2"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.count, "2");
    EXPECT_EQ(p.options.seed, 2u);
}

struct ParameterCase {
    std::vector<std::string> args;
    const char* p1;
    const char* p2;
    const char* p3;
};

class ParameterTest : public ::testing::TestWithParam<ParameterCase> {};

// Negative numbers, a lone sign, empty and blank texts reach the field parser
// as they are.
TEST_P(ParameterTest, ArePassedAsTexts) {
    const ParameterCase& c = GetParam();
    ParsedArguments p = Parse(c.args);
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.p1, c.p1);
    EXPECT_EQ(p.options.p2, c.p2);
    EXPECT_EQ(p.options.p3, c.p3);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParameterTest,
    ::testing::Values(ParameterCase{{"gauss normal", "-1", "-0.5"}, "-1", "-0.5", "3"},
                      ParameterCase{{"triangle", "-1e3", "-", "-.5"}, "-1e3", "-", "-.5"},
                      ParameterCase{{"triangle", "", " ", "  "}, "", " ", "  "},
                      ParameterCase{{"triangle", "- 5", "-5 ", "-0"}, "- 5", "-5 ", "-0"},
                      ParameterCase{{"weibull", "-9.", "1E"}, "-9.", "1E", "3"},
                      ParameterCase{{"--", "triangle", "-x", "--stats", "--"}, "-x", "--stats", "--"},
                      ParameterCase{{"triangle", "1", "--", "-n", "-o"}, "1", "-n", "-o"},
                      ParameterCase{{"triangle", "abc", "1,5", "x"}, "abc", "1,5", "x"}));

TEST(ParseArguments, OptionValuesAreTakenVerbatim) {
    ParsedArguments p = Parse({"--as-window", "-n", "-5", "-o", "-x", "beta"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.count, "-5");
    EXPECT_EQ(p.options.output, "-x");
    p = Parse({"--as-window", "-n", "--stats", "beta"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.count, "--stats");
    EXPECT_FALSE(p.options.stats);
}

TEST(ParseArguments, Modes) {
    EXPECT_EQ(Parse({"--list"}).options.mode, Mode::List);
    EXPECT_FALSE(Parse({"--list"}).options.row);
    EXPECT_EQ(Parse({"--list", "pois", "7"}).options.row, Row::Poisson);
    EXPECT_EQ(Parse({"--list", "pois", "7"}).options.p1, "7");
    EXPECT_TRUE(Parse({"--as-window", "pois"}).options.asWindow);
    EXPECT_FALSE(Parse({"pois"}).options.asWindow);
    EXPECT_EQ(Parse({"--version"}).options.mode, Mode::Version);
    EXPECT_EQ(Parse({"--help"}).options.mode, Mode::Help);
    EXPECT_EQ(Parse({"-h"}).options.mode, Mode::Help);
    // --help wins over everything else on the line.
    EXPECT_EQ(Parse({"gamma", "--list", "--help", "--seed", "1"}).options.mode, Mode::Help);
    EXPECT_EQ(Parse({"gamma", "--list", "--help", "--seed", "1"}).error, "");
}

struct UsageCase {
    std::vector<std::string> args;
    const char* error;
};

class UsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageTest, IsReported) { EXPECT_EQ(Parse(GetParam().args).error, GetParam().error); }

INSTANTIATE_TEST_SUITE_P(
    Errors, UsageTest,
    ::testing::Values(
        UsageCase{{}, "no distribution given"},
        UsageCase{{"-n", "5"}, "no distribution given"},
        UsageCase{{"gama"}, "unknown distribution 'gama'; did you mean 'gamma'?"},
        UsageCase{{"expo"}, "unknown distribution 'expo'; did you mean 'exp' or 'expon'?"},
        UsageCase{{"27"}, "unknown distribution '27' (--list shows them)"},
        UsageCase{{"-1"}, "unknown distribution '-1' (--list shows them)"},
        UsageCase{{"1 1"}, "unknown distribution '1 1' (--list shows them)"},
        // An option letter glued to what is not a number: "-nan" is not "-n an".
        UsageCase{{"-nan", "gamma"}, "unknown option '-nan'"},
        UsageCase{{"gamma", "-ofile", "-nx"}, "unknown option '-nx'"},
        UsageCase{{"gamma", "1", "2", "3", "4"}, "too many arguments: '4'"},
        UsageCase{{"-x", "gamma"}, "unknown option '-x'"},
        UsageCase{{"gamma", "--seeds", "1"}, "unknown option '--seeds'"},
        UsageCase{{"gamma", "-e5"}, "unknown option '-e5'"},
        UsageCase{{"--counts", "5", "gamma"}, "unknown option '--counts'"},
        UsageCase{{"-n", "3.5", "gamma"}, "-n: '3.5' is not a whole number of values."},
        UsageCase{{"gamma", "--count", "-5"}, "--count: '-5' is not a whole number of values."},
        UsageCase{{"--count=", "gamma"}, "--count: '' is not a whole number of values."},
        UsageCase{{"--count=9.223372036854775808e18", "gamma"},
                  "--count: '9.223372036854775808e18' is not a whole number of values."},  // 2^63
        UsageCase{{"gamma", "--count"}, "option --count needs a value"},
        UsageCase{{"gamma", "--output"}, "option --output needs a value"},
        UsageCase{{"gamma", "--output="}, "option --output needs a file name"},
        UsageCase{{"--precision", "0", "gamma"}, "--precision: '0' is not a number of digits from 1 to 17"},
        UsageCase{{"--precision=18", "gamma"}, "--precision: '18' is not a number of digits from 1 to 17"},
        UsageCase{{"--columns", "0", "gamma"}, "--columns: '0' is not a number of columns from 1 to 1000000"},
        UsageCase{{"--hist=0", "gamma"}, "--hist: '0' is not a number of bins from 1 to 1000"},
        UsageCase{{"--binary", "--columns", "2", "gamma"},
                  "--binary writes whole doubles: --precision and --columns do not go with it"},
        UsageCase{{"gamma", "-n"}, "option -n needs a value"},
        UsageCase{{"gamma", "-o"}, "option -o needs a value"},
        UsageCase{{"gamma", "-o", ""}, "option -o needs a file name"},
        UsageCase{{"gamma", "--seed"}, "option --seed needs a value"},
        UsageCase{{"--seed", "-1", "gamma"}, "the seed must be an unsigned 64-bit decimal integer, not '-1'"},
        UsageCase{{"--seed", "1.5", "gamma"}, "the seed must be an unsigned 64-bit decimal integer, not '1.5'"},
        UsageCase{{"--seed=", "gamma"}, "the seed must be an unsigned 64-bit decimal integer, not ''"},
        UsageCase{{"--seed", "18446744073709551616", "gamma"},
                  "the seed must be an unsigned 64-bit decimal integer, not '18446744073709551616'"},
        UsageCase{{"-j", "0", "gamma"}, "-j: '0' is not a number of threads from 1 to 256"},
        UsageCase{{"--threads=257", "gamma"}, "--threads: '257' is not a number of threads from 1 to 256"},
        UsageCase{{"gamma", "-j"}, "option -j needs a value"},
        UsageCase{{"--shard", "1/4", "gamma"},
                  "--shard needs --seed: only a seeded run is one stream that parts drawn apart can share"},
        UsageCase{{"--seed=1", "--shard", "4/4", "gamma"},
                  "--shard: '4/4' is not I/N, part I (counted from 0) of N parts, with 0 <= I < N"},
        UsageCase{{"--seed=1", "--shard=0/0", "gamma"},
                  "--shard: '0/0' is not I/N, part I (counted from 0) of N parts, with 0 <= I < N"},
        UsageCase{{"--seed=1", "--shard=1", "gamma"},
                  "--shard: '1' is not I/N, part I (counted from 0) of N parts, with 0 <= I < N"},
        UsageCase{{"--list", "-j", "2"}, "--list takes no other arguments"},
        UsageCase{{"--list", "gama"}, "unknown distribution 'gama'; did you mean 'gamma'?"},
        UsageCase{{"--list", "--stats"}, "--list takes no other arguments"},
        UsageCase{{"--list", "gamma", "--as-window"}, "--list takes no other arguments"},
        UsageCase{{"--version", "gamma"}, "--version takes no other arguments"},
        UsageCase{{"--version", "-n", "3"}, "--version takes no other arguments"},
        UsageCase{{"--version", "--list"}, "--list and --version do not go together"}));

INSTANTIATE_TEST_SUITE_P(
    SourceAndStart, UsageTest,
    ::testing::Values(
        UsageCase{{"--source", "mt", "gamma"},
                  "--source: 'mt' is not a source: lcg (the window's 32-bit generator) or philox (counter-based)"},
        UsageCase{{"gamma", "--source"}, "option --source needs a value"},
        UsageCase{{"--source=philox", "--as-window", "--seed", "1", "gamma"},
                  "--as-window draws from the window's own source: --source philox does not go with it"},
        UsageCase{{"--start", "5", "gamma"},
                  "--start needs --seed: only a seeded run has the same values at the same places every time"},
        UsageCase{{"--seed", "1", "--start=-1", "gamma"}, "--start: '-1' is not a whole number of values."},
        UsageCase{{"--list", "--source", "philox"}, "--list takes no other arguments"}));

}  // namespace
}  // namespace pelmora::cli
