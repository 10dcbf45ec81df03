#pragma once
// The 27 distribution rows, one record each: what the list shows, how the
// parameter panel labels its fields, which picture belongs to each and the
// formula it shows, how the Generate command calls the row's generator, the
// mean and variance of what it draws, the names pelmora-gen accepts and the
// parameters where the row's construction is a proper distribution.
// Everything else (the window, pelmora-gen, the picture tool, the tests)
// reads these records; adding a distribution is adding one.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/law.h"
#include "core/moments.h"
#include "engine/uniform.h"

namespace pelmora {

// The rows in the order of the list; the value is the zero-based list index.
enum class Row : uint8_t {
    Beta,
    Bernoulli,
    BernoulliGauss,
    Binomial,
    Cauchy,
    ChiSquare,
    ContinuousUniform,
    DiscreteUniform,
    Erlang,
    Exponential,
    F,
    Gamma,
    GaussNormal,
    Geometric,
    Laplace,
    LogNormal,
    Logistic,
    Poisson,
    Rayleigh,
    StandardNormal,
    StudentT,
    Triangle,
    NegativeBinomial,
    NoncentralChiSquare,
    NoncentralF,
    NoncentralT,
    Weibull,
};

inline constexpr int kRowCount = 27;

constexpr int Index(Row row) { return static_cast<int>(row); }
// The row of list index `index`, which must be 0 to 26.
constexpr Row RowAt(int index) { return static_cast<Row>(index); }

enum class ResultKind { Real, Integer };

// One side of a parameter's domain: a bound given as a number, or as
// another parameter of the row (`other` is its index 0 to 2).
enum class Compare : uint8_t { None, Greater, AtLeast, Less, AtMost };

struct Limit {
    Compare compare = Compare::None;
    double value = 0;
    int other = -1;
};

struct Param {
    const char* label = nullptr;    // the field label, nullptr when the row hides the field
    const char* meaning = nullptr;  // what the parameter is, for --list
    Limit lower;                    // the domain, checked in this order
    Limit upper;
    // Truncated toward zero to a 32-bit integer before the draw; the limits
    // apply to the truncated value. pelmora-gen takes only whole numbers for
    // it (--as-window truncates as the window does).
    bool count = false;
    // The text pelmora-gen takes when the parameter is left out: the
    // textbook default of R and scipy (normal mean 0, sigma 1). nullptr: the
    // parameter has none and must be given. Only a row's last parameters
    // have one, so that those given are always the first.
    const char* fallback = nullptr;
};

// How a value meets the uniform source. A row that reseeds from the clock
// before each value draws values that depend only on the clock readings
// (with --seed: on the splitmix64 outputs), so a seeded run could be cut
// into parts drawn apart; a row that continues the stream makes every value
// depend on all before it, and with --seed only S mod 2^32 matters.
enum class Stream : uint8_t {
    Reseeds,                // every value starts with a reseed
    Continues,              // never reseeds
    ReseedsAtShapeOne,      // Gamma: shape 1 is the reseeding exponential generator
};

// How a run of values with given parameters can be cut into parts drawn
// apart, on several threads or machines (pelmora-gen -j and --shard), with
// the same values as one run.
enum class Cut : uint8_t {
    // Every value starts with a reseed and makes exactly `perValue` of them
    // (0: the value leaves the source alone). Value i then depends only on
    // the clock readings i * perValue on; with --seed a part starts by
    // jumping splitmix64 ahead.
    Reseeds,
    // Never reseeds and draws exactly `perValue` uniforms per value: a part
    // starts with AdvanceUniform.
    Jumps,
    // Never reseeds and draws a varying number of uniforms (rejection or
    // product loops): every value depends on all draws before it, so the
    // values are drawn in order on one thread.
    Serial,
    // The counter-based source, for every row: value i's uniforms are a
    // function of the key and i alone, so a part starts with BeginValue.
    Counter,
};

struct Split {
    Cut cut;
    uint64_t perValue = 0;  // reseeds (Reseeds) or uniforms (Jumps) per value
    // Serial: at least this many uniforms per value on average, for telling
    // how long a run takes to come round the source's 2^32 states again.
    double leastUniforms = 1;
};

struct Distribution {
    Row row;
    const char* caption;  // the ListBox1 item ("Student's T " ends in a blank)
    std::array<Param, 3> params;
    const char* picture;  // file name with its leading separator, appended to the picture folder
    ResultKind kind;
    // One value from the three parsed parameters, with the row's argument
    // order and truncations (TruncToInt for every value, just before the
    // call; P1 before P2 where two are truncated). Integers widened to double.
    double (*draw)(double p1, double p2, double p3);
    // The mean and variance of what the row draws (see core/moments.h).
    Moments (*moments)(double p1, double p2, double p3);
    // The distribution function of what the row draws, for --hist and
    // --stats; throws (std::exception) for parameters outside its domain.
    Law (*law)(double p1, double p2, double p3);
    // The picture's formula, one line each, top to bottom, as markup for the
    // picture tool (UTF-8); a line that starts with \small is a side note.
    std::array<const char*, 4> formula;
    // Short names accepted by pelmora-gen besides the caption (lower case).
    std::array<const char*, 4> aliases;
    // Where the row draws something other than the textbook law of its
    // name, one line saying what; nullptr where it does not.
    const char* differs;
    Stream stream;
    // How the generator meets the source for these parameters (see Cut),
    // with the same truncations as `draw`.
    Split (*split)(double p1, double p2, double p3);
};

extern const std::array<Distribution, kRowCount>& kRows;

inline const Distribution& Record(Row row) { return kRows[static_cast<std::size_t>(row)]; }

// Draws one value of `row` (see Distribution::draw).
inline double DrawRow(Row row, double p1, double p2, double p3) { return Record(row).draw(p1, p2, p3); }

inline Split SplitOf(Row row, double p1, double p2, double p3) { return Record(row).split(p1, p2, p3); }

// How a run splits on `source`: as the row's record says on the window's
// source, anywhere on the counter-based one.
inline Split SplitOf(Row row, double p1, double p2, double p3, UniformSource source) {
    return source == UniformSource::Philox ? Split{Cut::Counter, 0} : SplitOf(row, p1, p2, p3);
}

// Whether values of `row` with first parameter p1 each start with a reseed.
bool ReseedsEachValue(Row row, double p1);

// The caption without its trailing blank, as messages and --list name the row.
std::string_view RowName(Row row);
// The name pelmora-gen shows for the row: the caption in lower case, blanks
// as hyphens, apostrophes left out ("gauss-normal", "students-t").
std::string CommandName(Row row);
// The short form of a field label ("m (a<m<b)" is "m").
std::string_view ParamName(const Param& param);

// The domain of one parameter as --list shows it ("lambda > 0",
// "0 <= p <= 1", "a < m < b", "1 <= n <= 2147483647").
std::string DomainText(Row row, int param);

// Throws Error when a parameter lies outside the row's domain, naming the
// row, the parameter, the rule and the text given:
// "Poisson: lambda must be greater than 0 (got -4)." A count must also be
// a whole number: "Chi-square: n must be a whole number (got 2.5); ...".
void CheckDomain(Row row, const std::array<double, 3>& values, const std::array<std::string_view, 3>& texts);

}  // namespace pelmora
