// pelmora-gen: Pelmora's values from the command line (see --help).

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/gen.h"
#include "cli/interrupt.h"

int main(int argc, char** argv) {
    // A closed pipe shows up as EPIPE from write(), which the tool handles,
    // instead of killing the process mid-buffer.
    std::signal(SIGPIPE, SIG_IGN);
    // Likewise a file beyond the size limit (ulimit -f) shows up as EFBIG,
    // which is reported, instead of ending the process without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    // Ctrl-C and SIGTERM stop the run between two values, with whole lines.
    pelmora::cli::InstallStopHandlers();
    try {
        std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
        return pelmora::cli::Run(args, 1, 2);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pelmora-gen: %s\n", e.what());
        return pelmora::cli::kExitFailure;
    }
}
