#include "cli/parts.h"

#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/seeded_clock.h"
#include "core/numtext.h"
#include "engine/error.h"
#include "engine/uniform.h"

namespace pelmora::cli {

int UsableCpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    int n = 0;
    if (::sched_getaffinity(0, sizeof set, &set) == 0) n = CPU_COUNT(&set);
    if (n <= 0) n = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(n, 1, kMaxThreads);
}

std::size_t FormatRoom(std::size_t values, const ValueFormat& format) {
    if (format.binary) return values * 8;
    return values * (std::max(kValueMax, kFormatMax) + 2);
}

std::size_t FormatPart(std::span<const double> values, uint64_t first, const ValueFormat& format, char* out) {
    char* const start = out;
    if (format.binary) {
        for (double x : values) {
            PutBinary(x, format.integers, out);
            out += 8;
        }
        return static_cast<std::size_t>(out - start);
    }
    if (format.columns == 1 && format.precision == 15) {
        // The common case, kept to the window's own formatter.
        for (double x : values) {
            out += FormatGeneral(x, out, std::string_view("."));
            *out++ = '\n';
        }
        return static_cast<std::size_t>(out - start);
    }
    const auto columns = static_cast<uint64_t>(format.columns);
    uint64_t column = first % columns;
    for (double x : values) {
        if (column != 0) *out++ = '\t';
        out += FormatValue(x, format.precision, out);
        if (++column == columns) {
            *out++ = '\n';
            column = 0;
        }
    }
    return static_cast<std::size_t>(out - start);
}

namespace {

// One part in its slot of the ring, and how far it has come.
struct Part {
    enum class State { Free, Drawing, Drawn, Formatting, Ready };
    State state = State::Free;
    uint64_t index = 0;  // the part's number in the run
    std::vector<double> values;
    std::size_t drawn = 0;  // values drawn: fewer than asked when it failed or stopped
    std::unique_ptr<char[]> text;
    std::size_t length = 0;
    std::optional<std::string> failure;
    int stopped = 0;
};

class Pool {
public:
    Pool(const PartsJob& job, PartsReceiver& receiver)
        : job_(job),
          receiver_(receiver),
          split_(SplitOf(job.row, job.params[0], job.params[1], job.params[2], job.source)),
          callerClock_(Clock) {
        // A clock that is not the real one (a test's) serves the calling
        // thread only: without a seed it is read by one drawing thread.
        if ((split_.cut == Cut::Reseeds || split_.cut == Cut::Jumps) && !job.seed && Clock.read != RealClock().read) {
            split_.cut = Cut::Serial;
        }
        const auto threads = static_cast<uint64_t>(std::max(job.threads, 1));
        // Parts small enough that every thread has several, large enough
        // that handing them over costs nothing beside the values.
        partValues_ = std::clamp<uint64_t>((job.count + threads * 4 - 1) / (threads * 4), 1, 4096);
        parts_ = job.count == 0 ? 0 : (job.count - 1) / partValues_ + 1;
        limit_ = parts_;
        const auto slots = static_cast<std::size_t>(threads * 2 + 2);
        const std::size_t room = FormatRoom(static_cast<std::size_t>(partValues_), job.format);
        try {
            ring_.resize(slots);
            for (Part& p : ring_) {
                p.values.resize(static_cast<std::size_t>(partValues_));
                p.text.reset(new char[room]);
            }
        } catch (const std::bad_alloc&) {
            std::vector<Part>().swap(ring_);  // the message itself needs room
            const std::size_t bytes = slots * (room + static_cast<std::size_t>(partValues_) * sizeof(double));
            throw Error("Not enough memory for the buffers of " + std::to_string(threads) + " threads (" +
                        std::to_string((bytes + (1 << 20) - 1) >> 20) + " MiB); use fewer with -j");
        }
    }

    ~Pool() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    // Starts the threads; throws std::system_error when not one starts.
    void Start() {
        const int threads = std::max(job_.threads, 1);
        try {
            if (split_.cut == Cut::Serial) {
                threads_.emplace_back([this] { Drawer(); });
                for (int k = 1; k < std::max(threads, 2); ++k) threads_.emplace_back([this] { Formatter(); });
            } else {
                for (int k = 0; k < threads; ++k) threads_.emplace_back([this, k] { Worker(static_cast<uint32_t>(k)); });
            }
        } catch (const std::system_error&) {
            // Fewer threads do the same work, more slowly; a serial row
            // needs its drawer and one formatter.
            const std::size_t needed = split_.cut == Cut::Serial ? 2 : 1;
            if (threads_.size() < needed) throw;
        }
    }

    PartsEnd Collect() {
        PartsEnd end;
        for (uint64_t k = 0;; ++k) {
            Part* part;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return k >= limit_ || IsReady(k); });
                if (k >= limit_) break;
                part = &Slot(k);
            }
            receiver_.Take(std::span<const double>(part->values.data(), part->drawn),
                           std::string_view(part->text.get(), part->length));
            {
                std::lock_guard lock(mutex_);
                written_ = k + 1;
                part->state = Part::State::Free;
                if (part->failure || part->stopped) {
                    end.failure = part->failure;
                    end.stopped = part->stopped;
                    limit_ = k + 1;
                }
            }
            changed_.notify_all();
            if (end.failure || end.stopped) break;
        }
        return end;
    }

