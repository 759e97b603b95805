#pragma once

// The hot loops of the reduction and the renderer are built twice on x86-64: for the baseline
// and for AVX2. ORNAMO_WIDE_VERSION before a function builds it for AVX2 with every call inside
// it inlined, so that the helpers it calls are built for AVX2 too; the caller picks a version
// with wideVectors(). byteShuffles() does the same for the SSSE3 shuffles of the reduction.
//
// Setting ORNAMO_PORTABLE in the environment (to anything) makes both answer false for the
// whole run, so that the tests can run the portable versions on a machine that has the wide
// ones. The variable is read once, the first time either is asked.

#include <cstdlib>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ORNAMO_HAS_WIDE_VERSIONS 1
#define ORNAMO_WIDE_VERSION __attribute__((target("avx2"), flatten))
#else
#define ORNAMO_WIDE_VERSION
#endif

namespace ornamo::detail {

/// Whether the portable versions are asked for (ORNAMO_PORTABLE set).
inline bool portableOnly() {
    static const bool asked = std::getenv("ORNAMO_PORTABLE") != nullptr;
    return asked;
}

/// Whether the AVX2 versions run.
inline bool wideVectors() {
#if defined(ORNAMO_HAS_WIDE_VERSIONS)
    static const bool wide = !portableOnly() && __builtin_cpu_supports("avx2");
    return wide;
#else
    return false;
#endif
}

/// Whether SSSE3 byte shuffles run.
inline bool byteShuffles() {
#if defined(ORNAMO_HAS_WIDE_VERSIONS)
    static const bool shuffles = !portableOnly() && __builtin_cpu_supports("ssse3");
    return shuffles;
#else
    return false;
#endif
}

} // namespace ornamo::detail
