#pragma once

#include "analysis/attribution.h"
#include "analysis/run_catalogue.h"
#include "source/program_info.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tickscope {

// A thread of a loaded run: its id (the low 32 bits, as the threads list shows it) and the
// name of the scope of the first line it started (empty when unknown).
struct ThreadInfo {
    std::int32_t ThreadId = 0;
    std::string Scope;
};

// One run loaded for analysis: the program information read back from the run file (its
// lines of code in LineId order, source files and scopes) and the attribution result of
// the entry log. Everything a view of the run needs; nothing of any window.
struct LoadedRun {
    RunRecord Record;
    ProgramInfo Program; // Path, flags, block keys and output lines stay empty
    RunAnalysis Analysis;
    std::vector<ThreadInfo> Threads; // parallel to Analysis.Threads()
    // Why the run could not be loaded (everything else is then empty); empty when it was.
    std::string Failure;
};

} // namespace tickscope
