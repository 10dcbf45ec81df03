#include "cli/output.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pelmora::cli {

OutputSink::OutputSink(int fd) : fd_(fd), buffer_(new char[kCapacity]) {}

void OutputSink::Append(std::string_view text) {
    while (!text.empty()) {
        std::size_t room = kCapacity - used_;
        if (room == 0) {
            Flush();
            room = kCapacity;
        }
        std::size_t n = text.size() < room ? text.size() : room;
        std::memcpy(buffer_.get() + used_, text.data(), n);
        used_ += n;
        text.remove_prefix(n);
    }
}

void OutputSink::Flush() {
    std::size_t n = used_;
    used_ = 0;
    if (n != 0) WriteAll(fd_, std::string_view(buffer_.get(), n));
}

void WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t written = ::write(fd, text.data(), text.size());
        if (written > 0) {
            text.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, -1);
            continue;
        }
        // write() returning 0 for a non-empty buffer makes no progress: treat
        // it like a full device rather than spin.
        throw WriteFailure{written == 0 ? ENOSPC : errno};
    }
}

std::string SystemErrorText(int error) {
    std::string text = std::strerror(error);
    while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.pop_back();
    return text;
}

}  // namespace pelmora::cli
