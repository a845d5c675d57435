#pragma once

#include "analysis/export_output.h"
#include "analysis/loaded_run.h"
#include "analysis/run_profile.h"

#include <string>

namespace tickscope {

// The profile in the Callgrind format (KCachegrind, QCachegrind, callgrind_annotate):
// events "ns Hits"; per source file (fl=, "(file N)" for a file the run names no path for)
// and procedure (fn=, "(no procedure)" for lines of none) one cost line per line with
// results: its line number (0 for a negative one), self time and hits; after a line that
// called procedures, per callee a cfl=/cfn=/calls= block whose cost line carries the calls'
// inclusive time. Entries that name no line of the program are left out, as in the other
// reports. summary: the sums of the cost lines (the self times add up to the run time where
// no line's child time exceeds its total). Paths and names are UTF-8.
void WriteCallgrind(const LoadedRun& run, const RunProfile& profile, const std::string& creator,
                    OutputBuffer& out);

} // namespace tickscope
