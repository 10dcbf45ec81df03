#include "engine/numeric.h"

#include "engine/uniform.h"

namespace pelmora {

namespace {
// The constants the x87 unit loads with fldln2 and fldl2e, rounded to nearest.
constexpr Extended kLn2 = 0.693147180559945309417232121458176568L;
constexpr Extended kLog2E = 1.44269504088896340735992468100189214L;
}  // namespace

void RaiseInvalid() { throw Error(kInvalidOperation); }
void RaiseDivisionByZero() { throw Error(kDivisionByZero); }
void RaiseOverflow() { throw Error(kOverflow); }
void RaiseIntegerOverflow() { throw Error(kIntegerOverflow); }

Extended Ln(Extended x) {
    if (x == 0) RaiseDivisionByZero();
    if (x < 0) RaiseInvalid();
    Extended r;
    // fyl2x: st(1) * log2(st(0)), popping; with st(1) = ln 2 that is ln x.
    asm("fyl2x" : "=t"(r) : "0"(x), "u"(kLn2) : "st(1)");
    return r;
}

Extended Exp(Extended x) {
    Extended t = x * kLog2E;
    // Far outside the extended range the split below would meet infinities.
    if (t >= 16384) RaiseOverflow();
    if (t < -16500) return 0;
    Extended n;
    asm("frndint" : "=t"(n) : "0"(t));  // to nearest, ties to even
    Extended f = t - n;                  // |f| <= 1/2
    Extended m;
    asm("f2xm1" : "=t"(m) : "0"(f));     // 2^f - 1
    m += 1;
    Extended r;
    asm("fscale" : "=t"(r) : "0"(m), "u"(n));  // m * 2^n
    if (std::isinf(r)) RaiseOverflow();
    return r;
}

Extended Sqrt(Extended x) {
    if (x < 0) RaiseInvalid();
    Extended r;
    asm("fsqrt" : "=t"(r) : "0"(x));
    return r;
}

Extended Cos(Extended x) {
    Extended r;
    asm("fcos" : "=t"(r) : "0"(x));
    return r;
}

Extended Tan(Extended x) {
    Extended r;
    // fptan replaces st(0) by its tangent and pushes 1.0, which is dropped.
    asm("fptan\n\tfstp %%st(0)" : "=t"(r) : "0"(x));
    return r;
}

int32_t TruncToInt(Extended x) {
    // Truncation toward zero keeps every x in (-2^63 - 1, 2^63) inside the
    // signed 64-bit range; both bounds are exact in the extended format.
    if (!(x > -9223372036854775809.0L && x < 9223372036854775808.0L)) RaiseInvalid();
    return static_cast<int32_t>(static_cast<int64_t>(x));
}

Extended Power(Extended base, Extended exponent) {
    if (exponent == 0) return 1;
    if (base == 0 && exponent > 0) return 0;
    if (exponent - truncl(exponent) == 0 && fabsl(exponent) <= 2147483647) {
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
