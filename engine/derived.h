#pragma once
// Generators composed of simpler variates. Only DrawErlang draws uniforms
// itself (after its own reseed); the others draw through DrawErlang,
// DrawStandardNormal and DrawGaussNormal, which each reseed.

#include <cstdint>

namespace pelmora {

double DrawErlang(int32_t m, double scale);            // row 8: ln(U1 ... Um) * -scale
double DrawBeta(double a, double b);                   // row 0: a E1 / (a E1 + b E2)
double DrawF(double d1, double d2);                    // row 10: built on DrawBeta(d1/2, d2/2)
double DrawChiSquare(int32_t n);                       // row 5: sum of n squared standard normals
double DrawStudentT(int32_t n);                        // row 20
double DrawNoncentralChiSquare(int32_t n, double delta);          // row 23
double DrawNoncentralF(int32_t d1, int32_t d2, double delta);     // row 24: both chi-squares share delta
double DrawNoncentralT(int32_t n, double delta);                  // row 25

}  // namespace pelmora
