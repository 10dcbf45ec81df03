// Exact values, guards, reseeding and failures of the 27 generators.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "fake_clock.h"

namespace pelmora {
namespace {

using testing::State;

using testing::FakeClock;
using testing::FaultOf;
using testing::SeedBefore;
using testing::StepsBetween;

constexpr uint32_t kStateBeforeZero = 649090867u;  // its successor is 0

// ---------------------------------------------------------------------------
// Which generators read the clock, how often per value, and how many uniforms
// they draw after their last reseed (-1: not checked, -2: an even number of at
// least 2, as the polar method draws).

struct ReseedCase {
    const char* name;
    std::function<void()> draw;
    int reads;
    int drawsAfter;
};

void PrintTo(const ReseedCase& c, std::ostream* os) { *os << c.name; }

class Reseeding : public ::testing::TestWithParam<ReseedCase> {};

TEST_P(Reseeding, ReadsAndDraws) {
    const ReseedCase& c = GetParam();
    const uint32_t clockState = 123456789u;
    FakeClock clock{clockState, 0};
    ScopedClock scoped(clock.Source());
    UniformSeed = clockState;  // non-reseeding calls start from the same state
    c.draw();
    EXPECT_EQ(clock.reads, c.reads);
    int steps = StepsBetween(clockState, UniformSeed);
    if (c.drawsAfter >= 0) {
        EXPECT_EQ(steps, c.drawsAfter);
    } else if (c.drawsAfter == -2) {
        EXPECT_TRUE(steps >= 2 && steps % 2 == 0) << steps;
    }
}

const ReseedCase kReseedCases[] = {
    {"Beta", [] { DrawBeta(2, 3); }, 2, 1},
    {"Bernoulli", [] { DrawBernoulli(0.5); }, 1, 1},
    {"BernoulliGaussClosed", [] { DrawBernoulliGauss(-1, 0, 1); }, 1, 1},
    {"BernoulliGaussOpen", [] { DrawBernoulliGauss(2, 0, 1); }, 1, -1},
    {"Binomial", [] { DrawBinomial(5, 0.5); }, 5, 1},
    {"BinomialZero", [] { DrawBinomial(0, 0.5); }, 0, 0},
    {"BinomialNegative", [] { DrawBinomial(-4, 0.5); }, 0, 0},
    {"Cauchy", [] { DrawCauchy(0, 1); }, 1, 1},
    {"ChiSquare", [] { DrawChiSquare(4); }, 4, 2},
    {"ChiSquareZero", [] { DrawChiSquare(0); }, 0, 0},
    {"Uniform", [] { DrawUniform(0, 1); }, 1, 1},
    {"DiscreteUniform", [] { DrawDiscreteUniform(6); }, 1, 1},
    {"Erlang", [] { DrawErlang(3, 1); }, 1, 3},
    {"ErlangZero", [] { DrawErlang(0, 1); }, 1, 0},
    {"ErlangNegative", [] { DrawErlang(-2, 1); }, 1, 0},
    {"Exponential", [] { DrawExponential(1); }, 1, 1},
    {"ExponentialRejected", [] { DrawExponential(0); }, 1, 0},
    {"F", [] { DrawF(3, 7); }, 2, 1},
    {"GammaA", [] { DrawGamma(2, 1); }, 0, -2},
    {"GammaB", [] { DrawGamma(1, 2); }, 1, 1},
    {"GammaBNegativeScale", [] { DrawGamma(1, -1); }, 1, 0},
    {"GammaC", [] { DrawGamma(0.5, 1); }, 0, -2},
    {"GaussNormal", [] { DrawGaussNormal(0, 1); }, 1, -2},
    {"Geometric", [] { DrawGeometric(0.5); }, 1, 1},
    {"GeometricZero", [] { DrawGeometric(0); }, 0, 0},
    {"GeometricOne", [] { DrawGeometric(1); }, 0, 0},
    {"GeometricAboveOne", [] { DrawGeometric(1.5); }, 0, 0},
    {"GeometricNegative", [] { DrawGeometric(-0.1); }, 0, 0},
    {"Laplace", [] { DrawLaplace(1); }, 1, 2},
    {"LogNormal", [] { DrawLogNormal(0, 1); }, 1, -2},
    {"Logistic", [] { DrawLogistic(); }, 1, 1},
    {"PoissonZero", [] { DrawPoisson(0); }, 0, 1},
    {"PoissonNegative", [] { DrawPoisson(-5); }, 0, 1},
    {"Rayleigh", [] { DrawRayleigh(1); }, 1, 1},
    {"RayleighRejected", [] { DrawRayleigh(-2); }, 1, 0},
    {"StandardNormal", [] { DrawStandardNormal(); }, 1, 2},
    {"StudentT", [] { DrawStudentT(3); }, 4, 2},
    {"StudentTZero", [] { DrawStudentT(0); }, 0, 0},
    {"Triangle", [] { DrawTriangle(0, 1, 0.5); }, 0, 1},
    {"TriangleRejected", [] { DrawTriangle(1, 1, 3); }, 0, 0},
    {"NegativeBinomial", [] { DrawNegativeBinomial(3, 0.5); }, 3, 1},
    {"NegativeBinomialP", [] { DrawNegativeBinomial(3, 1); }, 0, 0},
    {"NegativeBinomialR", [] { DrawNegativeBinomial(0, 0.5); }, 0, 0},
    {"NoncentralChiSquare", [] { DrawNoncentralChiSquare(3, 2); }, 3, -2},
    {"NoncentralChiSquareCentral", [] { DrawNoncentralChiSquare(3, 0); }, 3, 2},
    {"NoncentralChiSquareNegative", [] { DrawNoncentralChiSquare(3, -1); }, 0, 0},
    {"NoncentralChiSquareNoCount", [] { DrawNoncentralChiSquare(0, 2); }, 0, 0},
    {"NoncentralF", [] { DrawNoncentralF(2, 3, 1); }, 5, -2},
    {"NoncentralT", [] { DrawNoncentralT(3, 1); }, 4, 2},
    {"Weibull", [] { DrawWeibull(2, 3); }, 1, 1},
    {"WeibullRejectedShape", [] { DrawWeibull(0, 5); }, 1, 0},
    {"WeibullRejectedScale", [] { DrawWeibull(2, 0); }, 1, 0},
};

INSTANTIATE_TEST_SUITE_P(Generators, Reseeding, ::testing::ValuesIn(kReseedCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Gamma: the worked examples from the initial state.

TEST(Gamma, ShapeAboveOneWorkedExample) {
    UniformSeed = 0;
    EXPECT_NEAR(DrawGamma(2, 1), 3.39166, 0.000005);
    EXPECT_EQ(State(), 870078620u);
    EXPECT_NEAR(DrawGamma(2, 1), 0.108459, 0.0000005);
    EXPECT_NEAR(DrawGamma(2, 1), 0.394419, 0.0000005);
}

TEST(Gamma, ShapeBelowOneWorkedExample) {
    UniformSeed = 0;
    EXPECT_NEAR(DrawGamma(0.5, 1) / 6.90803e-20, 1.0, 1e-5);
    EXPECT_NEAR(DrawGamma(0.5, 1), 1.41442, 0.000005);
    EXPECT_NEAR(DrawGamma(0.5, 1), 0.0949180, 0.00000005);
    EXPECT_EQ(StepsBetween(0, UniformSeed), 6);  // one candidate each
}

TEST(Gamma, PreTestsDecideExactlyAsTheExtendedTests) {
    // The double-precision pre-tests must never change a decision: the same
    // seed gives the same values and the same final state with and without
    // them.
    for (double shape : {1.0000001, 1.5, 2.0, 7.5, 1e6, 0.999, 0.5, 0.3, 0.01, -0.5, -3.0}) {
        std::vector<double> values[2];
        uint32_t states[2];
        for (GammaAcceptance acceptance : {GammaAcceptance::PreTested, GammaAcceptance::ExtendedOnly}) {
            const int i = acceptance == GammaAcceptance::PreTested ? 0 : 1;
            UniformSeed = 20240611u;
            for (int k = 0; k < 20000; ++k) values[i].push_back(DrawGammaWith(shape, 1.25, acceptance));
            states[i] = UniformSeed;
        }
        EXPECT_EQ(values[0], values[1]) << shape;
        EXPECT_EQ(states[0], states[1]) << shape;
    }
}

TEST(Gamma, ScaleMultipliesAndMirrors) {
    UniformSeed = 0;
    double unit = DrawGamma(2, 1);
    UniformSeed = 0;
    EXPECT_EQ(DrawGamma(2, 3), 3 * unit);
    UniformSeed = 0;
    EXPECT_EQ(DrawGamma(2, -1), -unit);
    UniformSeed = 0;
    EXPECT_EQ(DrawGamma(2, 0), 0.0);
}

TEST(Gamma, ShapeOneIsTheExponentialWithRateOneOverScale) {
    FakeClock clock{987654321u, 0};
    ScopedClock scoped(clock.Source());
    double viaGamma = DrawGamma(1, 2);
    EXPECT_EQ(viaGamma, DrawExponential(0.5));
    EXPECT_EQ(DrawGamma(1, -1), 0.0);
}

TEST(Gamma, Failures) {
    UniformSeed = 5;
    EXPECT_EQ(FaultOf([] { DrawGamma(0, 1); }), kDivisionByZero);
    EXPECT_EQ(State(), 5u);  // before any uniform is drawn
    FakeClock clock{1, 0};
    ScopedClock scoped(clock.Source());
    EXPECT_EQ(FaultOf([] { DrawGamma(1, 0); }), kDivisionByZero);
    EXPECT_EQ(clock.reads, 0);  // before the exponential generator is called
    UniformSeed = kStateBeforeZero;  // method A with u exactly 0
    EXPECT_EQ(FaultOf([] { DrawGamma(2, 1); }), kDivisionByZero);
    EXPECT_EQ(State(), 1u);  // u and v drawn
    UniformSeed = kStateBeforeZero;  // method C with a negative shape and u exactly 0
    EXPECT_EQ(FaultOf([] { DrawGamma(-1, 1); }), kDivisionByZero);
    UniformSeed = kStateBeforeZero;  // method C with u = 0 accepts x = 0
    EXPECT_EQ(DrawGamma(0.5, 1), 0.0);
}

TEST(Gamma, NegativeShapesRunMethodCOrStopInsteadOfHanging) {
    UniformSeed = 77;
    for (int i = 0; i < 100; ++i) {
        double v = DrawGamma(-1, 2);
        EXPECT_TRUE(std::isfinite(v));
        EXPECT_GT(v, 0);
    }
    EXPECT_EQ(FaultOf([] { DrawGamma(-1e6, 1); }), "Gamma shape too far below 0: no value accepted");
}

// ---------------------------------------------------------------------------
// Exact values and guards of the elementary generators.

TEST(Continuous, GuardsReturnZero) {
    FakeClock clock{42, 7};
    ScopedClock scoped(clock.Source());
    const std::function<double()> rejected[] = {
        [] { return DrawExponential(0); },  [] { return DrawExponential(-1); },
        [] { return DrawRayleigh(0); },     [] { return DrawRayleigh(-2); },
        [] { return DrawWeibull(0, 5); },   [] { return DrawWeibull(2, 0); },
        [] { return DrawWeibull(-1, -1); }, [] { return DrawTriangle(1, 1, 3); },
        [] { return DrawTriangle(0, 1, 0); }, [] { return DrawTriangle(0, 1, 1); },
        [] { return DrawTriangle(2, 1, 1.5); },
    };
    for (const auto& f : rejected) EXPECT_EQ(f(), 0.0);
}

TEST(Continuous, ValuesAtChosenUniforms) {
    FakeClock clock{SeedBefore(0x80000000u), 0};  // U = 0.5
    ScopedClock scoped(clock.Source());
    EXPECT_EQ(DrawLogistic(), 0.0);
    UniformSeed = SeedBefore(0x80000000u);
    EXPECT_EQ(DrawTriangle(0, 1, 0.5), 0.5);  // U = c takes the upper branch
    EXPECT_EQ(DrawCauchy(3, 0), 3.0);
    EXPECT_EQ(DrawCauchy(3, 2), 3.0);  // tan(pi/2) is huge: 2 / tan is tiny
    EXPECT_EQ(DrawExponential(2), std::log(2.0) / 2);
    EXPECT_EQ(DrawWeibull(1, 3), 3 * std::log(2.0));
    EXPECT_EQ(DrawLaplace(0), 0.0);
    EXPECT_NEAR(DrawRayleigh(1), std::sqrt(2 * std::log(2.0)), 1e-15);

    clock.next = kStateBeforeZero;  // U1 = 0, U2 = 2^-32
    EXPECT_EQ(DrawStandardNormal(), static_cast<double>(sqrtl(-2 * logl(0x1p-32L))));
    // Laplace with U1 = 0 takes the second branch: -beta ln(1 - U2)
    EXPECT_NEAR(DrawLaplace(1), -std::log1p(-0x1p-32), 1e-25);
}

// The n-th value of the Triangle row from the initial state, against values
// computed offline with an exact model of the arithmetic (Python fractions,
// every operation rounded to a 64-bit significand, c and the result to
// double). Each row is one where evaluating the step in double precision
// gives a different double.
TEST(Continuous, TriangleExactValues) {
    const struct { const char* name; double a, b, m; int nth; double expected; } cases[] = {
        // 1 - c and (1 - c)(1 - U) extended; in double it is 3.51798836562876
        {"UpperBranch", 0, 10, 2, 12, 0x1.c24d71590ac1cp+1},  // 3.51798836562877
        {"UpperBranchUnitInterval", 0, 1, 0.3, 18, 0x1.56dad9c2aa1c5p-2},
        // c U extended; in double it is 1.8034736002639713
        {"LowerBranch", 0, 10, 2, 25, 0x1.cdb0722455485p+0},
        // y extended into (b - a) y + a; y stored as a double gives 3.0315358312075409
        {"YKeptExtended", 1, 4, 1.75, 3, 0x1.84095db9d822dp+1},  // 3.0315358312075404
    };
    for (const auto& c : cases) {
        UniformSeed = 0;
        double v = 0;
        for (int i = 0; i < c.nth; ++i) v = DrawTriangle(c.a, c.b, c.m);
        EXPECT_EQ(v, c.expected) << c.name;
    }
}

TEST(Continuous, NormalFamiliesWithZeroDeviation) {
    FakeClock clock{1000, 13};
    ScopedClock scoped(clock.Source());
    EXPECT_EQ(DrawGaussNormal(2.5, 0), 2.5);
    EXPECT_EQ(DrawLogNormal(0, 0), 1.0);
    EXPECT_EQ(DrawLogNormal(-800, 0), 0.0);  // underflow is silent
    EXPECT_EQ(FaultOf([] { DrawLogNormal(710, 0); }), kOverflow);
}

TEST(Continuous, UniformZeroFaults) {
    FakeClock clock{kStateBeforeZero, 0};
    ScopedClock scoped(clock.Source());
    const struct { const char* name; std::function<void()> draw; const char* message; } cases[] = {
        {"Exponential", [] { DrawExponential(1); }, kDivisionByZero},
        {"Rayleigh", [] { DrawRayleigh(1); }, kDivisionByZero},
        {"Weibull", [] { DrawWeibull(2, 1); }, kDivisionByZero},
        {"Logistic", [] { DrawLogistic(); }, kDivisionByZero},
        {"CauchyScale", [] { DrawCauchy(0, 1); }, kDivisionByZero},
        {"CauchyNoScale", [] { DrawCauchy(0, 0); }, kInvalidOperation},
        {"Erlang", [] { DrawErlang(3, 1); }, kDivisionByZero},
        {"Geometric", [] { DrawGeometric(0.5); }, kDivisionByZero},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FaultOf(c.draw), c.message) << c.name;
        EXPECT_EQ(State(), c.name == std::string("Erlang") ? 134775814u : 0u) << c.name;
    }
    clock.next = SeedBefore(kStateBeforeZero);  // U1 then U2 = 0
    EXPECT_EQ(FaultOf([] { DrawStandardNormal(); }), kDivisionByZero);
}

TEST(Continuous, ResultsBeyondDoubleOverflow) {
    FakeClock clock{SeedBefore(1), 0};  // U = 2^-32
    ScopedClock scoped(clock.Source());
    EXPECT_EQ(FaultOf([] { DrawExponential(5e-324); }), kOverflow);
    EXPECT_EQ(FaultOf([] { DrawRayleigh(1e308); }), kOverflow);
    EXPECT_TRUE(std::isfinite(DrawUniform(-1.7976931348623157e308, 1.7976931348623157e308)));
}

// ---------------------------------------------------------------------------
// Discrete generators.

TEST(Discrete, BernoulliComparisonAdmitsEquality) {
    FakeClock clock{kStateBeforeZero, 0};  // U = 0
    ScopedClock scoped(clock.Source());
    EXPECT_EQ(DrawBernoulli(0), 1);
    EXPECT_EQ(DrawBernoulli(-0.1), 0);
    clock.next = SeedBefore(0x80000000u);  // U = 0.5
    EXPECT_EQ(DrawBernoulli(0.5), 1);
    EXPECT_EQ(DrawBernoulli(0.4999), 0);
    EXPECT_EQ(DrawBernoulli(0), 0);
    EXPECT_EQ(DrawBernoulli(1.5), 1);
}

TEST(Discrete, BernoulliGaussGate) {
    FakeClock clock{SeedBefore(0x80000000u), 0};  // U = 0.5
    ScopedClock scoped(clock.Source());
    EXPECT_EQ(DrawBernoulliGauss(0.3, 5, 1), 0.0);
    const uint32_t state = 858993459u;  // U just below 0.2
    clock.next = SeedBefore(state);
    double v = DrawBernoulliGauss(0.3, 5, 1);
    UniformSeed = state;
    EXPECT_EQ(v, static_cast<double>(PolarNormal(5, 1)));
    EXPECT_EQ(DrawBernoulliGauss(2, 7, 0), 7.0);
}

TEST(Discrete, BinomialEdges) {
    FakeClock clock{3, 1};
    ScopedClock scoped(clock.Source());
    EXPECT_EQ(DrawBinomial(7, 1), 7);
    EXPECT_EQ(DrawBinomial(7, -0.5), 0);
    EXPECT_EQ(clock.reads, 14);
    for (int i = 0; i < 200; ++i) {
        int32_t v = DrawBinomial(10, 0.3);
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 10);
    }
}

TEST(Discrete, GeometricValues) {
    FakeClock clock{SeedBefore(1288490189u), 0};  // U = 0.3
    ScopedClock scoped(clock.Source());
    EXPECT_EQ(DrawGeometric(0.5), 1);  // ln 0.3 / ln 0.5 = 1.737
    // 1 - p is exactly 1 in extended precision: ln(1 - p) = 0
    EXPECT_EQ(FaultOf([] { DrawGeometric(1e-20); }), kDivisionByZero);
    // A count beyond the signed 32-bit range is reported, not wrapped.
    EXPECT_EQ(FaultOf([] { DrawGeometric(1e-10); }), kIntegerOverflow);
}

TEST(Discrete, NegativeBinomialSumBeyond32BitsIsReported) {
    FakeClock clock{SeedBefore(0x80000000u), 0};  // every geometric draw sees U = 0.5
    ScopedClock scoped(clock.Source());
    EXPECT_EQ(DrawNegativeBinomial(5, 0.5), 5);  // each draw: ln 0.5 / ln 0.5 = 1
    EXPECT_EQ(FaultOf([] { DrawNegativeBinomial(10, 2e-9); }), kIntegerOverflow);
}

TEST(Discrete, PoissonEdges) {
    UniformSeed = 0;
    EXPECT_EQ(DrawPoisson(0), 0);
    EXPECT_EQ(DrawPoisson(-5), 0);
    EXPECT_EQ(DrawPoisson(-709), 0);
    EXPECT_EQ(State(), 3698175007u);  // one uniform each: three steps from 0
    EXPECT_EQ(FaultOf([] { DrawPoisson(-710); }), kOverflow);
    // Beyond about 745.13 e^-lambda is 0 as a double; the draw must still end.
    for (double lambda : {745.2, 1000.0, 1e6, 2e9}) {
        int32_t v = DrawPoisson(lambda);
        EXPECT_NEAR(v, lambda, 10 * std::sqrt(lambda)) << lambda;
    }
    EXPECT_EQ(FaultOf([] { DrawPoisson(1e10); }), kIntegerOverflow);
}

// The loop goes on while the product equals e^-lambda: for lambda = ln 2
// (as a double, e^-lambda is 0.5 exactly once stored) a first uniform of
// exactly 0.5 is not yet below it, and a second one is needed.
TEST(Discrete, PoissonProductEqualToTheBoundGoesOn) {
    const uint32_t start = SeedBefore(0x80000000u);  // U = 0.5
    UniformSeed = start;
    EXPECT_EQ(DrawPoisson(std::log(2.0)), 1);
    EXPECT_EQ(StepsBetween(start, State()), 2);
}

// ---------------------------------------------------------------------------
// Derived generators.

TEST(Derived, ErlangEdges) {
    FakeClock clock{SeedBefore(0x80000000u), 0};  // U = 0.5
    ScopedClock scoped(clock.Source());
    EXPECT_EQ(DrawErlang(0, 5), 0.0);
    EXPECT_EQ(DrawErlang(-3, 5), 0.0);
    EXPECT_EQ(DrawErlang(1, 2), 2 * std::log(2.0));
    EXPECT_EQ(DrawErlang(1, -2), -2 * std::log(2.0));
}

TEST(Derived, ErlangUnderflowSkipsAheadExactly) {
    FakeClock clock{12345, 0};
    ScopedClock scoped(clock.Source());
    // The product underflows long before 100000 factors; the state must
    // still end where 100000 draws leave it.
    EXPECT_EQ(FaultOf([] { DrawErlang(100000, 1); }), kDivisionByZero);
    UniformSeed = 12345;
    AdvanceUniform(100000);
    uint32_t expected = UniformSeed;
    EXPECT_EQ(FaultOf([] { DrawErlang(100000, 1); }), kDivisionByZero);
    EXPECT_EQ(State(), expected);
    EXPECT_EQ(FaultOf([] { DrawErlang(2147483647, 1); }), kDivisionByZero);
}

TEST(Derived, BetaAndF) {
    FakeClock clock{5555, 77777};
    ScopedClock scoped(clock.Source());
    EXPECT_EQ(DrawBeta(0, 2), 0.0);
    EXPECT_EQ(DrawBeta(2, 0), 1.0);
    EXPECT_EQ(FaultOf([] { DrawBeta(0, 0); }), kInvalidOperation);
    for (auto [d1, d2] : {std::pair{0.0, 3.0}, {3.0, 0.0}, {0.0, 0.0}})
        EXPECT_EQ(FaultOf([&] { DrawF(d1, d2); }), kInvalidOperation) << d1 << " " << d2;
    // For a = b the value does not depend on a.
    clock.next = 5555;
    double one = DrawBeta(1, 1);
    clock.next = 5555;
    EXPECT_NEAR(DrawBeta(1000, 1000), one, 1e-15);
    // The degrees of freedom cancel out of the F value.
    clock.next = 5555;
    double f37 = DrawF(3, 7);
    clock.next = 5555;
    EXPECT_NEAR(DrawF(1, 100) / f37, 1.0, 1e-14);
}

TEST(Derived, ChiSquareFamilyEdges) {
    FakeClock clock{31337, 1000003};
    ScopedClock scoped(clock.Source());
    EXPECT_EQ(DrawChiSquare(0), 0.0);
    EXPECT_EQ(DrawChiSquare(-1), 0.0);
    EXPECT_EQ(DrawStudentT(0), 0.0);
    EXPECT_EQ(DrawStudentT(-5), 0.0);
    EXPECT_EQ(DrawNoncentralChiSquare(3, -1), 0.0);
    EXPECT_EQ(DrawNoncentralChiSquare(0, 2), 0.0);
    EXPECT_EQ(clock.reads, 0);
    clock.next = 31337;
    double central = DrawNoncentralChiSquare(3, 0);
    clock.next = 31337;
    EXPECT_EQ(central, DrawChiSquare(3));
    clock.next = 31337;
    double z = DrawStandardNormal();
    clock.next = 31337;
    EXPECT_EQ(DrawChiSquare(1), z * z);
}

TEST(Derived, NoncentralFaults) {
    FakeClock clock{2024, 999331};
    ScopedClock scoped(clock.Source());
    const struct { std::function<double()> draw; const char* message; } cases[] = {
        {[] { return DrawNoncentralT(0, 1); }, kInvalidOperation},
        {[] { return DrawNoncentralT(-1, 1); }, kDivisionByZero},
        {[] { return DrawNoncentralF(3, 4, -1); }, kInvalidOperation},
        {[] { return DrawNoncentralF(0, 4, 1); }, kInvalidOperation},
        {[] { return DrawNoncentralF(3, 0, 1); }, kInvalidOperation},
        {[] { return DrawNoncentralF(3, -4, 1); }, kDivisionByZero},
        {[] { return DrawNoncentralF(-3, -4, 1); }, kInvalidOperation},
    };
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(FaultOf(cases[i].draw), cases[i].message) << i;
    EXPECT_EQ(DrawNoncentralF(-3, 4, 1), 0.0);
}

}  // namespace
}  // namespace pelmora
