#pragma once

// ORNAMO_VECTOR_CLONES before a function with hot loops builds it twice, for the x86-64 baseline
// and for AVX2, and picks the version the processor runs when the program starts. Everywhere
// else (other compilers and processors, and sanitizer builds, whose start-up the early choice
// would precede) it does nothing.
//
// ORNAMO_INLINE_CALLEES additionally inlines every call inside the function, so that the
// helpers it calls are built for AVX2 too.

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ORNAMO_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ORNAMO_SANITIZED 1
#endif

#if defined(__x86_64__) && defined(__linux__) && (defined(__GNUC__) || defined(__clang__)) &&      \
    !defined(ORNAMO_SANITIZED)
#define ORNAMO_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#if defined(__clang__) // clang takes target_clones and flatten on one function for a conflict
#define ORNAMO_INLINE_CALLEES
#else
#define ORNAMO_INLINE_CALLEES __attribute__((flatten))
#endif
#else
#define ORNAMO_VECTOR_CLONES
#define ORNAMO_INLINE_CALLEES
#endif
