// Statistical checks of the 27 rows, drawn through DrawRow exactly as the
// Generate command draws them: the sample mean and variance against the
// exact ones, and a goodness-of-fit test against the exact distribution
// function (Kolmogorov-Smirnov for continuous laws, chi-square for
// whole-number laws and for laws whose distribution function takes a
// numerical integral).
//
// Everything is deterministic: the reseeding rows read a fake clock whose
// readings are splitmix64 outputs of a counter, so successive reseeds are
// independent states, and the rows that continue the stream (Poisson,
// Triangle, Gamma with a shape other than 1) start from a fixed state.
//
// Tolerances and their false-failure odds, per check, for a seed picked at
// random (the seeds here are fixed, so a check either always passes or
// always fails):
// - means and variances: 6 standard errors, two-sided, about 2e-9 under the
//   normal approximation; the standard error of the variance comes from the
//   exact fourth central moment, sqrt((mu4 - sigma^4) / n);
// - Kolmogorov-Smirnov and chi-square tests: p-value above 1e-6, that is
//   odds of 1e-6 each.
// With about 110 such checks the whole file would fail falsely with odds of
// about 1e-4 for a fresh choice of seeds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/rows.h"
#include "engine/engine.h"

namespace pelmora {
namespace {

constexpr double kPiD = std::numbers::pi;

// ---------------------------------------------------------------------------
// The fake clock: splitmix64 (Steele, Lea and Flood, 2014) over a counter.
// Its outputs for successive counter values behave as independent 64-bit
// words, so every reseed starts from a fresh, unrelated state.

uint64_t SplitMix64(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

struct MixedCounterClock {
    uint64_t state = 0;
    static uint64_t Read(void* self) { return SplitMix64(static_cast<MixedCounterClock*>(self)->state); }
    ClockSource Source() { return {&MixedCounterClock::Read, this}; }
};

// ---------------------------------------------------------------------------
// Reference functions, written out here so that the checks do not lean on
// anything of the engine.

double NormalCdf(double x) { return 0.5 * std::erfc(-x / std::numbers::sqrt2); }

// The regularized incomplete gamma functions P(a, x) and Q(a, x) = 1 - P:
// the power series below x = a + 1, Lentz's continued fraction for Q above.
struct GammaPQ {
    double p, q;
};

GammaPQ IncompleteGamma(double a, double x) {
    if (x <= 0) return {0, 1};
    const double front = std::exp(-x + a * std::log(x) - std::lgamma(a));
    if (x < a + 1) {
        double term = 1 / a, sum = term;
        for (int n = 1; n < 100000 && std::fabs(term) > std::fabs(sum) * 1e-17; ++n) {
            term *= x / (a + n);
            sum += term;
        }
        const double p = sum * front;
        return {p, 1 - p};
    }
    const double tiny = 1e-300;
    double b = x + 1 - a, c = 1 / tiny, d = 1 / b, h = d;
    for (int i = 1; i < 100000; ++i) {
        const double an = -i * (i - a);
        b += 2;
        d = an * d + b;
        if (std::fabs(d) < tiny) d = tiny;
        c = b + an / c;
        if (std::fabs(c) < tiny) c = tiny;
        d = 1 / d;
        const double delta = d * c;
        h *= delta;
        if (std::fabs(delta - 1) < 1e-17) break;
    }
    const double q = front * h;
    return {1 - q, q};
}

double GammaCdf(double shape, double scale, double x) { return IncompleteGamma(shape, x / scale).p; }

double ChiSquareDensity(double x, double k) {
    if (x <= 0) return 0;
    return std::exp((k / 2 - 1) * std::log(x) - x / 2 - (k / 2) * std::numbers::ln2 - std::lgamma(k / 2));
}

// P(chi-square with df degrees of freedom > stat): the p-value of a chi-square test.
double ChiSquarePValue(double stat, int df) { return IncompleteGamma(df / 2.0, stat / 2).q; }

// P(sqrt(n) D > t) for the Kolmogorov distribution, with Stephens' (1970)
// small-sample correction of t.
double KolmogorovPValue(double d, size_t n) {
    const double rn = std::sqrt(static_cast<double>(n));
    const double t = (rn + 0.12 + 0.11 / rn) * d;
    if (t < 0.3) return 1;
    double sum = 0;
    for (int k = 1; k <= 100; ++k) sum += (k % 2 ? 2 : -2) * std::exp(-2.0 * k * k * t * t);
    return std::clamp(sum, 0.0, 1.0);
}

// Poisson(mean) weights w_0, w_1, ... until they no longer matter.
std::vector<double> PoissonWeights(double mean) {
    std::vector<double> w;
    double wj = std::exp(-mean);
    for (int j = 0; j < 1000; ++j) {
        w.push_back(wj);
        if (j > mean && wj < 1e-18) break;
        wj *= mean / (j + 1);
    }
    return w;
}

double PoissonPmf(double lambda, int k) { return std::exp(k * std::log(lambda) - lambda - std::lgamma(k + 1.0)); }

double BinomialPmf(int n, double p, int k) {
    return std::exp(std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0) + k * std::log(p) +
                    (n - k) * std::log1p(-p));
}

// Failures before the r-th success.
double NegativeBinomialPmf(int r, double p, int k) {
    return std::exp(std::lgamma(k + r + 0.0) - std::lgamma(k + 1.0) - std::lgamma(r + 0.0) + r * std::log(p) +
                    k * std::log1p(-p));
}

// Composite Simpson's rule with `intervals` (even) pieces.
template <class F>
double Simpson(F&& f, double lo, double hi, int intervals) {
    const double h = (hi - lo) / intervals;
    double sum = f(lo) + f(hi);
    for (int i = 1; i < intervals; ++i) sum += (i % 2 ? 4 : 2) * f(lo + i * h);
    return sum * h / 3;
}

// A noncentral chi-square with k degrees of freedom and noncentrality delta
// is a Poisson(delta / 2) mixture of central chi-squares with k + 2j degrees.
double NoncentralChiSquareCdf(int k, double delta, double x) {
    double sum = 0;
    const std::vector<double> w = PoissonWeights(delta / 2);
    for (size_t j = 0; j < w.size(); ++j) sum += w[j] * IncompleteGamma((k + 2.0 * j) / 2, x / 2).p;
    return sum;
}

// (Z + delta) / sqrt(C / n) with C a chi-square of n degrees:
// P(T <= t) = E[Phi(t sqrt(C / n) - delta)], integrated over the density of C.
double NoncentralTCdf(int n, double delta, double t) {
    const double hi = n + 40 * std::sqrt(2.0 * n) + 40;
    return Simpson([&](double c) { return ChiSquareDensity(c, n) * NormalCdf(t * std::sqrt(c / n) - delta); }, 0, hi,
                   4000);
}

// (X1 / d1) / (X2 / d2) with X1, X2 noncentral chi-squares sharing delta:
// P(W <= w) = E[F_X1(w d1 X2 / d2)], integrated over the density of X2.
double SharedNoncentralFCdf(int d1, int d2, double delta, double w) {
    if (w <= 0) return 0;
    const std::vector<double> pw = PoissonWeights(delta / 2);
    const double hi = d2 + delta + 60 * std::sqrt(2.0 * (d2 + 2 * delta)) + 60;
    auto density2 = [&](double y) {
        double f = 0;
        for (size_t j = 0; j < pw.size(); ++j) f += pw[j] * ChiSquareDensity(y, d2 + 2.0 * j);
        return f;
    };
    return Simpson([&](double y) { return density2(y) * NoncentralChiSquareCdf(d1, delta, w * d1 * y / d2); }, 0, hi,
                   3000);
}

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

// E[chi-square(nu)^m] for m = -4 ... 4: the products nu (nu + 2) ... and
// 1 / ((nu - 2) (nu - 4) ...).
double ChiSquareRawMoment(double nu, int m) {
    double r = 1;
    for (int i = 0; i < m; ++i) r *= nu + 2 * i;
    for (int i = 1; i <= -m; ++i) r /= nu - 2 * i;
    return r;
}

double NoncentralChiSquareRawMoment(int k, double delta, int m) {
    const std::vector<double> w = PoissonWeights(delta / 2);
    double sum = 0;
    for (size_t j = 0; j < w.size(); ++j) sum += w[j] * ChiSquareRawMoment(k + 2.0 * j, m);
    return sum;
}

Moments SharedNoncentralFMoments(int d1, int d2, double delta) {
    double raw[5];
    for (int m = 1; m <= 4; ++m)
        raw[m] = std::pow(static_cast<double>(d2) / d1, m) * NoncentralChiSquareRawMoment(d1, delta, m) *
                 NoncentralChiSquareRawMoment(d2, delta, -m);
    return FromRaw(raw[1], raw[2], raw[3], raw[4]);
}

// T = (Z + delta) sqrt(n / C): E T^m = n^(m/2) E[(Z + delta)^m] E[C^(-m/2)],
// with E[C^(-m/2)] = Gamma((n - m) / 2) / (2^(m/2) Gamma(n / 2)).
Moments NoncentralTMoments(int n, double delta) {
    const double d = delta;
    const double normalRaw[5] = {1, d, 1 + d * d, d * d * d + 3 * d, d * d * d * d + 6 * d * d + 3};
    double raw[5];
    for (int m = 1; m <= 4; ++m)
        raw[m] = std::pow(n, m / 2.0) * normalRaw[m] *
                 std::exp(std::lgamma((n - m) / 2.0) - std::lgamma(n / 2.0) - (m / 2.0) * std::numbers::ln2);
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
};

void PrintTo(const RowCase& c, std::ostream* os) {
    *os << c.name << " (row " << Index(c.row) << ": " << c.p1 << ", " << c.p2 << ", " << c.p3 << ")";
}

std::vector<double> EvenEdges(double from, double to, int count) {
    std::vector<double> e;
    for (int i = 0; i < count; ++i) e.push_back(from + (to - from) * i / (count - 1));
    return e;
}

double LogNormalRaw(double mu, double sigma, int j) { return std::exp(j * mu + j * j * sigma * sigma / 2); }
double WeibullRaw(double alpha, double beta, int j) { return std::pow(beta, j) * std::tgamma(1 + j / alpha); }

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
    {
        const double p = 0.3, q = 1 - p;
        c.push_back(RowCase("Bernoulli", Row::Bernoulli, p)
                        .Mom(FromKurtosis(p, p * q, (1 - 6 * p * q) / (p * q)))
                        .Pmf([p](int k) { return k ? p : 1 - p; }, 0, 1));
    }

