#pragma once

namespace pelmora {

// How the two rejection methods decide their acceptance tests. Both ways
// give the same decisions, so the same values; only the cost differs.
enum class GammaAcceptance {
    // Double-precision pre-tests decide the clear cases; near-ties, and only
    // they, take the extended-precision test.
    PreTested,
    // Every test in extended precision: the reference the pre-tests are
    // checked against.
    ExtendedOnly,
};

// Row 11, "Gamma": Best (1978) for shape above 1, the exponential generator
// for shape exactly 1, Best (1983) below 1. Only the shape-1 case reseeds.
double DrawGamma(double shape, double scale);
double DrawGammaWith(double shape, double scale, GammaAcceptance acceptance);

}  // namespace pelmora
