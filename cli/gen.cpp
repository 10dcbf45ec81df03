#include "cli/gen.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <system_error>

#include "cli/options.h"
#include "cli/output.h"
#include "cli/seeded_clock.h"
#include "cli/stats.h"
#include "cli/value_writer.h"
#include "core/generate.h"
#include "core/moments.h"
#include "core/rows.h"
#include "core/savefile.h"
#include "engine/error.h"
#include "engine/uniform.h"

#ifndef PELMORA_VERSION
#define PELMORA_VERSION "unknown"
#endif

namespace pelmora::cli {
namespace {

constexpr const char* kProgram = "pelmora-gen";

// Messages and reports on the error stream: nothing sensible can be done
// when they cannot be written, so failures there are ignored.
void Say(int fd, std::string_view text) {
    try {
        WriteAll(fd, text);
    } catch (const WriteFailure&) {
    }
}

int Fail(int errFd, std::string_view message) {
    Say(errFd, std::string(kProgram) + ": " + ErrorBoxText(message) + "\n");
    return kExitFailure;
}

int UsageError(int errFd, std::string_view problem) {
    Say(errFd, std::string(kProgram) + ": " + std::string(problem) + "\n" + UsageText() +
                   "Try '" + kProgram + " --help' for more information.\n");
    return kExitUsage;
}

// A progress line on the error stream, only when it is a terminal that the
// values themselves do not go to, and only once the run has taken more than
// a second. The time is read every `stride_`
// values, a stride that adapts so that reading it costs next to nothing.
class Progress {
public:
    Progress(int fd, int64_t total, int outputFd)
        : fd_(fd), total_(total), enabled_(::isatty(fd) == 1 && ::isatty(outputFd) != 1) {
        if (enabled_) start_ = lastCheck_ = Clock::now();
    }

    void Tick(int64_t done) {
        if (!enabled_ || --countdown_ > 0) return;
        Check(done);
    }

    void Clear() {
        if (shown_) Say(fd_, "\r\033[K");
        shown_ = false;
    }

private:
    using Clock = std::chrono::steady_clock;

    void Check(int64_t done) {
        auto now = Clock::now();
        auto sinceCheck = now - lastCheck_;
        lastCheck_ = now;
        if (sinceCheck < std::chrono::milliseconds(5) && stride_ < (1 << 20)) stride_ *= 2;
        if (sinceCheck > std::chrono::milliseconds(50) && stride_ > 1) stride_ /= 2;
        countdown_ = stride_;
        if (now - start_ < std::chrono::seconds(1)) return;
        if (shown_ && now - lastShown_ < std::chrono::milliseconds(200)) return;
        lastShown_ = now;
        shown_ = true;
        char line[128];
        std::snprintf(line, sizeof line, "\r%s: %lld of %lld values (%d%%)\033[K", kProgram,
                      static_cast<long long>(done), static_cast<long long>(total_),
                      static_cast<int>(done * 100 / total_));
        Say(fd_, line);
    }

    int fd_;
    int64_t total_;
    bool enabled_;
    bool shown_ = false;
    int64_t stride_ = 1;
    int64_t countdown_ = 1;
    Clock::time_point start_, lastCheck_, lastShown_;
};

// Opens the file named by -o, creating or emptying it. Started with a
// standard stream closed, the file must not take that number, or messages
// meant for the error stream would land in it.
int OpenOutputFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd >= 0 && fd <= 2) {
        int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
        if (moved >= 0) {
            ::close(fd);
            fd = moved;
        }
    }
    return fd;
}

int Generate(const Options& o, int outFd, int errFd) {
    Request request;
    try {
        request = ParseFields({o.count, o.p1, o.p2, o.p3}, ".");
    } catch (const Error& e) {
        return Fail(errFd, e.what());
    }

    // The file is created (or emptied) only when the first value is ready,
    // so a command that fails before it -- a mistyped field, parameters the
    // generator refuses, no thread to write with -- leaves the file as it was.
    const bool toFile = o.output && *o.output != "-";
    const std::string target = toFile ? "\"" + *o.output + "\"" : std::string("standard output");
    FileDescriptor file;
    auto openFile = [&] {
        file.Reset(OpenOutputFile(*o.output));
        return file.valid();
    };

    std::optional<SeededSource> seeded;
    if (o.seed) {
        seeded.emplace(*o.seed);
    } else {
        UniformSeed = 0;
    }

    OutputSink sink(toFile ? -1 : outFd);
    RunningStats stats;
    Progress progress(errFd, request.count, toFile ? -1 : outFd);
    std::optional<std::string> failure;
    try {
        // This thread draws; the writer formats and writes on another core.
        std::optional<ValueWriter> writer;
        try {
            writer.emplace(sink);
        } catch (const std::system_error& e) {
            return Fail(errFd, "Cannot start the thread that writes the values. " + SystemErrorText(e.code().value()));
        }
        try {
            for (int32_t i = 0; i < request.count; ++i) {
                double value = DrawRow(o.row, request.p1, request.p2, request.p3);
                if (i == 0 && toFile) {
                    if (!openFile()) return Fail(errFd, CannotCreateMessage(*o.output, errno));
                    sink.Redirect(file.get());
                }
                if (o.stats) stats.Add(value);
                progress.Tick(i + 1);
                if (!writer->Put(value)) break;
            }
        } catch (const Error& e) {
            // The values drawn before the failure stay: they are written out
            // before the failure is reported.
            failure = e.what();
        }
        writer->Finish();
        // A run without values that succeeds still leaves an empty file.
        if (toFile && !file.valid() && !failure && !openFile()) {
            return Fail(errFd, CannotCreateMessage(*o.output, errno));
        }
        if (int error = file.Close()) throw WriteFailure{error};
    } catch (const WriteFailure& w) {
        progress.Clear();
        // A reader that went away (head, a closed pager) is no news to the
        // user: end quietly, but never with success.
        if (w.error == EPIPE) return kExitFailure;
        Fail(errFd, "Cannot write to " + target + ". " + SystemErrorText(w.error));
        if (failure) Fail(errFd, *failure);
        return kExitFailure;
    }
    progress.Clear();
    if (failure) return Fail(errFd, *failure);
    if (o.stats) {
        // The report is what was asked for: lost on a full or closed error
        // stream, the run has failed, although nothing can say so.
        try {
            WriteAll(errFd, StatsReport(stats, TheoreticalMoments(o.row, request.p1, request.p2, request.p3)));
        } catch (const WriteFailure&) {
            return kExitFailure;
        }
    }
    return kExitOk;
}

