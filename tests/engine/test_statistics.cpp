// Statistical checks of the 27 rows, drawn through DrawRow exactly as the
// Generate command draws them: the sample mean and variance against the
// exact ones, and a goodness-of-fit test against the exact distribution
// function (Kolmogorov-Smirnov for continuous laws, chi-square for
// whole-number laws and for laws whose distribution function takes a
// numerical integral). The textbook laws come from Boost.Math; the rows
// built otherwise (Beta, F, Bernoulli-Gauss, the shared-delta Noncentral F)
// have their laws written out below.
//
// Every case runs on both uniform sources. Everything is deterministic: on
// the window's source the reseeding rows read a fake clock whose readings
// are splitmix64 outputs of a counter, so successive reseeds are independent
// states, and the rows that continue the stream (Poisson, Triangle, Gamma
// with a shape other than 1) start from a fixed state; the counter-based
// source has a fixed key, and value i draws from its own counters.
//
// Tolerances and their false-failure odds, per check, for a seed picked at
// random (the seeds here are fixed, so a check either always passes or
// always fails):
// - means and variances: 6 standard errors, two-sided, about 2e-9 under the
//   normal approximation; the standard error of the variance comes from the
//   exact fourth central moment, sqrt((mu4 - sigma^4) / n);
// - Kolmogorov-Smirnov and chi-square tests: p-value above 1e-6, that is
//   odds of 1e-6 each.
// With about 220 such checks the whole file would fail falsely with odds of
// about 2e-4 for a fresh choice of seeds.

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/math/distributions.hpp>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/rows.h"
#include "engine/engine.h"
#include "goodness_of_fit.h"