    // Row 2: 0 with probability 1 - p, else normal (mu, sigma).
    {
        const double p = 0.3, mu = 2, s = 1.5;
        const double n1 = mu, n2 = mu * mu + s * s, n3 = mu * mu * mu + 3 * mu * s * s,
                     n4 = mu * mu * mu * mu + 6 * mu * mu * s * s + 3 * s * s * s * s;
        c.push_back(RowCase("BernoulliGauss", Row::BernoulliGauss, p, mu, s)
                        .Mom(FromRaw(p * n1, p * n2, p * n3, p * n4))
                        .AtZero(1 - p)
                        .Cdf([=](double x) { return NormalCdf((x - mu) / s); }));
    }

    // Row 3.
    {
        const int n = 10;
        const double p = 0.3, q = 1 - p;
        c.push_back(RowCase("Binomial", Row::Binomial, n, p)
                        .Draws(50000)
                        .Mom(FromKurtosis(n * p, n * p * q, (1 - 6 * p * q) / (n * p * q)))
                        .Pmf([=](int k) { return BinomialPmf(n, p, k); }, 0, n));
    }

    // Row 4: location alpha, scale beta; no moments, so the whole law.
    for (auto [alpha, beta] : {std::pair{1.0, 2.0}, std::pair{-3.0, 0.25}}) {
        c.push_back(
            RowCase(alpha == 1 ? "Cauchy_Loc1Scale2" : "Cauchy_LocM3ScaleQuarter", Row::Cauchy, alpha, beta).Cdf([=](double x) {
                return 0.5 + std::atan((x - alpha) / beta) / kPiD;
            }));
    }

