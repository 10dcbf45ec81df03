#include "cli/seeded_clock.h"

namespace pelmora::cli {

ClockSource SeededClock(SplitMix64& generator) {
    return {[](void* context) { return static_cast<SplitMix64*>(context)->Next(); }, &generator};
}

SeededSource::SeededSource(uint64_t seed) : generator_{seed}, clock_(SeededClock(generator_)) {
    UniformSeed = static_cast<uint32_t>(seed);
}

SeededSource::SeededSource(uint64_t seed, uint64_t reseeds, uint32_t uniform)
    : generator_{seed}, clock_(SeededClock(generator_)) {
    generator_.Skip(reseeds);
    UniformSeed = uniform;
}

}  // namespace pelmora::cli
