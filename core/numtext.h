#pragma once
// Number texts: the conversion of a field's text to a real (text_to_real.cpp),
// and the general format in which every value is written, 15 significant
// digits (format_general.cpp).

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/numeric.h"

namespace pelmora {

// Converts a field's whole text: leading and trailing blanks (character 32
// only), an optional sign, digits with at most one decimal separator `sep`,
// an optional exponent ("E" or "e", optional sign, digits taken while the
// exponent read so far is below 500). The value is the exact decimal value
// rounded once to extended precision, however many digits the text has; an
// underflow quietly gives a denormal or zero, a zero mantissa gives zero
// whatever its exponent ("0e4999" is 0), and the sign comes last ("-0" is
// -0). An invalid text, or one whose value lies beyond the extended range,
// throws Error("'<text>' is not a valid floating point value") with the
// whole text. An empty `sep` stands for ".". The caller stores the result as
// a double (ToDouble, which fails for "1e400") or truncates it (TruncToInt).
Extended TextToReal(std::string_view text, std::string_view sep = ".");

// An empty separator (regional settings without one) stands for ".".
inline std::string_view EffectiveSeparator(std::string_view sep) { return sep.empty() ? std::string_view(".") : sep; }

// "'<text>' is not a valid floating point value"
std::string InvalidRealMessage(std::string_view text);

// Longest text FormatGeneral writes, less the separator's extra bytes.
inline constexpr std::size_t kFormatMax = 32;

// Writes x in the general format to `out` (at least kFormatMax + sep.size()
// bytes) and returns the length: |x| rounded to 18 significant digits, then
// to 15; fixed notation for decimal exponents -3 to 15 (0.d1..dk x 10^E),
// "E" notation otherwise, without "+" and without leading exponent zeros;
// "INF", "-INF" and "NAN" for the non-finite values; zero as "0". Exact for
// every double: the digits follow from its exact binary value. An empty
// `sep` stands for ".".
std::size_t FormatGeneral(double x, char* out, std::string_view sep = ".");
std::string FormatGeneral(double x, std::string_view sep = ".");

// The same format with `precision` significant digits (1 to 17) in place of
// 15: |x| rounded to 18 digits, then half up to `precision`, fixed notation
// for decimal exponents -3 to `precision`. Precision 15 is FormatGeneral;
// precision 17 reads back as the same double.
std::size_t FormatSignificant(double x, int precision, char* out, std::string_view sep = ".");

}  // namespace pelmora
