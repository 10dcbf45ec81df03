#include "cli/output.h"

#include <unistd.h>

#include <algorithm>
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
    if (n == 0) return;
    const std::string_view bytes(buffer_.get(), n);
    const int error = pelmora::WriteAll(fd_, bytes);
    if (counting_) {
        if (error == 0) {
            Count(bytes);
        } else {
            // How much of the buffer went out before the failure: the file's
            // offset says, since the file is written from its start.
            const off_t at = ::lseek(fd_, 0, SEEK_CUR);
            if (at < 0 || static_cast<uint64_t>(at) < written_ || static_cast<uint64_t>(at) - written_ > n) {
                counting_ = false;
            } else {
                Count(bytes.substr(0, static_cast<std::size_t>(static_cast<uint64_t>(at) - written_)));
            }
        }
    }
    if (error != 0) throw WriteFailure{error};
}

void OutputSink::CountValues(bool binary, uint64_t header) {
    counting_ = true;
    binary_ = binary;
    header_ = header;
    written_ = 0;
    whole_ = {0, 0};
}

void OutputSink::Count(std::string_view bytes) {
    const uint64_t start = written_;
    written_ += bytes.size();
    if (binary_) {
        // A header cut short holds no value: the file goes back to empty.
        if (written_ < header_) {
            whole_ = {0, 0};
        } else {
            const uint64_t values = (written_ - header_) / 8;
            whole_ = {header_ + values * 8, values};
        }
        return;
    }
    // Counted in blocks of 255 bytes, each into one byte, which the
    // compiler turns into a vector loop: this runs on every write.
    uint64_t ends = 0;
    for (std::size_t at = 0; at < bytes.size(); at += 255) {
        const std::size_t end = std::min(bytes.size(), at + 255);
        unsigned char block = 0;
        for (std::size_t i = at; i < end; ++i) block += (bytes[i] == '\n') | (bytes[i] == '\t');
        ends += block;
    }
    if (ends == 0) return;
    const std::size_t last = bytes.find_last_of("\n\t");
    whole_.values += ends;
    whole_.bytes = start + last + (bytes[last] == '\n' ? 1 : 0);
}

std::optional<OutputSink::Whole> OutputSink::WholeValues() const {
    if (!counting_) return std::nullopt;
    return whole_;
}

void WriteAll(int fd, std::string_view text) {
    if (int error = pelmora::WriteAll(fd, text)) throw WriteFailure{error};
}

}  // namespace pelmora::cli
