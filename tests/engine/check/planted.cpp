// Planted double-precision arithmetic for the self-test of
// scripts/check-extended: the check must report exactly the lines that end
// in "planted", and none of the others. Not compiled into any program.

#include <cmath>

#include "engine/in_double.h"
#include "engine/numeric.h"

namespace pelmora {

double DoubleMinusDouble(double a, double b) { return a - b; }  // planted

Extended Mixed(double a, double b, int n) {
    Extended x = static_cast<Extended>(a) - b;  // extended: fine
    x = x * a + n;                              // extended: fine
    double y = ToDouble(x);
    y = y * 2;  // planted
    return x + (1 - y);  // planted
}

double Compound(double a, Extended e) {
    double s = a;
    s += a;  // planted
    s /= 3;  // planted
    s += e;  // the sum is formed in extended precision, then stored
    ++s;  // planted
    return s;
}

Extended Library(double a) {
    return std::log(a)  // planted
           + Ln(a) + logl(a);
}

double Store(Extended e) {
    double d = e;  // planted
    return d + static_cast<double>(e);  // planted
}

PELMORA_IN_DOUBLE("a marked function may compute in double")
double Marked(double a, double b) {
    auto twice = [](double v) { return v * 2; };
    return std::sqrt(a * b) + twice(a);
}

constexpr double kThird = 1.0 / 3;  // planted

}  // namespace pelmora