// --help, --list and --version go to the output; a failed write is reported
// like any other.
int Print(int outFd, int errFd, const std::string& text) {
    try {
        WriteAll(outFd, text);
    } catch (const WriteFailure& w) {
        if (w.error == EPIPE) return kExitFailure;
        return Fail(errFd, "Cannot write to standard output. " + SystemErrorText(w.error));
    }
    return kExitOk;
}

}  // namespace

std::string UsageText() {
    return "Usage: pelmora-gen [--seed S] [-n COUNT] [-o FILE] [--stats] DISTRIBUTION [P1 [P2 [P3]]]\n"
           "       pelmora-gen --list | --help | --version\n";
}

std::string HelpText() {
    return UsageText() +
           "\n"
           "Draws COUNT values of one of Pelmora's 27 distributions and writes them one\n"
           "per line, in the window program's number format, as they are drawn.\n"
           "\n"
           "  DISTRIBUTION  a row number 0 to 26 or the distribution's name, in any case,\n"
           "                with blanks, hyphens and apostrophes optional (\"gamma\",\n"
           "                \"gauss normal\", \"noncentral-f\", \"students t\"); see --list\n"
           "  P1 P2 P3      the parameters, read as the window reads its fields, with \".\"\n"
           "                as the decimal separator (defaults 1, 1 and 3); negative\n"
           "                numbers such as -1 or -.5 are parameters, not options\n"
           "\n"
           "Options:\n"
           "  -n COUNT      how many values (default 10); a fraction is cut off\n"
           "  -o FILE       write the values to FILE instead of standard output\n"
           "  --seed S      a reproducible run: S is an unsigned 64-bit decimal integer,\n"
           "                and the same command prints the same values on every machine\n"
           "                and in every release\n"
           "  --stats       after the values, print their count, mean, variance, minimum\n"
           "                and maximum to standard error, with the mean and variance\n"
           "                that the distribution's construction implies\n"
           "  --list        list the distributions with their parameters\n"
           "  --help        show this help\n"
           "  --version     show the version\n"
           "  --            end of options\n"
           "\n"
           "Without --seed, values come from the window program's source, reseeded from\n"
           "the clock as the window does it.\n"
           "\n"
           "Exit status: 0 when all values were written; 1 when a value or a write failed\n"
           "(the values written before stay); 2 when the command line is wrong.\n";
}

std::string ListText() {
    std::string text;
    for (int row = 0; row < kRowCount; ++row) {
        const RowInfo& info = kRows[row];
        std::string labels;
        for (const char* label : {info.label1, info.label2, info.label3}) {
            if (!label) continue;
            if (!labels.empty()) labels += ", ";
            labels += label;
        }
        if (labels.empty()) labels = "(no parameters)";
        char line[128];
        std::snprintf(line, sizeof line, "%2d  %-22s  %s\n", row, info.caption, labels.c_str());
        text += line;
    }
    return text;
}

std::string VersionText() { return std::string(kProgram) + " " + PELMORA_VERSION + "\n"; }

int Run(std::span<const std::string> args, int outFd, int errFd) {
    ParsedArguments parsed = ParseArguments(args);
    if (!parsed.error.empty()) return UsageError(errFd, parsed.error);
    const Options& o = parsed.options;
    switch (o.mode) {
        case Mode::Help: return Print(outFd, errFd, HelpText());
        case Mode::List: return Print(outFd, errFd, ListText());
        case Mode::Version: return Print(outFd, errFd, VersionText());
        case Mode::Generate: break;
    }
    return Generate(o, outFd, errFd);
}

}  // namespace pelmora::cli
