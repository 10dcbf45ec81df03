#include "cli/format.h"

#include <bit>
#include <cstring>

#include "core/numtext.h"

namespace pelmora::cli {

std::size_t FormatValue(double x, int precision, char* out) { return FormatSignificant(x, precision, out, "."); }

void PutBinary(double x, bool integers, char* out) {
    uint64_t bits = integers ? static_cast<uint64_t>(static_cast<int64_t>(x)) : std::bit_cast<uint64_t>(x);
    if constexpr (std::endian::native == std::endian::big) bits = __builtin_bswap64(bits);
    std::memcpy(out, &bits, 8);
}

}  // namespace pelmora::cli
