#pragma once

#include "analysis/check_sets.h"
#include "analysis/line_figures.h"
#include "analysis/loaded_run.h"
#include "analysis/report_figures.h"
#include "analysis/run_catalogue.h"
#include "analysis/time_mode.h"
#include "ui/birds_view.h"
#include "ui/list_data.h"

#include <string>
#include <vector>

namespace tickscope {

// Writes what the analysis computed into the window's lists: texts, colours and check
// boxes. The only place that turns figures into cells; nothing reads them back.

// The program names of the catalogue, without a selection.
void ShowProgramNames(AnalyzerLists& lists, const std::vector<std::string>& names);

// A program was chosen: empties the run, source-file, report and thread lists and lists the
// given runs by their start time (empty comment).
void ShowRuns(AnalyzerLists& lists, const std::vector<const RunRecord*>& runs);

// A run was loaded: its source files, one report row per line of code and its threads, every
// line and thread checked.
void ShowLoadedRun(AnalyzerLists& lists, const LoadedRun& run);

// The check boxes as typed selections, and back.
LineChecks LineChecksOf(const ListData& reportList);
void ShowLineChecks(ListData& reportList, const LineChecks& lines);
ThreadChecks ThreadChecksOf(const ListData& threadList);

// The time mode of the mode list ("all" when nothing is selected).
TimeMode TimeModeOf(const ComboData& modeCombo);

// Rewrites the Hits and Time texts and every colour of the report from the figures: grey
// for lines without results or unchecked, heat for checked lines with results, procedure
// starts and ends marked in the Code column, whose background (the Find mark) is kept.
void ShowReportFigures(ListData& reportList, const ReportFigures& figures);

// What report row tooltips are written from: the figures of the checked threads.
struct ReportToolTipFigures {
    std::vector<LineFigures> Lines;                            // SumLineFigures, ascending LineId
    std::int64_t RunNanos = 0;                                 // SumRunNanos
    std::vector<std::vector<InstructionFigures>> Instructions; // SumInstructionFigures
};
ReportToolTipFigures SumReportToolTipFigures(const RunAnalysis& analysis,
                                             const ThreadChecks& threads);

// Tooltips from the loaded run, for the rows ShowLoadedRun listed (empty for other rows): a
// source file's whole path; a thread's whole id and its scope; and for a report row the
// line's file path and number, its hits, its time in every mode, its self time with its
// percent of the run time and per hit, and the hits and time of each of its instructions,
// for the checked threads.
std::string SourceFileToolTip(const LoadedRun& run, std::size_t row);
std::string ThreadToolTip(const LoadedRun& run, std::size_t row);
std::string ReportRowToolTip(const LoadedRun& run, const ReportToolTipFigures& figures,
                             std::size_t row);

// The heat of every row, for the bird's view.
std::vector<RowHeat> RowHeats(const ReportFigures& figures);

} // namespace tickscope
