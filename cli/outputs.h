#pragma once

// Writing the outputs of ornamo-render: the picture, the placements file and the work file.

#include "options.h"

#include <cstdio>
#include <string>

namespace ornamo {
class MosaicView;
class WorkSession;
} // namespace ornamo

namespace ornamo::cli {

/// The reason a run ends without output, already formatted for stderr.
struct Failure {
    std::string reason;
};

/// Writes the outputs asked for all or nothing: `placementsText` to the placements file when
/// one is named, the work file of `work` to the work file when one is named, `rulesText` to the
/// rules file of --rules-out when one is named, and `image` (when given) to the output. Each is
/// written beside its target first, and the targets are replaced only once every one of them has
/// been written. Throws Failure when anything cannot be written; every existing file is then as it
/// was.
void writeOutputs(const Options& options, const std::string& placementsText,
                  const WorkSession& work, const std::string& rulesText, const MosaicView* image,
                  std::FILE* errors);

} // namespace ornamo::cli
