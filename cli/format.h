#pragma once
// How pelmora-gen writes its values: the general format with a chosen number
// of significant digits, several values to a line, or raw doubles.

#include <cstddef>
#include <cstdint>

namespace pelmora::cli {

struct ValueFormat {
    int precision = 15;  // significant digits, 1 to 17
    int columns = 1;     // values per line, separated by one tab
    bool binary = false; // 8 bytes a value, little-endian IEEE 754, no separators
    // With binary: each value as the little-endian 64-bit integer it holds
    // (the integer rows in a .npy file).
    bool integers = false;
};

// Writes x as 8 bytes (see ValueFormat::binary and integers) to `out`.
void PutBinary(double x, bool integers, char* out);

// Longest text FormatValue writes.
inline constexpr std::size_t kValueMax = 32;

// Writes x in the general format with `precision` significant digits to
// `out` (at least kValueMax bytes) and returns the length. Precision 15 is
// the window's format itself (FormatGeneral). Otherwise, as there: |x| is
// rounded to 18 significant digits and then, half up, to `precision`;
// trailing zeros go; fixed notation while the decimal exponent E of
// 0.d1d2... x 10^E lies from -3 to `precision`, "E" notation otherwise;
// "INF", "-INF", "NAN" and "0" as there. Precision 17 reads back as the same
// double.
std::size_t FormatValue(double x, int precision, char* out);

}  // namespace pelmora::cli
