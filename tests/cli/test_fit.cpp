// The goodness-of-fit tests and the histogram behind --stats and --hist.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include <boost/math/distributions/normal.hpp>

#include "cli/fit.h"
#include "cli/seeded_clock.h"
#include "core/rows.h"

namespace pelmora::cli {
namespace {

// Tail probabilities of the Kolmogorov distribution from published tables
// (both series of the function are crossed: below and above 1.18).
TEST(KolmogorovTail, MatchesTheTable) {
    const struct {
        double lambda, tail;
    } table[] = {{0.0, 1.0}, {0.5, 0.963945}, {0.8, 0.544142}, {1.0, 0.270000}, {1.2, 0.112250},
                 {1.358, 0.050027}, {1.628, 0.009976}, {2.0, 0.000671}};
    for (const auto& row : table) EXPECT_NEAR(KolmogorovTail(row.lambda), row.tail, 2e-6) << row.lambda;
}

Law Exponential(double rate) {
    return Law::Continuous([rate](double x) { return x <= 0 ? 0 : -std::expm1(-rate * x); });
}

// Values 0..5 of a fair die less one, discrete.
Law Die() {
    return Law::Discrete([](double x) { return x < 0 ? 0 : x >= 5 ? 1 : (std::floor(x) + 1) / 6; });
}

TEST(TestFit, KolmogorovSmirnovOfAPerfectSampleAndAShiftedOne) {
    // The quantiles (i + 0.5)/n of the law: D is exactly 1/(2n).
    std::vector<double> sample;
    for (int i = 0; i < 1000; ++i) sample.push_back(-std::log(1 - (i + 0.5) / 1000) / 2);
    Fit fit = TestFit(sample, Exponential(2));
    ASSERT_TRUE(fit.done);
    EXPECT_STREQ(fit.test, "Kolmogorov-Smirnov");
    EXPECT_NEAR(fit.statistic, 0.0005, 1e-12);
    EXPECT_NEAR(fit.p, 1, 1e-9);
    fit = TestFit(sample, Exponential(2.5));  // a 25% wrong rate
    EXPECT_LT(fit.p, 1e-4);
}

TEST(TestFit, ChiSquarePoolsCellsAndCountsDegrees) {
    // 60 throws, 10 of each face: a perfect fit on 5 degrees of freedom.
    std::vector<double> sample;
    for (int i = 0; i < 60; ++i) sample.push_back(i % 6);
    Fit fit = TestFit(sample, Die());
    ASSERT_TRUE(fit.done);
    EXPECT_STREQ(fit.test, "chi-square");
    EXPECT_EQ(fit.degrees, 5);
    EXPECT_NEAR(fit.statistic, 0, 1e-12);
    EXPECT_NEAR(fit.p, 1, 1e-12);
    // 12 throws expect 2 a face: pooled into cells of at least 5 (2+2+2,
    // 2+2+2), one degree of freedom; observed 6 and 6 fit exactly.
    sample.resize(12);
    fit = TestFit(sample, Die());
    EXPECT_EQ(fit.degrees, 1);
    EXPECT_NEAR(fit.statistic, 0, 1e-12);
    // All on one face: the tails below (0 to 2) and above (4, 5) are cells
    // of their own, X^2 = 30 + (60 - 10)^2 / 10 + 20.
    std::vector<double> loaded(60, 3.0);
    fit = TestFit(loaded, Die());
    EXPECT_EQ(fit.degrees, 2);
    EXPECT_NEAR(fit.statistic, 300, 1e-9);
    EXPECT_LT(fit.p, 1e-60);
}

TEST(Histogram, ExpectedCountsComeFromTheLaw) {
    std::vector<double> sample = {0, 1, 1, 2, 2, 2, 3, 4, 4, 5};
    std::vector<Bin> bins = MakeHistogram(sample, Die(), 3).bins;  // two faces a bin
    ASSERT_EQ(bins.size(), 3u);
    EXPECT_EQ(bins[0].low, 0);
    EXPECT_EQ(bins[0].high, 1);
    EXPECT_EQ(bins[0].observed, 3);
    EXPECT_EQ(bins[1].observed, 4);
    EXPECT_EQ(bins[2].observed, 3);
    for (const Bin& b : bins) EXPECT_NEAR(b.expected, 10.0 / 3, 1e-12);

    bins = MakeHistogram({0.0, 1.0, 2.0, 4.0}, Exponential(1), 2).bins;  // [0, 2), [2, 4]
    ASSERT_EQ(bins.size(), 2u);
    EXPECT_EQ(bins[0].observed, 2);
    EXPECT_EQ(bins[1].observed, 2);
    EXPECT_NEAR(bins[0].expected, 4 * (1 - std::exp(-2)), 1e-12);
    EXPECT_NEAR(bins[1].expected, 4 * (std::exp(-2) - std::exp(-4)), 1e-12);

    bins = MakeHistogram({1.0, 2.0}, Law::None("unknown"), 4).bins;
    for (const Bin& b : bins) EXPECT_EQ(b.expected, -1);
}

TEST(Histogram, TextHasABarPerBinAndTheFitLine) {
    std::string text = HistogramText({0, 1, 1, 2, 2, 2, 3, 4, 4, 5}, Die(), 6, 60, 25);
    EXPECT_EQ(text,
              "histogram of 10 values (the first of 25)\n"
              "        from                           observed     expected\n"
              "           0  ███████▎                        1          1.7\n"
              "           1  ██████████████▋                 2          1.7\n"
              "           2  ██████████████████████          3          1.7\n"
              "           3  ███████▎                        1          1.7\n"
              "           4  ██████████████▋                 2          1.7\n"
              "           5  ███████▎                        1          1.7\n"
              // Pooled: faces 0 to 2 (6 seen, 5 expected) and 3 to 5 (4 and 5).
              "fit       chi-square = 0.4 with 1 degrees of freedom, p = 0.5271 (10 values)\n");
    EXPECT_EQ(HistogramText({1, 2}, Law::None("no closed form"), 2, 60, 2).substr(0, 30),
              "histogram of 2 values\n        ");
}

// Heavy tails: 1000 values of which eight lie far out. The bins cover the
// 0.5% to 99.5% quantiles of the sample (here 0 and 1, each held by ten
// values), and the four values below and the four above are counted on
// lines of their own, beside the law's counts.
TEST(Histogram, HeavyTailsAreCountedBelowAndAbove) {
    std::vector<double> sample(10, 0.0);
    sample.insert(sample.end(), 10, 1.0);
    for (int i = 1; i <= 972; ++i) sample.push_back(i / 973.0);
    for (int i = 1; i <= 4; ++i) sample.push_back(-1e6 * i), sample.push_back(1e6 * i);
    const HistRange range = DefaultRange(sample);
    EXPECT_EQ(range.low, 0);
    EXPECT_EQ(range.high, 1);
    Histogram h = MakeHistogram(sample, Exponential(1), 4);
    EXPECT_TRUE(h.cut);
    EXPECT_EQ(h.below, 4);
    EXPECT_EQ(h.above, 4);
    int64_t inside = 0;
    for (const Bin& b : h.bins) inside += b.observed;
    EXPECT_EQ(inside, 992);
    EXPECT_NEAR(h.expectedAbove, 1000 * std::exp(-h.high), 1e-9);
    // A light-tailed sample keeps its whole range.
    EXPECT_FALSE(MakeHistogram({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Exponential(1), 4).cut);
    // --range: what it says, a discrete law's cells whole.
    h = MakeHistogram({0, 1, 1, 2, 2, 2, 3, 4, 4, 5}, Die(), 6, HistRange{1.5, 4});
    ASSERT_EQ(h.bins.size(), 3u);  // faces 2, 3, 4
    EXPECT_EQ(h.below, 3);
    EXPECT_EQ(h.above, 1);
    EXPECT_NEAR(h.expectedBelow, 10 * 2.0 / 6, 1e-12);
    EXPECT_NEAR(h.expectedAbove, 10 * 1.0 / 6, 1e-12);
    std::string text = HistogramText({0, 1, 1, 2, 2, 2, 3, 4, 4, 5}, Die(), 6, 60, 10, HistRange{1.5, 4});
    EXPECT_NE(text.find("\n       below  under 1.5                       3          3.3\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n       above  over 4                          1          1.7\n"), std::string::npos) << text;
}

// A range wider than the largest double: finite edges and every value in a
// bin; a law that gives no probability there gives "no fit", never a number.
TEST(Histogram, ARangeBeyondTheDoublesStaysFiniteAndSaysNoFit) {
    const std::vector<double> sample = {-1e308, -5e307, 0, 5e307, 1e308};
    // (x - a)^2 / ((b - a)(m - a)) of a triangle from -1e308: inf / inf
    Law broken = Law::Continuous([](double x) { return (x + 1e308) * (x + 1e308) / (1e308 * 1e308); });
    Histogram h = MakeHistogram(sample, broken, 4);
    ASSERT_EQ(h.bins.size(), 4u);
    int64_t seen = 0;
    for (const Bin& b : h.bins) {
        EXPECT_TRUE(std::isfinite(b.low) && std::isfinite(b.high)) << b.low << " " << b.high;
        EXPECT_EQ(b.expected, -1);
        seen += b.observed;
    }
    EXPECT_EQ(seen, 5);
    EXPECT_EQ(h.bins[2].low, 0);
    EXPECT_THROW(TestFit(sample, broken), std::domain_error);
    EXPECT_EQ(FitLine(sample, broken), "no fit: the law's distribution function gives no probability at -1E308\n");
    EXPECT_EQ(FitLine(sample, Law::None("no closed form")), "no fit: no closed form\n");
    // The row's own law refuses such a range at once.
    EXPECT_THROW(Record(Row::ContinuousUniform).law(-1e308, 1e308, 0), std::range_error);
    EXPECT_THROW(Record(Row::Triangle).law(-1e308, 1e308, 0), std::range_error);
}

}  // namespace
}  // namespace pelmora::cli

// The laws in the row records, at points where the distribution function
// is known by hand.
namespace pelmora::cli {
namespace {

struct LawCase {
    Row row;
    double p1, p2, p3, x, cdf;
};

class RowLawTest : public ::testing::TestWithParam<LawCase> {};

TEST_P(RowLawTest, IsTheDrawnConstruction) {
    const LawCase& c = GetParam();
    Law law = Record(c.row).law(c.p1, c.p2, c.p3);
    ASSERT_NE(law.kind, Law::Kind::Unknown);
    EXPECT_NEAR(law.cdf(c.x), c.cdf, 1e-12) << RowName(c.row);
}

INSTANTIATE_TEST_SUITE_P(
    Known, RowLawTest,
    ::testing::Values(LawCase{Row::Exponential, 2, 1, 3, 0.5, 1 - std::exp(-1.0)},
                      LawCase{Row::Beta, 2, 3, 3, 0.5, 0.6},          // 3x / (2(1 - x) + 3x)
                      LawCase{Row::F, 4, 10, 3, 3, 0.75},             // x / (1 + x), whatever d1 and d2
                      LawCase{Row::Geometric, 0.3, 1, 3, 2, 1 - 0.7 * 0.7 * 0.7},  // failures
                      LawCase{Row::DiscreteUniform, 6.9, 1, 3, 2.5, 2.0 / 6},     // 1 to 6
                      LawCase{Row::Triangle, 0, 1, 0.5, 0.25, 0.125},
                      LawCase{Row::BernoulliGauss, 0.5, 0, 1, 0, 0.75},  // the point mass at 0
                      LawCase{Row::Erlang, 2, 3, 3, 6, 1 - 3 * std::exp(-2.0)},  // scale 3
                      LawCase{Row::Gamma, 1, 3, 3, 3, 1 - std::exp(-1.0)},       // scale 3
                      LawCase{Row::Laplace, 2, 1, 3, -2, 0.5 * std::exp(-1.0)},
                      LawCase{Row::Cauchy, 1, 2, 3, 3, 0.75},
                      LawCase{Row::Binomial, 2.9, 0.5, 3, 1, 0.75}));

TEST(RowLaw, NoncentralFHasNoClosedForm) {
    Law law = Record(Row::NoncentralF).law(4, 10, 2);
    EXPECT_EQ(law.kind, Law::Kind::Unknown);
    EXPECT_EQ(law.note, "no closed form is known for Noncentral F with the same delta in both chi-squares");
}

// Every row with parameters inside its domain.
const struct RowCase {
    Row row;
    double p1, p2, p3;
} kRowCases[] = {{Row::Beta, 2, 3, 0},          {Row::Bernoulli, 0.3, 0, 0},
                 {Row::BernoulliGauss, 0.5, 10, 2}, {Row::Binomial, 10, 0.3, 0},
                 {Row::Cauchy, 1, 2, 0},        {Row::ChiSquare, 3, 0, 0},
                 {Row::ContinuousUniform, -1, 2, 0}, {Row::DiscreteUniform, 7, 0, 0},
                 {Row::Erlang, 3, 2, 0},        {Row::Exponential, 4, 0, 0},
                 {Row::F, 3, 7, 0},             {Row::Gamma, 2.5, 3, 0},
                 {Row::GaussNormal, 5, 2, 0},   {Row::Geometric, 0.2, 0, 0},
                 {Row::Laplace, 2, 0, 0},       {Row::LogNormal, 0.5, 0.7, 0},
                 {Row::Logistic, 0, 0, 0},      {Row::Poisson, 4.5, 0, 0},
                 {Row::Rayleigh, 2, 0, 0},      {Row::StandardNormal, 0, 0, 0},
                 {Row::StudentT, 5, 0, 0},      {Row::Triangle, 1, 4, 2},
                 {Row::NegativeBinomial, 3, 0.4, 0}, {Row::NoncentralChiSquare, 4, 3, 0},
                 {Row::NoncentralT, 6, 1.5, 0}, {Row::Weibull, 1.5, 2, 0}};

// Every row's law against 20,000 of its own seeded values: a law that is
// not what the generator draws fails by far (p below 1e-4 happens to a
// right law once in 10,000 seeds; these seeds are fixed).
TEST(RowLaw, FitsWhatTheRowDraws) {
    for (const auto& c : kRowCases) {
        std::vector<double> sample;
        {
            SeededSource source(2026);
            for (int i = 0; i < 20000; ++i) sample.push_back(DrawRow(c.row, c.p1, c.p2, c.p3));
        }
        Fit fit = TestFit(sample, Record(c.row).law(c.p1, c.p2, c.p3));
        ASSERT_TRUE(fit.done) << RowName(c.row);
        EXPECT_GT(fit.p, 1e-4) << RowName(c.row) << " " << fit.test << " " << fit.statistic;
    }
}

// The quartiles of every row's law are its quantiles: the first x (for a
// discrete law, integer) where P(X <= x) reaches p. Some exactly:
// N(0, 1); Poisson(4) (P(X <= 2) = 0.238, P(X <= 3) = 0.433, P(X <= 5) =
// 0.785); Bernoulli-Gauss, found by a search of its cdf, where the point
// mass 0.2 at 0 leaves 0.05 to the normal part: 2 + z(0.0625).
TEST(RowLaw, QuartilesAreTheLawsQuantiles) {
    for (const auto& c : kRowCases) {
        const Law law = Record(c.row).law(c.p1, c.p2, c.p3);
        const Quartiles q = LawQuartiles(law);
        const std::optional<double> found[] = {q.q1, q.median, q.q3};
        const double at[] = {0.25, 0.5, 0.75};
        for (int k = 0; k < 3; ++k) {
            ASSERT_TRUE(found[k]) << RowName(c.row) << " " << at[k];
            if (law.kind == Law::Kind::Discrete) {
                EXPECT_GE(law.cdf(*found[k]), at[k]) << RowName(c.row);
                EXPECT_LT(law.cdf(*found[k] - 1), at[k]) << RowName(c.row);
            } else {  // where P(X <= x) jumps past p (Bernoulli-Gauss's 0), at the jump
                EXPECT_GE(law.cdf(*found[k]), at[k] - 1e-9) << RowName(c.row) << " " << at[k];
                EXPECT_LE(law.cdf(std::nextafter(*found[k], -INFINITY)), at[k] + 1e-9) << RowName(c.row) << " " << at[k];
            }
        }
    }
    EXPECT_NEAR(*LawQuartiles(Record(Row::GaussNormal).law(0, 1, 0)).q1, -0.674489750196082, 1e-15);
    const Quartiles poisson = LawQuartiles(Record(Row::Poisson).law(4, 0, 0));
    EXPECT_EQ(poisson.q1, 3);
    EXPECT_EQ(poisson.median, 4);
    EXPECT_EQ(poisson.q3, 5);
    const double z = boost::math::quantile(boost::math::normal_distribution<double>(0, 1), 0.0625);
    EXPECT_NEAR(*LawQuartiles(Record(Row::BernoulliGauss).law(0.8, 2, 1)).q1, 2 + z, 1e-12);
    EXPECT_FALSE(LawQuartiles(Record(Row::NoncentralF).law(4, 10, 2)).median);
}

}  // namespace
}  // namespace pelmora::cli
