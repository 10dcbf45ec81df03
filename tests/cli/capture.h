#pragma once
// Runs pelmora-gen in-process with its output and error streams captured in
// anonymous memory files, so a test sees exactly the bytes a user would.
// Every run has a deadline (its threads may deadlock), and the output a
// bound: a run that would write without end fails at once instead of
// filling the memory.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cli/gen.h"
#include "tests/deadline.h"

namespace pelmora::testing {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

inline std::string ReadAll(int fd) {
    std::string text;
    ::lseek(fd, 0, SEEK_SET);
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

// cli::Run within the usual deadline of a run.
inline int RunInProcess(const std::vector<std::string>& args, int outFd, int errFd) {
    Deadline deadline(CommandLine(args) + " (in this process)");
    return cli::Run(args, outFd, errFd);
}

// More than any test asks for; writes beyond it fail with EPERM.
inline constexpr off_t kOutputBound = off_t{64} << 20;

inline Outcome RunTool(const std::vector<std::string>& args) {
    // The output file is sized to the bound and sealed against growing; its
    // write position is the length written.
    int out = ::memfd_create("out", MFD_ALLOW_SEALING);
    int err = ::memfd_create("err", 0);
    if (::ftruncate(out, kOutputBound) != 0 || ::fcntl(out, F_ADD_SEALS, F_SEAL_GROW) != 0) ADD_FAILURE() << "no bound";
    Outcome o;
    o.status = RunInProcess(args, out, err);
    const off_t written = ::lseek(out, 0, SEEK_CUR);
    o.out.resize(static_cast<std::size_t>(written));
    if (::pread(out, o.out.data(), o.out.size(), 0) != written) ADD_FAILURE() << "output not read back";
    o.err = ReadAll(err);
    ::close(out);
    ::close(err);
    if (written + 65536 >= kOutputBound)
        ADD_FAILURE() << CommandLine(args) << " wrote " << kOutputBound << " bytes, more than any test asks for, "
                      << "and was stopped there";
    return o;
}

// The lines of a text that ends in a line break.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            lines.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return lines;
}

}  // namespace pelmora::testing
