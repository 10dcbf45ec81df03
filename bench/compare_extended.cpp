// compare-extended [PAIRS] [SEED]: the software extended type against the
// x87 unit, bit for bit, over PAIRS operand pairs (default 10^8), random and
// chosen (tests/engine/x87_reference.h): + - * /, square root, comparisons,
// conversions to and from double and integers, frndint, truncation, fscale.
// Prints every difference (the first 20 in full) and their count; exits 1
// if there is any. x86-64 only.

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "tests/engine/x87_reference.h"

int main(int argc, char** argv) {
    using namespace pelmora;
    const uint64_t pairs = argc > 1 ? static_cast<uint64_t>(std::strtod(argv[1], nullptr)) : 100000000u;
    testing::Operands gen{argc > 2 ? std::strtoull(argv[2], nullptr, 0) : 2026};
    std::map<std::string, uint64_t> differences;
    uint64_t total = 0;
    const auto start = std::chrono::steady_clock::now();
    for (uint64_t i = 0; i < pairs; ++i) {
        const SoftExtended a = gen.Value();
        const SoftExtended b = (i & 1) ? gen.Near(a) : gen.Value();
        const std::string what = testing::FirstDifference(a, b);
        if (what.empty()) continue;
        ++differences[what];
        if (++total <= 20)
            std::printf("differs in %s: a = %04x %016" PRIx64 ", b = %04x %016" PRIx64 "\n", what.c_str(), a.SignExponent(),
                        a.Significand(), b.SignExponent(), b.Significand());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (const auto& [what, count] : differences) std::printf("  %-12s %" PRIu64 "\n", what.c_str(), count);
    std::printf("compare-extended: %" PRIu64 " operand pairs, %" PRIu64 " differences from the x87 unit (%.0f s)\n", pairs, total,
                seconds);
    return total == 0 ? 0 : 1;
}
