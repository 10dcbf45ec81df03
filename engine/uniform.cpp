#include "engine/uniform.h"

#include <Random123/philox.h>
#include <time.h>
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#endif

#include <ctime>

#include "engine/numeric.h"

namespace pelmora {

thread_local constinit uint32_t UniformSeed = 0;
thread_local constinit UniformSource ActiveSource = UniformSource::Lcg;
thread_local constinit CounterPosition Counter{};

// The cipher is Random123's, as numpy, cuRAND and JAX use it; only the
// mapping of (key, value, uniform) to its counter is ours.
std::array<uint32_t, 4> PhiloxBlock(std::array<uint32_t, 4> counter, std::array<uint32_t, 2> key) {
    const r123::Philox4x32::ctr_type c = {{counter[0], counter[1], counter[2], counter[3]}};
    const r123::Philox4x32::key_type k = {{key[0], key[1]}};
    const r123::Philox4x32::ctr_type r = r123::Philox4x32()(c, k);
    return {r[0], r[1], r[2], r[3]};
}

uint64_t CounterBlockBits(uint64_t j) {
    const uint64_t block = j >> 1;
    const uint64_t value = Counter.value;
    const auto w = PhiloxBlock({static_cast<uint32_t>(block), static_cast<uint32_t>(block >> 32),
                                static_cast<uint32_t>(value), static_cast<uint32_t>(value >> 32)},
                               Counter.key);
    Counter.bits = {uint64_t{w[1]} << 32 | w[0], uint64_t{w[3]} << 32 | w[2]};
    Counter.block = block;
    return Counter.bits[j & 1];
}

void UsePhilox(uint64_t key) {
    ActiveSource = UniformSource::Philox;
    Counter = CounterPosition{};
    Counter.key = {static_cast<uint32_t>(key), static_cast<uint32_t>(key >> 32)};
}

void UseLcg() { ActiveSource = UniformSource::Lcg; }

void AdvanceUniform(uint64_t steps) {
    if (ActiveSource == UniformSource::Philox) {
        Counter.next += steps;
        return;
    }
    // Composes the affine step s -> a s + 1 with itself by binary powers.
    uint32_t mul = 1, add = 0;
    uint32_t stepMul = kMultiplier, stepAdd = 1;
    while (steps != 0) {
        if (steps & 1u) {
            mul *= stepMul;
            add = add * stepMul + stepAdd;
        }
        stepAdd = (stepMul + 1u) * stepAdd;
        stepMul *= stepMul;
        steps >>= 1;
    }
    UniformSeed = mul * UniformSeed + add;
}

uint64_t MixReading(uint64_t z) {
    // splitmix64's finalizer: a bijection that spreads every input bit over
    // the whole word, so readings a nearly constant step apart give
    // unrelated low halves.
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

namespace {

thread_local constinit uint32_t threadIndex = 0;
// The index with its bits in reverse order at the top of a 64-bit word: bit
// i of the index becomes bit 63 - i.
thread_local constinit uint64_t threadIndexBits = 0;

}  // namespace

void SetThreadIndex(uint32_t index) {
    threadIndex = index;
    threadIndexBits = 0;
    for (int bit = 0; bit < 32; ++bit)
        if ((index >> bit) & 1u) threadIndexBits |= uint64_t{1} << (63 - bit);
}

uint32_t ThreadIndex() { return threadIndex; }

// Before the mixer, the thread's index, bit-reversed, is xored into the top
// of the count. For one count the readings of different threads differ (the
// mixer is a bijection); two threads' readings could only meet if their
// counts differed in the top bits, which for up to 256 threads means by at
// least 2^56 ticks, over 200 days of a 4 GHz counter. Thread 0 reads the
// count unchanged.
uint64_t RealClockReading(bool counterRead, uint64_t counter, uint32_t milliseconds) {
    const uint64_t count = counterRead ? counter : milliseconds;
    return MixReading(count ^ threadIndexBits);
}

namespace {

// The time-stamp counter is the cheapest high-resolution counter, but only
// an invariant one ticks at a constant rate in every power state; otherwise
// the monotonic clock's nanoseconds serve.
bool HasInvariantTsc() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(0x80000000u, &eax, &ebx, &ecx, &edx) || eax < 0x80000007u) return false;
    __get_cpuid(0x80000007u, &eax, &ebx, &ecx, &edx);
    return (edx >> 8) & 1u;
#else
    return false;  // no time-stamp counter: the monotonic clock serves
#endif
}

const bool kUseTsc = HasInvariantTsc();

bool ReadCounter(uint64_t& counter) {
#if defined(__x86_64__) || defined(__i386__)
    if (kUseTsc) {
        counter = __rdtsc();
        return true;
    }
#endif
    timespec ts;
    if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return false;
    counter = static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
    return true;
}

uint32_t Milliseconds() {
    timespec ts;
    if (clock_gettime(CLOCK_MONOTONIC_COARSE, &ts) == 0)
        return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
    return static_cast<uint32_t>(static_cast<uint64_t>(std::time(nullptr)) * 1000u);
}

uint64_t ReadRealClock(void*) {
    uint64_t counter = 0;
    if (ReadCounter(counter)) return RealClockReading(true, counter, 0);
    return RealClockReading(false, 0, Milliseconds());
}

}  // namespace

ClockSource RealClock() { return {&ReadRealClock, nullptr}; }

thread_local constinit ClockSource Clock = {&ReadRealClock, nullptr};

void SetClock(ClockSource clock) { Clock = clock.read ? clock : RealClock(); }

double DrawUniform(double a, double b) {
    ReseedFromClock();
    Extended u = NextUniform();
    return ToDouble((static_cast<Extended>(b) - a) * u + a);
}

int32_t DrawDiscreteUniform(int32_t n) {
    ReseedFromClock();
    uint32_t r = NextBelow(static_cast<uint32_t>(n));
    return static_cast<int32_t>(r + 1u);
}

}  // namespace pelmora
