#pragma once

namespace pelmora {

// Row 11, "Gamma": Best (1978) for shape above 1, the exponential generator
// for shape exactly 1, Best (1983) below 1. Only the shape-1 case reseeds.
double DrawGamma(double shape, double scale);

namespace detail {
// When false, every acceptance test uses the extended-precision routines
// directly; tests compare both settings value for value.
extern bool gammaFastAcceptance;
}  // namespace detail

}  // namespace pelmora
