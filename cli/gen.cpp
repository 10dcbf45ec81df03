#include "cli/gen.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "cli/fit.h"
#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/parts.h"
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

// Where the values go: standard output, or the file named by -o. The file
// is created (or emptied) only when the first value is ready, so a command
// that fails before it -- a mistyped field, parameters out of range, no
// thread to write with -- leaves an existing file as it was.
class Destination {
public:
    Destination(const Options& o, int outFd)
        : path_(o.output && *o.output != "-" ? &*o.output : nullptr), outFd_(outFd), binary_(o.binary || o.npy) {}

    bool ToFile() const { return path_ != nullptr; }
    const std::string& Path() const { return *path_; }
    // Standard output's descriptor; -1 while the values go to a file.
    int StandardFd() const { return ToFile() ? -1 : outFd_; }
    std::string Target() const { return ToFile() ? "\"" + *path_ + "\"" : std::string("standard output"); }
    // The descriptor the file would be, for asking what it is before it is
    // created: a terminal is refused for --binary, and nothing is created.
    bool FileIsTerminal() const {
        FileDescriptor probe(::open(path_->c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        return probe.valid() && ::isatty(probe.get()) == 1;
    }

    // Bytes that go before the first value (the .npy header).
    void SetPreamble(std::string preamble) { preamble_ = std::move(preamble); }

    // Creates the file, once, and points `sink` at it, with the preamble;
    // throws Error.
    void Open(OutputSink& sink) {
        if (opened_) return;
        if (ToFile()) OpenFile(sink);
        if (!preamble_.empty() && !ToFile()) start_ = ::lseek(outFd_, 0, SEEK_CUR);
        opened_ = true;
        sink.Append(preamble_);
    }
    bool Opened() const { return opened_; }

    // Writes `bytes` over the start of what the run wrote (the .npy header
    // once the count is known), after everything else; throws WriteFailure.
    void Rewrite(std::string_view bytes) {
        const int fd = ToFile() ? file_.get() : outFd_;
        if (::pwrite(fd, bytes.data(), bytes.size(), start_) != static_cast<ssize_t>(bytes.size())) {
            throw WriteFailure{errno != 0 ? errno : EIO};
        }
    }

    // Closes the file; a failure that only shows when the data reaches the
    // disk throws WriteFailure.
    void Close() {
        if (int error = file_.Close()) throw WriteFailure{error};
    }

    // After a failed write to a regular file: cuts it back to the end of its
    // last whole value, so that no cut number reads as another, and returns
    // how many values it holds; nothing where it cannot.
    std::optional<uint64_t> CutBack(const OutputSink& sink) {
        const auto whole = sink.WholeValues();
        if (!file_.valid() || !whole || ::ftruncate(file_.get(), static_cast<off_t>(whole->bytes)) != 0) {
            return std::nullopt;
        }
        return whole->values;
    }

private:
    void OpenFile(OutputSink& sink) {
        int fd = ::open(path_->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd >= 0 && fd <= 2) {
            // Started with a standard stream closed: keep the file off that
            // number, or messages meant for the error stream would land in it.
            int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
            if (moved >= 0) {
                ::close(fd);
                fd = moved;
            }
        }
        if (fd < 0) throw Error(CannotCreateMessage(*path_, errno));
        file_.Reset(fd);
        sink.Redirect(fd);
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) sink.CountValues(binary_, preamble_.size());
    }

    const std::string* path_;
    int outFd_;
    bool binary_;
    FileDescriptor file_;
    bool opened_ = false;
    std::string preamble_;
    off_t start_ = 0;  // where the run's bytes begin
};

// The width of the histogram: the terminal's on `fd`, COLUMNS or 80 when it
// is none; at most 160 columns whatever COLUMNS says, beyond which a bar
// shows nothing more.
constexpr int kMaxWidth = 160;

int TerminalWidth(int fd) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return std::min<int>(size.ws_col, kMaxWidth);
    if (const char* columns = std::getenv("COLUMNS")) {
        long width = std::strtol(columns, nullptr, 10);
        if (width > 0) return static_cast<int>(std::min<long>(width, kMaxWidth));
    }
    return 80;
}

// The law of what the row draws with these parameters; unknown where the
// parameters leave the law's domain (with --as-window) or where it cannot
// be evaluated in doubles.
Law LawOf(Row row, const Request& r) {
    try {
        return Record(row).law(r.p1, r.p2, r.p3);
    } catch (const std::range_error& e) {
        return Law::None(std::string("the law cannot be evaluated: ") + e.what());
    } catch (const std::exception&) {
        return Law::None("the law is not defined for these parameters");
    }
}

