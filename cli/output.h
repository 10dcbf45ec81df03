#pragma once
// The write path of pelmora-gen: values are formatted straight into one large
// buffer, which goes out in big write() calls. Nothing is allocated per value
// and no stdio or iostream sits in between, so a run of any length streams in
// flat memory and every write error is seen.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
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

    // For a regular file written from its start: keeps count of the values
    // written and of where the last whole one ends, so that a failed write
    // can be cut back to it. `binary`: values of 8 bytes after a header of
    // `header` bytes (a .npy file's); otherwise texts each ended by a tab or
    // a line break.
    void CountValues(bool binary, uint64_t header = 0);
    // After a failed write: the length of the file up to the end of its last
    // whole value (without the tab after it), and the values it holds then.
    // Nothing when the values were not counted or the file's length is not
    // known.
    struct Whole {
        uint64_t bytes;
        uint64_t values;
    };
    std::optional<Whole> WholeValues() const;

private:
    void Count(std::string_view written);

    int fd_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    // The count of CountValues; `counting` goes off when it cannot be kept.
    bool counting_ = false;
    bool binary_ = false;
    uint64_t header_ = 0;   // bytes before the first binary value
    uint64_t written_ = 0;  // bytes in the file
    Whole whole_{0, 0};
};

// pelmora::WriteAll that throws WriteFailure when the write fails.
void WriteAll(int fd, std::string_view text);

}  // namespace pelmora::cli