    // Row 5.
    {
        const int n = 4;
        c.push_back(RowCase("ChiSquare", Row::ChiSquare, n).Draws(50000).Mom(FromKurtosis(n, 2 * n, 12.0 / n)).Cdf([=](double x) {
            return GammaCdf(n / 2.0, 2, x);
        }));
    }

    // Row 6; also with the ends reversed, which draws from (b, a].
    for (auto [a, b] : {std::pair{2.0, 5.0}, std::pair{10.0, 0.0}}) {
        const double lo = std::min(a, b), w = std::fabs(b - a);
        c.push_back(RowCase(a == 2 ? "ContinuousUniform" : "ContinuousUniform_Reversed", Row::ContinuousUniform, a, b)
                        .Mom(FromKurtosis(lo + w / 2, w * w / 12, -1.2))
                        .Cdf([=](double x) { return std::clamp((x - lo) / w, 0.0, 1.0); }));
    }

    // Row 7: on 1 ... n.
    {
        const int n = 6;
        c.push_back(RowCase("DiscreteUniform", Row::DiscreteUniform, n)
                        .Mom(FromKurtosis((n + 1) / 2.0, (n * n - 1) / 12.0, -6.0 * (n * n + 1) / (5.0 * (n * n - 1))))
                        .Pmf([=](int) { return 1.0 / n; }, 1, n));
    }

