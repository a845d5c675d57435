#pragma once

#include "analysis/attribution.h"
#include "analysis/list_data.h"
#include "analysis/progress.h"
#include "analysis/run_catalogue.h"

#include <string>

namespace tickscope {

// Path of a run's entry log: the ".tkr" extension replaced by ".tkl" (appended when the
// name has no ".tkr" extension).
std::string EntryLogPath(const std::string& runFileName);

// Loads one run of the catalogue: empties the Program of every record (one run is loaded
// at a time), rebuilds record.Program from the run-information file, fills SourceFileList,
// ReportList (all rows checked), feeds every entry of the entry log to `analysis`, fills
// ThreadList (all rows checked) and reports progress to `progress`. A missing or unreadable
// entry log gives a program without entries. The caller refreshes the report afterwards.
// `record` need not belong to `catalogue` (the report tool loads a single file).
void LoadRun(RunCatalogue& catalogue, RunRecord& record, AnalyzerLists& lists,
             RunAnalysis& analysis, ProgressSink& progress);

} // namespace tickscope
