// pelmora-gen's command line, fed any bytes: NUL bytes split the input into
// arguments (at most 12). The tool runs in-process on anonymous memory
// files, with a counting clock in place of the real one and a fixed seed in
// place of the system's, whenever the run
// cannot write a file and its work is small (a few dozen values, count
// parameters in the thousands).
//
// Checked for every input:
// - ParseArguments either reports a usage error or gives a known mode, and
//   a run names a row 0 to 26; FindRow gives nothing or 0 to 26; ParseSeed accepts
//   exactly the unsigned 64-bit decimal numbers;
// - the exit status is 0, 1 or 2; a usage error prints its problem and the
//   usage to the error stream and nothing to the output; --help, --list and
//   --version print their texts; a field the window would refuse, or a
//   parameter outside the row's domain without --as-window, gives status 1
//   and its message;
// - a successful run writes exactly COUNT lines, each a finite number in
//   the general format, and nothing on the error stream but a warning of
//   repeats unless --stats asked for more; a failed run says "pelmora-gen: ..." and the lines it
//   wrote before are whole values;
// - a --seed run gives the same bytes when repeated, and on one thread;
// - --shard writes its stretch of the run, or is refused (status 2) for a
//   row whose values are drawn in order.

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/gen.h"
#include "cli/options.h"
#include "core/generate.h"
#include "core/numtext.h"
#include "engine/error.h"
#include "engine/numeric.h"
#include "engine/uniform.h"

