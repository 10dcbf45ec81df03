#pragma once
// Helpers of the engine tests: a clock whose readings the test decides, a
// way back through the recurrence, and the message of a fault.

#include <cstdint>
#include <string>

#include "engine/error.h"

#include "engine/uniform.h"

namespace pelmora::testing {

// Readings start, start + step, start + 2 step, ...; counts how often it was read.
struct FakeClock {
    uint64_t next = 0;
    uint64_t step = 0;
    int reads = 0;

    static uint64_t Read(void* self) {
        auto* c = static_cast<FakeClock*>(self);
        ++c->reads;
        uint64_t r = c->next;
        c->next += c->step;
        return r;
    }
    ClockSource Source() { return {&FakeClock::Read, this}; }
};

// The calling thread's state, as a value. Tests compare this rather than
// UniformSeed itself: GCC's UndefinedBehaviorSanitizer checks a reference
// bound to a thread_local for null with the flags of an add that the linker
// rewrites into a lea, and then reports a null reference now and then
// (gtest's EXPECT_EQ binds references).
inline uint32_t State() { return UniformSeed; }

// The state whose successor is `target`: s * 134775813 + 1 = target (mod 2^32).
inline uint32_t SeedBefore(uint32_t target) {
    uint32_t inv = kMultiplier;  // Newton's iteration for the inverse modulo 2^32
    for (int i = 0; i < 5; ++i) inv *= 2u - kMultiplier * inv;
    return (target - 1u) * inv;
}

// The number of steps from `from` to `to`, or -1 beyond `limit`.
inline int StepsBetween(uint32_t from, uint32_t to, int limit = 100000) {
    for (int n = 0; n <= limit; ++n) {
        if (from == to) return n;
        from = from * kMultiplier + 1u;
    }
    return -1;
}

// The message of the Error that `f` throws, or "" when it throws none.
template <class F>
std::string FaultOf(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

}  // namespace pelmora::testing
