#pragma once
// Marks a function whose arithmetic is deliberately done in double precision
// (operations on two doubles, double-precision library calls). The engine's
// rule is that expressions run in extended precision and round to double
// only where a value is stored; the extended-precision check run by ctest
// (scripts/check-extended) reports every double-precision operation outside
// a function marked with this, and the reason says why the function cannot
// change a result. The mark is a clang annotation, so it costs nothing and
// other compilers ignore it.

#if defined(__clang__)
#define PELMORA_IN_DOUBLE(reason) [[clang::annotate("pelmora-in-double: " reason)]]
#else
#define PELMORA_IN_DOUBLE(reason)
#endif