// --binary never goes to a terminal, where it would only garble the screen.
bool RefusesTerminal(const Options& o, const Destination& out, int outFd, int errFd) {
    if (!o.binary) return false;
    if (out.ToFile() ? !out.FileIsTerminal() : ::isatty(outFd) != 1) return false;
    Say(errFd, std::string(kProgram) + ": --binary does not write to a terminal; redirect the output or use -o FILE\n");
    return true;
}

// --npy seeks back to set the count in its header when a run ends early, so
// it needs a regular file: one -o names (or creates), or standard output
// redirected to one with ">" (">>" writes at the end whatever the offset).
bool RefusesNpy(const Options& o, const Destination& out, int outFd, int errFd) {
    if (!o.npy) return false;
    struct stat st {};
    bool regular;
    if (out.ToFile()) {
        regular = ::stat(out.Path().c_str(), &st) == 0 ? S_ISREG(st.st_mode) : errno == ENOENT;
    } else {
        const int flags = ::fcntl(outFd, F_GETFL);
        regular = ::fstat(outFd, &st) == 0 && S_ISREG(st.st_mode) && flags >= 0 && (flags & O_APPEND) == 0;
    }
    if (regular) return false;
    Say(errFd, std::string(kProgram) +
                   ": --npy needs a regular file to seek in: name one with -o FILE, or redirect standard output "
                   "to one with > (not a pipe, a terminal, a device or >>)\n");
    return true;
}

// What a run draws: the row, its parameters as numbers, and the count.
struct Plan {
    Row row;
    Request request;
    int64_t count;
};

// Reads the fields and checks them against the row's domain; with
// --as-window, the window reads the count as its quantity field, before the
// parameters, and nothing is checked. Throws Error.
Plan PlanOf(const Options& o) {
    Plan plan{*o.row, ParseFields({o.asWindow ? o.count : "0", o.p1, o.p2, o.p3}, "."), o.countValue};
    if (o.asWindow) {
        plan.count = plan.request.count;
    } else {
        CheckDomain(plan.row, {plan.request.p1, plan.request.p2, plan.request.p3}, {o.p1, o.p2, o.p3});
    }
    return plan;
}

// How the drawing loop ended, and what --stats and --hist need of it.
struct Drawn {
    std::optional<std::string> failure;
    int stopped = 0;  // the signal that cut the run short
    uint64_t written = 0;  // values handed to the output
    RunningStats stats;
    std::vector<double> sample;  // the start of the run
};

// Draws the values and hands them to the writer, into `drawn` (its sample's
// room already reserved). The values drawn before a failure stay: they are
// written out before the failure is reported.
Drawn DrawAll(const Options& o, const Plan& plan, ValueWriter& writer, Destination& out, OutputSink& sink,
              Progress& progress, Drawn drawn) {
    const bool keep = o.stats || o.histBins > 0;
    const auto draw = Record(plan.row).draw;
    const Request& r = plan.request;
    try {
        for (int64_t i = 0; i < plan.count; ++i) {
            if ((drawn.stopped = StopSignal()) != 0) break;
            BeginValue(static_cast<uint64_t>(i));
            double value = draw(r.p1, r.p2, r.p3);
            if (i == 0) out.Open(sink);
            if (o.stats) drawn.stats.Add(value);
            if (keep && drawn.sample.size() < kSampleMax) drawn.sample.push_back(value);
            progress.Tick(i + 1);
            ++drawn.written;
            if (!writer.Put(value)) break;
        }
        // A run without values that succeeds still leaves an empty file.
        if (!drawn.stopped) out.Open(sink);
    } catch (const Error& e) {
        drawn.failure = e.what();
    }
    return drawn;
}

// The first line of --stats: the seed, so that a run can be repeated.
std::string SeedLine(const Options& o, std::optional<uint64_t> seed) {
    if (!seed) return "seed      none: the window's start-up state, reseeded from the clock\n";
    const std::string s = std::to_string(*seed);
    if (o.seed) return "seed      " + s + "\n";
    return "seed      " + s + " (drawn from the system; --seed " + s + " repeats this run)\n";
}

