#include "core/rows.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/laws.h"
#include "core/numtext.h"
#include "engine/engine.h"

namespace pelmora {
namespace {

using enum ResultKind;
using namespace boost::math;
using namespace moments;

constexpr double kMaxCount = 2147483647;  // the largest count TruncToInt keeps as it is

constexpr Limit Above(double v) { return {Compare::Greater, v}; }
constexpr Limit AtLeast(double v) { return {Compare::AtLeast, v}; }
constexpr Limit Below(double v) { return {Compare::Less, v}; }
constexpr Limit AtMost(double v) { return {Compare::AtMost, v}; }
constexpr Limit AboveParam(int other) { return {Compare::Greater, 0, other}; }
constexpr Limit BelowParam(int other) { return {Compare::Less, 0, other}; }

// A real parameter, and a count (truncated, at most kMaxCount).
constexpr Param Value(const char* label, const char* meaning, Limit lower = {}, Limit upper = {}) {
    return {label, meaning, lower, upper, false};
}
constexpr Param Whole(const char* label, const char* meaning, Limit lower) {
    return {label, meaning, lower, AtMost(kMaxCount), true};
}
// The parameter with the text pelmora-gen takes when it is left out.
constexpr Param Or(Param p, const char* fallback) {
    p.fallback = fallback;
    return p;
}

// How each generator meets the source (see Cut). A count that TruncToInt
// refuses fails the value before anything is drawn: it counts as 0.
constexpr Split Reseeding(int64_t perValue) { return {Cut::Reseeds, static_cast<uint64_t>(perValue < 0 ? 0 : perValue)}; }
int64_t CountOf(double p) {
    if (!(p > -9223372036854775809.0 && p < 9223372036854775808.0)) return 0;
    return TruncToInt(p);
}
constexpr Split kOneReseed = {Cut::Reseeds, 1};
constexpr Split kTwoReseeds = {Cut::Reseeds, 2};
// Serial rows draw at least two uniforms a value (a pair per candidate of
// the rejection methods), Poisson's product method lambda + 1 on average.
constexpr Split kSerialPairs = {Cut::Serial, 0, 2};
Split PoissonSplit(double lambda) {
    return {Cut::Serial, 0, std::exp(-lambda) > 0 ? std::max(lambda, 0.0) + 1 : 2};
}
// A guard that returns 0 before drawing: no reseed.
Split ReseedsUnless(bool guard, int64_t perValue) { return Reseeding(guard ? 0 : perValue); }

// The formulas show what each generator really draws, written with the
// parameter names of the row's fields: afa = α, beta = β, lambda = λ,
// mean = μ, sigma = σ, delta = δ; a, b, m, n, p, r, d1, d2 as they are.
// Where a row is built differently from the textbook distribution of its
// name (Beta, F, Noncentral F), the picture gives the construction.
//
// The domains follow the generators: a guard that returns 0, a parameter
// that makes every value fail, a count that TruncToInt would wrap, and a
// parameter whose sign only mirrors or repeats the law of its opposite are
// outside; so is a probability outside [0, 1], where U <= p always or never holds.
constexpr std::array<Distribution, kRowCount> kTable = {{
    {
        .row = Row::Beta,
        .caption = "Beta",
        .params = {Value("a", "weight of E1", Above(0)), Value("b", "weight of E2", Above(0))},
        .picture = "/beta.jpg",
        .kind = Real,
        .draw = [](double p1, double p2, double) -> double { return DrawBeta(p1, p2); },
        .moments = [](double p1, double p2, double) { return BetaRow(p1, p2); },
        .law = [](double p1, double p2, double) { return BetaRowLaw(p1, p2); },
        .formula = {R"(X = \frac{a E_1}{a E_1 + b E_2})",
                    R"(E_1, E_2 ~ \text{Exp}(1) \text{ independent})",
                    R"(f(x) = a b/(a (1 - x) + b x)^2, 0 < x < 1)"},
        .aliases = {},
        .differs = "draws a·E1 / (a·E1 + b·E2), E1 and E2 exponential with mean 1, not Beta(a, b)",
        .stream = Stream::Reseeds,
        .split = [](double, double, double) { return kTwoReseeds; },
    },
    {
        .row = Row::Bernoulli,
        .caption = "Bernoulli",
        .params = {Value("p", "probability of 1", AtLeast(0), AtMost(1))},
        .picture = "/bernoulli.jpg",
        .kind = Integer,
        .draw = [](double p1, double, double) -> double { return DrawBernoulli(p1); },
        .moments = [](double p1, double, double) {  // 1 when U <= p
            MomentReal q = Clip01(p1);
            return Of(q, q * (1 - q));
        },
        .law = [](double p1, double, double) { return DiscreteOf(bernoulli_distribution<double>(p1)); },
        .formula = {R"(P(X = k) = p^k (1 - p)^{1 - k})",
                    R"(\small k = 0, 1)"},
        .aliases = {"bern"},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double, double, double) { return kOneReseed; },
    },
    {
        .row = Row::BernoulliGauss,
        .caption = "Bernoulli-Gauss",
        .params = {Value("p", "probability of a normal value", AtLeast(0), AtMost(1)),
                   Or(Value("mean", "mean of the normal value"), "0"),
                   Or(Value("sigma", "standard deviation of the normal value", Above(0)), "1")},
        .picture = "/bernoulligauss.jpg",
        .kind = Real,
        .draw = [](double p1, double p2, double p3) -> double { return DrawBernoulliGauss(p1, p2, p3); },
        .moments = [](double p1, double p2, double p3) {  // N(mean, sigma^2) behind a gate open with probability p
            MomentReal q = Clip01(p1), mu = p2, sigma = p3;
            return Of(q * mu, q * sigma * sigma + q * (1 - q) * mu * mu);
        },
        .law = [](double p1, double p2, double p3) { return BernoulliGaussLaw(p1, p2, p3); },
        .formula = {R"(X = B · Y)",
                    R"(\small B ~ \text{Bernoulli}(p),\; Y ~ N(μ, σ^2))"},
        .aliases = {},
        .differs = "exactly 0 with probability 1 - p (a point mass at 0), else normal with mean and sigma",
        .stream = Stream::Reseeds,
        .split = [](double, double, double) { return kOneReseed; },
    },
    {
        .row = Row::Binomial,
        .caption = "Binomial",
        .params = {Whole("n", "number of trials", AtLeast(0)),
                   Value("p", "success probability", AtLeast(0), AtMost(1))},
        .picture = "/binonial.jpg",
        .kind = Integer,
        .draw = [](double p1, double p2, double) -> double { return DrawBinomial(TruncToInt(p1), p2); },
        .moments = [](double p1, double p2, double) {
            auto n = Count(p1);
            if (!n) return None();
            if (*n <= 0) return Constant(0);
            MomentReal q = Clip01(p2);
            return Of(*n * q, *n * q * (1 - q));
        },
        .law = [](double p1, double p2, double) { return DiscreteOf(binomial_distribution<double>(TruncToInt(p1), p2)); },
        .formula = {R"(P(X = k) = \binom{n}{k} p^k (1 - p)^{n - k})",
                    R"(\small k = 0, 1, \ldots, n)"},
        .aliases = {"binom"},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double p1, double, double) { return Reseeding(CountOf(p1)); },
    },
    {
        .row = Row::Cauchy,
        .caption = "Cauchy",
        .params = {Or(Value("afa", "location"), "0"), Or(Value("beta", "scale", Above(0)), "1")},
        .picture = "/cauchy.jpg",
        .kind = Real,
        .draw = [](double p1, double p2, double) -> double { return DrawCauchy(p1, p2); },
        .moments = [](double p1, double p2, double) {  // alpha - beta / tan(pi U)
            if (p2 == 0) return Constant(p1);
            return None();
        },
        .law = [](double p1, double p2, double) { return ContinuousOf(cauchy_distribution<double>(p1, p2)); },
        .formula = {R"(f(x) = \frac{β}{π \left(β^2 + (x - α)^2\right)})"},
        .aliases = {},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double, double, double) { return kOneReseed; },
    },
    {
        .row = Row::ChiSquare,
        .caption = "Chi-square",
        .params = {Whole("n", "degrees of freedom", AtLeast(1))},
        .picture = "/chisquare.jpg",
        .kind = Real,
        .draw = [](double p1, double, double) -> double { return DrawChiSquare(TruncToInt(p1)); },
        .moments = [](double p1, double, double) {
            auto n = Count(p1);
            if (!n) return None();
            if (*n <= 0) return Constant(0);
            return Of(*n, 2 * static_cast<MomentReal>(*n));
        },
        .law = [](double p1, double, double) { return ContinuousOf(chi_squared_distribution<double>(TruncToInt(p1))); },
        .formula = {R"(f(x) = \frac{x^{n/2 - 1}\, e^{-x/2}}{2^{n/2}\, Γ(n/2)},\quad x > 0)"},
        .aliases = {"chisq", "chi2"},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double p1, double, double) { return Reseeding(CountOf(p1)); },
    },
    {
        .row = Row::ContinuousUniform,
        .caption = "Continuous Uniform",
        .params = {Or(Value("a", "lower end"), "0"), Or(Value("b", "upper end", AboveParam(0)), "1")},
        .picture = "/continousuniform.jpg",
        .kind = Real,
        .draw = [](double p1, double p2, double) -> double { return DrawUniform(p1, p2); },
        .moments = [](double p1, double p2, double) {
            MomentReal a = p1, b = p2;
            return Of((a + b) / 2, (b - a) * (b - a) / 12);
        },
        .law = [](double p1, double p2, double) {
            CheckSpan(p1, p2);
            return ContinuousOf(uniform_distribution<double>(p1, p2));
        },
        .formula = {R"(f(x) = \frac{1}{b - a},\quad a ≤ x ≤ b)"},
        .aliases = {"unif", "uniform"},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double, double, double) { return kOneReseed; },
    },
    {
        .row = Row::DiscreteUniform,
        .caption = "Discrete Uniform",
        .params = {Whole("n", "largest value; draws 1 to n", AtLeast(1))},
        .picture = "/discreteuniform.jpg",
        .kind = Integer,
        .draw = [](double p1, double, double) -> double { return DrawDiscreteUniform(TruncToInt(p1)); },
        .moments = [](double p1, double, double) {
            auto n = Count(p1);
            if (!n) return None();
            return DiscreteUniformRow(*n);
        },
        .law = [](double p1, double, double) { return DiscreteUniformLaw(TruncToInt(p1)); },
        .formula = {R"(P(X = k) = \frac{1}{n},\quad k = 1, 2, \ldots, n)"},
        .aliases = {},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double, double, double) { return kOneReseed; },
    },
    {
        .row = Row::Erlang,
        .caption = "Erlang",
        .params = {Whole("m", "number of phases (shape)", AtLeast(1)),
                   Or(Value("beta", "scale; the mean is m·beta", Above(0)), "1")},
        .picture = "/erlang.jpg",
        .kind = Real,
        .draw = [](double p1, double p2, double) -> double { return DrawErlang(TruncToInt(p1), p2); },
        .moments = [](double p1, double p2, double) {  // -scale · ln(U1 ... Um)
            auto m = Count(p1);
            if (!m) return None();
            if (*m <= 0) return Constant(0);
            MomentReal s = p2;
            return Of(*m * s, *m * s * s);
        },
        .law = [](double p1, double p2, double) { return ContinuousOf(gamma_distribution<double>(TruncToInt(p1), p2)); },
        .formula = {R"(f(x) = \frac{x^{m - 1}\, e^{-x/β}}{β^m\, (m - 1)!},\quad x ≥ 0)"},
        .aliases = {},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double, double, double) { return kOneReseed; },
    },
    {
        .row = Row::Exponential,
        .caption = "Exponential",
        .params = {Or(Value("lambda", "rate; the mean is 1/lambda", Above(0)), "1")},
        .picture = "/exp.jpg",
        .kind = Real,
        .draw = [](double p1, double, double) -> double { return DrawExponential(p1); },
        .moments = [](double p1, double, double) {
            if (!(p1 > 0)) return Constant(0);
            return Of(1 / static_cast<MomentReal>(p1), 1 / (static_cast<MomentReal>(p1) * p1));
        },
        .law = [](double p1, double, double) { return ContinuousOf(exponential_distribution<double>(p1)); },
        .formula = {R"(f(x) = λ e^{-λ x},\quad x ≥ 0)"},
        .aliases = {"exp", "expon"},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double, double, double) { return kOneReseed; },
    },
    {
        .row = Row::F,
        .caption = "F",
        .params = {Value("d1", "degrees of freedom of the numerator", Above(0)),
                   Value("d2", "degrees of freedom of the denominator", Above(0))},
        .picture = "/f.jpg",
        .kind = Real,
        .draw = [](double p1, double p2, double) -> double { return DrawF(p1, p2); },
        .moments = [](double, double, double) { return None(); },  // E1 / E2: no finite mean
        .law = [](double, double, double) { return RatioOfExponentialsLaw(); },
        .formula = {R"(X = \frac{E_1}{E_2},\quad f(x) = \frac{1}{(1 + x)^2})",
                    R"(E_1, E_2 ~ \text{Exp}(1) \text{ independent})",
                    R"(d_1 \text{ and } d_2 \text{ cancel out})"},
        .aliases = {},
        .differs = "draws E1 / E2 whatever d1 and d2 are (they cancel out), not F(d1, d2); no finite mean",
        .stream = Stream::Reseeds,
        .split = [](double, double, double) { return kTwoReseeds; },
    },
    {
        .row = Row::Gamma,
        .caption = "Gamma",
        .params = {Value("afa", "shape", Above(0)), Or(Value("beta", "scale; the mean is afa·beta", Above(0)), "1")},
        .picture = "/gamma.jpg",
        .kind = Real,
        .draw = [](double p1, double p2, double) -> double { return DrawGamma(p1, p2); },
        .moments = [](double p1, double p2, double) { return GammaRow(p1, p2); },
        .law = [](double p1, double p2, double) { return ContinuousOf(gamma_distribution<double>(p1, p2)); },
        .formula = {R"(f(x) = \frac{x^{α - 1}\, e^{-x/β}}{Γ(α)\, β^α},\quad x > 0)"},
        .aliases = {},
        .differs = nullptr,
        .stream = Stream::ReseedsAtShapeOne,
        .split = [](double p1, double, double) { return p1 == 1 ? kOneReseed : kSerialPairs; },
    },
    {
        .row = Row::GaussNormal,
        .caption = "Gauss Normal",
        .params = {Or(Value("mean", "mean"), "0"), Or(Value("sigma", "standard deviation", Above(0)), "1")},
        .picture = "/gauss.jpg",
        .kind = Real,
        .draw = [](double p1, double p2, double) -> double { return DrawGaussNormal(p1, p2); },
        .moments = [](double p1, double p2, double) { return Of(p1, static_cast<MomentReal>(p2) * p2); },
        .law = [](double p1, double p2, double) { return ContinuousOf(normal_distribution<double>(p1, p2)); },
        .formula = {R"(f(x) = \frac{1}{σ \sqrt{2π}} e^{-(x - μ)^2/(2σ^2)})"},
        .aliases = {"normal", "norm", "gaussian", "gauss"},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double, double, double) { return kOneReseed; },
    },
    {
        .row = Row::Geometric,
        .caption = "Geometric",
        .params = {Value("p", "success probability", Above(0), Below(1))},
        .picture = "/geometric.jpg",
        .kind = Integer,
        .draw = [](double p1, double, double) -> double { return DrawGeometric(p1); },
        .moments = [](double p1, double, double) {  // failures before the first success
            if (p1 >= 1 || !(p1 > 0)) return Constant(0);
            MomentReal p = p1;
            return Of((1 - p) / p, (1 - p) / (p * p));
        },
        .law = [](double p1, double, double) { return DiscreteOf(geometric_distribution<double>(p1)); },
        .formula = {R"(P(X = k) = p (1 - p)^k)",
                    R"(\small k = 0, 1, 2, \ldots)"},
        .aliases = {"geom"},
        .differs = "counts the failures before the first success (0, 1, 2, ...), not the trials",
        .stream = Stream::Reseeds,
        .split = [](double p1, double, double) { return ReseedsUnless(p1 >= 1 || !(p1 > 0), 1); },
    },
    {
        .row = Row::Laplace,
        .caption = "Laplace",
        .params = {Or(Value("beta", "scale", Above(0)), "1")},
        .picture = "/laplace.jpg",
        .kind = Real,
        .draw = [](double p1, double, double) -> double { return DrawLaplace(p1); },
        .moments = [](double p1, double, double) { return Of(0, 2 * static_cast<MomentReal>(p1) * p1); },
        .law = [](double p1, double, double) { return ContinuousOf(laplace_distribution<double>(0, p1)); },
        .formula = {R"(f(x) = \frac{1}{2β} e^{-|x|/β})"},
        .aliases = {},
        .differs = "the location is fixed at 0",
        .stream = Stream::Reseeds,
        .split = [](double, double, double) { return kOneReseed; },
    },
    {
        .row = Row::LogNormal,
        .caption = "Log Normal",
        .params = {Or(Value("mean", "mean of the logarithm"), "0"),
                   Or(Value("sigma", "standard deviation of the logarithm", Above(0)), "1")},
        .picture = "/lognormal.jpg",
        .kind = Real,
        .draw = [](double p1, double p2, double) -> double { return DrawLogNormal(p1, p2); },
        .moments = [](double p1, double p2, double) {
            MomentReal mu = p1, s2 = static_cast<MomentReal>(p2) * p2;
            return Of(std::exp(mu + s2 / 2), std::expm1(s2) * std::exp(2 * mu + s2));
        },
        .law = [](double p1, double p2, double) { return ContinuousOf(lognormal_distribution<double>(p1, p2)); },
        .formula = {R"(f(x) = \frac{1}{x σ \sqrt{2π}} e^{-(ln x - μ)^2/(2σ^2)})",
                    R"(\small x > 0)"},
        .aliases = {"lnorm", "lognorm"},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double, double, double) { return kOneReseed; },
    },
    {
        .row = Row::Logistic,
        .caption = "Logistic",
        .params = {},
        .picture = "/logistic.jpg",
        .kind = Real,
        .draw = [](double, double, double) -> double { return DrawLogistic(); },
        .moments = [](double, double, double) { return Of(0, kMomentPi * kMomentPi / 3); },
        .law = [](double, double, double) { return ContinuousOf(logistic_distribution<double>(0, 1)); },
        .formula = {R"(f(x) = \frac{e^{-x}}{(1 + e^{-x})^2})"},
        .aliases = {"logis"},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double, double, double) { return kOneReseed; },
    },
    {
        .row = Row::Poisson,
        .caption = "Poisson",
        .params = {Value("lambda", "mean", Above(0))},
        .picture = "/poisson.jpg",
        .kind = Integer,
        .draw = [](double p1, double, double) -> double { return DrawPoisson(p1); },
        .moments = [](double p1, double, double) {
            if (!(p1 > 0)) return Constant(0);
            return Of(p1, p1);
        },
        .law = [](double p1, double, double) { return DiscreteOf(poisson_distribution<double>(p1)); },
        .formula = {R"(P(X = k) = \frac{λ^k\, e^{-λ}}{k!})",
                    R"(\small k = 0, 1, 2, \ldots)"},
        .aliases = {"pois"},
        .differs = nullptr,
        .stream = Stream::Continues,
        .split = [](double p1, double, double) { return PoissonSplit(p1); },
    },
    {
        .row = Row::Rayleigh,
        .caption = "Rayleigh",
        .params = {Or(Value("sigma", "scale", Above(0)), "1")},
        .picture = "/rayleigh.jpg",
        .kind = Real,
        .draw = [](double p1, double, double) -> double { return DrawRayleigh(p1); },
        .moments = [](double p1, double, double) {
            if (!(p1 > 0)) return Constant(0);
            MomentReal s = p1;
            return Of(s * std::sqrt(kMomentPi / 2), (4 - kMomentPi) / 2 * s * s);
        },
        .law = [](double p1, double, double) { return ContinuousOf(rayleigh_distribution<double>(p1)); },
        .formula = {R"(f(x) = \frac{x}{σ^2} e^{-x^2/(2σ^2)},\quad x ≥ 0)"},
        .aliases = {},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double, double, double) { return kOneReseed; },
    },
    {
        .row = Row::StandardNormal,
        .caption = "Standard Normal",
        .params = {},
        .picture = "/standnormal.jpg",
        .kind = Real,
        .draw = [](double, double, double) -> double { return DrawStandardNormal(); },
        .moments = [](double, double, double) { return Of(0, 1); },
        .law = [](double, double, double) { return ContinuousOf(normal_distribution<double>(0, 1)); },
        .formula = {R"(f(x) = \frac{1}{\sqrt{2π}} e^{-x^2/2})"},
        .aliases = {},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double, double, double) { return kOneReseed; },
    },
    {
        .row = Row::StudentT,
        .caption = "Student's T ",
        .params = {Whole("n", "degrees of freedom", AtLeast(1))},
        .picture = "/t.jpg",
        .kind = Real,
        .draw = [](double p1, double, double) -> double { return DrawStudentT(TruncToInt(p1)); },
        .moments = [](double p1, double, double) {
            auto n = Count(p1);
            if (!n) return None();
            if (*n < 1) return Constant(0);
            if (*n == 1) return None();
            if (*n == 2) return MeanOnly(0);
            MomentReal e = *n;
            return Of(0, e / (e - 2));
        },
        .law = [](double p1, double, double) { return ContinuousOf(students_t_distribution<double>(TruncToInt(p1))); },
        .formula = {R"(f(x) = \frac{Γ((n + 1)/2)}{\sqrt{n π}\, Γ(n/2)} (1 + x^2/n)^{-(n + 1)/2})"},
        .aliases = {"t", "studentt"},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double p1, double, double) {
            int64_t n = CountOf(p1);
            return ReseedsUnless(n < 1, 1 + n);
        },
    },
    {
        .row = Row::Triangle,
        .caption = "Triangle",
        .params = {Value("a", "lower end"), Value("b", "upper end"),
                   Value("m (a<m<b)", "mode", AboveParam(0), BelowParam(1))},
        .picture = "/triangle.jpg",
        .kind = Real,
        .draw = [](double p1, double p2, double p3) -> double { return DrawTriangle(p1, p2, p3); },
        .moments = [](double p1, double p2, double p3) {
            if (!(p3 > p1) || !(p3 < p2) || !(p2 > p1)) return Constant(0);
            MomentReal a = p1, b = p2, m = p3;
            return Of((a + b + m) / 3, (a * a + b * b + m * m - a * b - a * m - b * m) / 18);
        },
        .law = [](double p1, double p2, double p3) {
            CheckSpan(p1, p2);
            return ContinuousOf(triangular_distribution<double>(p1, p3, p2));
        },
        .formula = {R"(f(x) = \frac{2}{b - a} min\left(\frac{x - a}{m - a}, \frac{b - x}{b - m}\right))",
                    R"(\small a ≤ x ≤ b)"},
        .aliases = {"triang"},
        .differs = nullptr,
        .stream = Stream::Continues,
        .split = [](double p1, double p2, double p3) {
            if (p3 <= p1 || p3 >= p2 || !(p2 > p1)) return Reseeding(0);
            return Split{Cut::Jumps, 1};
        },
    },
    {
        .row = Row::NegativeBinomial,
        .caption = "Negative Binomial",
        .params = {Whole("r", "number of successes", AtLeast(1)),
                   Value("p (0<p<1)", "success probability", Above(0), Below(1))},
        .picture = "/negbin.jpg",
        .kind = Integer,
        .draw = [](double p1, double p2, double) -> double { return DrawNegativeBinomial(TruncToInt(p1), p2); },
        .moments = [](double p1, double p2, double) {
            auto r = Count(p1);
            if (!r) return None();
            if (p2 >= 1 || !(p2 > 0) || *r <= 0) return Constant(0);
            MomentReal p = p2;
            return Of(*r * (1 - p) / p, *r * (1 - p) / (p * p));
        },
        .law = [](double p1, double p2, double) { return DiscreteOf(negative_binomial_distribution<double>(TruncToInt(p1), p2)); },
        .formula = {R"(P(X = k) = \binom{k + r - 1}{k} p^r (1 - p)^k)",
                    R"(\small k = 0, 1, 2, \ldots)"},
        .aliases = {"nbinom"},
        .differs = "counts the failures before the r-th success",
        .stream = Stream::Reseeds,
        .split = [](double p1, double p2, double) { return ReseedsUnless(p2 >= 1 || !(p2 > 0), CountOf(p1)); },
    },
    {
        .row = Row::NoncentralChiSquare,
        .caption = "Noncentral Chi-square",
        .params = {Whole("n", "degrees of freedom", AtLeast(1)), Or(Value("delta", "noncentrality", AtLeast(0)), "0")},
        .picture = "/noncenchisquare.jpg",
        .kind = Real,
        .draw = [](double p1, double p2, double) -> double { return DrawNoncentralChiSquare(TruncToInt(p1), p2); },
        .moments = [](double p1, double p2, double) {
            auto n = Count(p1);
            if (!n) return None();
            if (p2 < 0 || *n <= 0) return Constant(0);
            MomentReal e = *n, delta = p2;
            return Of(e + delta, 2 * (e + 2 * delta));
        },
        .law = [](double p1, double p2, double) { return ContinuousOf(non_central_chi_squared_distribution<double>(TruncToInt(p1), p2)); },
        .formula = {R"(X = \sum_{i=1}^{n} \left(Z_i + \sqrt{δ/n}\right)^2)",
                    R"(\small Z_1, \ldots, Z_n ~ N(0, 1) \text{ independent})"},
        .aliases = {"ncx2", "ncchisq"},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double p1, double p2, double) { return ReseedsUnless(p2 < 0, CountOf(p1)); },
    },
    {
        .row = Row::NoncentralF,
        .caption = "Noncentral F",
        .params = {Whole("d1", "degrees of freedom of the numerator", AtLeast(1)),
                   Whole("d2", "degrees of freedom of the denominator", AtLeast(1)),
                   Or(Value("delta", "noncentrality of both chi-squares", AtLeast(0)), "0")},
        .picture = "/noncenf.jpg",
        .kind = Real,
        .draw = [](double p1, double p2, double p3) -> double {
            int32_t d1 = TruncToInt(p1);
            int32_t d2 = TruncToInt(p2);
            return DrawNoncentralF(d1, d2, p3);
        },
        .moments = [](double p1, double p2, double p3) { return NoncentralFRow(p1, p2, p3); },
        // (X1/d1) / (X2/d2) with a noncentral X2: no closed form is known.
        .law = [](double, double, double) {
            return Law::None("no closed form is known for Noncentral F with the same delta in both chi-squares");
        },
        .formula = {R"(X = \frac{X_1/d_1}{X_2/d_2})",
                    R"(X_1 ~ χ^2(d_1, δ),\; X_2 ~ χ^2(d_2, δ))",
                    R"(\text{independent, with the same } δ)"},
        .aliases = {"ncf"},
        .differs = "(X1/d1) / (X2/d2) with the same delta in both chi-squares; the textbook law has a central X2",
        .stream = Stream::Reseeds,
        .split = [](double p1, double p2, double p3) {
            return ReseedsUnless(p3 < 0, std::max<int64_t>(CountOf(p1), 0) + std::max<int64_t>(CountOf(p2), 0));
        },
    },
    {
        .row = Row::NoncentralT,
        .caption = "Noncentral T",
        .params = {Whole("n", "degrees of freedom", AtLeast(1)), Or(Value("delta", "noncentrality"), "0")},
        .picture = "/noncent.jpg",
        .kind = Real,
        .draw = [](double p1, double p2, double) -> double { return DrawNoncentralT(TruncToInt(p1), p2); },
        .moments = [](double p1, double p2, double) { return NoncentralTRow(p1, p2); },
        .law = [](double p1, double p2, double) { return ContinuousOf(non_central_t_distribution<double>(TruncToInt(p1), p2)); },
        .formula = {R"(X = \frac{Z + δ}{\sqrt{C/n}})",
                    R"(\small Z ~ N(0, 1),\; C ~ χ^2(n) \text{ independent})"},
        .aliases = {"nct"},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double p1, double, double) { return Reseeding(1 + std::max<int64_t>(CountOf(p1), 0)); },
    },
    {
        .row = Row::Weibull,
        .caption = "Weibull",
        .params = {Value("afa", "shape", Above(0)), Or(Value("beta", "scale", Above(0)), "1")},
        .picture = "/weibull.jpg",
        .kind = Real,
        .draw = [](double p1, double p2, double) -> double { return DrawWeibull(p1, p2); },
        .moments = [](double p1, double p2, double) { return WeibullRow(p1, p2); },
        .law = [](double p1, double p2, double) { return ContinuousOf(weibull_distribution<double>(p1, p2)); },
        .formula = {R"(f(x) = \frac{α}{β} \left(\frac{x}{β}\right)^{α - 1} e^{-(x/β)^α})",
                    R"(\small x ≥ 0)"},
        .aliases = {"weibull_min"},
        .differs = nullptr,
        .stream = Stream::Reseeds,
        .split = [](double, double, double) { return kOneReseed; },
    },
}};

