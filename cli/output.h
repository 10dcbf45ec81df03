#pragma once
// The write path of pelmora-gen: values are formatted straight into one large
// buffer, which goes out in big write() calls. Nothing is allocated per value
// and no stdio or iostream sits in between, so a run of any length streams in
// flat memory and every write error is seen.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "core/posix.h"

namespace pelmora::cli {

// A write that failed for good. `error` is the errno value; EPIPE means the
// reader went away, which the tool treats as a quiet end.
struct WriteFailure {
    int error;
};

// The sink sits on cache lines of its own: the writer thread of -j 1 moves
// `used_` forward with every value, and an object of the drawing thread
// that shared its line (the seeded source beside it on the caller's stack,
// which every reseed writes) would bounce that line between the two cores
// at every value, which cost more CPU time than the formatting itself.
class alignas(64) OutputSink {
public:
    static constexpr std::size_t kCapacity = 64 * 1024;

    // Writes to `fd`, which the sink does not own.
    explicit OutputSink(int fd);
    OutputSink(const OutputSink&) = delete;
    OutputSink& operator=(const OutputSink&) = delete;

    // Room for at least `n` (<= kCapacity) bytes at the end of the buffer,
    // flushing first when there is not enough; Commit says how many were used.
    char* Reserve(std::size_t n) {
        if (kCapacity - used_ < n) Flush();
        return buffer_.get() + used_;
    }
    void Commit(std::size_t n) { used_ += n; }

    void Append(std::string_view text);

    // Sends what follows to `fd` instead; only before anything is flushed.
    void Redirect(int fd) { fd_ = fd; }

    // Writes out everything buffered; throws WriteFailure. After a failure
    // the buffered bytes are dropped, so a second Flush does not repeat it.
    void Flush();

private:
    int fd_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

// pelmora::WriteAll that throws WriteFailure when the write fails.
void WriteAll(int fd, std::string_view text);

}  // namespace pelmora::cli