// --stats and --hist on the error stream. They are what was asked for: lost
// on a full or closed error stream, the run has failed, although nothing
// can say so.
int Report(const Options& o, const Plan& plan, const Drawn& drawn, std::optional<uint64_t> seed, int errFd) {
    if (!o.stats && o.histBins == 0) return kExitOk;
    const Request& r = plan.request;
    Law law = LawOf(plan.row, r);
    std::string text;
    if (o.stats) {
        text += SeedLine(o, seed);
        text += StatsReport(drawn.stats, TheoreticalMoments(plan.row, r.p1, r.p2, r.p3), SampleQuartiles(drawn.sample),
                            LawQuartiles(law));
        if (drawn.sample.size() < drawn.stats.count()) {
            text +=
                "          (quartiles and median of the first " + std::to_string(drawn.sample.size()) + " values)\n";
        }
        text += FitLine(drawn.sample, law);
    }
    std::optional<HistRange> range;
    if (o.histRange) range = HistRange{o.histRange->low, o.histRange->high};
    if (o.histBins > 0) text += HistogramText(drawn.sample, law, o.histBins, TerminalWidth(errFd), plan.count, range);
    try {
        WriteAll(errFd, text);
    } catch (const WriteFailure&) {
        return kExitFailure;
    }
    return kExitOk;
}

// The stretch of the run this process writes: all of it, or the part
// --shard names, values floor(I * COUNT / N) to floor((I + 1) * COUNT / N) - 1,
// counted from the value --start names (0 without it).
struct Range {
    uint64_t first = 0;
    uint64_t count = 0;
    bool endsRun = true;  // the run's last value is the stretch's last
};

Range RangeOf(const Options& o, const Plan& plan) {
    const uint64_t total = plan.count > 0 ? static_cast<uint64_t>(plan.count) : 0;
    if (!o.shard) return {o.start, total, true};
    using Wide = unsigned __int128;  // I * COUNT does not fit 64 bits
    const auto lo = static_cast<uint64_t>(Wide{total} * o.shard->index / o.shard->count);
    const auto hi = static_cast<uint64_t>(Wide{total} * (o.shard->index + 1) / o.shard->count);
    return {o.start + lo, hi - lo, o.shard->index + 1 == o.shard->count};
}

// A run long enough for the 32-bit source to repeat itself, said once
// before the run starts. A row that reseeds once per value and draws reals
// takes one of 2^32 values a state: warned once a repeated value is
// expected (n - 2^32 (1 - e^(-n / 2^32)) of n values repeat earlier ones,
// 1 at about 92,700 values). A row that never reseeds goes round the 2^32
// states: warned once the run takes that many uniforms. (Integer rows and
// rows that reseed several times a value are not limited this way.)
std::optional<std::string> RepeatWarning(const Plan& plan) {
    const Request& r = plan.request;
    const Split split = SplitOf(plan.row, r.p1, r.p2, r.p3);
    const double n = static_cast<double>(std::max<int64_t>(plan.count, 0));
    constexpr double kStates = 4294967296.0;
    const std::string name(RowName(plan.row));
    if (split.cut == Cut::Reseeds) {
        if (split.perValue != 1 || Record(plan.row).kind != ResultKind::Real) return std::nullopt;
        const double repeats = n + kStates * std::expm1(-n / kStates);
        if (repeats < 1) return std::nullopt;
        return name + " takes at most 2^32 distinct values (it reseeds the 32-bit source for every value): about " +
               std::to_string(std::llround(repeats)) + " of these " + std::to_string(plan.count) +
               " values repeat earlier ones";
    }
    const double uniforms = split.cut == Cut::Jumps ? static_cast<double>(split.perValue) : split.leastUniforms;
    if (!(uniforms > 0) || n * uniforms < kStates) return std::nullopt;
    const auto round = static_cast<long long>(std::ceil(kStates / uniforms));
    return name + " never reseeds the 32-bit source, which comes round again after 2^32 uniforms: " +
           (split.cut == Cut::Jumps ? "from value " + std::to_string(round) + " (counted from 0) on"
                                    : "by about value " + std::to_string(round)) +
           " the run repeats its start";
}

// --shard, or --start past value 0, on the window's source for a row whose
// values each depend on all before it: no part could start without drawing
// them, so it is refused, saying why.
std::optional<std::string> RefusesShard(const Options& o, const Plan& plan) {
    const Request& r = plan.request;
    if (!o.shard && o.start == 0) return std::nullopt;
    if (SplitOf(plan.row, r.p1, r.p2, r.p3, o.source).cut != Cut::Serial) return std::nullopt;
    std::string what(RowName(plan.row));
    if (plan.row == Row::Gamma) what += " with a shape other than 1";
    const std::string why =
        " it never reseeds and draws a varying number of uniforms per value, so every value depends on all the "
        "values before it; ";
    if (o.shard) return "--shard: " + what + " cannot be cut into shards:" + why + "draw the whole run in one process, or use --source philox";
    return "--start: " + what + " cannot start at a later value:" + why + "draw the run from value 0, or use --source philox";
}

