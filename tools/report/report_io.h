#pragma once

// What the commands of tickscope-report share: messages on standard error, the output on
// standard output, and the runs the user names, loaded.

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

// Writes the output and flushes it: kExitOk, or kExitWriteFailed with a line on stderr when
// it did not all reach standard output (a full disk, a closed pipe, a closed descriptor).
int Write(const std::string& text);

// Write for an output written piece by piece (a page): `write` streams into standard output.
int WriteStreamed(const std::function<void(TextSink&)>& write);

// The run file the user named, loaded (a warning when its invocations are incomplete);
// nullptr after one line on stderr when it cannot be read or loaded.
std::unique_ptr<LoadedRun> LoadNamedRun(const std::string& runFile);

// Every thread checked, or only the listed ones, with a warning for each id the run lacks
// ("the <which> has no thread N").
ThreadChecks ChosenThreads(const LoadedRun& run,
                           const std::optional<std::vector<std::int32_t>>& ids,
                           const std::string& which = "run");

} // namespace tickscope::report
