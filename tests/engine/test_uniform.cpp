#include <gtest/gtest.h>

#include <array>
#include <set>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "fake_clock.h"
#include "tests/deadline.h"

namespace pelmora {
namespace {

using testing::State;

using testing::FakeClock;
using testing::SeedBefore;

TEST(Uniform, FirstValuesFromStateZero) {
    UniformSeed = 0;
    const struct { double value; uint32_t state; } expected[] = {
        {2.3283064365386963e-10, 1u},
        {0.031379939522594213, 134775814u},
        {0.8610484672244638, 3698175007u},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(NextUniform(), e.value);
        EXPECT_EQ(State(), e.state);
    }
}

TEST(Uniform, NextBelowTenFromStateZero) {
    UniformSeed = 0;
    const uint32_t expected[] = {0, 0, 8, 2, 2};
    for (uint32_t e : expected) EXPECT_EQ(NextBelow(10), e);
}

TEST(Uniform, StateBeforeZeroGivesExactlyZero) {
    UniformSeed = 649090867u;
    EXPECT_EQ(NextUniform(), 0.0);
    UniformSeed = 649090867u;
    EXPECT_EQ(NextBelow(12345), 0u);
    EXPECT_EQ(SeedBefore(0), 649090867u);
}

TEST(Uniform, LargestValueAndTheTwoHalves) {
    UniformSeed = SeedBefore(0xFFFFFFFFu);
    EXPECT_EQ(NextUniform(), 0.9999999997671694);
    UniformSeed = SeedBefore(0x80000000u);
    EXPECT_EQ(NextUniform(), 0.5);
    EXPECT_NE(NextUniform(), 0.5);  // the successor of 2^31 is 2^31 + 1
}

TEST(Uniform, NextBelowEdgeCounts) {
    UniformSeed = 123;
    EXPECT_EQ(NextBelow(0), 0u);
    // A negative count acts as 2^32 + n: from a state s it returns s * (2^32 - 1) >> 32.
    UniformSeed = SeedBefore(0xFFFFFFFFu);
    EXPECT_EQ(NextBelow(static_cast<uint32_t>(-1)), 0xFFFFFFFEu);
}

TEST(Uniform, AdvanceMatchesSingleSteps) {
    for (uint64_t steps : {0ull, 1ull, 2ull, 7ull, 1000ull, 65537ull}) {
        UniformSeed = 987654321u;
        for (uint64_t i = 0; i < steps; ++i) NextUniform();
        uint32_t stepped = UniformSeed;
        UniformSeed = 987654321u;
        AdvanceUniform(steps);
        EXPECT_EQ(State(), stepped) << steps;
    }
    // The full period brings every state back.
    UniformSeed = 42;
    AdvanceUniform(1ull << 32);
    EXPECT_EQ(State(), 42u);
}

TEST(Uniform, ReseedTakesTheLowHalfOfTheReading) {
    FakeClock clock{0x123456789ABCDEF0ull, 0};
    ScopedClock scoped(clock.Source());
    UniformSeed = 7;
    ReseedFromClock();
    EXPECT_EQ(State(), 0x9ABCDEF0u);
    EXPECT_EQ(clock.reads, 1);
}

TEST(Uniform, RealClockMixesTheCounter) {
    // splitmix64's finalizer of 0 is 0; of 1 it is a well-known constant.
    EXPECT_EQ(MixReading(0), 0u);
    EXPECT_EQ(MixReading(1), 0x5692161D100B05E5ull);
    EXPECT_EQ(RealClockReading(true, 1, 999), MixReading(1));
    // Without the counter the millisecond count is mixed the same way, so two
    // reseeds within one millisecond give the same state.
    EXPECT_EQ(RealClockReading(false, 1, 5000), MixReading(5000));
    EXPECT_EQ(RealClockReading(false, 1, 5000), RealClockReading(false, 77, 5000));
}

TEST(Uniform, RealClockGivesDifferentStatesInQuickSuccession) {
    SetClock(RealClock());
    std::set<uint32_t> states;
    for (int i = 0; i < 1000; ++i) {
        ReseedFromClock();
        states.insert(State());
    }
    EXPECT_GT(states.size(), 990u);
}

// ---------------------------------------------------------------------------
// Threads: each has its own state and clock, and its index goes into the real
// clock's reading.

TEST(Threads, IndexGoesBitReversedIntoTheTopOfTheCount) {
    const struct { uint32_t index; uint64_t bits; } cases[] = {
        {0, 0},  // the reading of a program with one thread
        {1, 1ull << 63},
        {2, 1ull << 62},
        {3, 3ull << 62},
        {0x80000000u, 1ull << 32},
    };
    pelmora::testing::Deadline deadline("a thread setting its index");
    std::thread([&] {
        for (const auto& c : cases) {
            SetThreadIndex(c.index);
            EXPECT_EQ(ThreadIndex(), c.index);
            for (uint64_t count : {0ull, 12345ull, 0x00001D2C8F3A5B10ull}) {
                EXPECT_EQ(RealClockReading(true, count, 0), MixReading(count ^ c.bits)) << c.index;
                EXPECT_EQ(RealClockReading(false, 0, 5000), MixReading(5000 ^ c.bits)) << c.index;
            }
        }
    }).join();
    EXPECT_EQ(ThreadIndex(), 0u) << "another thread's index leaked into this one";
}

// Eight threads read the same counter values at once, each through its own
// clock; no two readings may be equal, and for one counter value no two
// threads may start from the same state.
TEST(Threads, SameCounterNeverGivesTwoThreadsTheSameReading) {
    constexpr int kThreads = 8, kReads = 20000;
    struct SharedCounterClock {
        uint64_t counter = 0x00001D2C8F3A5B10ull;
        std::vector<uint64_t> readings;
        static uint64_t Read(void* self) {
            auto* c = static_cast<SharedCounterClock*>(self);
            c->readings.push_back(RealClockReading(true, c->counter++, 0));
            return c->readings.back();
        }
    };
    std::vector<SharedCounterClock> clocks(kThreads);
    std::vector<std::vector<uint32_t>> states(kThreads);
    UniformSeed = 77;
    pelmora::testing::Deadline deadline("eight threads reseeding from their clocks");
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &clocks, &states] {
            SetThreadIndex(t);
            ScopedClock scoped({&SharedCounterClock::Read, &clocks[t]});
            for (int i = 0; i < kReads; ++i) {
                ReseedFromClock();
                states[t].push_back(State());
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(State(), 77u) << "the threads wrote this thread's state";

    std::set<uint64_t> all;
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(clocks[t].readings.size(), static_cast<size_t>(kReads)) << "thread " << t << " read another clock";
        all.insert(clocks[t].readings.begin(), clocks[t].readings.end());
        for (int i = 0; i < kReads; ++i) ASSERT_EQ(states[t][i], static_cast<uint32_t>(clocks[t].readings[i]));
    }
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads) * kReads);
    EXPECT_EQ(clocks[0].readings[0], MixReading(0x00001D2C8F3A5B10ull)) << "thread 0 reads as a single thread does";
    for (int i = 0; i < kReads; ++i) {
        std::set<uint32_t> startStates;
        for (int t = 0; t < kThreads; ++t) startStates.insert(states[t][i]);
        ASSERT_EQ(startStates.size(), static_cast<size_t>(kThreads)) << "counter value " << i;
    }
}

