#include "cli/output.h"

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
    if (int error = pelmora::WriteAll(fd, text)) throw WriteFailure{error};
}

}  // namespace pelmora::cli
