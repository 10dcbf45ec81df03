#pragma once
// The command line of pelmora-gen:
//   pelmora-gen [--seed S] [-n COUNT] [-o FILE] [--stats] DISTRIBUTION [P1 [P2 [P3]]]
//   pelmora-gen --list | --help | --version
// Options may stand anywhere before "--". An argument that looks like a
// negative number ("-1", "-0.5", "-.5", "-") or is empty or blank is a
// parameter, never an option.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pelmora::cli {

enum class Mode { Generate, List, Help, Version };

struct Options {
    Mode mode = Mode::Generate;
    std::optional<uint64_t> seed;
    bool stats = false;
    std::optional<std::string> output;  // -o FILE; "-" is standard output
    int row = -1;
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

// The row a DISTRIBUTION argument names: a number 0 to 26, or a list caption
// compared case-insensitively with blanks, hyphens and apostrophes ignored.
// -1 when it names none.
int FindRow(std::string_view name);

// An unsigned 64-bit decimal integer, digits only; nothing for anything else.
std::optional<uint64_t> ParseSeed(std::string_view text);

}  // namespace pelmora::cli
