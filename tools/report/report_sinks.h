#pragma once

// Where tickscope-report writes: standard output, or the file --output names (written
// beside it and put in place when complete, so that a failed export leaves no half file).

#include "analysis/export_output.h"

#include <functional>
#include <optional>
#include <string>

namespace tickscope::report {

// Writes what `write` produces into the file, or to standard output when there is none:
// kExitOk, or kExitWriteFailed with one line on standard error when it did not all arrive
// (a full disk, a closed pipe or descriptor, a file that cannot be made) or `write` returns
// why it could not finish (a file is then left as it was).
int WriteOutput(const std::optional<std::string>& file,
                const std::function<std::string(ExportSink&)>& write);

} // namespace tickscope::report