    // Row 8: m phases, scale: mean m scale, variance m scale^2.
    {
        const int m = 3;
        const double scale = 2;
        c.push_back(RowCase("Erlang", Row::Erlang, m, scale)
                        .Draws(100000)
                        .Mom(FromKurtosis(m * scale, m * scale * scale, 6.0 / m))
                        .Cdf([=](double x) { return GammaCdf(m, scale, x); }));
    }

    // Row 9: the parameter is a rate.
    {
        const double lambda = 2;
        c.push_back(RowCase("Exponential", Row::Exponential, lambda)
                        .Mom(FromKurtosis(1 / lambda, 1 / (lambda * lambda), 6))
                        .Cdf([=](double x) { return x <= 0 ? 0 : -std::expm1(-lambda * x); }));
    }

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
        c.push_back(RowCase(g.name, Row::Gamma, g.shape, g.scale)
                        .Mom(FromKurtosis(g.shape * g.scale, g.shape * g.scale * g.scale, 6 / g.shape))
                        .Cdf([=](double x) { return GammaCdf(g.shape, g.scale, x); }));
    }

    // Row 12: mean, standard deviation.
    {
        const double mu = -1, s = 2;
        c.push_back(RowCase("GaussNormal", Row::GaussNormal, mu, s).Mom(FromKurtosis(mu, s * s, 0)).Cdf([=](double x) {
            return NormalCdf((x - mu) / s);
        }));
    }

    // Row 13: failures before the first success, P(X >= k) = (1 - p)^k.
    {
        const double p = 0.3, q = 1 - p;
        c.push_back(RowCase("Geometric", Row::Geometric, p)
                        .Mom(FromKurtosis(q / p, q / (p * p), 6 + p * p / q))
                        .Pmf([=](int k) { return p * std::pow(q, k); }, 0, 40));
    }

    // Row 14: location 0, scale beta.
    {
        const double beta = 1.5;
        c.push_back(RowCase("Laplace", Row::Laplace, beta).Mom(FromKurtosis(0, 2 * beta * beta, 3)).Cdf([=](double x) {
            return x < 0 ? 0.5 * std::exp(x / beta) : 1 - 0.5 * std::exp(-x / beta);
        }));
    }

    // Row 15: mu and sigma of the underlying normal.
    {
        const double mu = 0.3, s = 0.6;
        c.push_back(RowCase("LogNormal", Row::LogNormal, mu, s)
                        .Mom(FromRaw(LogNormalRaw(mu, s, 1), LogNormalRaw(mu, s, 2), LogNormalRaw(mu, s, 3),
                                     LogNormalRaw(mu, s, 4)))
                        .Cdf([=](double x) { return x <= 0 ? 0 : NormalCdf((std::log(x) - mu) / s); }));
    }

    // Row 16: the standard logistic.
    c.push_back(RowCase("Logistic", Row::Logistic).Mom(FromKurtosis(0, kPiD * kPiD / 3, 1.2)).Cdf([](double x) {
        return 1 / (1 + std::exp(-x));
    }));

    // Row 17: the product of uniforms, and above about 745 another exact
    // method; both continue the stream. The large mean costs about two
    // uniforms a value, so it gets a million values: its mean is then known
    // to 0.03, and 6 standard errors are 0.19.
    for (double lambda : {4.0, 1000.0}) {
        const int lo = lambda > 100 ? 800 : 0, hi = lambda > 100 ? 1200 : 30;
        c.push_back(RowCase(lambda < 100 ? "Poisson_Mean4" : "Poisson_Mean1000", Row::Poisson, lambda)
                        .Draws(lambda < 100 ? 200000 : 1000000)
                        .Mom(FromKurtosis(lambda, lambda, 1 / lambda))
                        .Pmf([=](int k) { return PoissonPmf(lambda, k); }, lo, hi));
    }

    // Row 18: scale sigma, P(X <= x) = 1 - exp(-x^2 / (2 sigma^2)).
    {
        const double s = 2;
        const double kurt = -(6 * kPiD * kPiD - 24 * kPiD + 16) / ((4 - kPiD) * (4 - kPiD));
        c.push_back(RowCase("Rayleigh", Row::Rayleigh, s)
                        .Mom(FromKurtosis(s * std::sqrt(kPiD / 2), (4 - kPiD) / 2 * s * s, kurt))
                        .Cdf([=](double x) { return x <= 0 ? 0 : -std::expm1(-x * x / (2 * s * s)); }));
    }

