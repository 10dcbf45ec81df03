// Why the real clock mixes its reading. Drawn in quick succession, the
// reseeding rows read a counter that advances by a nearly constant step, and
// the low 32 bits of such readings, taken as they are, put successive states
// on a lattice: the values follow one another in a drift instead of being
// independent. Passed through the real clock's mixer, the same readings give
// unrelated states.
//
// The counters here are fakes that step like the real one in a tight loop
// (a step of about 30 with a jitter of a few units from a fixed-seed
// generator, and a step of 1), so every check is deterministic.
//
// Tolerances and their false-failure odds for independent values:
// Kolmogorov-Smirnov and chi-square tests at p = 1e-6 (odds 1e-6 each); the
// mean and the lag-1 correlation within 6 standard errors (about 2e-9 each).
// The unmixed counters must fail far beyond that: a lag-1 correlation above
// 0.3, which is about 95 standard errors at 100,000 values, and a pair test
// at p below 1e-100.

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/math/distributions/normal.hpp>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/rows.h"
#include "engine/engine.h"
#include "fake_clock.h"
#include "goodness_of_fit.h"

namespace pelmora {
namespace {

using testing::State;

constexpr int kValues = 100000;

using testing::ChiSquarePValue;
using testing::ChiSquareStatistic;
using testing::Lag1Correlation;
using testing::SplitMix64;

double KolmogorovSmirnovPValue(const std::vector<double>& x, const std::function<double(double)>& cdf) {
    return testing::KolmogorovSmirnov(x, cdf).p;
}

double NormalCdf(double x) { return boost::math::cdf(boost::math::normal(), x); }

// ---------------------------------------------------------------------------
// The rows under test, with their exact laws.

struct RowLaw {
    const char* name;
    Row row;
    double p1, p2;
    double mean, variance;
    // Continuous rows: the distribution function. The Bernoulli row: none.
    std::function<double(double)> cdf;
};

const RowLaw kRowLaws[] = {
    {"Exponential", Row::Exponential, 1, 0, 1, 1, [](double x) { return x <= 0 ? 0 : -std::expm1(-x); }},
    {"StandardNormal", Row::StandardNormal, 0, 0, 0, 1, NormalCdf},
    {"ContinuousUniform", Row::ContinuousUniform, 0, 1, 0.5, 1.0 / 12, [](double x) { return std::clamp(x, 0.0, 1.0); }},
    {"Bernoulli", Row::Bernoulli, 0.3, 0, 0.3, 0.21, nullptr},
};

// A high-resolution counter read in a tight loop: each reading is the last
// plus `step`, plus a jitter drawn evenly from -jitter ... +jitter.
struct CounterKind {
    const char* name;
    uint64_t step;
    int jitter;
};

const CounterKind kCounters[] = {{"Step30Jitter3", 30, 3}, {"Step1", 1, 0}};

struct SteppingCounter {
    uint64_t value = 0x00001D2C8F3A5B10ull;  // where a time-stamp counter might stand
    uint64_t step = 1;
    int jitter = 0;
    uint64_t jitterState = 20240611u;  // fixed seed of the jitter
    bool mixed = true;

