#pragma once
// Discrete generators. DrawBernoulli, DrawBernoulliGauss and DrawGeometric
// reseed on every call (DrawGeometric only once its guard has passed); the
// composites reseed through them; DrawPoisson never reseeds.

#include <cstdint>

namespace pelmora {

int32_t DrawBernoulli(double p);                                 // row 1: 1 when U <= p
double DrawBernoulliGauss(double p, double mu, double sigma);    // row 2: a Bernoulli gate before a polar normal
int32_t DrawBinomial(int32_t n, double p);                       // row 3: sum of n Bernoulli draws
int32_t DrawGeometric(double p);                                 // row 13: failures before the first success
int32_t DrawNegativeBinomial(int32_t r, double p);               // row 22: sum of r geometric draws
int32_t DrawPoisson(double lambda);                              // row 17: product of uniforms

}  // namespace pelmora