// ---------------------------------------------------------------------------
// The counter-based source: value i's uniform j is half j mod 2 of
// Philox4x32-10 of the counter (j / 2, i) under the key S.

// Random123's own known answers (the philox4x32 10 lines of its kat_vectors).
TEST(Philox, BlockGivesRandom123sKnownAnswers) {
    using Words4 = std::array<uint32_t, 4>;
    const struct {
        Words4 counter;
        std::array<uint32_t, 2> key;
        Words4 block;
    } kat[] = {
        {{0, 0, 0, 0}, {0, 0}, {0x6627e8d5, 0xe169c58d, 0xbc57ac4c, 0x9b00dbd8}},
        {{0xffffffff, 0xffffffff, 0xffffffff, 0xffffffff},
         {0xffffffff, 0xffffffff},
         {0x408f276d, 0x41c83b0e, 0xa20bc7c6, 0x6d5451fd}},
        {{0x243f6a88, 0x85a308d3, 0x13198a2e, 0x03707344},
         {0xa4093822, 0x299f31d0},
         {0xd16cfe09, 0x94fdcceb, 0x5001e420, 0x24126ea1}},
    };
    for (const auto& k : kat) EXPECT_EQ(PhiloxBlock(k.counter, k.key), k.block);
}

// Key 0, value 0: the first block is the first known answer, and its halves
// (second word high) are the first two uniforms, with all 64 bits.
TEST(Philox, FirstUniformsAreTheHalvesOfTheFirstKnownAnswer) {
    ScopedPhilox philox(0);
    const Extended u = NextUniform();
    EXPECT_EQ(u, Extended(0xe169c58d6627e8d5ull) * 0x1p-64);
    EXPECT_NE(u, static_cast<Extended>(static_cast<double>(u))) << "rounded to a double";
    EXPECT_EQ(NextUniform(), Extended(0x9b00dbd8bc57ac4cull) * 0x1p-64);
    // NextBelow takes floor(n r / 2^64) of the next word, one word each.
    BeginValue(0);
    EXPECT_EQ(NextBelow(10), 8u);
    EXPECT_EQ(NextBelow(0xFFFFFFFFu), 0x9b00dbd8u);
    EXPECT_EQ(NextBelow(0), 0u);
}

