// The formula-picture decoder, fed any bytes.
//
// Checked for every input:
// - it returns a picture or throws pelmora::Error "JPEG error #<n>" with a
//   message number of the decoder; nothing else escapes and nothing crashes;
// - a picture is 24-bit, not empty, and no larger than the budget that a
//   file of this size is allowed;
// - the memory live at any moment of the decoding stays within a small
//   multiple of that budget: a header that promises more pixels than the
//   file could hold is refused before the memory is taken. The sanitizer's
//   allocation hooks count every allocation, libjpeg's and Qt's included.

#include <sanitizer/allocator_interface.h>

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <jpeglib.h>
#include <jerror.h>

#include "app/jpeg.h"
#include "engine/error.h"

namespace {

using namespace pelmora::app;

bool counting = false;
long long live = 0;
long long peak = 0;

void OnMalloc(const volatile void*, std::size_t size) {
    if (!counting) return;
    live += static_cast<long long>(size);
    if (live > peak) peak = live;
}

void OnFree(const volatile void* p) {
    if (!counting || p == nullptr) return;
    live -= static_cast<long long>(__sanitizer_get_allocated_size(const_cast<const void*>(p)));
}

const bool kHooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;

[[noreturn]] void Fail(const char* what, std::size_t size) {
    std::fprintf(stderr, "fuzz_jpeg: %s (input of %zu bytes)\n", what, size);
    std::abort();
}

// The most picture memory a file of `size` bytes may ask for.
std::size_t Budget(std::size_t size) {
    std::size_t byExpansion = kMaxExpansion * (size + 1);
    std::size_t budget = byExpansion > kSmallPictureBytes ? byExpansion : kSmallPictureBytes;
    return budget < kMaxPictureBytes ? budget : kMaxPictureBytes;
}

bool IsJpegError(const std::string& message) {
    const std::string prefix = "JPEG error #";
    if (message.compare(0, prefix.size(), prefix) != 0 || message.size() == prefix.size()) return false;
    int code = 0;
    for (std::size_t i = prefix.size(); i < message.size(); ++i) {
        if (message[i] < '0' || message[i] > '9' || i - prefix.size() > 4) return false;
        code = code * 10 + (message[i] - '0');
    }
    return code < JMSG_LASTMSGCODE;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (!kHooked) Fail("the allocation hooks could not be installed", size);
    const std::size_t budget = Budget(size);

    live = peak = 0;
    counting = true;
    QImage image;
    std::string error;
    try {
        image = DecodeJpeg(data, size);
    } catch (const pelmora::Error& e) {
        error = e.what();
    }
    counting = false;

    // The picture itself, libjpeg's coefficient arrays (two bytes a sample,
    // padded to whole blocks) and the decoder's working rows.
    if (static_cast<unsigned long long>(peak) > 4 * static_cast<unsigned long long>(budget) + (16ull << 20)) {
        std::fprintf(stderr, "fuzz_jpeg: peak %lld bytes, budget %zu\n", peak, budget);
        Fail("the decoder took far more memory than the file could fill", size);
    }
    if (!error.empty()) {
        if (!IsJpegError(error)) {
            std::fprintf(stderr, "fuzz_jpeg: message '%s'\n", error.c_str());
            Fail("an error other than the decoder's", size);
        }
        return 0;
    }
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) Fail("an empty picture without an error", size);
    if (image.format() != QImage::Format_RGB888) Fail("a picture that is not 24-bit", size);
    if (static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height()) * 3 > budget) {
        Fail("a picture beyond the budget of its file", size);
    }
    return 0;
}
