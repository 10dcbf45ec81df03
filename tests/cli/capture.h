#pragma once
// Runs pelmora-gen in-process with its output and error streams captured in
// anonymous memory files, so a test sees exactly the bytes a user would.
// Every run has a deadline (its threads may deadlock), and the output a
// bound: a run that would write without end fails at once instead of
// filling the memory.

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

inline Outcome RunTool(const std::vector<std::string>& args) {
    int out = BoundedOutputFile();
    int err = ::memfd_create("err", 0);
    Outcome o;
    o.status = RunInProcess(args, out, err);
    o.out = WrittenTo(out, CommandLine(args));
    o.err = ReadAll(err);
    ::close(out);
    ::close(err);
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