private:
    Part& Slot(uint64_t k) { return ring_[static_cast<std::size_t>(k % ring_.size())]; }
    bool IsReady(uint64_t k) { return Slot(k).index == k && Slot(k).state == Part::State::Ready; }
    // Part k may take its slot once the part before it in the slot is written.
    bool HasRoom(uint64_t k) const { return k < written_ + ring_.size(); }

    uint64_t FirstOf(uint64_t k) const { return job_.first + k * partValues_; }
    std::size_t SizeOf(uint64_t k) const {
        return static_cast<std::size_t>(std::min(partValues_, job_.count - k * partValues_));
    }

    // Draws part k into its slot with the source as it stands. The counts
    // stay in locals while the values are drawn: parts of neighbouring slots
    // are drawn on other cores, and a count written into the slot at every
    // value would bounce its cache line between them.
    void Draw(Part& part, uint64_t k) {
        const auto draw = Record(job_.row).draw;
        const auto& p = job_.params;
        const std::size_t n = SizeOf(k);
        const uint64_t first = FirstOf(k);
        double* const values = part.values.data();
        std::size_t drawn = 0;
        int stopped = 0;
        part.failure.reset();
        try {
            for (; drawn < n; ++drawn) {
                if ((stopped = StopSignal()) != 0) break;
                BeginValue(first + drawn);
                values[drawn] = draw(p[0], p[1], p[2]);
            }
        } catch (const Error& e) {
            part.failure = e.what();
        }
        part.drawn = drawn;
        part.stopped = stopped;
    }

    void Format(Part& part, uint64_t k) {
        part.length = FormatPart(std::span<const double>(part.values.data(), part.drawn), FirstOf(k) - job_.lineOrigin,
                                 job_.format, part.text.get());
    }

    // Marks part k done; a part that failed or stopped is the last.
    void Finish(Part& part, uint64_t k, Part::State state) {
        {
            std::lock_guard lock(mutex_);
            part.state = state;
            if ((part.failure || part.stopped) && limit_ > k + 1) limit_ = k + 1;
        }
        changed_.notify_all();
    }

    // Claims the next part in order once its slot is free; false when the
    // run is over.
    bool Claim(uint64_t& next, uint64_t& k, Part*& part, Part::State state) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return quit_ || next >= limit_ || HasRoom(next); });
        if (quit_ || next >= limit_) return false;
        k = next++;
        part = &Slot(k);
        part->index = k;
        part->state = state;
        return true;
    }

    // A worker of a row that splits: draws and formats whole parts.
    void Worker(uint32_t thread) {
        SetThreadIndex(thread);
        const uint32_t uniform = job_.seed ? static_cast<uint32_t>(*job_.seed) : 0u;
        std::optional<ScopedPhilox> counter;
        if (split_.cut == Cut::Counter) counter.emplace(job_.seed.value());
        uint64_t k;
        Part* part;
        while (Claim(nextDraw_, k, part, Part::State::Drawing)) {
            const uint64_t first = FirstOf(k);
            if (split_.cut == Cut::Counter) {
                Draw(*part, k);  // each value begins at its own counter
            } else if (split_.cut == Cut::Jumps) {
                UniformSeed = uniform;
                AdvanceUniform(first * split_.perValue);
                Draw(*part, k);
            } else if (job_.seed) {
                // Reseed number first * perValue (modulo 2^64, as splitmix64 counts).
                SeededSource source(*job_.seed, first * split_.perValue, uniform);
                Draw(*part, k);
            } else {
                Draw(*part, k);
            }
            Format(*part, k);
            Finish(*part, k, Part::State::Ready);
        }
    }

    // The one thread that draws a serial row, in order.
    void Drawer() {
        std::optional<SeededSource> seeded;
        // (--shard refuses serial rows: the run starts at value 0.)
        if (job_.seed) {
            seeded.emplace(*job_.seed);
        } else {
            SetClock(callerClock_);
            UniformSeed = 0;
        }
        uint64_t k;
        Part* part;
        while (Claim(nextDraw_, k, part, Part::State::Drawing)) {
            Draw(*part, k);
            Finish(*part, k, Part::State::Drawn);
        }
    }

    // The threads that format a serial row's parts, in any order.
    void Formatter() {
        for (;;) {
            uint64_t k;
            Part* part;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] {
                    return quit_ || nextFormat_ >= limit_ ||
                           (Slot(nextFormat_).index == nextFormat_ && Slot(nextFormat_).state == Part::State::Drawn);
                });
                if (quit_ || nextFormat_ >= limit_) return;
                k = nextFormat_++;
                part = &Slot(k);
                part->state = Part::State::Formatting;
            }
            Format(*part, k);
            Finish(*part, k, Part::State::Ready);
        }
    }

    const PartsJob& job_;
    PartsReceiver& receiver_;
    Split split_;
    ClockSource callerClock_;
    uint64_t partValues_ = 1;
    uint64_t parts_ = 0;
    std::vector<Part> ring_;
    std::vector<std::thread> threads_;

    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t limit_ = 0;  // parts of the run: fewer once one failed or stopped
    uint64_t nextDraw_ = 0;
    uint64_t nextFormat_ = 0;
    uint64_t written_ = 0;
    bool quit_ = false;
};

}  // namespace

PartsEnd DrawInParts(const PartsJob& job, PartsReceiver& receiver) {
    Pool pool(job, receiver);
    pool.Start();
    return pool.Collect();
}

}  // namespace pelmora::cli
