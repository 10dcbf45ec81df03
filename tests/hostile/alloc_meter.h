#pragma once
// Measures the heap memory that a piece of code holds at its peak, counting
// every malloc of the process (libjpeg's and Qt's included). Under
// AddressSanitizer it uses the sanitizer's allocation hooks; otherwise the
// executable that links alloc_meter.cpp takes over malloc and friends and
// passes them on to glibc.

#include <cstddef>
#include <functional>

namespace hostile {

// The most bytes held at once, beyond what was held before, while `code` ran.
std::size_t PeakHeapBytes(const std::function<void()>& code);

}  // namespace hostile
