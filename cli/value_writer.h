#pragma once
// Formatting and writing on a second thread. The drawing thread hands blocks
// of values over; the writer formats them in the general format, one per
// line, and writes them through an OutputSink. Drawing and formatting then
// run on two cores at once, and the values come out in the order drawn.
// This is the one-thread path (-j 1); cli/parts cuts a run over more threads.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "cli/format.h"
#include "cli/output.h"

namespace pelmora::cli {

class ValueWriter {
public:
    // Until Finish returns, only the writer thread touches `sink`.
    explicit ValueWriter(OutputSink& sink, ValueFormat format = {});
    ~ValueWriter();
    ValueWriter(const ValueWriter&) = delete;
    ValueWriter& operator=(const ValueWriter&) = delete;

    // Queues one value. Returns false once a write has failed: drawing more
    // is pointless then.
    bool Put(double value) {
        Block& b = blocks_[filling_];
        b.values[b.count++] = value;
        if (b.count == kBlockValues) Hand();
        return !failed_.load(std::memory_order_relaxed);
    }

    // Writes out everything queued and flushes the sink; rethrows the
    // writer's WriteFailure, if any. Called once.
    void Finish();

private:
    static constexpr std::size_t kBlockValues = 4096;
    static constexpr std::size_t kBlocks = 4;
    // Each block on lines of its own: the drawer fills one while the writer
    // reads another.
    struct alignas(64) Block {
        std::size_t count = 0;
        double values[kBlockValues];
    };

    void Hand();  // passes the filling block to the writer, waits for a free one
    void Run();   // the writer thread
    void Write(const Block& b);  // formats one block into the sink


    OutputSink& sink_;
    ValueFormat format_;
    // Values on the current line so far: the writer thread writes it at
    // every value, so it keeps a line of its own (see OutputSink).
    alignas(64) int column_ = 0;
    std::array<Block, kBlocks> blocks_;
    std::size_t filling_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::size_t> ready_;  // handed over, in order
    std::deque<std::size_t> free_;
    bool finishing_ = false;
    std::atomic<bool> failed_{false};
    std::optional<WriteFailure> failure_;
    std::thread thread_;
};

}  // namespace pelmora::cli
