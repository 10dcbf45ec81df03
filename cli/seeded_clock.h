#pragma once
// The reproducible mode of pelmora-gen: with --seed S the uniform source
// starts at S mod 2^32 and every reseed takes, instead of a clock reading, the
// low 32 bits of the next output of splitmix64 seeded with S. The outputs are
// used as they come, with no further mixing: the stream this gives is a
// promise to users and must never change.

#include <cstdint>

#include "engine/uniform.h"

namespace pelmora::cli {

struct SplitMix64 {
    uint64_t state;

    uint64_t Next() {
        state += 0x9E3779B97F4A7C15u;
        uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }

    // Moves past `outputs` outputs without computing them: the state only
    // ever grows by the constant step (modulo 2^64).
    void Skip(uint64_t outputs) { state += outputs * 0x9E3779B97F4A7C15u; }
};

// A ClockSource that reads `generator`, which must outlive its use.
ClockSource SeededClock(SplitMix64& generator);

// Puts the uniform source into the state of a fresh --seed run and replaces
// the clock for the lifetime of the object.
class SeededSource {
public:
    explicit SeededSource(uint64_t seed);
    // The same source as it stands after `reseeds` reseeds and with the
    // uniform state `uniform`: where a part of a run drawn apart begins.
    SeededSource(uint64_t seed, uint64_t reseeds, uint32_t uniform);
    SeededSource(const SeededSource&) = delete;
    SeededSource& operator=(const SeededSource&) = delete;

private:
    SplitMix64 generator_;
    ScopedClock clock_;
};

}  // namespace pelmora::cli
