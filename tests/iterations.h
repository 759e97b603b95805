#pragma once

// Numbered random iterations: iteration n of a random test draws everything from a generator
// seeded with n alone, a failure names n, and ORNAMO_ITERATION=n runs iteration n alone (any n,
// also one beyond the count the test runs), e.g.
//     ORNAMO_ITERATION=17 build/default/tests/engine/engine_tests --gtest_filter='History.*'

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace ornamo::testimages {

/// Runs body(n) for n in [0, count), or for the n that ORNAMO_ITERATION names only; each failure
/// is traced to its iteration, and the first fatal one ends the run.
template <class Body> void forEachIteration(unsigned count, Body&& body) {
    unsigned first = 0, end = count;
    if (const char* only = std::getenv("ORNAMO_ITERATION"); only && *only) {
        first = static_cast<unsigned>(std::stoul(only));
        end = first + 1;
    }
    for (unsigned n = first; n < end; ++n) {
        SCOPED_TRACE(testing::Message()
                     << "iteration " << n << " (ORNAMO_ITERATION=" << n << " runs it alone)");
        body(n);
        if (testing::Test::HasFatalFailure())
            return;
    }
}

} // namespace ornamo::testimages
