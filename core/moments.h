#pragma once
// The mean and variance that each row's construction implies for its
// parameters: what a long run of that row should average to. They follow the
// generators as they are built, guards and truncations included (a guard that
// returns 0 gives mean 0 and variance 0; the Beta row is a·E1 / (a·E1 + b·E2),
// the F row E1 / E2), not the textbook distribution named in the list.

#include <optional>

namespace pelmora {

struct Moments {
    std::optional<double> mean;      // empty where it does not exist (or leaves the double range)
    std::optional<double> variance;  // likewise
};

// Row 0 to 26 with the three parsed parameters; any other row gives nothing.
// Parameters for which the row fails on every value (a count beyond the
// TruncToInt range, F with a zero degree of freedom, ...) give nothing.
Moments TheoreticalMoments(int row, double p1, double p2, double p3);

}  // namespace pelmora