// The calling thread's part of a run drawn in parts: it writes the parts in
// order and keeps what --stats and --hist need.
class PartsWriter final : public PartsReceiver {
public:
    PartsWriter(const Options& o, Drawn& drawn, Destination& out, OutputSink& sink, Progress& progress)
        : o_(o), keep_(o.stats || o.histBins > 0), drawn_(drawn), out_(out), sink_(sink), progress_(progress) {}

    void Take(std::span<const double> values, std::string_view text) override {
        if (values.empty()) return;
        out_.Open(sink_);
        for (double x : values) {
            if (o_.stats) drawn_.stats.Add(x);
            if (keep_ && drawn_.sample.size() < kSampleMax) drawn_.sample.push_back(x);
        }
        written_ += values.size();
        drawn_.written = written_;
        progress_.Tick(static_cast<int64_t>(written_));
        sink_.Append(text);
    }

    uint64_t Written() const { return written_; }

private:
    const Options& o_;
    const bool keep_;
    Drawn& drawn_;
    Destination& out_;
    OutputSink& sink_;
    Progress& progress_;
    uint64_t written_ = 0;
};

// Draws the stretch in parts on `threads` threads. `drawn` is filled as the
// run goes, so a write failure (thrown) leaves it saying what was drawn.
void DrawParts(const Options& o, const Plan& plan, const Range& range, std::optional<uint64_t> seed,
               const ValueFormat& format, int threads, Drawn& drawn, Destination& out, OutputSink& sink,
               Progress& progress) {
    const Request& r = plan.request;
    PartsJob job{plan.row, {r.p1, r.p2, r.p3}, range.first, range.count, o.start, seed, o.source,
                 format, threads};
    PartsWriter writer(o, drawn, out, sink, progress);
    try {
        PartsEnd end = DrawInParts(job, writer);
        drawn.failure = end.failure;
        drawn.stopped = end.stopped;
        // A run without values that succeeds still leaves an empty file.
        if (!drawn.failure && !drawn.stopped) out.Open(sink);
    } catch (const Error& e) {
        drawn.failure = e.what();  // the file cannot be created: nothing was written
        return;
    }
    // The short last line of the run, or of a run cut short, ends; a shard
    // that stops mid-line leaves the line to the next shard.
    const uint64_t reached = range.first + writer.Written();
    const bool cut = drawn.failure || drawn.stopped;
    if (!format.binary && writer.Written() > 0 && reached % static_cast<uint64_t>(o.columns) != 0 &&
        (range.endsRun || cut)) {
        sink.Append("\n");
    }
    sink.Flush();
}

// The seed of a run without --seed: 64 bits from getrandom, which blocks
// only until the system's pool is first filled at boot.
uint64_t ReadSystemSeed(void*) {
    uint64_t seed = 0;
    for (;;) {
        ssize_t n = ::getrandom(&seed, sizeof seed, 0);
        if (n == static_cast<ssize_t>(sizeof seed)) return seed;
        if (n < 0 && errno == EINTR) continue;
        throw Error("Cannot read a seed from the system (getrandom). " + SystemErrorText(n < 0 ? errno : EIO));
    }
}

SeedSource g_seedSource = {&ReadSystemSeed, nullptr};

