#pragma once
// A run drawn in parts on several threads and written in order. The values
// are cut into parts of a few thousand; where the row's split allows it
// (core/rows.h, Cut), each worker draws a part from the place in the stream
// where it begins -- splitmix64 jumped ahead to the part's first reseed, the
// uniform state advanced to its first uniform, or on the counter-based
// source simply the part's first value -- and formats it, so a seeded run
// gives the same bytes for every thread count. A serial row is drawn in
// order on one thread while the others format. The calling thread receives
// the parts in order and writes them.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli/format.h"
#include "core/rows.h"

namespace pelmora::cli {

struct PartsJob {
    Row row;
    std::array<double, 3> params;
    // Values first .. first + count - 1 of the run (--shard draws a stretch
    // from the middle).
    uint64_t first = 0;
    uint64_t count = 0;
    // The value the lines of --columns count from (--start begins a line).
    uint64_t lineOrigin = 0;
    // The run's seed; under the counter-based source also its key, and
    // then always set (from the system when --seed is not given).
    std::optional<uint64_t> seed;
    UniformSource source = UniformSource::Lcg;
    ValueFormat format;
    int threads = 1;
};

// How the drawing ended.
struct PartsEnd {
    std::optional<std::string> failure;  // the failing value's message
    int stopped = 0;                     // the signal that cut the run short
};

// What the calling thread does with each part, in order: its values and
// their text (or bytes). May throw (a write failure); the workers are then
// stopped and joined before the exception leaves DrawInParts.
class PartsReceiver {
public:
    virtual void Take(std::span<const double> values, std::string_view text) = 0;

protected:
    ~PartsReceiver() = default;
};

// Draws the job and hands its parts to `receiver`. A value that fails ends
// the run: the values before it are handed over, nothing after it. A stop
// signal likewise ends the run after the values drawn before it in order.
// Throws std::system_error when not one thread can be started.
//
// Without a seed a serial row draws as the calling thread would: from
// uniform state 0 with the calling thread's clock. So does every row when
// that clock is not the real one (a clock a test installed serves one
// thread). Otherwise each worker reads the real clock under its own thread
// index.
PartsEnd DrawInParts(const PartsJob& job, PartsReceiver& receiver);

// Formats values first .. first + values.size() - 1 of a run into `out`
// (room for FormatRoom(values.size(), format) bytes) and returns the length:
// lines of `format.columns` values, so that parts formatted apart join into
// the text of the whole run. The short last line of a run gets its line
// break from the caller.
std::size_t FormatPart(std::span<const double> values, uint64_t first, const ValueFormat& format, char* out);
std::size_t FormatRoom(std::size_t values, const ValueFormat& format);

// The CPUs the process may run on (its affinity mask), at least 1.
int UsableCpus();

}  // namespace pelmora::cli
