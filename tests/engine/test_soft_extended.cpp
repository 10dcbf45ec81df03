// The software extended type against the x87 unit, bit for bit: chosen
// operand pairs, one table row each, and a stream of 200,000 random and
// chosen pairs (compare-extended runs 10^8). x86-64 only.

#include <gtest/gtest.h>

#include "tests/engine/x87_reference.h"

namespace pelmora {
namespace {

using testing::FirstDifference;

constexpr uint64_t kTop = uint64_t{1} << 63;

struct Pair {
    const char* name;
    uint16_t seA;
    uint64_t sigA;
    uint16_t seB;
    uint64_t sigB;
};

const Pair kPairs[] = {
    {"OneAndThree", 0x3fff, kTop, 0x4000, 0xc000000000000000ull},
    {"TieToEvenDown", 0x3fff, kTop, 0x3fbf, kTop},             // 1 + 2^-64: a tie, the even neighbour is 1
    {"TieToEvenUp", 0x3fff, kTop | 1, 0x3fbf, kTop},           // (1 + 2^-63) + 2^-64 rounds up
    {"JustAboveTie", 0x3fff, kTop, 0x3fbf, kTop | 1},
    {"Cancellation", 0x3fff, kTop | 1, 0x3fff, kTop},          // exact, 2^-63
    {"CancellationAcrossExponent", 0x4000, kTop, 0x3fff, ~uint64_t{0}},
    {"FarApart", 0x3fff, kTop, 0x3f00, 0xdeadbeefdeadbeefull},  // the smaller is only a sticky bit
    {"LargestTimesTwo", 0x7ffe, ~uint64_t{0}, 0x4000, kTop},     // overflow to infinity
    {"LargestPlusHalfUlp", 0x7ffe, ~uint64_t{0}, 0x7fbd, kTop},  // a tie at the top rounds to infinity
    {"SmallestNormalHalved", 0x0001, kTop | 1, 0x3ffe, kTop},    // a denormal tie
    {"DenormalSum", 0x0000, 0x4000000000000001ull, 0x0000, 0x3fffffffffffffffull},
    {"DenormalTimesDenormal", 0x0000, 0x0000000100000000ull, 0x0000, 0x7fffffffffffffffull},
    {"UnderflowToZero", 0x0001, kTop, 0x3fbe, kTop},            // 2^-16382 * 2^-65
    {"DenormalDivided", 0x0000, 3, 0x4000, 0xc000000000000000ull},
    {"HugeOverTiny", 0x7ffe, kTop, 0x0000, 1},
    {"ZeroOverZero", 0x0000, 0, 0x8000, 0},
    {"OneOverMinusZero", 0x3fff, kTop, 0x8000, 0},
    {"InfinityMinusInfinity", 0x7fff, kTop, 0x7fff, kTop},
    {"QuietAndSignallingNaN", 0x7fff, 0xc000000000000001ull, 0xffff, 0x8000000000000005ull},
    {"TwoQuietNaNs", 0xffff, 0xc000000000000002ull, 0x7fff, 0xc000000000000007ull},
    {"NegativeSqrt", 0xbfff, kTop, 0x3fff, kTop},
    {"DoubleRangeEdge", 0x43fe, 0xfffffffffffffc00ull, 0x3fff, kTop},  // DBL_MAX exactly
    {"AboveDoubleMax", 0x43fe, 0xfffffffffffffc01ull, 0x3fff, kTop},
    {"DoubleDenormalTie", 0x3bcc, 0xc000000000000000ull, 0x3fff, kTop},  // 1.5 * 2^-1075
    {"TwoToSixtyThree", 0x403e, kTop, 0xc03e, kTop},             // +-2^63 to int64
    {"HalfAndOneAndAHalf", 0x3ffe, kTop, 0x3fff, 0xc000000000000000ull},  // frndint ties
    {"MinusZeroPlusZero", 0x8000, 0, 0x0000, 0},
};

class SoftAgainstX87 : public ::testing::TestWithParam<Pair> {};

TEST_P(SoftAgainstX87, EveryOperationBitForBit) {
    const Pair& p = GetParam();
    const SoftExtended a = SoftExtended::FromBits(p.seA, p.sigA), b = SoftExtended::FromBits(p.seB, p.sigB);
    EXPECT_EQ(FirstDifference(a, b), "");
    EXPECT_EQ(FirstDifference(b, a), "");
}

INSTANTIATE_TEST_SUITE_P(Chosen, SoftAgainstX87, ::testing::ValuesIn(kPairs),
                         [](const ::testing::TestParamInfo<Pair>& info) { return std::string(info.param.name); });

TEST(SoftAgainstX87, RandomAndChosenStream) {
    testing::Operands gen{7};
    int differences = 0;
    for (int i = 0; i < 200000; ++i) {
        const SoftExtended a = gen.Value();
        const SoftExtended b = (i & 1) ? gen.Near(a) : gen.Value();
        const std::string what = FirstDifference(a, b);
        if (!what.empty() && ++differences <= 5)
            ADD_FAILURE() << what << " differs for " << std::hex << a.SignExponent() << ":" << a.Significand() << " and "
                          << b.SignExponent() << ":" << b.Significand();
    }
    EXPECT_EQ(differences, 0);
}

}  // namespace
}  // namespace pelmora
