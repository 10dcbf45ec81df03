#pragma once
// The uniform source: a 32-bit linear congruential generator (multiplier
// 134775813, increment 1, modulus 2^32) whose state most generators
// overwrite from the clock before each value. The state and the clock are
// per thread, so threads can draw at once without sharing anything; a
// program with one thread sees one state and one clock.

#include <cstdint>

#include "engine/in_double.h"

namespace pelmora {

// The one state of the engine, per thread. 0 when a thread starts; written
// only by ReseedFromClock, NextUniform and NextBelow (and AdvanceUniform,
// which is a shortcut for many NextUniform calls whose values are not
// needed). constinit: the compiler then knows it needs no initialisation
// call and reads it as directly as a plain global.
extern thread_local constinit uint32_t UniformSeed;

inline constexpr uint32_t kMultiplier = 134775813u;  // 0x08088405
inline constexpr double kUniformScale = 0x1p-32;     // 2.3283064365386963e-10

// A real in [0, 1 - 2^-32], a multiple of 2^-32; advances the state once.
PELMORA_IN_DOUBLE("exact: a 32-bit integer times 2^-32")
inline double NextUniform() {
    UniformSeed = UniformSeed * kMultiplier + 1u;
    return static_cast<double>(UniformSeed) * kUniformScale;
}

// floor(n * state / 2^32) for the new state: in [0, n) for n >= 1, 0 for
// n = 0; a negative n acts as the unsigned count 2^32 + n. No rejection step.
inline uint32_t NextBelow(uint32_t n) {
    UniformSeed = UniformSeed * kMultiplier + 1u;
    return static_cast<uint32_t>((static_cast<uint64_t>(n) * UniformSeed) >> 32);
}

// Advances the state by `steps` steps in O(log steps), exactly as that many
// NextUniform calls would.
void AdvanceUniform(uint64_t steps);

// The clock behind ReseedFromClock. `read` returns a 64-bit reading whose low
// 32 bits become the new state. The real clock returns its counter passed
// through a bijective 64-bit mixer, so that readings taken in quick
// succession, which differ by a nearly constant step, still give unrelated
// states; a replaced clock (tests, the reproducible mode of pelmora-gen)
// returns whatever it likes, unmixed.
struct ClockSource {
    uint64_t (*read)(void* context);
    void* context;
};

// The calling thread's clock; every thread starts with the real one.
extern thread_local constinit ClockSource Clock;

// Replaces the calling thread's clock; SetClock(RealClock()) puts the real
// one back.
void SetClock(ClockSource clock);
ClockSource RealClock();

// The calling thread's index, mixed into the real clock's readings so that
// two threads reading the same counter value still get different readings.
// 0 (every thread's start value) leaves the reading as it is; give each
// thread that draws with the real clock an index of its own.
void SetThreadIndex(uint32_t index);
uint32_t ThreadIndex();

// The state becomes the clock reading itself; the previous state is not mixed in.
inline void ReseedFromClock() { UniformSeed = static_cast<uint32_t>(Clock.read(Clock.context)); }

// The real clock's parts, open to tests: the splitmix64 finalizer that mixes
// a reading, and the choice between the high-resolution counter and the
// millisecond count when the counter cannot be read. The calling thread's
// index goes into the reading before the mixer (see RealClockReading).
uint64_t MixReading(uint64_t reading);
uint64_t RealClockReading(bool counterRead, uint64_t counter, uint32_t milliseconds);

// Row 6, "Continuous Uniform": a + U * (b - a), reseeding first.
double DrawUniform(double a, double b);
// Row 7, "Discrete Uniform": NextBelow(n) + 1, wrapping modulo 2^32, reseeding first.
int32_t DrawDiscreteUniform(int32_t n);

// Replaces the calling thread's clock for the lifetime of the object (tests
// and tools).
class ScopedClock {
public:
    explicit ScopedClock(ClockSource clock) : saved_(Clock) { SetClock(clock); }
    ~ScopedClock() { SetClock(saved_); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    ClockSource saved_;
};

}  // namespace pelmora