int Generate(const Options& o, int outFd, int errFd) {
    Plan plan;
    try {
        plan = PlanOf(o);
    } catch (const Error& e) {
        return Fail(errFd, e.what());
    }
    if (auto refusal = RefusesShard(o, plan)) {
        Say(errFd, std::string(kProgram) + ": " + *refusal + "\n");
        return kExitUsage;
    }
    Destination out(o, outFd);
    if (RefusesTerminal(o, out, outFd, errFd)) return kExitUsage;
    if (RefusesNpy(o, out, outFd, errFd)) return kExitUsage;
    // Without --seed a run is the run of a seed from the system, which
    // --stats prints; --as-window keeps the window's start-up state.
    std::optional<uint64_t> seed = o.seed;
    if (!seed && !o.asWindow) {
        try {
            seed = g_seedSource.read(g_seedSource.context);
        } catch (const Error& e) {
            return Fail(errFd, e.what());
        }
    }
    // The counter-based source does not repeat within 2^64 values.
    if (auto warning = o.source == UniformSource::Lcg ? RepeatWarning(plan) : std::nullopt) {
        Say(errFd, std::string(kProgram) + ": warning: " + *warning + "\n");
    }
    const Range range = RangeOf(o, plan);
    const int threads = o.threads > 0 ? o.threads : UsableCpus();
    // -j 1 draws on this thread and formats on one other, as always; more
    // threads, a shard or a later start draw in parts.
    const bool inParts = threads > 1 || o.shard || o.start > 0;
    const bool integers = Record(plan.row).kind == ResultKind::Integer;
    const ValueFormat format{o.precision, o.columns, o.binary || o.npy, o.npy && integers};
    if (o.npy) out.SetPreamble(NpyHeader(range.count, integers));

    std::optional<SeededSource> seeded;
    std::optional<ScopedPhilox> counter;
    if (inParts) {
        // The workers set up their own sources.
    } else if (o.source == UniformSource::Philox) {
        counter.emplace(*seed);
    } else if (seed) {
        seeded.emplace(*seed);
    } else {
        UniformSeed = 0;
    }

    Drawn drawn;
    if (o.stats || o.histBins > 0) {
        const auto kept = static_cast<std::size_t>(std::min<uint64_t>(range.count, kSampleMax));
        try {
            drawn.sample.reserve(kept);
        } catch (const std::bad_alloc&) {
            return Fail(errFd, "Not enough memory to keep " + std::to_string(kept) +
                                   " values for --stats and --hist (" +
                                   std::to_string((kept * sizeof(double) + (1 << 20) - 1) >> 20) + " MiB)");
        }
    }
    OutputSink sink(out.StandardFd());
    Progress progress(errFd, static_cast<int64_t>(range.count), out.StandardFd());
    try {
        if (inParts) {
            try {
                DrawParts(o, plan, range, seed, format, threads, drawn, out, sink, progress);
            } catch (const std::system_error& e) {
                return Fail(errFd, "Cannot start the thread that writes the values. " + SystemErrorText(e.code().value()));
            }
        } else {
            // This thread draws; the writer formats and writes on another core.
            std::optional<ValueWriter> writer;
            try {
                writer.emplace(sink, format);
            } catch (const std::system_error& e) {
                return Fail(errFd, "Cannot start the thread that writes the values. " + SystemErrorText(e.code().value()));
            }
            drawn = DrawAll(o, plan, *writer, out, sink, progress, std::move(drawn));
            writer->Finish();
        }
        // A .npy file of a run cut short says how many values it holds.
        if (o.npy && out.Opened() && drawn.written != range.count) out.Rewrite(NpyHeader(drawn.written, integers));
        out.Close();
    } catch (const WriteFailure& w) {
        progress.Clear();
        // A reader that went away (head, a closed pager) is no news to the
        // user: end quietly, but never with success.
        if (w.error == EPIPE) return kExitFailure;
        Fail(errFd, "Cannot write to " + out.Target() + ". " + SystemErrorText(w.error));
        if (auto held = out.CutBack(sink)) {
            // A .npy file cut back says in its header how many values it holds.
            if (o.npy) {
                try {
                    out.Rewrite(NpyHeader(*held, integers));
                } catch (const WriteFailure&) {
                }
            }
            Fail(errFd,
                 out.Target() + " holds " + std::to_string(*held) + (*held == 1 ? " whole value" : " whole values"));
        }
        if (drawn.failure) Fail(errFd, *drawn.failure);
        return kExitFailure;
    }
    progress.Clear();
    if (drawn.failure) return Fail(errFd, *drawn.failure);
    if (drawn.stopped) return 128 + drawn.stopped;
    return Report(o, plan, drawn, seed, errFd);
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

int List(const Options& o, int outFd, int errFd) {
    if (!o.row) return Print(outFd, errFd, ListText());
    std::string text;
    try {
        text = ListRowText(*o.row, {o.p1, o.p2, o.p3}, o.missing);
    } catch (const Error& e) {
        return Fail(errFd, e.what());
    }
    return Print(outFd, errFd, text);
}

}  // namespace

ScopedSeedSource::ScopedSeedSource(SeedSource source) : saved_(g_seedSource) { g_seedSource = source; }
ScopedSeedSource::~ScopedSeedSource() { g_seedSource = saved_; }

