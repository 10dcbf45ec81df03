#pragma once
// Elementary continuous generators. All but DrawTriangle reseed the uniform
// source from the clock at the start of every call; a parameter that fails a
// guard gives 0.0 without drawing.

namespace pelmora {

double DrawExponential(double lambda);          // row 9: -ln U / lambda; 0 unless lambda > 0
double DrawRayleigh(double sigma);              // row 18: sqrt(-ln U * 2 * sigma * sigma); 0 unless sigma > 0
double DrawWeibull(double alpha, double beta);  // row 26: beta * (-ln U)^(1/alpha); 0 unless alpha > 0 and beta > 0
double DrawCauchy(double alpha, double beta);   // row 4: alpha - beta / tan(pi U)
double DrawLogistic();                          // row 16: ln(U / (1 - U))
double DrawLaplace(double beta);                // row 14: two uniforms, location 0
double DrawStandardNormal();                    // row 19: Box-Muller, cosine branch
double DrawGaussNormal(double mu, double sigma);  // row 12: the polar method
double DrawLogNormal(double mu, double sigma);    // row 15: e^(polar normal)
double DrawTriangle(double a, double b, double m);  // row 21: no reseed; 0 unless a < m < b

}  // namespace pelmora
