#include "engine/numeric.h"

#include "engine/uniform.h"

namespace pelmora {

void RaiseInvalid() { throw Error(kInvalidOperation); }
void RaiseDivisionByZero() { throw Error(kDivisionByZero); }
void RaiseOverflow() { throw Error(kOverflow); }
void RaiseIntegerOverflow() { throw Error(kIntegerOverflow); }

// The arguments the inline exponential does not split: beyond the extended
// range, or so far below it that the result is 0.
Extended ExpSlow(Extended t) {
    if (t >= 16384) RaiseOverflow();
    return 0;
}

int32_t TruncToInt(Extended x) {
    // Truncation toward zero keeps every x in (-2^63 - 1, 2^63) inside the
    // signed 64-bit range; both bounds are exact in the extended format.
    if (!(x > -static_cast<Extended>(9223372036854775809ull) && x < static_cast<Extended>(9223372036854775808ull))) RaiseInvalid();
    return static_cast<int32_t>(static_cast<int64_t>(x));
}

Extended Power(Extended base, Extended exponent) {
    if (exponent == 0) return 1;
    if (base == 0 && exponent > 0) return 0;
    if (exponent - unit::Trunc(exponent) == 0 && unit::Abs(exponent) <= 2147483647) {
        // Integral exponent: repeated squaring over the bits of |n|.
        int32_t n = TruncToInt(exponent);
        uint32_t e = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
        Extended result = 1;
        Extended b = base;
        for (;;) {
            bool bit;
            do {
                bit = e & 1u;
                e >>= 1;
                if (!bit) b = Mul(b, b);
            } while (!bit);
            result = Mul(result, b);
            if (e == 0) break;
            b = Mul(b, b);
        }
        if (n < 0) result = Div(1, result);
        return result;
    }
    return Exp(Mul(exponent, Ln(base)));
}

Extended PolarNormal(Extended mean, Extended sd) {
    Extended x1, s;
    do {
        x1 = 2 * static_cast<Extended>(NextUniform()) - 1;
        Extended x2 = 2 * static_cast<Extended>(NextUniform()) - 1;
        s = x1 * x1 + x2 * x2;
    } while (s >= 1);
    return Sqrt(Div(Ln(s) * -2, s)) * x1 * sd + mean;
}

}  // namespace pelmora
