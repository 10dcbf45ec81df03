#include "cli/format.h"

#include "core/numtext.h"

namespace pelmora::cli {

std::size_t FormatValue(double x, int precision, char* out) { return FormatSignificant(x, precision, out, "."); }

}  // namespace pelmora::cli
