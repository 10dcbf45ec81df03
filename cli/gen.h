#pragma once
// pelmora-gen as a function, so that tests can run it in-process with their
// own descriptors: the same numbers as the window's Generate command, from a
// script, reproducibly with --seed, in batches of any size.

#include <array>
#include <span>
#include <string>

#include "core/rows.h"

namespace pelmora::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a value, a file or a write failed
inline constexpr int kExitUsage = 2;    // the command line itself is wrong

// Runs the tool on `args` (without the program name), writing values, the
// list, help and version to `outFd` (unless -o names a file) and messages,
// --stats and progress to `errFd`. Returns the exit status.
//
// Without --seed the uniform source starts at 0, as in a freshly started
// program, and reseeds from whatever clock is installed (the real one in the
// tool). With --seed the seeded source is in force for the run only.
int Run(std::span<const std::string> args, int outFd, int errFd);

// The texts of --help, --list and --version.
std::string HelpText();
std::string ListText();
// --list DISTRIBUTION: its block with the mean and variance for the
// parameter texts given; a text that is no number or lies outside the
// domain throws Error.
std::string ListRowText(Row row, const std::array<std::string, 3>& texts);
std::string VersionText();
// The short usage printed after a usage error.
std::string UsageText();

}  // namespace pelmora::cli
