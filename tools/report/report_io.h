#pragma once

// What the commands of tickscope-report share: messages on standard error, the output (on
// standard output or in the --output file), and the runs the user names, loaded.

#include "analysis/check_sets.h"
#include "analysis/loaded_run.h"
#include "platform/text_sink.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tickscope::report {

// "tickscope-report: <message>" on standard error; returns kExitBadInput.
int Fail(const std::string& message);

// "tickscope-report: warning: <message>" on standard error.
void Warn(const std::string& message);

// Writes the output into the file, or to standard output when there is none, and flushes
// it: kExitOk, or kExitWriteFailed with a line on stderr when it did not all arrive (a full
// disk, a closed pipe, a closed descriptor, a file that cannot be made).
int Write(const std::string& text, const std::optional<std::string>& file = std::nullopt);

// Write for an output written piece by piece (a page): `write` streams into the output.
int WriteStreamed(const std::function<void(TextSink&)>& write,
                  const std::optional<std::string>& file = std::nullopt);

// Whether the --output file is the run file or its entry log; says so on stderr when it is.
bool OutputWouldReplaceRun(const std::optional<std::string>& file, const std::string& runFile);

// The run file the user named, loaded (a warning when its invocations are incomplete);
// nullptr after one line on stderr when it cannot be read or loaded.
std::unique_ptr<LoadedRun> LoadNamedRun(const std::string& runFile);

// Every thread checked, or only the listed ones, with a warning for each id the run lacks
// ("the <which> has no thread N").
ThreadChecks ChosenThreads(const LoadedRun& run,
                           const std::optional<std::vector<std::int32_t>>& ids,
                           const std::string& which = "run");

} // namespace tickscope::report