namespace pelmora {

// The source's name in test parameters (found by argument lookup, so it
// stands beside the enum's namespace, not in the unnamed one).
void PrintTo(UniformSource source, std::ostream* os) { *os << (source == UniformSource::Philox ? "philox" : "lcg"); }

namespace {

namespace bm = boost::math;
using testing::ChiSquarePValue;
using testing::MixedCounterClock;

// ---------------------------------------------------------------------------
// Exact moments: the mean, the variance and the fourth central moment (which
// sets the standard error of the sample variance).

struct Moments {
    double mean, variance, mu4;
};

Moments FromKurtosis(double mean, double variance, double excessKurtosis) {
    return {mean, variance, (excessKurtosis + 3) * variance * variance};
}

// From the raw moments E X, E X^2, E X^3, E X^4.
Moments FromRaw(double m1, double m2, double m3, double m4) {
    return {m1, m2 - m1 * m1, m4 - 4 * m1 * m3 + 6 * m1 * m1 * m2 - 3 * m1 * m1 * m1 * m1};
}

template <class Law>
Moments MomentsOf(const Law& law) {
    return FromKurtosis(bm::mean(law), bm::variance(law), bm::kurtosis_excess(law));
}

// The distribution function over the whole real line: 0 and 1 outside the
// law's support, where Boost would refuse the argument.
template <class Law>
std::function<double(double)> CdfOf(const Law& law) {
    return [law](double x) {
        const auto [lo, hi] = bm::support(law);
        if (x <= lo) return 0.0;
        if (x >= hi) return 1.0;
        return bm::cdf(law, x);
    };
}

template <class Law>
std::function<double(int)> PmfOf(const Law& law) {
    return [law](int k) { return bm::pdf(law, k); };
}

// ---------------------------------------------------------------------------
// The Noncentral F row, (X1 / d1) / (X2 / d2) with two noncentral
// chi-squares that share the same delta (not the textbook noncentral F,
// whose denominator is central).

// Composite Simpson's rule with `intervals` (even) pieces.
template <class F>
double Simpson(F&& f, double lo, double hi, int intervals) {
    const double h = (hi - lo) / intervals;
    double sum = f(lo) + f(hi);
    for (int i = 1; i < intervals; ++i) sum += (i % 2 ? 4 : 2) * f(lo + i * h);
    return sum * h / 3;
}

// P(W <= w) = E[F_X1(w d1 X2 / d2)], integrated over the density of X2.
// Boost's noncentral chi-square refuses delta 0; the central one serves there.
double SharedNoncentralFCdf(int d1, int d2, double delta, double w) {
    if (w <= 0) return 0;
    const double hi = d2 + delta + 60 * std::sqrt(2.0 * (d2 + 2 * delta)) + 60;
    auto pdf2 = [&](double y) {
        return delta > 0 ? bm::pdf(bm::non_central_chi_squared(d2, delta), y) : bm::pdf(bm::chi_squared(d2), y);
    };
    auto cdf1 = [&](double x) {
        return delta > 0 ? bm::cdf(bm::non_central_chi_squared(d1, delta), x) : bm::cdf(bm::chi_squared(d1), x);
    };
    return Simpson([&](double y) { return y <= 0 ? 0 : pdf2(y) * cdf1(w * d1 * y / d2); }, 0, hi, 3000);
}

// E[X^m] of a noncentral chi-square, m = -4 ... 4, as a Poisson(delta / 2)
// mixture of central chi-squares with k + 2j degrees, whose moments are the
// products nu (nu + 2) ... and 1 / ((nu - 2) (nu - 4) ...). Delta 0 is the
// central law alone.
double NoncentralChiSquareRawMoment(int k, double delta, int m) {
    double sum = 0;
    for (int j = 0; j < 1000; ++j) {
        const double w = delta > 0 ? bm::pdf(bm::poisson(delta / 2), j) : j == 0 ? 1.0 : 0.0;
        const double nu = k + 2.0 * j;
        double r = 1;
        for (int i = 0; i < m; ++i) r *= nu + 2 * i;
        for (int i = 1; i <= -m; ++i) r /= nu - 2 * i;
        sum += w * r;
        if (j > delta && w < 1e-18) break;
    }
    return sum;
}

Moments SharedNoncentralFMoments(int d1, int d2, double delta) {
    double raw[5];
    for (int m = 1; m <= 4; ++m)
        raw[m] = std::pow(static_cast<double>(d2) / d1, m) * NoncentralChiSquareRawMoment(d1, delta, m) *
                 NoncentralChiSquareRawMoment(d2, delta, -m);
    return FromRaw(raw[1], raw[2], raw[3], raw[4]);
}

// ---------------------------------------------------------------------------
// One row with one set of parameters, and the law its values must follow.

struct RowCase {
    std::string name;
    Row row = Row::Beta;
    double p1 = 0, p2 = 0, p3 = 0;
    int draws = 200000;
    uint32_t seed = 20240611u;  // the starting state of the rows that do not reseed
    std::optional<Moments> moments;
    // Continuous laws: the distribution function. Kolmogorov-Smirnov over
    // all values, or, when `edges` is set (a distribution function that
    // takes a numerical integral), chi-square over the cells between them.
    std::function<double(double)> cdf;
    std::vector<double> edges;
    // Besides the continuous part, an atom of this probability at exactly 0.
    double atZero = 0;
    // Whole-number laws: the probability of each k in [lo, hi]; the rest of
    // the mass, if any, forms one more cell.
    std::function<double(int)> pmf;
    int lo = 0, hi = -1;

