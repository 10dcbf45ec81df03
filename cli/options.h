#pragma once
// The command line of pelmora-gen:
//   pelmora-gen [OPTIONS] DISTRIBUTION [P1 [P2 [P3]]]
//   pelmora-gen --list [DISTRIBUTION] | --help | --version
// (--help lists the options.)
// Options may stand anywhere before "--". An argument that looks like a
// negative number ("-1", "-0.5", "-.5", "-") or is empty or blank is a
// parameter, never an option.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/rows.h"
#include "engine/uniform.h"

namespace pelmora::cli {

enum class Mode { Generate, List, Help, Version };

struct Options {
    Mode mode = Mode::Generate;
    std::optional<uint64_t> seed;
    bool stats = false;
    // --as-window: no domain check; the window's rules exactly (guarded rows
    // give 0, the fields' own errors; the count read as its quantity field,
    // text to real, then TruncToInt).
    bool asWindow = false;
    // The count, checked by ParseCount unless asWindow; with asWindow the
    // text `count` below is read as the window reads its quantity field.
    int64_t countValue = 10;
    int precision = 15;   // significant digits, 1 to 17
    int columns = 1;      // values per line
    bool binary = false;  // raw little-endian doubles instead of text
    int histBins = 0;     // --hist: bins of the histogram; 0 for none
    // -j: threads that draw and format; 0 for the CPUs the process may use.
    int threads = 0;
    // --shard I/N: only part `index` (0-based) of `count` equal parts of the
    // run; needs a seed.
    struct Shard {
        uint64_t index;
        uint64_t count;
    };
    std::optional<Shard> shard;

    // --source: where the uniforms come from, the window's 32-bit generator
    // (the default) or the counter-based one (engine/uniform.h).
    UniformSource source = UniformSource::Lcg;
    // --start K: the run begins at value K (counted from 0); needs a seed.
    uint64_t start = 0;
    std::optional<std::string> output;  // -o FILE; "-" is standard output
    // The distribution: always set to generate; with --list, the one row to
    // show at length.
    std::optional<Row> row;
    // Texts as the window's fields would hold them: the parameters given,
    // then the row's defaults for those left out (with --as-window the
    // window's start-up texts "1", "1" and "3"); a field the row hides keeps
    // the window's start-up text.
    std::string count = "10";
    std::string p1 = "1";
    std::string p2 = "1";
    std::string p3 = "3";
    // --list DISTRIBUTION: the parameters left out that have no default.
    std::vector<std::string> missing;

    // The histogram's range (--range LO HI); unset: the central part of
    // the sample, its far tails counted below and above.
    struct Range {
        double low;
        double high;
    };
    std::optional<Range> histRange;
    // --npy: a NumPy .npy file (float64, or int64 for the integer rows).
    bool npy = false;
};

struct ParsedArguments {
    Options options;
    std::string error;  // a usage error when not empty
};

// `args` without the program name.
ParsedArguments ParseArguments(std::span<const std::string> args);

// The row a DISTRIBUTION argument names: a number 0 to 26 (digits only,
// blanks around it allowed), the row's caption or one of its aliases,
// compared case-insensitively with blanks, hyphens and apostrophes ignored.
std::optional<Row> FindRow(std::string_view name);

// The names closest to an unknown one (within a couple of typing slips),
// nearest first; empty when none is close.
std::vector<std::string> NearestNames(std::string_view name);

// A count of values: a decimal integer from 0 to 2^63 - 1, digits with an
// optional fraction and exponent as long as the value is whole ("1e9",
// "2.5e6", "10.0"); nothing for anything else (signs, blanks, "3.5", "1e19").
std::optional<int64_t> ParseCount(std::string_view text);

// The most threads -j accepts.
inline constexpr int kMaxThreads = 256;

// An unsigned 64-bit decimal integer, digits only; nothing for anything else.
std::optional<uint64_t> ParseSeed(std::string_view text);

}  // namespace pelmora::cli