    // Row 19.
    c.push_back(RowCase("StandardNormal", Row::StandardNormal).Mom(FromKurtosis(0, 1, 0)).Cdf(NormalCdf));

    // Row 20: n degrees of freedom, variance n / (n - 2).
    {
        const int n = 10;
        c.push_back(RowCase("StudentT", Row::StudentT, n)
                        .Draws(40000)
                        .Mom(NoncentralTMoments(n, 0))
                        .Cdf([=](double t) { return NoncentralTCdf(n, 0, t); })
                        .Cells(EvenEdges(-3, 3, 25)));
    }

    // Row 21: a, b, then the mode; an asymmetric mode so that swapped
    // branches or ends show.
    {
        const double a = 1, b = 4, m = 1.75;
        c.push_back(RowCase("Triangle", Row::Triangle, a, b, m)
                        .Mom(FromKurtosis((a + b + m) / 3, (a * a + b * b + m * m - a * b - a * m - b * m) / 18, -0.6))
                        .Cdf([=](double x) {
                            if (x <= a) return 0.0;
                            if (x >= b) return 1.0;
                            if (x <= m) return (x - a) * (x - a) / ((b - a) * (m - a));
                            return 1 - (b - x) * (b - x) / ((b - a) * (b - m));
                        }));
    }

    // Row 22: failures before the r-th success, the sum of r geometric counts.
    {
        const int r = 3;
        const double p = 0.4, q = 1 - p;
        c.push_back(RowCase("NegativeBinomial", Row::NegativeBinomial, r, p)
                        .Draws(100000)
                        .Mom(FromKurtosis(r * q / p, r * q / (p * p), 6.0 / r + p * p / (r * q)))
                        .Pmf([=](int k) { return NegativeBinomialPmf(r, p, k); }, 0, 60));
    }

    // Row 23: mean n + delta, variance 2 (n + 2 delta); delta = 0 takes the
    // central branch.
    for (double delta : {2.0, 0.0}) {
        const int n = 3;
        c.push_back(RowCase(delta > 0 ? "NoncentralChiSquare" : "NoncentralChiSquare_DeltaZero", Row::NoncentralChiSquare, n, delta)
                        .Draws(50000)
                        .Mom(FromKurtosis(n + delta, 2 * (n + 2 * delta),
                                          12 * (n + 4 * delta) / ((n + 2 * delta) * (n + 2 * delta))))
                        .Cdf([=](double x) { return NoncentralChiSquareCdf(n, delta, x); }));
    }

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

    // Row 25: (Z + delta) / sqrt(C / n).
    {
        const int n = 10;
        const double delta = 1;
        c.push_back(RowCase("NoncentralT", Row::NoncentralT, n, delta)
                        .Draws(40000)
                        .Mom(NoncentralTMoments(n, delta))
                        .Cdf([=](double t) { return NoncentralTCdf(n, delta, t); })
                        .Cells(EvenEdges(-2, 4, 25)));
    }

