#pragma once
// The command line of pelmora-gen:
//   pelmora-gen [--seed S] [-n COUNT] [-o FILE] [--stats] [--as-window] DISTRIBUTION [P1 [P2 [P3]]]
//   pelmora-gen --list [DISTRIBUTION] | --help | --version
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

namespace pelmora::cli {

enum class Mode { Generate, List, Help, Version };

struct Options {
    Mode mode = Mode::Generate;
    std::optional<uint64_t> seed;
    bool stats = false;
    // --as-window: no domain check; the window's rules exactly (guarded rows
    // give 0, the fields' own errors).
    bool asWindow = false;
    std::optional<std::string> output;  // -o FILE; "-" is standard output
    // The distribution: always set to generate; with --list, the one row to
    // show at length.
    std::optional<Row> row;
    // Texts as the window's fields would hold them, with its start-up texts
    // for those not given.
    std::string count = "10";
    std::string p1 = "1";
    std::string p2 = "1";
    std::string p3 = "3";
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

// An unsigned 64-bit decimal integer, digits only; nothing for anything else.
std::optional<uint64_t> ParseSeed(std::string_view text);

}  // namespace pelmora::cli