constexpr bool InListOrder() {
    for (int i = 0; i < kRowCount; ++i) {
        if (kTable[static_cast<std::size_t>(i)].row != RowAt(i)) return false;
    }
    return true;
}
static_assert(InListOrder(), "the records must stand in the order of the list");

// Parameters are given in order, so a parameter with a default is followed
// only by parameters with one.
constexpr bool DefaultsLast() {
    for (const Distribution& d : kTable) {
        bool defaulted = false;
        for (const Param& p : d.params) {
            if (!p.label) continue;
            if (defaulted && !p.fallback) return false;
            defaulted = p.fallback != nullptr;
        }
    }
    return true;
}
static_assert(DefaultsLast(), "only a row's last parameters may have defaults");

}  // namespace

const std::array<Distribution, kRowCount>& kRows = kTable;

bool ReseedsEachValue(Row row, double p1) {
    switch (Record(row).stream) {
        case Stream::Reseeds: return true;
        case Stream::Continues: return false;
        case Stream::ReseedsAtShapeOne: return p1 == 1;
    }
    return false;
}

std::string_view RowName(Row row) {
    std::string_view caption = Record(row).caption;
    while (caption.ends_with(' ')) caption.remove_suffix(1);
    return caption;
}

std::string CommandName(Row row) {
    std::string name;
    for (char c : RowName(row)) {
        if (c == '\'') continue;
        name += c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name;
}

std::string_view ParamName(const Param& param) {
    std::string_view label = param.label ? param.label : "";
    return label.substr(0, label.find(' '));
}

namespace {

std::string Number(double x) { return FormatGeneral(x, std::string_view(".")); }

const char* Symbol(Compare compare) {
    switch (compare) {
        case Compare::Greater: return " > ";
        case Compare::AtLeast: return " >= ";
        case Compare::Less: return " < ";
        case Compare::AtMost: return " <= ";
        case Compare::None: break;
    }
    return "";
}

// The bound as written: a number or another parameter's name.
std::string BoundText(Row row, const Limit& limit) {
    if (limit.other >= 0) return std::string(ParamName(Record(row).params[static_cast<std::size_t>(limit.other)]));
    return Number(limit.value);
}

// The lower bound read from the left: "0 <=" for "at least 0".
const char* Mirrored(Compare compare) { return compare == Compare::Greater ? " < " : " <= "; }

bool Holds(Compare compare, double x, double bound) {
    switch (compare) {
        case Compare::Greater: return x > bound;
        case Compare::AtLeast: return x >= bound;
        case Compare::Less: return x < bound;
        case Compare::AtMost: return x <= bound;
        case Compare::None: break;
    }
    return true;
}

const char* Rule(Compare compare) {
    switch (compare) {
        case Compare::Greater: return " must be greater than ";
        case Compare::AtLeast: return " must be at least ";
        case Compare::Less: return " must be less than ";
        case Compare::AtMost: return " must be at most ";
        case Compare::None: break;
    }
    return "";
}

}  // namespace

std::string DomainText(Row row, int param) {
    const Param& p = Record(row).params[static_cast<std::size_t>(param)];
    std::string name(ParamName(p));
    bool lower = p.lower.compare != Compare::None, upper = p.upper.compare != Compare::None;
    if (lower && upper) {
        return BoundText(row, p.lower) + Mirrored(p.lower.compare) + name + Symbol(p.upper.compare) +
               BoundText(row, p.upper);
    }
    if (lower) return name + Symbol(p.lower.compare) + BoundText(row, p.lower);
    if (upper) return name + Symbol(p.upper.compare) + BoundText(row, p.upper);
    return "any " + name;
}

void CheckDomain(Row row, const std::array<double, 3>& values, const std::array<std::string_view, 3>& texts) {
    const Distribution& d = Record(row);
    for (std::size_t i = 0; i < 3; ++i) {
        const Param& p = d.params[i];
        if (!p.label) continue;
        // Truncation toward zero, as TruncToInt makes it before the draw.
        const double x = p.count ? std::trunc(values[i]) : values[i];
        if (p.count && x != values[i] && std::isfinite(values[i])) {
            throw Error(std::string(RowName(row)) + ": " + std::string(ParamName(p)) + " must be a whole number (got " +
                        std::string(texts[i]) + "; --as-window truncates it toward zero as the window does).");
        }
        for (const Limit& limit : {p.lower, p.upper}) {
            if (limit.compare == Compare::None) continue;
            const std::size_t other = static_cast<std::size_t>(limit.other);
            const double bound = limit.other >= 0 ? values[other] : limit.value;
            if (Holds(limit.compare, x, bound)) continue;
            std::string message = std::string(RowName(row)) + ": " + std::string(ParamName(p)) + Rule(limit.compare) +
                                  BoundText(row, limit) + " (got " + std::string(texts[i]);
            if (limit.other >= 0) {
                message += "; " + BoundText(row, limit) + " is " + std::string(texts[other]);
            }
            throw Error(message + ").");
        }
    }
}

}  // namespace pelmora
