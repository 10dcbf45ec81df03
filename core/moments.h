#pragma once
// The mean and variance that each row's construction implies for its
// parameters: what a long run of that row should average to. They follow the
// generators as they are built, guards and truncations included (a guard that
// returns 0 gives mean 0 and variance 0; the Beta row is a·E1 / (a·E1 + b·E2),
// the F row E1 / E2), not the textbook distribution named in the list. Each
// row's record (core/rows.h) holds its formulas, built from the pieces below.

#include <cstdint>
#include <optional>

#include "engine/numeric.h"

namespace pelmora {

enum class Row : uint8_t;

struct Moments {
    std::optional<double> mean;      // empty where it does not exist (or leaves the double range)
    std::optional<double> variance;  // likewise
};

// The row's moments with the three parsed parameters. Parameters for which
// the row fails on every value (a count beyond the TruncToInt range, F with
// a zero degree of freedom, ...) give nothing.
Moments TheoreticalMoments(Row row, double p1, double p2, double p3);

namespace moments {

// Moments are computed in the host's long double (the x87 format on x86-64),
// with the C library's logarithms and gamma functions: they are what a run
// should average to, printed beside it, never a value of the run, so they
// need not be the engine's Extended.
using MomentReal = long double;
inline constexpr MomentReal kMomentPi = 3.14159265358979323846264338327950288L;

// A moment that does not fit a double is reported as missing rather than as
// an infinity.
Moments Of(MomentReal mean, MomentReal variance);
inline Moments Constant(MomentReal value) { return Of(value, 0); }
Moments MeanOnly(MomentReal mean);
inline Moments None() { return {}; }

// The count a row receives: TruncToInt, or nothing when the truncation
// itself fails (then every value of the row fails).
std::optional<int32_t> Count(double x);
// A probability as the comparison U <= p uses it.
MomentReal Clip01(double p);

// The rows whose formulas take more than a line.
Moments BetaRow(double a, double b);
Moments DiscreteUniformRow(int32_t n);
Moments GammaRow(double shape, double scale);
Moments NoncentralFRow(double p1, double p2, double p3);
Moments NoncentralTRow(double p1, double p2);
Moments WeibullRow(double alpha, double beta);

}  // namespace moments
}  // namespace pelmora
