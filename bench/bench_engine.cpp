// The cost of one value of each of the 27 rows through the dispatch table,
// with typical parameters. Each row runs three times, side by side: on the
// window's source once with a fake clock that costs next to nothing (what the
// generator itself costs) and once with the real clock (what a user gets),
// and on the counter-based source (pelmora-gen --source philox), which reads
// no clock and starts each value at its own counter. Then draw-plus-format,
// what pelmora-gen does per value short of its block writes, for the two rows
// whose command-line throughput has a target.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "core/numtext.h"
#include "core/rows.h"
#include "engine/error.h"
#include "engine/uniform.h"
#include "tests/engine/goodness_of_fit.h"

namespace {

using namespace pelmora;

struct Typical {
    double p1, p2, p3;
};

// Typical parameters per row, in row order.
const Typical kTypical[kRowCount] = {
    {2, 3, 0},      // Beta
    {0.3, 0, 0},    // Bernoulli
    {0.5, 0, 1},    // Bernoulli-Gauss
    {10, 0.3, 0},   // Binomial: ten Bernoulli draws
    {0, 1, 0},      // Cauchy
    {5, 0, 0},      // Chi-square: five normals
    {0, 1, 0},      // Continuous Uniform
    {10, 0, 0},     // Discrete Uniform
    {3, 1, 0},      // Erlang
    {1, 0, 0},      // Exponential
    {3, 7, 0},      // F
    {2, 3, 0},      // Gamma
    {0, 1, 0},      // Gauss Normal
    {0.3, 0, 0},    // Geometric
    {1, 0, 0},      // Laplace
    {0, 1, 0},      // Log Normal
    {0, 0, 0},      // Logistic
    {4, 0, 0},      // Poisson
    {1, 0, 0},      // Rayleigh
    {0, 0, 0},      // Standard Normal
    {5, 0, 0},      // Student's T
    {0, 1, 0.3},    // Triangle
    {3, 0.4, 0},    // Negative Binomial
    {5, 2, 0},      // Noncentral Chi-square
    {4, 10, 2},     // Noncentral F
    {5, 1, 0},      // Noncentral T
    {2, 1, 0},      // Weibull
};

std::string Name(int row) {
    std::string name;
    for (char c : RowName(RowAt(row))) {
        if (c == ' ' || c == '\'' || c == '-') continue;
        name += c;
    }
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "%02d_", row);
    return prefix + name;
}

// One value per iteration, `before(i)` ahead of value i. A uniform of
// exactly 0 (once in 2^32 draws of the window's source) makes some rows
// fail; over the billions of draws of a full run that can happen, and the
// failure is simply counted.
template <class Before>
void DrawValues(benchmark::State& state, int row, Before before) {
    const Typical& t = kTypical[row];
    int64_t failures = 0;
    uint64_t value = 0;
    for (auto _ : state) {
        before(value++);
        try {
            benchmark::DoNotOptimize(DrawRow(RowAt(row), t.p1, t.p2, t.p3));
        } catch (const Error&) {
            ++failures;
        }
    }
    state.SetItemsProcessed(state.iterations());
    if (failures) state.counters["failures"] = static_cast<double>(failures);
}

void Draw(benchmark::State& state, int row, bool fakeClock) {
    // A clock whose readings cost a few instructions: splitmix64 over a counter.
    testing::MixedCounterClock fake{12345};
    ScopedClock clock(fakeClock ? fake.Source() : RealClock());
    UniformSeed = 0;
    DrawValues(state, row, [](uint64_t) {});
}

// The counter-based source: value i at counter i, as pelmora-gen draws it.
void DrawPhilox(benchmark::State& state, int row) {
    ScopedPhilox philox(12345);
    DrawValues(state, row, [](uint64_t value) { BeginValue(value); });
}

// What pelmora-gen does per value, short of the write() calls.
void DrawAndFormat(benchmark::State& state, int row, bool fakeClock) {
    // A clock whose readings cost a few instructions: splitmix64 over a counter.
    testing::MixedCounterClock fake{12345};
    ScopedClock clock(fakeClock ? fake.Source() : RealClock());
    UniformSeed = 0;
    const Typical& t = kTypical[row];
    char buffer[kFormatMax + 8];
    for (auto _ : state) {
        try {
            benchmark::DoNotOptimize(FormatGeneral(DrawRow(RowAt(row), t.p1, t.p2, t.p3), buffer, std::string_view(".")));
            benchmark::ClobberMemory();
        } catch (const Error&) {
        }
    }
    state.SetItemsProcessed(state.iterations());
}

// 85 benchmarks, each repeated by `make bench`: a short minimum time keeps
// the whole run to about a minute and a half.
constexpr double kMinTime = 0.2;

int RegisterAll() {
    for (int row = 0; row < kRowCount; ++row) {
        benchmark::RegisterBenchmark(("Draw/" + Name(row) + "/fake_clock").c_str(), Draw, row, true)->MinTime(kMinTime);
        benchmark::RegisterBenchmark(("Draw/" + Name(row) + "/real_clock").c_str(), Draw, row, false)->MinTime(kMinTime);
        benchmark::RegisterBenchmark(("Draw/" + Name(row) + "/philox").c_str(), DrawPhilox, row)->MinTime(kMinTime);
    }
    for (int row : {Index(Row::Gamma), Index(Row::StandardNormal)}) {
        benchmark::RegisterBenchmark(("DrawAndFormat/" + Name(row) + "/fake_clock").c_str(), DrawAndFormat, row, true)
            ->MinTime(kMinTime);
        benchmark::RegisterBenchmark(("DrawAndFormat/" + Name(row) + "/real_clock").c_str(), DrawAndFormat, row, false)
            ->MinTime(kMinTime);
    }
    return 0;
}

[[maybe_unused]] const int kRegistered = RegisterAll();

}  // namespace

BENCHMARK_MAIN();
