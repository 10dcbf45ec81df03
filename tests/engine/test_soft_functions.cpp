// The software logarithm, 2^f - 1, cosine and tangent against MPFR, over
// the ranges the generators use them on: each must be the exact value
// rounded to the extended format. (The x87 unit's are not, for a few
// percent of arguments; these are evaluated with about 120 bits, so a
// wrong rounding is a bug here, not bad luck.)

#include <gtest/gtest.h>
#include <mpfr.h>

#include <cstdint>
#include <string>

#include "engine/soft_extended.h"

namespace pelmora {
namespace {

// A 256-bit MPFR number, freed on leaving the scope.
struct Big {
    mpfr_t v;
    Big() { mpfr_init2(v, 256); }
    ~Big() { mpfr_clear(v); }
    Big(const Big&) = delete;
    Big& operator=(const Big&) = delete;
};

void Set(mpfr_t r, SoftExtended x) {
    mpfr_set_uj(r, x.Significand(), MPFR_RNDN);
    const int32_t e = x.BiasedExponent() == 0 ? 1 : x.BiasedExponent();
    mpfr_mul_2si(r, r, e - 16383 - 63, MPFR_RNDN);
    if (x.Negative()) mpfr_neg(r, r, MPFR_RNDN);
}

// The exact value rounded once to 64 bits (the ranges here stay normal).
SoftExtended Rounded(const mpfr_t exact) {
    Big r;
    mpfr_set(r.v, exact, MPFR_RNDN);
    if (mpfr_zero_p(r.v)) return SoftExtended(0);
    mpfr_prec_round(r.v, 64, MPFR_RNDN);
    const bool negative = mpfr_sgn(r.v) < 0;
    mpfr_abs(r.v, r.v, MPFR_RNDN);
    const long e = mpfr_get_exp(r.v);  // value = 0.1... * 2^e
    mpfr_mul_2si(r.v, r.v, 64 - e, MPFR_RNDN);
    const uint64_t significand = mpfr_get_uj(r.v, MPFR_RNDN);
    return SoftExtended::FromBits(static_cast<uint16_t>((negative ? 0x8000 : 0) | (e - 1 + 16383)), significand);
}

std::string Hex(SoftExtended x) {
    char text[40];
    std::snprintf(text, sizeof text, "%04x:%016llx", x.SignExponent(), static_cast<unsigned long long>(x.Significand()));
    return text;
}

enum class Fn { Ln, Exp2m1, Cos, Tan };

SoftExtended Soft(Fn fn, SoftExtended x) {
    switch (fn) {
        case Fn::Ln: return soft::Ln(x);
        case Fn::Exp2m1: return soft::Exp2m1(x);
        case Fn::Cos: return soft::Cos(x);
        default: return soft::Tan(x);
    }
}

SoftExtended Exact(Fn fn, SoftExtended x) {
    Big a, r;
    Set(a.v, x);
    switch (fn) {
        case Fn::Ln: {
            // log2(x) times the x87 unit's ln 2, as fyl2x computes it
            Big ln2;
            Set(ln2.v, SoftExtended::FromBits(0x3ffe, 0xb17217f7d1cf79acull));
            mpfr_set_prec(r.v, 400);
            mpfr_log2(r.v, a.v, MPFR_RNDN);
            mpfr_mul(r.v, r.v, ln2.v, MPFR_RNDN);
            break;
        }
        case Fn::Exp2m1:
            mpfr_set_prec(r.v, 400);
            mpfr_exp2(r.v, a.v, MPFR_RNDN);
            mpfr_sub_ui(r.v, r.v, 1, MPFR_RNDN);
            break;
        case Fn::Cos: mpfr_cos(r.v, a.v, MPFR_RNDN); break;
        case Fn::Tan: mpfr_tan(r.v, a.v, MPFR_RNDN); break;
    }
    return Rounded(r.v);
}

uint64_t Mix(uint64_t& s) {
    uint64_t z = (s += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

const SoftExtended kPi = SoftExtended::FromBits(0x4000, 0xc90fdaa22168c235ull);
const SoftExtended kTwoPi = SoftExtended::FromBits(0x4001, 0xc90fdaa22168c235ull);
const SoftExtended kTwo32 = SoftExtended(0x1p-32);

// Arguments as the generators make them, from a 32-bit uniform k / 2^32.
struct Range {
    const char* name;
    Fn fn;
    SoftExtended (*argument)(uint64_t random);
};

const Range kRanges[] = {
    // ln U, ln (1 - U), ln of products of uniforms: (0, 1) on the 2^-32 grid and far below
    {"LnOfUniforms", Fn::Ln, [](uint64_t r) { return SoftExtended((r >> 32) | 1) * kTwo32; }},
    {"LnNearOne", Fn::Ln, [](uint64_t r) { return SoftExtended(1) - SoftExtended(r >> 20) * SoftExtended(0x1p-64); }},
    {"LnAnywhere", Fn::Ln, [](uint64_t r) { return SoftExtended::FromBits(static_cast<uint16_t>(1 + (r >> 48) % 0x7ffe), r | (uint64_t{1} << 63)); }},
    // 2^f - 1 for f = t - round(t)
    {"Exp2m1HalfUnit", Fn::Exp2m1, [](uint64_t r) { return SoftExtended(r >> 1) * SoftExtended(0x1p-63) - SoftExtended(0.5); }},
    {"Exp2m1Small", Fn::Exp2m1,
     [](uint64_t r) { return SoftExtended::FromBits(static_cast<uint16_t>(((r & 1) << 15) | (16383 - 2 - (r >> 58))), r | (uint64_t{1} << 63)); }},
    // cos(2 pi U1) with the argument stored as a double; tan(pi U) in extended
    {"CosOfTwoPiU", Fn::Cos, [](uint64_t r) { return SoftExtended(static_cast<double>(kTwoPi * SoftExtended(r >> 32) * kTwo32)); }},
    {"TanOfPiU", Fn::Tan, [](uint64_t r) { return kPi * SoftExtended(r >> 32) * kTwo32; }},
};

class SoftFunction : public ::testing::TestWithParam<Range> {};

TEST_P(SoftFunction, CorrectlyRoundedOverTheGeneratorsRange) {
    const Range& range = GetParam();
    uint64_t state = 42;
    int wrong = 0;
    for (int i = 0; i < 20000; ++i) {
        const SoftExtended x = range.argument(Mix(state));
        const SoftExtended got = Soft(range.fn, x), want = Exact(range.fn, x);
        if (got.SignExponent() != want.SignExponent() || got.Significand() != want.Significand()) {
            if (++wrong <= 5) ADD_FAILURE() << "at " << Hex(x) << ": " << Hex(got) << ", exact value rounds to " << Hex(want);
        }
    }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Mpfr, SoftFunction, ::testing::ValuesIn(kRanges),
                         [](const ::testing::TestParamInfo<Range>& info) { return std::string(info.param.name); });

// The edges: exact results, the neighbours of 1, the zeros of the cosine
// and the pole of the tangent next to their extended arguments.
TEST(SoftFunction, Edges) {
    const struct {
        Fn fn;
        SoftExtended x;
    } cases[] = {
        {Fn::Ln, SoftExtended(1)},
        {Fn::Ln, SoftExtended::FromBits(0x3ffe, ~uint64_t{0})},           // 1 - 2^-64
        {Fn::Ln, SoftExtended::FromBits(0x3fff, (uint64_t{1} << 63) | 1)},  // 1 + 2^-63
        {Fn::Ln, SoftExtended::FromBits(0x0000, 1)},                       // the smallest denormal
        {Fn::Ln, SoftExtended::FromBits(0x7ffe, ~uint64_t{0})},            // the largest value
        {Fn::Ln, SoftExtended(0x1p-32)},
        {Fn::Exp2m1, SoftExtended(0.5)},
        {Fn::Exp2m1, SoftExtended(-0.5)},
        {Fn::Exp2m1, SoftExtended(0x1p-64)},
        {Fn::Exp2m1, SoftExtended(-0x1p-40)},
        {Fn::Cos, SoftExtended(0)},
        {Fn::Cos, SoftExtended(1.5707963267948966)},  // the double nearest pi/2
        {Fn::Cos, SoftExtended(4.71238898038469)},
        {Fn::Cos, kPi},
        {Fn::Cos, SoftExtended::FromBits(0x3fff, 0xc90fdaa22168c234ull)},  // pi/2 rounded down
        {Fn::Tan, SoftExtended::FromBits(0x3fff, 0xc90fdaa22168c234ull)},
        {Fn::Tan, SoftExtended::FromBits(0x3fff, 0xc90fdaa22168c235ull)},
        {Fn::Tan, kPi * SoftExtended(0x1p-32)},
        {Fn::Tan, kPi * SoftExtended(4294967295.0) * kTwo32},
    };
    for (const auto& c : cases) EXPECT_EQ(Hex(Soft(c.fn, c.x)), Hex(Exact(c.fn, c.x))) << "at " << Hex(c.x);
    EXPECT_EQ(Hex(soft::Tan(SoftExtended(-0.0))), Hex(SoftExtended(-0.0)));  // the sign of a zero stays
}

}  // namespace
}  // namespace pelmora
