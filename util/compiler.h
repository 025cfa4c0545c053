//===- util/compiler.h - Compiler hints -------------------------*- C++ -*-===//
#ifndef FERROX_UTIL_COMPILER_H
#define FERROX_UTIL_COMPILER_H

/// Marks a small function on a hot path that must be inlined.
#if defined(__GNUC__) || defined(__clang__)
#define FERROX_ALWAYS_INLINE [[gnu::always_inline]] inline
#elif defined(_MSC_VER)
#define FERROX_ALWAYS_INLINE __forceinline
#else
#define FERROX_ALWAYS_INLINE inline
#endif

#endif // FERROX_UTIL_COMPILER_H
