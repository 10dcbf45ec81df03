#include "core/posix.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pelmora {

std::string SystemErrorText(int err) {
    std::string text = std::strerror(err);
    while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.pop_back();
    return text;
}

int WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t written = ::write(fd, data.data(), data.size());
        if (written > 0) {
            data.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        if (written == 0) return ENOSPC;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, -1);
            continue;
        }
        return errno;
    }
    return 0;
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
}

int FileDescriptor::Release() noexcept {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

void FileDescriptor::Reset(int fd) noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

int FileDescriptor::Close() noexcept {
    int fd = Release();
    if (fd < 0 || ::close(fd) == 0 || errno == EINTR) return 0;
    return errno;
}

}  // namespace pelmora
