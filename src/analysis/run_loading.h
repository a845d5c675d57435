#pragma once

#include "analysis/loaded_run.h"
#include "analysis/progress.h"
#include "analysis/run_catalogue.h"

namespace tickscope {

// Loads one catalogued run: rebuilds its program from the run-information file, feeds every
// entry of the entry log to the attribution, and names every thread by the scope of the
// first line it started. Progress goes to `progress`, in bytes of the two files. A missing
// or unreadable entry log gives a program without entries. Nothing escapes: a run there is
// no memory for comes back empty with its Failure set, and the progress is closed.
LoadedRun LoadRun(const RunRecord& record, ProgressSink& progress);

// Only the program of a run, as LoadRun rebuilds it from the run-information file, for the
// views that read the entry log themselves.
ProgramInfo LoadRunProgram(const RunRecord& record);

// What to tell the user about a run that did not load whole, in one sentence; empty when
// there is nothing to tell.
std::string LoadFailureMessage(const LoadedRun& run);
std::string IncompleteInvocationsMessage(const LoadedRun& run);

} // namespace tickscope
