#pragma once
// The 27 distribution rows: what the list shows, how the parameter panel
// labels its fields, which picture belongs to each, and how the Generate
// command calls each row's generator.

#include <array>
#include <cstdint>

namespace pelmora {

inline constexpr int kRowCount = 27;

enum class ResultKind { Real, Integer };

struct RowInfo {
    const char* caption;  // the ListBox1 item (row 20 ends in a blank)
    const char* label1;   // label of the first parameter field, nullptr when the row hides it
    const char* label2;   // second field
    const char* label3;   // third field
    const char* picture;  // file name with its leading separator, appended to the picture folder
    ResultKind kind;
};

extern const std::array<RowInfo, kRowCount> kRows;

// Draws one value of `row` (0 to 26) from the three parsed parameters, with
// the row's argument order and its truncations (TruncToInt, made here, for
// every value, just before the call; in row 24 P1 before P2). Integer results
// are widened to double.
double DrawRow(int row, double p1, double p2, double p3);

}  // namespace pelmora