    static uint64_t Read(void* self) {
        auto* c = static_cast<SteppingCounter*>(self);
        const int64_t j =
            c->jitter ? static_cast<int64_t>(SplitMix64(c->jitterState) % (2 * c->jitter + 1)) - c->jitter : 0;
        c->value += c->step + j;
        // Mixed: exactly what the real clock returns for a successful read.
        return c->mixed ? RealClockReading(true, c->value, 0) : c->value;
    }
    ClockSource Source() { return {&SteppingCounter::Read, this}; }
};

void PrintTo(const RowLaw& law, std::ostream* os) { *os << law.name; }
void PrintTo(const CounterKind& kind, std::ostream* os) { *os << kind.name; }

struct Measurement {
    double mean;
    double fitP;    // Kolmogorov-Smirnov (continuous) or chi-square on {0, 1} (Bernoulli)
    double pairsP;  // chi-square of disjoint successive pairs on a grid
    double lag1;
};

Measurement Measure(const RowLaw& law, const CounterKind& kind, bool mixed) {
    SteppingCounter counter;
    counter.step = kind.step;
    counter.jitter = kind.jitter;
    counter.mixed = mixed;
    ScopedClock scoped(counter.Source());

    std::vector<double> x(kValues);
    for (double& v : x) v = DrawRow(law.row, law.p1, law.p2, 0);

    Measurement m{};
    for (double v : x) m.mean += v;
    m.mean /= kValues;
    m.lag1 = Lag1Correlation(x);

    if (law.cdf) {
        m.fitP = KolmogorovSmirnovPValue(x, law.cdf);
        // Pairs: each value mapped to (0, 1) by its distribution function,
        // then the disjoint pairs counted on a 10 x 10 grid.
        std::vector<double> observed(100, 0.0);
        for (int i = 0; i + 1 < kValues; i += 2) {
            const int a = std::min(9, static_cast<int>(law.cdf(x[i]) * 10));
            const int b = std::min(9, static_cast<int>(law.cdf(x[i + 1]) * 10));
            observed[a * 10 + b] += 1;
        }
        m.pairsP = ChiSquarePValue(ChiSquareStatistic(observed, std::vector<double>(100, kValues / 200.0)), 99);
    } else {
        const double p = law.mean;
        double ones = 0;
        std::vector<double> observed(4, 0.0);
        for (int i = 0; i < kValues; ++i) {
            ones += x[i];
            if (i % 2 == 1) observed[static_cast<int>(x[i - 1]) * 2 + static_cast<int>(x[i])] += 1;
        }
        m.fitP = ChiSquarePValue(ChiSquareStatistic({kValues - ones, ones}, {kValues * (1 - p), kValues * p}), 1);
        const double pairs = kValues / 2.0;
        m.pairsP = ChiSquarePValue(ChiSquareStatistic(observed, {pairs * (1 - p) * (1 - p), pairs * (1 - p) * p,
                                                                 pairs * p * (1 - p), pairs * p * p}),
                                   3);
    }
    return m;
}

using MixingCase = std::tuple<RowLaw, CounterKind>;

std::string CaseName(const ::testing::TestParamInfo<MixingCase>& info) {
    return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
}

class ClockMixing : public ::testing::TestWithParam<MixingCase> {};

TEST_P(ClockMixing, MixedCounterGivesIndependentValues) {
    const auto& [law, kind] = GetParam();
    const Measurement m = Measure(law, kind, true);
    EXPECT_NEAR(m.mean, law.mean, 6 * std::sqrt(law.variance / kValues));
    EXPECT_GT(m.fitP, 1e-6) << "the values do not follow the row's law";
    EXPECT_GT(m.pairsP, 1e-6) << "successive values are not independent";
    EXPECT_NEAR(m.lag1, 0.0, 6 / std::sqrt(static_cast<double>(kValues)));
}

TEST_P(ClockMixing, UnmixedCounterGivesCorrelatedValues) {
    const auto& [law, kind] = GetParam();
    const Measurement m = Measure(law, kind, false);
    EXPECT_GT(m.lag1, 0.3) << "the raw counter was expected to give strongly correlated values";
    EXPECT_LT(m.pairsP, 1e-100) << "the raw counter was expected to fail the pair test clearly";
}

INSTANTIATE_TEST_SUITE_P(Rows, ClockMixing,
                         ::testing::Combine(::testing::ValuesIn(kRowLaws), ::testing::ValuesIn(kCounters)), CaseName);

// ---------------------------------------------------------------------------
// The mixer and the millisecond fallback.

TEST(ClockReading, MixerIsTheSplitMix64Finalizer) {
    // splitmix64 from state 0: its first three outputs are the finalizer of
    // 1, 2 and 3 times the golden-ratio increment.
    const uint64_t golden = 0x9E3779B97F4A7C15ull;
    EXPECT_EQ(MixReading(golden), 0xE220A8397B1DCDAFull);
    EXPECT_EQ(MixReading(2 * golden), 0x6E789E6AA1B965F4ull);
    EXPECT_EQ(MixReading(3 * golden), 0x06C45D188009454Full);
    EXPECT_EQ(MixReading(0), 0u);
}

TEST(ClockReading, CounterReadingIsTheMixedCounter) {
    for (uint64_t c : {0ull, 1ull, 31ull, 0x00001D2C8F3A5B10ull, ~0ull}) {
        EXPECT_EQ(RealClockReading(true, c, 0), MixReading(c));
        EXPECT_EQ(RealClockReading(true, c, 777), MixReading(c)) << "the millisecond count is only a fallback";
    }
}

TEST(ClockReading, FallbackIsTheMixedMillisecondCount) {
    for (uint32_t ms : {0u, 1u, 86400000u, 4294967295u}) {
        EXPECT_EQ(RealClockReading(false, 0, ms), MixReading(ms));
        EXPECT_EQ(RealClockReading(false, 123456789, ms), RealClockReading(false, 0, ms))
            << "a failed counter read must not leak into the state";
    }
    EXPECT_NE(static_cast<uint32_t>(RealClockReading(false, 0, 5000)),
              static_cast<uint32_t>(RealClockReading(false, 0, 5001)));
}

// A clock whose counter cannot be read: every reseed within one millisecond
// takes the same state.
struct FallbackClock {
    uint64_t counter = 1000;
    uint32_t milliseconds = 3600000;
    static uint64_t Read(void* self) {
        auto* c = static_cast<FallbackClock*>(self);
        return RealClockReading(false, c->counter++, c->milliseconds);
    }
    ClockSource Source() { return {&FallbackClock::Read, this}; }
};

TEST(MillisecondFallback, TwoReseedsInOneMillisecondGiveTheSameState) {
    FallbackClock clock;
    ScopedClock scoped(clock.Source());
    ReseedFromClock();
    const uint32_t first = UniformSeed;
    NextUniform();
    ReseedFromClock();
    EXPECT_EQ(State(), first);
    clock.milliseconds += 1;
    ReseedFromClock();
    EXPECT_NE(State(), first);
}

TEST(MillisecondFallback, UniformRowsRepeatTheirValueWithinAMillisecond) {
    FallbackClock clock;
    ScopedClock scoped(clock.Source());
    for (Row row : {Row::ContinuousUniform, Row::DiscreteUniform}) {
        const bool continuous = row == Row::ContinuousUniform;
        const double p1 = continuous ? -5 : 1000000, p2 = continuous ? 5 : 0;
        const double first = DrawRow(row, p1, p2, 0);
        for (int i = 0; i < 100; ++i) ASSERT_EQ(DrawRow(row, p1, p2, 0), first) << RowName(row) << ", value " << i;
        clock.milliseconds += 1;
        EXPECT_NE(DrawRow(row, p1, p2, 0), first) << RowName(row) << " in the next millisecond";
        clock.milliseconds -= 1;
    }
}

// From one millisecond to the next the mixed count gives unrelated states.
TEST(MillisecondFallback, SuccessiveMillisecondsGiveIndependentValues) {
    FallbackClock clock;
    ScopedClock scoped(clock.Source());
    const int n = 20000;
    std::vector<double> x(n);
    for (double& v : x) {
        v = DrawRow(Row::ContinuousUniform, 0, 1, 0);
        clock.milliseconds += 1;
    }
    EXPECT_GT(KolmogorovSmirnovPValue(x, [](double u) { return std::clamp(u, 0.0, 1.0); }), 1e-6);
    EXPECT_NEAR(Lag1Correlation(x), 0.0, 6 / std::sqrt(static_cast<double>(n)));
}

}  // namespace
}  // namespace pelmora
