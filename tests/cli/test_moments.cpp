// The moments behind --stats: exact values where the construction gives them
// in closed form, the Beta row's closed forms against an independent
// quadrature, and every row against a large seeded sample of the generator
// itself.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "cli/seeded_clock.h"
#include "core/moments.h"
#include "core/rows.h"
#include "engine/error.h"

namespace pelmora {
namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();  // "does not exist"
const double kPi = 3.14159265358979323846;

struct Exact {
    Row row;
    double p1, p2, p3;
    double mean, variance;  // kNone where it does not exist
};

void ExpectMoment(std::optional<double> got, double want, const char* what, const Exact& c) {
    if (std::isnan(want)) {
        EXPECT_FALSE(got) << what << " of " << RowName(c.row) << " (" << c.p1 << ", " << c.p2 << ", " << c.p3 << ")";
        return;
    }
    ASSERT_TRUE(got) << what << " of " << RowName(c.row) << " (" << c.p1 << ", " << c.p2 << ", " << c.p3 << ")";
    EXPECT_NEAR(*got, want, 1e-13 * std::fabs(want) + 1e-300)
        << what << " of " << RowName(c.row) << " (" << c.p1 << ", " << c.p2 << ", " << c.p3 << ")";
}

class ExactTest : public ::testing::TestWithParam<Exact> {};

TEST_P(ExactTest, Moments) {
    const Exact& c = GetParam();
    Moments m = TheoreticalMoments(c.row, c.p1, c.p2, c.p3);
    ExpectMoment(m.mean, c.mean, "mean", c);
    ExpectMoment(m.variance, c.variance, "variance", c);
}

const Exact kExact[] = {
        // Beta: a E1 / (a E1 + b E2); a = b is E1 / (E1 + E2), uniform on (0, 1)
        Exact{Row::Beta, 1, 1, 0, 0.5, 1.0 / 12}, Exact{Row::Beta, 2, 2, 0, 0.5, 1.0 / 12}, Exact{Row::Beta, -3, -3, 0, 0.5, 1.0 / 12},
        Exact{Row::Beta, 2, 6, 0, (3 * std::log(3.0) - 2) / 4, (8 - 6 * std::log(3.0)) / 8 - std::pow((3 * std::log(3.0) - 2) / 4, 2)},
        Exact{Row::Beta, -2, -6, 0, (3 * std::log(3.0) - 2) / 4, (8 - 6 * std::log(3.0)) / 8 - std::pow((3 * std::log(3.0) - 2) / 4, 2)},
        Exact{Row::Beta, 0, 3, 0, 0, 0}, Exact{Row::Beta, 3, 0, 0, 1, 0}, Exact{Row::Beta, 0, 0, 0, kNone, kNone},
        Exact{Row::Beta, 1, -1, 0, kNone, kNone},
        // Bernoulli: p clipped to [0, 1]
        Exact{Row::Bernoulli, 0.3, 0, 0, 0.3, 0.21}, Exact{Row::Bernoulli, 1.5, 0, 0, 1, 0}, Exact{Row::Bernoulli, -0.5, 0, 0, 0, 0},
        // Bernoulli-Gauss
        Exact{Row::BernoulliGauss, 0.5, 10, 2, 5, 27}, Exact{Row::BernoulliGauss, 1, 10, 2, 10, 4}, Exact{Row::BernoulliGauss, -1, 10, 2, 0, 0}, Exact{Row::BernoulliGauss, 0.25, 0, -2, 0, 1},
        // Binomial: n truncated, p clipped
        Exact{Row::Binomial, 10, 0.3, 0, 3, 2.1}, Exact{Row::Binomial, 10.9, 0.3, 0, 3, 2.1}, Exact{Row::Binomial, 0, 0.5, 0, 0, 0},
        Exact{Row::Binomial, -3.9, 0.5, 0, 0, 0}, Exact{Row::Binomial, 3.9, 1, 0, 3, 0}, Exact{Row::Binomial, 10, -0.5, 0, 0, 0},
        Exact{Row::Binomial, 1e19, 0.5, 0, kNone, kNone},
        // Cauchy
        Exact{Row::Cauchy, 3, 0, 0, 3, 0}, Exact{Row::Cauchy, 0, 1, 0, kNone, kNone},
        // Chi-square
        Exact{Row::ChiSquare, 5, 0, 0, 5, 10}, Exact{Row::ChiSquare, 0, 0, 0, 0, 0}, Exact{Row::ChiSquare, -2, 0, 0, 0, 0},
        // Continuous Uniform
        Exact{Row::ContinuousUniform, -1, 1, 0, 0, 1.0 / 3}, Exact{Row::ContinuousUniform, 10, 0, 0, 5, 100.0 / 12}, Exact{Row::ContinuousUniform, 5, 5, 0, 5, 0},
        Exact{Row::ContinuousUniform, -1e308, 1e308, 0, 0, kNone},
        // Discrete Uniform on 1..n; 0 gives 1; a negative n wraps
        Exact{Row::DiscreteUniform, 10, 0, 0, 5.5, 8.25}, Exact{Row::DiscreteUniform, 10.7, 0, 0, 5.5, 8.25}, Exact{Row::DiscreteUniform, 1, 0, 0, 1, 0}, Exact{Row::DiscreteUniform, 0, 0, 0, 1, 0},
        Exact{Row::DiscreteUniform, -1, 0, 0, -0.5000000001164153, 1.5372286731670433e+18},
        Exact{Row::DiscreteUniform, -5, 0, 0, -0.4999999982537702, 1.537228674598699e+18},
        Exact{Row::DiscreteUniform, -2147483648.0, 0, 0, 1073741822.5, 3.843071724972496e+17},
        // Erlang
        Exact{Row::Erlang, 3, 2, 0, 6, 12}, Exact{Row::Erlang, 2.9, 1, 0, 2, 2}, Exact{Row::Erlang, 0, 2, 0, 0, 0}, Exact{Row::Erlang, 3, -2, 0, -6, 12},
        // Exponential
        Exact{Row::Exponential, 2, 0, 0, 0.5, 0.25}, Exact{Row::Exponential, 0, 0, 0, 0, 0}, Exact{Row::Exponential, -1, 0, 0, 0, 0},
        // F: E1 / E2 for any degrees of freedom
        Exact{Row::F, 3, 7, 0, kNone, kNone}, Exact{Row::F, 100, 100, 0, kNone, kNone},
        // Gamma
        Exact{Row::Gamma, 2, 3, 0, 6, 18}, Exact{Row::Gamma, 0.5, 1, 0, 0.5, 0.5}, Exact{Row::Gamma, 2, -3, 0, -6, 18}, Exact{Row::Gamma, 2, 0, 0, 0, 0},
        Exact{Row::Gamma, 1, 2, 0, 2, 4}, Exact{Row::Gamma, 1, -1, 0, 0, 0}, Exact{Row::Gamma, 1, 0, 0, kNone, kNone},
        Exact{Row::Gamma, 0, 1, 0, kNone, kNone}, Exact{Row::Gamma, -1, 1, 0, kNone, kNone},
        // Gauss Normal
        Exact{Row::GaussNormal, 10, 2, 0, 10, 4}, Exact{Row::GaussNormal, 0, -2, 0, 0, 4}, Exact{Row::GaussNormal, 7, 0, 0, 7, 0},
        // Geometric: failures before the first success
        Exact{Row::Geometric, 0.5, 0, 0, 1, 2}, Exact{Row::Geometric, 0.25, 0, 0, 3, 12}, Exact{Row::Geometric, 0, 0, 0, 0, 0}, Exact{Row::Geometric, 1, 0, 0, 0, 0},
        Exact{Row::Geometric, 1.5, 0, 0, 0, 0}, Exact{Row::Geometric, -0.1, 0, 0, 0, 0},
        // Laplace
        Exact{Row::Laplace, 2, 0, 0, 0, 8}, Exact{Row::Laplace, -1, 0, 0, 0, 2},
        // Log Normal
        Exact{Row::LogNormal, 0, 1, 0, std::exp(0.5), (std::exp(1.0) - 1) * std::exp(1.0)}, Exact{Row::LogNormal, 0, 0, 0, 1, 0},
        Exact{Row::LogNormal, 1000, 1, 0, kNone, kNone},
        // Logistic
        Exact{Row::Logistic, 0, 0, 0, 0, kPi * kPi / 3},
        // Poisson
        Exact{Row::Poisson, 4, 0, 0, 4, 4}, Exact{Row::Poisson, 0, 0, 0, 0, 0}, Exact{Row::Poisson, -3, 0, 0, 0, 0},
        // Rayleigh
        Exact{Row::Rayleigh, 1, 0, 0, std::sqrt(kPi / 2), (4 - kPi) / 2}, Exact{Row::Rayleigh, 2, 0, 0, 2 * std::sqrt(kPi / 2), 2 * (4 - kPi)},
        Exact{Row::Rayleigh, 0, 0, 0, 0, 0}, Exact{Row::Rayleigh, -2, 0, 0, 0, 0},
        // Standard Normal
        Exact{Row::StandardNormal, 0, 0, 0, 0, 1},
        // Student's T
        Exact{Row::StudentT, 5, 0, 0, 0, 5.0 / 3}, Exact{Row::StudentT, 2, 0, 0, 0, kNone}, Exact{Row::StudentT, 1, 0, 0, kNone, kNone},
        Exact{Row::StudentT, 0, 0, 0, 0, 0}, Exact{Row::StudentT, -4, 0, 0, 0, 0},
        // Triangle: a < m < b, else 0
        Exact{Row::Triangle, 0, 1, 0.5, 0.5, 1.0 / 24}, Exact{Row::Triangle, 0, 3, 1, 4.0 / 3, (9 + 1 - 3) / 18.0}, Exact{Row::Triangle, 1, 1, 3, 0, 0},
        Exact{Row::Triangle, 0, 1, 0, 0, 0}, Exact{Row::Triangle, 0, 1, 1, 0, 0},
        // Negative Binomial
        Exact{Row::NegativeBinomial, 3, 0.4, 0, 4.5, 11.25}, Exact{Row::NegativeBinomial, 3, 1, 0, 0, 0}, Exact{Row::NegativeBinomial, 3, 0, 0, 0, 0}, Exact{Row::NegativeBinomial, 0, 0.5, 0, 0, 0},
        Exact{Row::NegativeBinomial, -2, 0.5, 0, 0, 0},
        // Noncentral Chi-square
        Exact{Row::NoncentralChiSquare, 5, 2, 0, 7, 18}, Exact{Row::NoncentralChiSquare, 5, 0, 0, 5, 10}, Exact{Row::NoncentralChiSquare, 5, -1, 0, 0, 0}, Exact{Row::NoncentralChiSquare, 0, 2, 0, 0, 0},
        // Noncentral F: delta 0 is the F law of textbooks; both chi-squares share delta
        Exact{Row::NoncentralF, 4, 10, 0, 1.25, 1.5625}, Exact{Row::NoncentralF, 0, 5, 1, kNone, kNone}, Exact{Row::NoncentralF, 4, 0, 1, kNone, kNone},
        Exact{Row::NoncentralF, -3, 5, 1, 0, 0}, Exact{Row::NoncentralF, 4, -5, 1, kNone, kNone}, Exact{Row::NoncentralF, 4, 10, -1, kNone, kNone},
        Exact{Row::NoncentralF, 4, 2, 1, kNone, kNone}, Exact{Row::NoncentralF, 4, 4, 0, 2, kNone},
        // Noncentral T
        Exact{Row::NoncentralT, 5, 0, 0, 0, 5.0 / 3}, Exact{Row::NoncentralT, 5, 1, 0, 1.1894160774351805, 1.918622728072042},
        Exact{Row::NoncentralT, 2, 1, 0, std::sqrt(kPi), kNone}, Exact{Row::NoncentralT, 1, 1, 0, kNone, kNone}, Exact{Row::NoncentralT, 0, 1, 0, kNone, kNone},
        Exact{Row::NoncentralT, -1, 1, 0, kNone, kNone},
        // Weibull
        Exact{Row::Weibull, 1, 2, 0, 2, 4}, Exact{Row::Weibull, 2, 1, 0, std::sqrt(kPi) / 2, 1 - kPi / 4}, Exact{Row::Weibull, 0, 1, 0, 0, 0},
        Exact{Row::Weibull, 2, 0, 0, 0, 0}, Exact{Row::Weibull, 0.001, 1, 0, kNone, kNone}};

INSTANTIATE_TEST_SUITE_P(Rows, ExactTest, ::testing::ValuesIn(kExact));

// Where the variance is 0 the row must really give one value every time.
TEST(ExactMoments, ConstantRowsAreConstant) {
    cli::SeededSource source(777);
    for (const Exact& c : kExact) {
        if (c.variance != 0) continue;
        for (int i = 0; i < 50; ++i) {
            EXPECT_EQ(DrawRow(c.row, c.p1, c.p2, c.p3), c.mean)
                << RowName(c.row) << " (" << c.p1 << ", " << c.p2 << ", " << c.p3 << ")";
        }
    }
}

// The Beta row's value V = E1 / (E1 + r E2) has P(V > v) = (1 - v) / (1 + (r - 1) v),
// so E[V] and E[V^2] are integrals of that tail over [0, 1]; here by
// composite Simpson on a grid fine enough for 12 digits.
TEST(BetaMoments, MatchAnIndependentQuadrature) {
    for (double r : {1e-3, 0.1, 0.49, 0.5, 0.51, 0.9, 0.999999, 1.0, 1.000001, 1.2, 1.49, 1.5, 1.51, 3.0, 10.0, 1e3}) {
        const int n = 200000;
        long double m1 = 0, m2 = 0;
        for (int i = 0; i <= n; ++i) {
            long double v = static_cast<long double>(i) / n;
            long double tail = (1 - v) / (1 + (r - 1) * v);
            long double w = (i == 0 || i == n) ? 1 : (i % 2 ? 4 : 2);
            m1 += w * tail;
            m2 += w * 2 * v * tail;
        }
        m1 /= 3.0L * n;
        m2 /= 3.0L * n;
        Moments m = TheoreticalMoments(Row::Beta, 1, r, 0);
        ASSERT_TRUE(m.mean && m.variance) << r;
        // r = 1e3 has a sharp tail near 0 that the plain grid resolves less well.
        double tolerance = r >= 100 || r <= 1e-2 ? 1e-7 : 1e-12;
        EXPECT_NEAR(*m.mean, static_cast<double>(m1), tolerance) << "r = " << r;
        EXPECT_NEAR(*m.variance, static_cast<double>(m2 - m1 * m1), tolerance) << "r = " << r;
    }
}

// ---------------------------------------------------------------------------
// Every row against its own generator: 200,000 seeded values, sample mean
// and variance within five standard errors of the moments. The seed makes the
// outcome fixed; a wrong formula misses by far more than five errors.

struct Sampled {
    Row row;
    double p1, p2, p3;
};

class SampleTest : public ::testing::TestWithParam<Sampled> {};

TEST_P(SampleTest, AgreesWithTheGenerator) {
    const Sampled& c = GetParam();
    Moments m = TheoreticalMoments(c.row, c.p1, c.p2, c.p3);
    ASSERT_TRUE(m.mean && m.variance);
    const int n = 200000;
    std::vector<double> values(n);
    {
        cli::SeededSource source(20261208 + Index(c.row));
        for (double& v : values) v = DrawRow(c.row, c.p1, c.p2, c.p3);
    }
    long double sum = 0;
    for (double v : values) sum += v;
    long double mean = sum / n;
    long double m2 = 0, m4 = 0;
    for (double v : values) {
        long double d = v - mean;
        m2 += d * d;
        m4 += d * d * d * d;
    }
    long double variance = m2 / (n - 1);
    m4 /= n;
    double meanError = std::sqrt(static_cast<double>(variance) / n);
    double varianceError = std::sqrt(static_cast<double>(m4 - variance * variance) / n);
    EXPECT_NEAR(static_cast<double>(mean), *m.mean, 5 * meanError) << RowName(c.row);
    EXPECT_NEAR(static_cast<double>(variance), *m.variance, 5 * varianceError) << RowName(c.row);
}

INSTANTIATE_TEST_SUITE_P(Rows, SampleTest,
                         ::testing::Values(Sampled{Row::Beta, 2, 3, 0}, Sampled{Row::Beta, 1, 10, 0}, Sampled{Row::Beta, -5, -1, 0},
                                           Sampled{Row::Bernoulli, 0.3, 0, 0}, Sampled{Row::BernoulliGauss, 0.4, 3, 2}, Sampled{Row::Binomial, 10, 0.3, 0},
                                           Sampled{Row::ChiSquare, 5, 0, 0}, Sampled{Row::ContinuousUniform, -1, 3, 0}, Sampled{Row::DiscreteUniform, 10, 0, 0},
                                           Sampled{Row::DiscreteUniform, -3, 0, 0}, Sampled{Row::Erlang, 3, 2, 0}, Sampled{Row::Exponential, 2, 0, 0},
                                           Sampled{Row::Gamma, 2, 3, 0}, Sampled{Row::Gamma, 0.5, 2, 0}, Sampled{Row::Gamma, 1, 2, 0},
                                           Sampled{Row::GaussNormal, 10, 2, 0}, Sampled{Row::Geometric, 0.3, 0, 0}, Sampled{Row::Laplace, 1.5, 0, 0},
                                           Sampled{Row::LogNormal, 0, 0.5, 0}, Sampled{Row::Logistic, 0, 0, 0}, Sampled{Row::Poisson, 4, 0, 0},
                                           Sampled{Row::Rayleigh, 2, 0, 0}, Sampled{Row::StandardNormal, 0, 0, 0}, Sampled{Row::StudentT, 10, 0, 0},
                                           Sampled{Row::Triangle, 0, 3, 1}, Sampled{Row::NegativeBinomial, 3, 0.4, 0}, Sampled{Row::NoncentralChiSquare, 5, 2, 0},
                                           Sampled{Row::NoncentralF, 4, 20, 2}, Sampled{Row::NoncentralF, 6, 12, 7}, Sampled{Row::NoncentralT, 10, 1, 0},
                                           Sampled{Row::Weibull, 2, 1, 0}, Sampled{Row::Weibull, 0.7, 3, 0}));

}  // namespace
}  // namespace pelmora
