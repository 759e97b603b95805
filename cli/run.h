#pragma once

// Runs a parsed command line of ornamo-render.

#include "options.h"

#include <cstdio>

namespace ornamo::cli {

/// Loads the tile and the hierarchy, runs the steps with the editor's own model and writes the
/// requested outputs. Returns the exit status: 0 done, 1 a failure or a refused step (its
/// one-line reason already written to `errors`; nothing written then). The command list of
/// --list goes to `out`.
int run(const Options& options, std::FILE* out, std::FILE* errors);

} // namespace ornamo::cli