    // Row 26: shape alpha, scale beta; 1 / alpha = 0.5 takes the logarithm
    // path of the power, 1 / alpha = 2 its repeated multiplication.
    for (auto [alpha, beta] : {std::pair{2.0, 3.0}, std::pair{0.5, 2.0}}) {
        c.push_back(RowCase(alpha == 2 ? "Weibull_Shape2" : "Weibull_ShapeHalf", Row::Weibull, alpha, beta)
                        .Mom(FromRaw(WeibullRaw(alpha, beta, 1), WeibullRaw(alpha, beta, 2), WeibullRaw(alpha, beta, 3),
                                     WeibullRaw(alpha, beta, 4)))
                        .Cdf([=](double x) { return x <= 0 ? 0 : -std::expm1(-std::pow(x / beta, alpha)); }));
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
void CheckKolmogorovSmirnov(std::vector<double> x, const std::function<double(double)>& cdf) {
    ASSERT_FALSE(x.empty());
    std::sort(x.begin(), x.end());
    const double n = static_cast<double>(x.size());
    double d = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const double f = cdf(x[i]);
        d = std::max({d, (i + 1) / n - f, f - i / n});
    }
    const double p = KolmogorovPValue(d, x.size());
    EXPECT_GT(p, 1e-6) << "Kolmogorov-Smirnov distance " << d << " over " << x.size() << " values";
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

class RowStatistics : public ::testing::TestWithParam<RowCase> {};

TEST_P(RowStatistics, FollowsItsLaw) {
    const RowCase& c = GetParam();
    MixedCounterClock clock{0x5EED0000u + static_cast<uint64_t>(Index(c.row))};
    ScopedClock scoped(clock.Source());
    UniformSeed = c.seed;

    std::vector<double> x(c.draws);
    for (double& v : x) v = DrawRow(c.row, c.p1, c.p2, c.p3);

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

std::string CaseName(const ::testing::TestParamInfo<RowCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(AllRows, RowStatistics, ::testing::ValuesIn(kCases), CaseName);

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
        const double u = NextUniform();
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
    double prev = NextUniform();
    for (int i = 0; i < pairs; ++i) {
        const double u = NextUniform(), v = NextUniform();
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
        const auto a = static_cast<size_t>(NextUniform() * 5);
        const auto b = static_cast<size_t>(NextUniform() * 5);
        const auto d = static_cast<size_t>(NextUniform() * 5);
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

// The reference functions themselves, at values known in closed form, so
// that a check above cannot pass or fail because of them.
TEST(ReferenceFunctions, AgreeWithClosedForms) {
    // Chi-square with 4 degrees: 1 - e^(-x/2) (1 + x/2).
    for (double x : {0.3, 2.0, 7.5, 30.0})
        EXPECT_NEAR(GammaCdf(2, 2, x), 1 - std::exp(-x / 2) * (1 + x / 2), 1e-14) << x;
    // Shape 1/2: erf(sqrt(x)).
    for (double x : {0.01, 0.7, 3.0, 25.0}) EXPECT_NEAR(GammaCdf(0.5, 1, x), std::erf(std::sqrt(x)), 1e-14) << x;
    // Chi-square test p-values: 2 degrees of freedom, e^(-x/2).
    EXPECT_NEAR(ChiSquarePValue(40, 2), std::exp(-20.0), 1e-20);
    // The Kolmogorov distribution: P(K > 1.3581) = 0.05.
    EXPECT_NEAR(KolmogorovPValue(1.3581 / (std::sqrt(1e8) + 0.12 + 0.11 / 1e4), 100000000), 0.05, 1e-4);
    // Student's t with 10 degrees: the 0.975 quantile is 2.228139.
    EXPECT_NEAR(NoncentralTCdf(10, 0, 2.228139), 0.975, 1e-6);
    EXPECT_NEAR(NoncentralTCdf(10, 0, 0), 0.5, 1e-12);
    // Noncentral t at 0: P(Z + delta <= 0).
    EXPECT_NEAR(NoncentralTCdf(10, 1, 0), NormalCdf(-1), 1e-12);
    // Noncentral chi-square with delta 0 is the central one.
    EXPECT_NEAR(NoncentralChiSquareCdf(4, 0, 3), GammaCdf(2, 2, 3), 1e-14);
    // With delta 0 the shared-delta F is Snedecor's F; the 0.95 quantile of
    // F(4, 20) is 2.8661.
    EXPECT_NEAR(SharedNoncentralFCdf(4, 20, 0, 2.8661), 0.95, 2e-5);
    // Its moments with delta 0: mean d2 / (d2 - 2), variance
    // 2 d2^2 (d1 + d2 - 2) / (d1 (d2 - 2)^2 (d2 - 4)).
    const Moments f = SharedNoncentralFMoments(4, 20, 0);
    EXPECT_NEAR(f.mean, 20.0 / 18, 1e-12);
    EXPECT_NEAR(f.variance, 2.0 * 400 * 22 / (4.0 * 324 * 16), 1e-12);
    // Student's t: variance n / (n - 2), excess kurtosis 6 / (n - 4).
    const Moments t = NoncentralTMoments(10, 0);
    EXPECT_NEAR(t.mean, 0, 1e-15);
    EXPECT_NEAR(t.variance, 10.0 / 8, 1e-12);
    EXPECT_NEAR(t.mu4 / (t.variance * t.variance) - 3, 1.0, 1e-10);
    // Noncentral chi-square moments from the mixture: mean k + delta, variance 2 (k + 2 delta).
    const double m1 = NoncentralChiSquareRawMoment(3, 2, 1), m2 = NoncentralChiSquareRawMoment(3, 2, 2);
    EXPECT_NEAR(m1, 5, 1e-12);
    EXPECT_NEAR(m2 - m1 * m1, 14, 1e-10);
}

}  // namespace
}  // namespace pelmora
