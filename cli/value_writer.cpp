#include "cli/value_writer.h"

#include <cstdint>
#include <string_view>

#include "core/numtext.h"

namespace pelmora::cli {

ValueWriter::ValueWriter(OutputSink& sink, ValueFormat format) : sink_(sink), format_(format) {
    for (std::size_t i = 1; i < kBlocks; ++i) free_.push_back(i);
    thread_ = std::thread([this] { Run(); });
}

ValueWriter::~ValueWriter() {
    if (thread_.joinable()) {
        try {
            Finish();
        } catch (const WriteFailure&) {
        }
    }
}

void ValueWriter::Hand() {
    std::unique_lock lock(mutex_);
    ready_.push_back(filling_);
    changed_.notify_all();
    changed_.wait(lock, [this] { return !free_.empty(); });
    filling_ = free_.front();
    free_.pop_front();
    blocks_[filling_].count = 0;
}

void ValueWriter::Finish() {
    {
        std::lock_guard lock(mutex_);
        if (blocks_[filling_].count != 0) ready_.push_back(filling_);
        finishing_ = true;
    }
    changed_.notify_all();
    thread_.join();
    if (failure_) throw *failure_;
}

void ValueWriter::Write(const Block& b) {
    if (format_.binary) {
        for (std::size_t i = 0; i < b.count; ++i) {
            PutBinary(b.values[i], format_.integers, sink_.Reserve(8));
            sink_.Commit(8);
        }
        return;
    }
    if (format_.columns == 1 && format_.precision == 15) {
        // The common case, kept to the window's own formatter.
        for (std::size_t i = 0; i < b.count; ++i) {
            char* text = sink_.Reserve(kFormatMax + 2);
            std::size_t n = FormatGeneral(b.values[i], text, std::string_view("."));
            text[n] = '\n';
            sink_.Commit(n + 1);
        }
        return;
    }
    for (std::size_t i = 0; i < b.count; ++i) {
        char* text = sink_.Reserve(kValueMax + 2);
        std::size_t n = 0;
        if (column_ != 0) text[n++] = '\t';
        n += FormatValue(b.values[i], format_.precision, text + n);
        if (++column_ == format_.columns) {
            text[n++] = '\n';
            column_ = 0;
        }
        sink_.Commit(n);
    }
}

void ValueWriter::Run() {
    for (;;) {
        std::size_t index;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !ready_.empty() || finishing_; });
            if (ready_.empty()) break;
            index = ready_.front();
            ready_.pop_front();
        }
        const Block& b = blocks_[index];
        if (!failure_) {
            try {
                Write(b);
            } catch (const WriteFailure& w) {
                failure_ = w;
                failed_.store(true, std::memory_order_relaxed);
            }
        }
        {
            std::lock_guard lock(mutex_);
            free_.push_back(index);
        }
        changed_.notify_all();
    }
    if (!failure_) {
        try {
            if (column_ != 0) sink_.Append("\n");  // a short last line
            sink_.Flush();
        } catch (const WriteFailure& w) {
            failure_ = w;
        }
    }
}

}  // namespace pelmora::cli
