#pragma once
// pelmora-gen as a function, so that tests can run it in-process with their
// own descriptors: the same numbers as the window's Generate command, from a
// script, reproducibly with --seed, in batches of any size.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/rows.h"

namespace pelmora::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a value, a file or a write failed
inline constexpr int kExitUsage = 2;    // the command line itself is wrong

// Runs the tool on `args` (without the program name), writing values, the
// list, help and version to `outFd` (unless -o names a file) and messages,
// --stats and progress to `errFd`. Returns the exit status.
//
// With --seed the seeded source is in force for the run only. Without it a
// run takes its seed from the SeedSource (the system's) and is then the
// run of that seed; --stats prints it. With --as-window and no --seed the
// uniform source starts at 0, as in a freshly started window program, and
// reseeds from whatever clock is installed (the real one in the tool).
int Run(std::span<const std::string> args, int outFd, int errFd);

// Where a run without --seed takes its seed: 64 bits of the system's random
// source (getrandom). Tests put their own in place with ScopedSeedSource.
struct SeedSource {
    uint64_t (*read)(void* context);
    void* context;
};
class ScopedSeedSource {
public:
    explicit ScopedSeedSource(SeedSource source);
    ~ScopedSeedSource();
    ScopedSeedSource(const ScopedSeedSource&) = delete;
    ScopedSeedSource& operator=(const ScopedSeedSource&) = delete;

private:
    SeedSource saved_;
};

// The 128-byte header of a .npy file (format 1.0) of `count` values, float64
// or with `integers` int64, little-endian, one dimension.
std::string NpyHeader(uint64_t count, bool integers);

// The texts of --help, --list and --version.
std::string HelpText();
std::string ListText();
// --list DISTRIBUTION: its block with the mean and variance for the
// parameter texts (the defaults filled in); a text that is no number or lies
// outside the domain throws Error. Where parameters without a default are
// `missing`, the block alone.
std::string ListRowText(Row row, const std::array<std::string, 3>& texts, const std::vector<std::string>& missing = {});
std::string VersionText();
// The short usage printed after a usage error.
std::string UsageText();

}  // namespace pelmora::cli
