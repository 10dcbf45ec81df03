#pragma once
// The uniform source under the generators. Two sources stand behind the
// same three calls (NextUniform, NextBelow, ReseedFromClock), so a
// generator reads the same either way:
// - the window's: a 32-bit linear congruential generator (multiplier
//   134775813, increment 1, modulus 2^32) whose state most generators
//   overwrite from the clock before each value;
// - a counter-based one (pelmora-gen --source philox): value i's j-th
//   uniform is Philox4x32-10 of a key and a counter made of i and j, 64 bits
//   wide; a reseed draws nothing.
// The choice, the states and the clock are per thread, so threads can draw
// at once without sharing anything; a thread starts on the window's source.

#include <array>
#include <cstdint>

#include "engine/numeric.h"

namespace pelmora {

enum class UniformSource : uint8_t {
    Lcg,     // the window's 32-bit generator, reseeded from the clock
    Philox,  // counter-based, 64-bit uniforms; see UsePhilox
};

// The calling thread's source; changed only by UsePhilox, UseLcg and ScopedPhilox.
extern thread_local constinit UniformSource ActiveSource;

// The window's source's state, per thread. 0 when a thread starts; written
// only by ReseedFromClock, NextUniform and NextBelow (and AdvanceUniform,
// which is a shortcut for many NextUniform calls whose values are not
// needed). constinit: the compiler then knows it needs no initialisation
// call and reads it as directly as a plain global.
extern thread_local constinit uint32_t UniformSeed;

inline constexpr uint32_t kMultiplier = 134775813u;  // 0x08088405
inline constexpr double kUniformScale = 0x1p-32;     // 2.3283064365386963e-10
inline constexpr double kCounterScale = 0x1p-64;     // 5.421010862427522e-20

// The counter-based source's position on the calling thread: the key, the
// value being drawn (i) and the number of the next uniform within it (j).
// Uniforms 2b and 2b + 1 of value i are the two 64-bit halves of block b,
// Philox4x32-10 of the counter (b low, b high, i low, i high) under the key
// (S low, S high); each half is its second word times 2^32 plus its first.
// `block` and `bits` keep the last block computed, so a block serves two
// uniforms.
struct CounterPosition {
    std::array<uint32_t, 2> key{};
    uint64_t value = 0;
    uint64_t next = 0;
    uint64_t block = kNoBlock;
    static constexpr uint64_t kNoBlock = ~uint64_t{0};  // j / 2 never reaches it
    std::array<uint64_t, 2> bits{};
};
extern thread_local constinit CounterPosition Counter;

// The words of block j / 2 of the current value, computed and kept. Never
// inlined, not even into this unit's generators: the cipher is a few dozen
// instructions, and the registers it needs would be saved on every call of
// the window's source too.
[[gnu::noinline]] uint64_t CounterBlockBits(uint64_t j);

// The next uniform of the counter-based source as a 64-bit integer.
inline uint64_t NextCounterBits() {
    const uint64_t j = Counter.next++;
    if ((j >> 1) == Counter.block) return Counter.bits[j & 1];
    return CounterBlockBits(j);
}

// Window's source: a real in [0, 1 - 2^-32], a multiple of 2^-32, advancing
// the state once: the state times 2^-32, both exact. Counter-based: a real
// r * 2^-64 in [0, 1 - 2^-64] for the next 64-bit uniform r, exact in
// Extended (0 with odds 2^-64), formed as (r - 2^63) * 2^-64 + 1/2: a signed
// 64-bit integer, a power of two and a sum that is a multiple of 2^-64 below
// 1 are all exact, and the x87 unit converts a signed integer in one step,
// where an unsigned one takes a correction behind a branch that goes either
// way at random.
inline Extended NextUniform() {
    if (ActiveSource == UniformSource::Lcg) [[likely]] {
        UniformSeed = UniformSeed * kMultiplier + 1u;
        return Extended(static_cast<int64_t>(UniformSeed)) * kUniformScale;
    }
    return Extended(static_cast<int64_t>(NextCounterBits() ^ (uint64_t{1} << 63))) * kCounterScale + 0.5;
}

// Window's source: floor(n * state / 2^32) for the new state, in [0, n) for
// n >= 1, 0 for n = 0; a negative n acts as the unsigned count 2^32 + n. No
// rejection step. Counter-based: floor(n * r / 2^64) for the next 64-bit
// uniform r, one uniform; each result then comes from floor(2^64 / n) or
// ceil(2^64 / n) of the 2^64 words.
inline uint32_t NextBelow(uint32_t n) {
    if (ActiveSource == UniformSource::Lcg) [[likely]] {
        UniformSeed = UniformSeed * kMultiplier + 1u;
        return static_cast<uint32_t>((static_cast<uint64_t>(n) * UniformSeed) >> 32);
    }
    return static_cast<uint32_t>((static_cast<unsigned __int128>(n) * NextCounterBits()) >> 64);
}

// Moves past `steps` uniforms in O(log steps), exactly as that many
// NextUniform calls would.
void AdvanceUniform(uint64_t steps);

// Counter-based: the uniforms that follow belong to value `index`, from its
// first (j = 0). The window's source has no values: nothing happens.
inline void BeginValue(uint64_t index) {
    if (ActiveSource == UniformSource::Lcg) [[likely]] return;
    Counter.value = index;
    Counter.next = 0;
    Counter.block = CounterPosition::kNoBlock;
}

// The calling thread draws from the counter-based source with key S = `key`,
// at value 0; UseLcg goes back to the window's source, whose state is kept.
void UsePhilox(uint64_t key);
void UseLcg();

// Philox4x32-10 (Random123) of one counter under one key.
std::array<uint32_t, 4> PhiloxBlock(std::array<uint32_t, 4> counter, std::array<uint32_t, 2> key);

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

// Window's source: the state becomes the clock reading itself; the previous
// state is not mixed in. Counter-based: nothing (every value has its own
// counter already), and the clock is not read.
inline void ReseedFromClock() {
    if (ActiveSource == UniformSource::Lcg) [[likely]] UniformSeed = static_cast<uint32_t>(Clock.read(Clock.context));
}

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

// Draws from the counter-based source with `key` for the lifetime of the
// object, then puts back the calling thread's source as it was.
class ScopedPhilox {
public:
    explicit ScopedPhilox(uint64_t key) : source_(ActiveSource), position_(Counter) { UsePhilox(key); }
    ~ScopedPhilox() {
        ActiveSource = source_;
        Counter = position_;
    }
    ScopedPhilox(const ScopedPhilox&) = delete;
    ScopedPhilox& operator=(const ScopedPhilox&) = delete;

private:
    UniformSource source_;
    CounterPosition position_;
};

}  // namespace pelmora