namespace {

using namespace pelmora;
using namespace pelmora::cli;

[[noreturn]] void Fail(const char* what, const std::vector<std::string>& args) {
    std::fprintf(stderr, "fuzz_cli_args: %s; arguments:", what);
    for (const std::string& a : args) std::fprintf(stderr, " [%s]", a.c_str());
    std::fprintf(stderr, "\n");
    std::abort();
}

struct Outcome {
    int status;
    std::string out, err;
};

std::string ReadBack(int fd) {
    std::string text;
    ::lseek(fd, 0, SEEK_SET);
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

uint64_t ReadCounter(void* context) { return (*static_cast<uint64_t*>(context))++; }
uint64_t FixedSeed(void*) { return 20261208; }

Outcome RunTool(const std::vector<std::string>& args) {
    static const int out = ::memfd_create("out", 0);
    static const int err = ::memfd_create("err", 0);
    if (out < 0 || err < 0) Fail("no memory files", args);
    ::ftruncate(out, 0);
    ::ftruncate(err, 0);
    ::lseek(out, 0, SEEK_SET);
    ::lseek(err, 0, SEEK_SET);
    uint64_t counter = 1;
    ScopedClock clock({&ReadCounter, &counter});
    ScopedSeedSource seed({&FixedSeed, nullptr});
    Outcome o;
    o.status = Run(args, out, err);
    o.out = ReadBack(out);
    o.err = ReadBack(err);
    return o;
}

// Whether the values of this request come quickly: few of them, and the
// rows that loop over a count parameter with a small one.
bool SmallWork(const Options& o, const Request& r, int64_t count) {
    if (count > 40) return false;
    if (o.threads > 16) return false;  // a thread each costs more than the values
    auto smallCount = [](double p) {
        try {
            int32_t n = TruncToInt(p);
            return n >= -2000 && n <= 2000;
        } catch (const Error&) {
            return true;  // the run fails at once
        }
    };
    switch (*o.row) {
        case Row::Binomial: case Row::ChiSquare: case Row::StudentT: case Row::NegativeBinomial:
        case Row::NoncentralChiSquare: case Row::NoncentralT: return smallCount(r.p1);
        case Row::NoncentralF: return smallCount(r.p1) && smallCount(r.p2);
        case Row::Gamma: return !(r.p1 < -20);  // shapes far below 0 reject nearly every candidate
        default: return true;
    }
}

// The values a run writes: all COUNT, or the stretch of --shard.
int64_t Written(const Options& o, int64_t count) {
    if (count <= 0) return 0;
    if (!o.shard) return count;
    using Wide = unsigned __int128;
    const Wide total = static_cast<uint64_t>(count);
    return static_cast<int64_t>(total * (o.shard->index + 1) / o.shard->count - total * o.shard->index / o.shard->count);
}

bool IsValueLine(std::string_view line) {
    if (line.empty() || line.size() > kFormatMax) return false;
    try {
        Extended v = TextToReal(line, ".");
        if (!std::isfinite(v)) return false;
        return FormatGeneral(ToDouble(v), std::string_view(".")) == line;
    } catch (const Error&) {
        return false;
    }
}

std::vector<std::string_view> Lines(std::string_view text, bool& complete) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            lines.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    complete = start == text.size();
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    while (args.size() < 12) {
        std::size_t nul = input.find('\0');
        args.emplace_back(input.substr(0, nul));
        if (nul == std::string_view::npos) break;
        input.remove_prefix(nul + 1);
    }

    for (const std::string& a : args) {
        std::optional<Row> row = FindRow(a);
        if (row && (Index(*row) < 0 || Index(*row) >= kRowCount)) Fail("FindRow out of range", args);
        auto seed = ParseSeed(a);
        if (seed) {
            std::size_t first = a.find_first_not_of('0');
            std::string digits = first == std::string::npos ? "0" : a.substr(first);
            if (std::to_string(*seed) != digits) Fail("ParseSeed misread a number", args);
        } else if (!a.empty() && a.find_first_not_of("0123456789") == std::string::npos && a.size() < 20) {
            Fail("ParseSeed refused a number that fits", args);
        }
    }

    ParsedArguments parsed = ParseArguments(args);
    const Options& o = parsed.options;
    if (parsed.error.empty() && o.mode == Mode::Generate && !o.row) {
        Fail("a run without a row", args);
    }

    // What the run is expected to do, and whether it may run here at all.
    bool usage = !parsed.error.empty();
    std::string fieldError;
    Request request;
    int64_t count = 0;
    if (!usage && o.mode == Mode::Generate) {
        if (o.output && *o.output != "-") return 0;  // it would write a file
        try {
            // The count was checked with the options, unless --as-window
            // reads it as the window's quantity field.
            request = ParseFields({o.asWindow ? o.count : "0", o.p1, o.p2, o.p3}, ".");
            count = o.asWindow ? request.count : o.countValue;
            if (!o.asWindow) CheckDomain(*o.row, {request.p1, request.p2, request.p3}, {o.p1, o.p2, o.p3});
        } catch (const Error& e) {
            fieldError = e.what();
        }
        if (fieldError.empty() && !SmallWork(o, request, Written(o, count))) return 0;
    }

    const uint32_t savedSeed = UniformSeed;
    Outcome run = RunTool(args);
    UniformSeed = savedSeed;

    if (usage) {
        if (run.status != kExitUsage) Fail("a usage error without status 2", args);
        if (!run.out.empty()) Fail("a usage error wrote to the output", args);
        if (run.err.rfind("pelmora-gen: " + parsed.error + "\n" + UsageText(), 0) != 0) Fail("a usage error without its text", args);
        return 0;
    }
    switch (o.mode) {
        case Mode::Help:
            if (run.status != kExitOk || run.out != HelpText() || !run.err.empty()) Fail("--help", args);
            return 0;
        case Mode::List: {
            std::string text = ListText(), error;
            try {
                if (o.row) text = ListRowText(*o.row, {o.p1, o.p2, o.p3}, o.missing);
            } catch (const Error& e) {
                error = "pelmora-gen: " + ErrorBoxText(e.what()) + "\n";
            }
            const bool listed = error.empty() ? run.status == kExitOk && run.out == text && run.err.empty()
                                              : run.status == kExitFailure && run.out.empty() && run.err == error;
            if (!listed) Fail("--list", args);
            return 0;
        }
        case Mode::Version:
            if (run.status != kExitOk || run.out != VersionText() || !run.err.empty()) Fail("--version", args);
            return 0;
        case Mode::Generate: break;
    }

    if (fieldError.empty() && o.shard && SplitOf(*o.row, request.p1, request.p2, request.p3).cut == Cut::Serial) {
        if (run.status != kExitUsage || !run.out.empty() || run.err.rfind("pelmora-gen: --shard: ", 0) != 0) {
            Fail("a serial row's shard was not refused", args);
        }
        return 0;
    }
    if (!fieldError.empty()) {
        if (run.status != kExitFailure || !run.out.empty()) Fail("a bad field did not fail the run", args);
        if (run.err != "pelmora-gen: " + ErrorBoxText(fieldError) + "\n") Fail("a bad field with another message", args);
        return 0;
    }

    if (o.binary || o.npy || o.columns != 1 || o.precision != 15) {
        // Other layouts: only the status is checked here (tests/cli checks
        // their bytes).
        if (run.status != kExitOk && run.status != kExitFailure) Fail("an unknown exit status", args);
        return 0;
    }
    bool complete = false;
    std::vector<std::string_view> lines = Lines(run.out, complete);
    if (!complete) Fail("the output ends inside a line", args);
    for (std::string_view line : lines) {
        if (!IsValueLine(line)) Fail("a line that is not a finite value in the general format", args);
    }
    const auto wanted = static_cast<std::size_t>(Written(o, count));
    if (run.status == kExitOk) {
        if (lines.size() != wanted) Fail("a successful run with another number of lines", args);
        // A shard of a long run may warn that the run repeats itself.
        const bool warning =
            run.err.rfind("pelmora-gen: warning: ", 0) == 0 && run.err.find('\n') + 1 == run.err.size();
        if (!o.stats && o.histBins == 0 && !run.err.empty() && !warning) {
            Fail("a successful run wrote to the error stream", args);
        }
    } else if (run.status == kExitFailure) {
        if (lines.size() >= wanted) Fail("a failed run wrote every value", args);
        if (run.err.rfind("pelmora-gen: ", 0) != 0 || run.err.back() != '\n') Fail("a failure without its message", args);
    } else {
        Fail("an unknown exit status", args);
    }

    if (o.seed) {
        Outcome again = RunTool(args);
        UniformSeed = savedSeed;
        if (again.status != run.status || again.out != run.out || again.err != run.err) Fail("a seeded run is not repeatable", args);
        // A later -j in the arguments wins over this one: then it is one more repeat.
        std::vector<std::string> oneThread = {"-j", "1"};
        oneThread.insert(oneThread.end(), args.begin(), args.end());
        Outcome serial = RunTool(oneThread);
        UniformSeed = savedSeed;
        if (serial.status != run.status || serial.out != run.out || serial.err != run.err) {
            Fail("a seeded run differs on one thread", args);
        }
    }
    return 0;
}