// The .npy format 1.0: the magic string, the version, the header's length
// (2 bytes, little-endian), and the header, a Python dict literal padded
// with blanks and a line break to 128 bytes in all, so that the data start
// aligned and a header with any count has the same length.
std::string NpyHeader(uint64_t count, bool integers) {
    constexpr std::size_t kTotal = 128, kPrefix = 10;
    std::string dict = std::string("{'descr': '") + (integers ? "<i8" : "<f8") +
                       "', 'fortran_order': False, 'shape': (" + std::to_string(count) + ",), }";
    dict.resize(kTotal - kPrefix - 1, ' ');
    dict += '\n';
    std::string header = "\x93NUMPY";
    header += '\x01';
    header += '\x00';
    header += static_cast<char>(dict.size() & 0xFF);
    header += static_cast<char>(dict.size() >> 8);
    return header + dict;
}

std::string UsageText() {
    return "Usage: pelmora-gen [OPTIONS] DISTRIBUTION [P1 [P2 [P3]]]\n"
           "       pelmora-gen --list [DISTRIBUTION [P1 [P2 [P3]]]] | --help | --version\n";
}

std::string HelpText() {
    return UsageText() +
           "\n"
           "Draws COUNT values of one of Pelmora's 27 distributions and writes them one\n"
           "per line, in the window program's number format, as they are drawn.\n"
           "\n"
           "  DISTRIBUTION  a row number 0 to 26, the distribution's name in any case,\n"
           "                with blanks, hyphens and apostrophes optional (\"gamma\",\n"
           "                \"gauss normal\", \"noncentral-f\", \"students t\"), or a short\n"
           "                name of R or scipy (\"norm\", \"exp\", \"chisq\", \"t\"); see --list\n"
           "  P1 P2 P3      the parameters, read as the window reads its fields, with \".\"\n"
           "                as the decimal separator; negative numbers such as -1 or -.5\n"
           "                are parameters, not options. Each must lie in the\n"
           "                distribution's domain, and a count (Binomial's n, the\n"
           "                degrees of freedom, Erlang's m, ...) must be a whole number.\n"
           "                A parameter left out takes its textbook default, as in R\n"
           "                and scipy (normal: mean 0, sigma 1; uniform: a 0, b 1); one\n"
           "                without a default must be given. --list shows the domains\n"
           "                and the defaults\n"
           "\n"
           "Options (a value may also follow \"=\": --count=5, --seed=7):\n"
           "  -n, --count COUNT  how many values (default 10): a whole number from 0 to\n"
           "                9223372036854775807, in decimal, with an exponent if it\n"
           "                keeps the number whole (1e9, 2.5e6)\n"
           "  -o, --output FILE  write the values to FILE instead of standard output\n"
           "  --seed S      a reproducible run: S is an unsigned 64-bit decimal integer,\n"
           "                and the same command prints the same values in every release\n"
           "                on every x86-64 machine (the x87 unit's arithmetic); on other\n"
           "                CPUs the same values but for about 2 in a million that differ\n"
           "                in the last digits (the README gives the rate of each row).\n"
           "                The rows that never reseed (Gamma with a shape other than\n"
           "                1, Poisson, Triangle) only use S mod 2^32. Without --seed, S\n"
           "                is drawn from the system (getrandom), so that every run\n"
           "                differs, and --stats prints it\n"
           "  -j, --threads N  draw and format on N threads, 1 to 256 (default: the CPUs\n"
           "                the process may use); a --seed run prints the same values for\n"
           "                every N. Under lcg, Gamma with a shape other than 1 and\n"
           "                Poisson draw on one thread while the others format; -j 1\n"
           "                draws on one thread and formats on one other\n"
           "  --shard I/N   with --seed: write only shard I (0 to N-1) of N parts of the\n"
           "                run, values floor(I*COUNT/N) to floor((I+1)*COUNT/N) - 1; the\n"
           "                N shards joined in order are the whole run, byte for byte.\n"
           "                Under lcg, Gamma with a shape other than 1 and Poisson\n"
           "                refuse it: each of their values depends on all before it\n"
           // The uniform source and the start of the run.
           "  --source SOURCE  where the uniforms come from:\n"
           "                lcg     the window program's 32-bit generator (the default):\n"
           "                        the window's own values, for runs of up to a few\n"
           "                        million values. A reseeding row takes at most 2^32\n"
           "                        distinct values, a row that never reseeds repeats\n"
           "                        after 2^32 uniforms, and Gamma with a shape other\n"
           "                        than 1 and Poisson draw in order on one thread\n"
           "                philox  Philox4x32-10, counter-based, 64-bit uniforms: for\n"
           "                        long runs, many cores and clusters. Value i's\n"
           "                        uniforms depend only on the seed (all 64 bits) and\n"
           "                        i: nothing repeats before 2^64 values and every row\n"
           "                        splits over -j, --shard and --start. Without --seed\n"
           "                        the key comes from the system\n"
           "  --start K     with --seed: begin at value K of the run (counted from 0)\n"
           "                and write COUNT values from there (with --columns, on lines\n"
           "                of their own); --shard I/N draws the same values as the\n"
           "                matching --start and -n. Under lcg, Gamma with a shape\n"
           "                other than 1 and Poisson refuse a start past 0\n"
           "  --precision P significant digits, 1 to 17 (default 15, the window's); 17\n"
           "                reads back as the very same double\n"
           "  --columns K   K values a line, separated by a tab (the last line may be\n"
           "                short)\n"
           "  --binary      raw little-endian IEEE 754 doubles, 8 bytes a value (for\n"
           "                numpy.fromfile); never written to a terminal\n"
           "  --stats       after the values, print the seed and their count, mean,\n"
           "                variance, minimum, quartiles, median and maximum to standard\n"
           "                error, beside the mean, variance and quantiles that the\n"
           "                distribution's construction implies, and a test of the\n"
           "                sample against the row's law\n"
           "  --hist[=BINS] after the values, draw a histogram of them on standard error\n"
           "                (default 40 bins, 1 to 1000) beside the counts the row's law\n"
           "                expects, with a test of the sample against that law. Where\n"
           "                the tails reach far out (Cauchy), the bins cover the\n"
           "                central 99% of the values, and those below and above are\n"
           "                counted on lines of their own\n"
           "  --bins N      the histogram with N bins, 1 to 1000 (--hist N is refused:\n"
           "                N could as well be a distribution's row number)\n"
           "  --range LO HI the histogram from LO to HI; the values below and above are\n"
           "                counted on lines of their own\n"
           "  --npy         write a NumPy .npy file (numpy.load reads it): float64, or\n"
           "                int64 for the integer rows. It needs -o FILE or standard\n"
           "                output redirected to a file with >, as its header holds\n"
           "                the count, set again when a run ends early\n"
           "  --as-window   no domain check: the window's rules exactly (a parameter\n"
           "                outside the domain gives what the window gives, often 0;\n"
           "                a count parameter is truncated; parameters left out are 1,\n"
           "                1 and 3; the count is read as its quantity field: text to\n"
           "                real, a fraction cut off, 32 bits; without --seed the source\n"
           "                starts from the window's start-up state and reseeds from\n"
           "                the clock)\n"
           "  --list        list the distributions: names, parameters and domains;\n"
           "                with a DISTRIBUTION, that one at length, with the mean and\n"
           "                variance for the parameters given\n"
           "  --help        show this help\n"
           "  --version     show the version\n"
           "  --            end of options\n"
           "\n"
           "--stats and --hist test at most the first 1048576 values.\n"
           "\n"
           "The generator:\n"
           "With --source lcg, the default, every value comes from one 32-bit linear\n"
           "congruential generator, the window program's (multiplier 134775813,\n"
           "increment 1, modulus 2^32). Most rows\n"
           "reseed it before each value, from splitmix64 of the seed (with --as-window\n"
           "and no seed, from the clock). A row that reseeds once a value therefore\n"
           "takes at most 2^32 distinct values for one set of parameters: a million\n"
           "standard normals hold about a hundred repeated values, where a source of\n"
           "53-bit doubles would hold none. The rows that never reseed (Gamma with a\n"
           "shape other than 1, Poisson, Triangle) go round the 2^32 states: they\n"
           "repeat their sequence after 2^32 uniforms, and Triangle's value 4294967296\n"
           "is its value 0 again. A run long enough to repeat is warned of on standard\n"
           "error before it starts; it runs all the same. For runs beyond a few million\n"
           "values, use --source philox: 64-bit uniforms from a counter-based generator,\n"
           "with no repeats before 2^64 values and every row split over cores and shards.\n"
           "\n"
           "Exit status:\n"
           "  0    all values were written (after a warning too)\n"
           "  1    a parameter lies outside the domain (nothing is written), a value\n"
           "       or a write failed (the values written before stay; a file of -o is\n"
           "       cut back to its last whole value), or memory ran out\n"
           "  2    the command line is wrong: an unknown option, too many or too few\n"
           "       parameters, or what cannot be done (--binary to a terminal, --npy\n"
           "       to a pipe, --shard of a row drawn in order)\n"
           "  130  stopped by SIGINT (Ctrl-C), 143 stopped by SIGTERM: every value drawn\n"
           "       before is written out as whole lines, in the file of -o too\n";
}

