#pragma once
// The few POSIX pieces that the window program, pelmora-gen and the saving
// code all need: a descriptor closed on every path, a write that goes on
// until everything is out, and the system's text for an error number.

#include <string>
#include <string_view>

namespace pelmora {

// The operating system's text for an error number, without trailing blanks
// and periods ("Permission denied").
std::string SystemErrorText(int err);

// Writes all of `data` to `fd`, going on after short writes and interrupted
// calls and waiting while a non-blocking descriptor is full. Returns 0, or
// the errno value of the write that failed; a write that makes no progress
// counts as a full device (ENOSPC) instead of spinning.
int WriteAll(int fd, std::string_view data);

// Owns a descriptor and closes it when it goes, unless released first.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) noexcept : fd_(fd) {}
    ~FileDescriptor() { Reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }
    // Gives the descriptor up without closing it.
    int Release() noexcept;
    // Closes the descriptor held, if any, and holds `fd` instead.
    void Reset(int fd = -1) noexcept;
    // Closes now. Returns 0, or the errno value when the close reports a
    // failed write (EINTR is not one: the descriptor is gone then).
    int Close() noexcept;

private:
    int fd_;
};

}  // namespace pelmora