    RowCase(std::string n, Row r, double a = 0, double b = 0, double c = 0)
        : name(std::move(n)), row(r), p1(a), p2(b), p3(c) {}
    RowCase& Draws(int n) {
        draws = n;
        return *this;
    }
    RowCase& Mom(Moments m) {
        moments = m;
        return *this;
    }
    RowCase& Cdf(std::function<double(double)> f) {
        cdf = std::move(f);
        return *this;
    }
    RowCase& Cells(std::vector<double> e) {
        edges = std::move(e);
        return *this;
    }
    RowCase& AtZero(double p) {
        atZero = p;
        return *this;
    }
    RowCase& Pmf(std::function<double(int)> f, int from, int to) {
        pmf = std::move(f);
        lo = from;
        hi = to;
        return *this;
    }
    // A textbook law: its moments and its distribution function.
    template <class Law>
    RowCase& Follows(const Law& law) {
        return Mom(MomentsOf(law)).Cdf(CdfOf(law));
    }
};

void PrintTo(const RowCase& c, std::ostream* os) {
    *os << c.name << " (row " << Index(c.row) << ": " << c.p1 << ", " << c.p2 << ", " << c.p3 << ")";
}

std::vector<double> EvenEdges(double from, double to, int count) {
    std::vector<double> e;
    for (int i = 0; i < count; ++i) e.push_back(from + (to - from) * i / (count - 1));
    return e;
}

std::vector<RowCase> MakeCases() {
    std::vector<RowCase> c;

    // Row 0: a E1 / (a E1 + b E2). With r = b / a, P(X <= x) = r x / (1 - x + r x).
    for (auto [a, b] : {std::pair{2.0, 3.0}, std::pair{5.0, 0.5}}) {
        const double r = b / a;
        c.push_back(RowCase(a == 2 ? "Beta_A2B3" : "Beta_A5BHalf", Row::Beta, a, b).Draws(100000).Cdf([r](double x) {
            return x <= 0 ? 0 : x >= 1 ? 1 : r * x / (1 - x + r * x);
        }));
    }

    // Row 1.
    c.push_back(RowCase("Bernoulli", Row::Bernoulli, 0.3)
                    .Mom(MomentsOf(bm::bernoulli(0.3)))
                    .Pmf(PmfOf(bm::bernoulli(0.3)), 0, 1));

    // Row 2: 0 with probability 1 - p, else normal (mu, sigma).
    {
        const double p = 0.3, mu = 2, s = 1.5;
        const double n1 = mu, n2 = mu * mu + s * s, n3 = mu * mu * mu + 3 * mu * s * s,
                     n4 = mu * mu * mu * mu + 6 * mu * mu * s * s + 3 * s * s * s * s;
        c.push_back(RowCase("BernoulliGauss", Row::BernoulliGauss, p, mu, s)
                        .Mom(FromRaw(p * n1, p * n2, p * n3, p * n4))
                        .AtZero(1 - p)
                        .Cdf(CdfOf(bm::normal(mu, s))));
    }

    // Row 3.
    {
        const bm::binomial law(10, 0.3);
        c.push_back(RowCase("Binomial", Row::Binomial, 10, 0.3).Draws(50000).Mom(MomentsOf(law)).Pmf(PmfOf(law), 0, 10));
    }

    // Row 4: location alpha, scale beta; no moments, so the whole law.
    for (auto [alpha, beta] : {std::pair{1.0, 2.0}, std::pair{-3.0, 0.25}}) {
        c.push_back(RowCase(alpha == 1 ? "Cauchy_Loc1Scale2" : "Cauchy_LocM3ScaleQuarter", Row::Cauchy, alpha, beta)
                        .Cdf(CdfOf(bm::cauchy(alpha, beta))));
    }

    // Row 5.
    c.push_back(RowCase("ChiSquare", Row::ChiSquare, 4).Draws(50000).Follows(bm::chi_squared(4)));

    // Row 6; also with the ends reversed, which draws from (b, a].
    for (auto [a, b] : {std::pair{2.0, 5.0}, std::pair{10.0, 0.0}}) {
        c.push_back(RowCase(a == 2 ? "ContinuousUniform" : "ContinuousUniform_Reversed", Row::ContinuousUniform, a, b)
                        .Follows(bm::uniform(std::min(a, b), std::max(a, b))));
    }

    // Row 7: on 1 ... n (Boost has no discrete uniform law).
    {
        const int n = 6;
        c.push_back(RowCase("DiscreteUniform", Row::DiscreteUniform, n)
                        .Mom(FromKurtosis((n + 1) / 2.0, (n * n - 1) / 12.0, -6.0 * (n * n + 1) / (5.0 * (n * n - 1))))
                        .Pmf([=](int) { return 1.0 / n; }, 1, n));
    }

    // Row 8: m phases, scale: a gamma law of shape m.
    c.push_back(RowCase("Erlang", Row::Erlang, 3, 2).Draws(100000).Follows(bm::gamma_distribution<>(3, 2)));

    // Row 9: the parameter is a rate.
    c.push_back(RowCase("Exponential", Row::Exponential, 2).Follows(bm::exponential(2)));

    // Row 10: E1 / E2 whatever d1 and d2, so P(X <= x) = x / (1 + x).
    for (auto [d1, d2] : {std::pair{3.0, 7.0}, std::pair{1.0, 100.0}}) {
        c.push_back(RowCase(d1 == 3 ? "F_3_7" : "F_1_100", Row::F, d1, d2).Draws(100000).Cdf([](double x) {
            return x <= 0 ? 0 : x / (1 + x);
        }));
    }

    // Row 11: shape and scale; three methods (shape above 1, exactly 1,
    // below 1), and below 1 both ways of the power (an integral 1 / shape
    // takes repeated multiplication). Only shape 1 reseeds.
    struct GammaSet {
        const char* name;
        double shape, scale;
    };
    for (GammaSet g : {GammaSet{"Gamma_Shape2Scale3", 2, 3}, GammaSet{"Gamma_Shape7_5", 7.5, 0.4},
                       GammaSet{"Gamma_ShapeHalf", 0.5, 1}, GammaSet{"Gamma_Shape0_3Scale2", 0.3, 2},
                       GammaSet{"Gamma_Shape1Scale2", 1, 2}}) {
        c.push_back(RowCase(g.name, Row::Gamma, g.shape, g.scale).Follows(bm::gamma_distribution<>(g.shape, g.scale)));
    }

    // Row 12: mean, standard deviation.
    c.push_back(RowCase("GaussNormal", Row::GaussNormal, -1, 2).Follows(bm::normal(-1, 2)));

    // Row 13: failures before the first success, P(X >= k) = (1 - p)^k.
    {
        const bm::geometric law(0.3);
        c.push_back(RowCase("Geometric", Row::Geometric, 0.3).Mom(MomentsOf(law)).Pmf(PmfOf(law), 0, 40));
    }

    // Row 14: location 0, scale beta.
    c.push_back(RowCase("Laplace", Row::Laplace, 1.5).Follows(bm::laplace(0, 1.5)));

    // Row 15: mu and sigma of the underlying normal.
    c.push_back(RowCase("LogNormal", Row::LogNormal, 0.3, 0.6).Follows(bm::lognormal(0.3, 0.6)));

    // Row 16: the standard logistic.
    c.push_back(RowCase("Logistic", Row::Logistic).Follows(bm::logistic(0, 1)));

    // Row 17: the product of uniforms, and above about 745 another exact
    // method; both continue the stream. The large mean costs about two
    // uniforms a value, so it gets a million values: its mean is then known
    // to 0.03, and 6 standard errors are 0.19.
    for (double lambda : {4.0, 1000.0}) {
        const int lo = lambda > 100 ? 800 : 0, hi = lambda > 100 ? 1200 : 30;
        const bm::poisson law(lambda);
        c.push_back(RowCase(lambda < 100 ? "Poisson_Mean4" : "Poisson_Mean1000", Row::Poisson, lambda)
                        .Draws(lambda < 100 ? 200000 : 1000000)
                        .Mom(MomentsOf(law))
                        .Pmf(PmfOf(law), lo, hi));
    }

    // Row 18: scale sigma.
    c.push_back(RowCase("Rayleigh", Row::Rayleigh, 2).Follows(bm::rayleigh(2)));

    // Row 19.
    c.push_back(RowCase("StandardNormal", Row::StandardNormal).Follows(bm::normal(0, 1)));

    // Row 20: n degrees of freedom.
    c.push_back(RowCase("StudentT", Row::StudentT, 10).Draws(40000).Follows(bm::students_t(10)));

    // Row 21: a, b, then the mode; an asymmetric mode so that swapped
    // branches or ends show.
    c.push_back(RowCase("Triangle", Row::Triangle, 1, 4, 1.75).Follows(bm::triangular(1, 1.75, 4)));

    // Row 22: failures before the r-th success, the sum of r geometric counts.
    {
        const bm::negative_binomial law(3, 0.4);
        c.push_back(RowCase("NegativeBinomial", Row::NegativeBinomial, 3, 0.4).Draws(100000).Mom(MomentsOf(law)).Pmf(PmfOf(law), 0, 60));
    }

    // Row 23: n normals of mean sqrt(delta / n); delta = 0 takes the central
    // branch (Boost's noncentral law refuses delta 0).
    c.push_back(RowCase("NoncentralChiSquare", Row::NoncentralChiSquare, 3, 2).Draws(50000).Follows(bm::non_central_chi_squared(3, 2)));
    c.push_back(RowCase("NoncentralChiSquare_DeltaZero", Row::NoncentralChiSquare, 3, 0).Draws(50000).Follows(bm::chi_squared(3)));

    // Row 24: (X1 / d1) / (X2 / d2), both chi-squares with the same delta.
    {
        const int d1 = 4, d2 = 20;
        const double delta = 3;
        std::vector<double> e = EvenEdges(0.25, 3.5, 14);
        e.push_back(4.5);
        c.push_back(RowCase("NoncentralF", Row::NoncentralF, d1, d2, delta)
                        .Draws(40000)
                        .Mom(SharedNoncentralFMoments(d1, d2, delta))
                        .Cdf([=](double w) { return SharedNoncentralFCdf(d1, d2, delta, w); })
                        .Cells(e));
    }

    // Row 25: (Z + delta) / sqrt(C / n); its distribution function is slow
    // to evaluate, so the values are counted in cells.
    {
        const bm::non_central_t law(10, 1);
        c.push_back(RowCase("NoncentralT", Row::NoncentralT, 10, 1)
                        .Draws(40000)
                        .Mom(MomentsOf(law))
                        .Cdf(CdfOf(law))
                        .Cells(EvenEdges(-2, 4, 25)));
    }

    // Row 26: shape alpha, scale beta; 1 / alpha = 0.5 takes the logarithm
    // path of the power, 1 / alpha = 2 its repeated multiplication.
    for (auto [alpha, beta] : {std::pair{2.0, 3.0}, std::pair{0.5, 2.0}}) {
        c.push_back(
            RowCase(alpha == 2 ? "Weibull_Shape2" : "Weibull_ShapeHalf", Row::Weibull, alpha, beta).Follows(bm::weibull(alpha, beta)));
    }
    return c;
}

const std::vector<RowCase> kCases = MakeCases();

// ---------------------------------------------------------------------------
// The checks.

void CheckMoments(const std::vector<double>& x, const Moments& m) {
    const double n = static_cast<double>(x.size());
    long double sum = 0;
    for (double v : x) sum += v;
    const double mean = static_cast<double>(sum / n);
    long double ss = 0;
    for (double v : x) ss += (v - static_cast<long double>(mean)) * (v - mean);
    const double variance = static_cast<double>(ss / (n - 1));

    // 6 standard errors: false-failure odds about 2e-9 each.
    const double meanTol = 6 * std::sqrt(m.variance / n);
    const double varTol = 6 * std::sqrt((m.mu4 - m.variance * m.variance) / n);
    EXPECT_NEAR(mean, m.mean, meanTol) << "sample mean";
    EXPECT_NEAR(variance, m.variance, varTol) << "sample variance";
}

// The Kolmogorov-Smirnov distance of the values to `cdf`; fails below p = 1e-6.
void CheckKolmogorovSmirnov(const std::vector<double>& x, const std::function<double(double)>& cdf) {
    ASSERT_FALSE(x.empty());
    const testing::KolmogorovSmirnovResult ks = testing::KolmogorovSmirnov(x, cdf);
    EXPECT_GT(ks.p, 1e-6) << "Kolmogorov-Smirnov distance " << ks.distance << " over " << x.size() << " values";
}

// Pearson's chi-square over cells of given expected counts; fails below p = 1e-6.
void CheckCells(const std::vector<double>& observed, const std::vector<double>& expected, int lostDegrees = 1) {
    double stat = 0;
    for (size_t i = 0; i < observed.size(); ++i) {
        ASSERT_GT(expected[i], 4.9) << "cell " << i << " too small for the chi-square test";
        stat += (observed[i] - expected[i]) * (observed[i] - expected[i]) / expected[i];
    }
    const int df = static_cast<int>(observed.size()) - lostDegrees;
    const double p = ChiSquarePValue(stat, df);
    EXPECT_GT(p, 1e-6) << "chi-square " << stat << " with " << df << " degrees of freedom";
}

// Cells between the edges (and the two open ends) against the cdf.
void CheckBinned(const std::vector<double>& x, const std::function<double(double)>& cdf,
                 const std::vector<double>& edges) {
    const double n = static_cast<double>(x.size());
    std::vector<double> observed(edges.size() + 1, 0.0), expected(edges.size() + 1, 0.0);
    for (double v : x) observed[std::lower_bound(edges.begin(), edges.end(), v) - edges.begin()] += 1;
    double prev = 0;
    for (size_t i = 0; i < edges.size(); ++i) {
        const double f = cdf(edges[i]);
        expected[i] = n * (f - prev);
        prev = f;
    }
    expected.back() = n * (1 - prev);
    CheckCells(observed, expected);
}

// Whole-number values against the pmf: cells of at least 20 expected values
// in [lo, hi], plus one cell for the mass outside, when there is any.
void CheckPmf(const std::vector<double>& x, const RowCase& c) {
    const double n = static_cast<double>(x.size());
    std::vector<double> counts(c.hi - c.lo + 1, 0.0);
    double outside = 0;
    for (double v : x) {
        ASSERT_EQ(v, std::floor(v)) << "not a whole number";
        if (v < c.lo || v > c.hi)
            outside += 1;
        else
            counts[static_cast<size_t>(v - c.lo)] += 1;
    }
    std::vector<double> observed, expected;
    double obs = 0, exp = 0, inside = 0;
    for (int k = c.lo; k <= c.hi; ++k) {
        const double pk = c.pmf(k);
        inside += pk;
        obs += counts[k - c.lo];
        exp += n * pk;
        if (exp >= 20) {
            observed.push_back(obs);
            expected.push_back(exp);
            obs = exp = 0;
        }
    }
    if (!expected.empty()) {
        observed.back() += obs;
        expected.back() += exp;
    }
    // The mass outside [lo, hi]: its own cell when it is large enough, else
    // part of the last cell; none at all means no value may fall there.
    const double outsideMass = std::max(0.0, 1 - inside);
    if (outsideMass * n < 1e-3) {
        EXPECT_EQ(outside, 0) << "values outside " << c.lo << " ... " << c.hi;
    }
    if (outsideMass * n >= 20 || expected.empty()) {
        observed.push_back(outside);
        expected.push_back(outsideMass * n);
    } else {
        observed.back() += outside;
        expected.back() += outsideMass * n;
    }
    ASSERT_GE(observed.size(), 2u);
    CheckCells(observed, expected);
}

class RowStatistics : public ::testing::TestWithParam<std::tuple<RowCase, UniformSource>> {};

TEST_P(RowStatistics, FollowsItsLaw) {
    const auto& [c, source] = GetParam();
    MixedCounterClock clock{0x5EED0000u + static_cast<uint64_t>(Index(c.row))};
    ScopedClock scoped(clock.Source());
    UniformSeed = c.seed;
    std::optional<ScopedPhilox> philox;
    if (source == UniformSource::Philox) philox.emplace(0x5EED0000u + static_cast<uint64_t>(Index(c.row)));

    std::vector<double> x(c.draws);
    for (std::size_t i = 0; i < x.size(); ++i) {
        BeginValue(i);
        x[i] = DrawRow(c.row, c.p1, c.p2, c.p3);
    }

    if (c.moments) CheckMoments(x, *c.moments);

    if (c.pmf) {
        CheckPmf(x, c);
    } else if (c.cdf) {
        std::vector<double> rest;
        if (c.atZero > 0) {
            // The atom: a binomial count, within 6 standard errors.
            for (double v : x)
                if (v != 0) rest.push_back(v);
            const double zeros = static_cast<double>(x.size() - rest.size());
            const double n = static_cast<double>(x.size());
            EXPECT_NEAR(zeros, n * c.atZero, 6 * std::sqrt(n * c.atZero * (1 - c.atZero))) << "values exactly 0";
        } else {
            rest = x;
        }
        if (c.edges.empty())
            CheckKolmogorovSmirnov(rest, c.cdf);
        else
            CheckBinned(rest, c.cdf, c.edges);
    }
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<RowCase, UniformSource>>& info) {
    return std::get<0>(info.param).name + (std::get<1>(info.param) == UniformSource::Philox ? "_Philox" : "");
}

INSTANTIATE_TEST_SUITE_P(AllRows, RowStatistics,
                         ::testing::Combine(::testing::ValuesIn(kCases),
                                            ::testing::Values(UniformSource::Lcg, UniformSource::Philox)),
                         CaseName);

TEST(RowStatistics, EveryRowIsCovered) {
    std::set<int> rows;
    for (const RowCase& c : kCases) rows.insert(Index(c.row));
    EXPECT_EQ(rows.size(), static_cast<size_t>(kRowCount));
    EXPECT_EQ(*rows.begin(), 0);
    EXPECT_EQ(*rows.rbegin(), kRowCount - 1);
}

// ---------------------------------------------------------------------------
// The uniform source itself, from a fixed state.

TEST(UniformSource, HundredCellsAreEven) {
    UniformSeed = 20240611u;
    const int n = 1000000;
    std::vector<double> observed(100, 0.0);
    long double sum = 0;
    for (int i = 0; i < n; ++i) {
        const double u = ToDouble(NextUniform());
        sum += u;
        observed[static_cast<size_t>(u * 100)] += 1;
    }
    CheckCells(observed, std::vector<double>(100, n / 100.0));
    // Mean 1/2, standard deviation sqrt(1/12); 6 standard errors.
    EXPECT_NEAR(static_cast<double>(sum / n), 0.5, 6 * std::sqrt(1.0 / 12 / n));
}

TEST(UniformSource, SuccessivePairsFillTheSquare) {
    UniformSeed = 987654321u;
    const int pairs = 500000;
    std::vector<double> observed(100, 0.0);
    long double sxy = 0, sx = 0, sxx = 0;
    double prev = ToDouble(NextUniform());
    for (int i = 0; i < pairs; ++i) {
        const double u = ToDouble(NextUniform()), v = ToDouble(NextUniform());
        observed[static_cast<size_t>(u * 10) * 10 + static_cast<size_t>(v * 10)] += 1;
        // Every successive pair for the lag-1 correlation, the cells from disjoint pairs.
        sxy += prev * u + u * v;
        sx += u + v;
        sxx += u * u + v * v;
        prev = v;
    }
    CheckCells(observed, std::vector<double>(100, pairs / 100.0));
    const double m = 2.0 * pairs;
    const double mean = static_cast<double>(sx / m);
    const double r = static_cast<double>((sxy / m - mean * mean) / (sxx / m - mean * mean));
    // The lag-1 correlation of independent values has standard error
    // 1 / sqrt(m); 6 of them.
    EXPECT_NEAR(r, 0.0, 6 / std::sqrt(m));
}

TEST(UniformSource, SuccessiveTriplesFillTheCube) {
    UniformSeed = 13579u;
    const int triples = 500000;
    std::vector<double> observed(125, 0.0);
    for (int i = 0; i < triples; ++i) {
        const auto a = static_cast<size_t>(ToDouble(NextUniform()) * 5);
        const auto b = static_cast<size_t>(ToDouble(NextUniform()) * 5);
        const auto d = static_cast<size_t>(ToDouble(NextUniform()) * 5);
        observed[(a * 5 + b) * 5 + d] += 1;
    }
    CheckCells(observed, std::vector<double>(125, triples / 125.0));
}

TEST(UniformSource, NextBelowIsEven) {
    UniformSeed = 424242u;
    const int n = 700000;
    std::vector<double> observed(7, 0.0);
    for (int i = 0; i < n; ++i) {
        const uint32_t k = NextBelow(7);
        ASSERT_LT(k, 7u);
        observed[k] += 1;
    }
    CheckCells(observed, std::vector<double>(7, n / 7.0));
}

// Ten million standard normals of the counter-based source hold no repeated
// value. On the window's source a reseeding row has at most 2^32 values, and
// the birthday count for 10^7 draws from 2^32 states is about 11,600 repeats.
TEST(CounterSource, TenMillionNormalsHoldNoRepeatedValue) {
    ScopedPhilox philox(20261209);
    std::vector<double> x(10000000);
    for (std::size_t i = 0; i < x.size(); ++i) {
        BeginValue(i);
        x[i] = DrawStandardNormal();
    }
    std::sort(x.begin(), x.end());
    const auto repeat = std::adjacent_find(x.begin(), x.end());
    EXPECT_EQ(repeat, x.end()) << "repeated value " << *repeat;
}

// The reference functions written here (Boost.Math provides the rest), at
// values known in closed form, so that a check above cannot pass or fail
// because of them.
TEST(ReferenceFunctions, AgreeWithClosedForms) {
    // Chi-square test p-values: 2 degrees of freedom, e^(-x/2).
    EXPECT_NEAR(ChiSquarePValue(40, 2), std::exp(-20.0), 1e-20);
    // The Kolmogorov distribution: P(K > 1.3581) = 0.05.
    EXPECT_NEAR(testing::KolmogorovPValue(1.3581 / (std::sqrt(1e8) + 0.12 + 0.11 / 1e4), 100000000), 0.05, 1e-4);
    // With delta 0 the shared-delta F is Snedecor's F.
    for (double w : {0.5, 1.0, 2.8661})
        EXPECT_NEAR(SharedNoncentralFCdf(4, 20, 0, w), bm::cdf(bm::fisher_f(4, 20), w), 2e-5) << w;
    const Moments f = SharedNoncentralFMoments(4, 20, 0);
    EXPECT_NEAR(f.mean, bm::mean(bm::fisher_f(4, 20)), 1e-12);
    EXPECT_NEAR(f.variance, bm::variance(bm::fisher_f(4, 20)), 1e-12);
    // The mixture's moments of a noncentral chi-square against Boost's.
    const bm::non_central_chi_squared x(3, 2);
    const double m1 = NoncentralChiSquareRawMoment(3, 2, 1), m2 = NoncentralChiSquareRawMoment(3, 2, 2);
    EXPECT_NEAR(m1, bm::mean(x), 1e-12);
    EXPECT_NEAR(m2 - m1 * m1, bm::variance(x), 1e-10);
}

}  // namespace
}  // namespace pelmora