namespace {

// The names a row answers to, as typed: its command name and its aliases.
std::string Names(Row row) {
    std::string names = CommandName(row);
    for (const char* alias : Record(row).aliases) {
        if (alias) names += std::string(", ") + alias;
    }
    return names;
}

// One row as --list shows it: the number, the caption and the names; a line
// per parameter with its domain and meaning; what the row draws where that
// is not the textbook law; and whether a --seed run uses the whole seed.
std::string RowBlock(Row row) {
    const Distribution& d = Record(row);
    char line[160];
    std::snprintf(line, sizeof line, "%2d  %-22s  %s\n", Index(row), std::string(RowName(row)).c_str(),
                  Names(row).c_str());
    std::string text = line;
    for (int k = 0; k < 3; ++k) {
        const Param& p = d.params[static_cast<std::size_t>(k)];
        if (!p.label) continue;
        std::string meaning = std::string(p.meaning) + (p.count ? ", a whole number" : "");
        if (p.fallback) meaning += std::string(" (default ") + p.fallback + ")";
        std::snprintf(line, sizeof line, "      %-26s %s\n", DomainText(row, k).c_str(), meaning.c_str());
        text += line;
    }
    if (d.differs) text += std::string("      ") + d.differs + "\n";
    if (d.stream == Stream::Continues) text += "      never reseeds: with --seed only S mod 2^32 matters\n";
    if (d.stream == Stream::ReseedsAtShapeOne) {
        text += "      never reseeds unless afa is 1: with --seed only S mod 2^32 matters then\n";
    }
    return text;
}

std::string MomentText(std::optional<double> x) { return x ? FormatGeneral(*x, std::string_view(".")) : "none"; }

}  // namespace

