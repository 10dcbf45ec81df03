#include "alloc_meter.h"

#include <malloc.h>

#include <atomic>

namespace hostile {
namespace {

std::atomic<bool> counting{false};
std::atomic<long long> live{0};
std::atomic<long long> peak{0};

void Add(std::size_t n) {
    long long now = live.fetch_add(static_cast<long long>(n)) + static_cast<long long>(n);
    long long seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
}

void Sub(std::size_t n) { live.fetch_sub(static_cast<long long>(n)); }

}  // namespace
}  // namespace hostile

#if defined(__SANITIZE_ADDRESS__)

// The sanitizer runtime's allocation interface (<sanitizer/allocator_interface.h>,
// which gcc does not install).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                              void (*free_hook)(const volatile void*));
std::size_t __sanitizer_get_allocated_size(const volatile void* p);
}

namespace hostile {
namespace {

void OnMalloc(const volatile void*, std::size_t size) {
    if (counting.load(std::memory_order_relaxed)) Add(size);
}

void OnFree(const volatile void* p) {
    if (p != nullptr && counting.load(std::memory_order_relaxed)) {
        Sub(__sanitizer_get_allocated_size(p));
    }
}

[[maybe_unused]] const bool kHooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;

}  // namespace
}  // namespace hostile

#else

// glibc's own entry points, under the names it exports for this purpose.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t n) {
    void* p = __libc_malloc(n);
    if (p != nullptr && hostile::counting.load(std::memory_order_relaxed)) hostile::Add(malloc_usable_size(p));
    return p;
}

void* calloc(std::size_t count, std::size_t n) {
    void* p = __libc_calloc(count, n);
    if (p != nullptr && hostile::counting.load(std::memory_order_relaxed)) hostile::Add(malloc_usable_size(p));
    return p;
}

void* realloc(void* old, std::size_t n) {
    bool counted = hostile::counting.load(std::memory_order_relaxed);
    if (old != nullptr && counted) hostile::Sub(malloc_usable_size(old));
    void* p = __libc_realloc(old, n);
    if (counted) {
        if (p != nullptr) hostile::Add(malloc_usable_size(p));
        else if (old != nullptr && n != 0) hostile::Add(malloc_usable_size(old));  // the old block stays
    }
    return p;
}

void free(void* p) {
    if (p != nullptr && hostile::counting.load(std::memory_order_relaxed)) hostile::Sub(malloc_usable_size(p));
    __libc_free(p);
}
}

#endif

namespace hostile {

std::size_t PeakHeapBytes(const std::function<void()>& code) {
    live = 0;
    peak = 0;
    counting = true;
    try {
        code();
    } catch (...) {
        counting = false;
        throw;
    }
    counting = false;
    return static_cast<std::size_t>(peak.load());
}

}  // namespace hostile