// Value i and uniform j reach the counter (j / 2, i) and the key S whole; a
// block computed for one value never serves another.
TEST(Philox, ValueAndUniformMakeTheCounter) {
    const uint64_t key = 0x299f31d0a4093822ull;
    const uint64_t value = 0x100000005ull;
    ScopedPhilox philox(key);
    BeginValue(value - 1);
    NextUniform();
    BeginValue(value);
    const auto first = PhiloxBlock({0, 0, 5, 1}, {0xa4093822, 0x299f31d0});
    EXPECT_EQ(NextUniform(), Extended(uint64_t{first[1]} << 32 | first[0]) * 0x1p-64);
    AdvanceUniform(2);  // uniforms 1 and 2 are skipped
    const auto second = PhiloxBlock({1, 0, 5, 1}, {0xa4093822, 0x299f31d0});
    EXPECT_EQ(NextUniform(), Extended(uint64_t{second[3]} << 32 | second[2]) * 0x1p-64);
}

// A reseed neither reads the clock nor moves the source.
TEST(Philox, ReseedDrawsNothing) {
    FakeClock clock{12345, 1};
    ScopedClock scoped(clock.Source());
    ScopedPhilox philox(0);
    NextUniform();
    ReseedFromClock();
    EXPECT_EQ(NextUniform(), Extended(0x9b00dbd8bc57ac4cull) * 0x1p-64);
    EXPECT_EQ(clock.reads, 0);
}

// The window's source keeps its state under the counter-based one, and
// ignores BeginValue.
TEST(Philox, LeavesTheWindowsSourceAsItWas) {
    UniformSeed = 0;
    {
        ScopedPhilox philox(99);
        for (int i = 0; i < 5; ++i) NextUniform();
    }
    EXPECT_TRUE(ActiveSource == UniformSource::Lcg);  // compared as a value: see State()
    BeginValue(7);
    EXPECT_EQ(NextUniform(), 2.3283064365386963e-10);
    EXPECT_EQ(State(), 1u);
}

TEST(ContinuousUniform, Examples) {
    FakeClock clock{SeedBefore(0x80000000u), 0};
    ScopedClock scoped(clock.Source());
    EXPECT_EQ(DrawUniform(5, 5), 5.0);
    EXPECT_EQ(DrawUniform(10, 0), 5.0);    // reversed ends: a + U (b - a)
    EXPECT_EQ(DrawUniform(-1e308, 1e308), 0.0);  // b - a is formed in extended precision
    clock.next = SeedBefore(0);
    EXPECT_EQ(DrawUniform(10, 0), 10.0);   // U = 0 gives a: values lie in (0, 10]
    clock.next = SeedBefore(0xFFFFFFFFu);
    EXPECT_EQ(DrawUniform(1e16, 1e16 + 2), 1e16 + 2);  // can equal b
    EXPECT_EQ(clock.reads, 5);
}

TEST(DiscreteUniform, CountsAndWrapping) {
    FakeClock clock{0, 0x9E3779B97F4A7C15ull};
    ScopedClock scoped(clock.Source());
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(DrawDiscreteUniform(1), 1);
        EXPECT_EQ(DrawDiscreteUniform(0), 1);
        int32_t v = DrawDiscreteUniform(6);
        EXPECT_GE(v, 1);
        EXPECT_LE(v, 6);
        EXPECT_NE(DrawDiscreteUniform(-1), 0);
        EXPECT_GT(DrawDiscreteUniform(2147483647), 0);
    }
    clock.next = SeedBefore(0xFFFFFFFFu);
    EXPECT_EQ(DrawDiscreteUniform(2147483647), 2147483647);
    clock.next = SeedBefore(0);
    EXPECT_EQ(DrawDiscreteUniform(2147483647), 1);
    // A negative count wraps: n = -2 acts as 2^32 - 2 and can give -2147483648.
    clock.next = SeedBefore(0x80000000u);
    EXPECT_EQ(DrawDiscreteUniform(-2), INT32_MIN);
}

}  // namespace
}  // namespace pelmora