// After the rows: what each uniform source is for.
std::string SourcesText() {
    return "\n"
           "Sources (--source): lcg, the window program's 32-bit generator (the default),\n"
           "for the window's own values and runs of up to a few million values; philox,\n"
           "Philox4x32-10 with 64-bit uniforms, for longer runs, every core and clusters:\n"
           "every row splits over -j, --shard and --start, and the whole seed matters.\n";
}

std::string ListText() {
    std::string text;
    for (int index = 0; index < kRowCount; ++index) text += RowBlock(RowAt(index));
    return text + SourcesText();
}

std::string ListRowText(Row row, const std::array<std::string, 3>& texts, const std::vector<std::string>& missing) {
    std::string text = RowBlock(row);
    if (!missing.empty()) return text;
    const Distribution& d = Record(row);
    std::string given;
    for (std::size_t k = 0; k < 3; ++k) {
        if (!d.params[k].label) continue;
        given += std::string(given.empty() ? " for " : ", ") + std::string(ParamName(d.params[k])) + " = " + texts[k];
    }
    Request request = ParseFields({"0", texts[0], texts[1], texts[2]}, ".");
    CheckDomain(row, {request.p1, request.p2, request.p3}, {texts[0], texts[1], texts[2]});
    Moments m = TheoreticalMoments(row, request.p1, request.p2, request.p3);
    return text + "      mean " + MomentText(m.mean) + ", variance " + MomentText(m.variance) + given + "\n";
}

std::string VersionText() { return std::string(kProgram) + " " + PELMORA_VERSION + "\n"; }

int Run(std::span<const std::string> args, int outFd, int errFd) {
    try {
        ParsedArguments parsed = ParseArguments(args);
        if (!parsed.error.empty()) return UsageError(errFd, parsed.error);
        const Options& o = parsed.options;
        switch (o.mode) {
            case Mode::Help: return Print(outFd, errFd, HelpText());
            case Mode::List: return List(o, outFd, errFd);
            case Mode::Version: return Print(outFd, errFd, VersionText());
            case Mode::Generate: break;
        }
        return Generate(o, outFd, errFd);
    } catch (const std::bad_alloc&) {
        // The big buffers (the threads' parts, the sample of --stats) say
        // which they are where they are made; this is the rest.
        return Fail(errFd, "Out of memory for pelmora-gen's own small buffers");
    }
}

}  // namespace pelmora::cli
