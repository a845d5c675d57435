#pragma once

#include "analysis/check_sets.h"
#include "analysis/loaded_run.h"
#include "analysis/report_figures.h"

#include <string>
#include <string_view>

namespace tickscope {

// A report of one loaded run as the report tool prints it: the figures for the checked
// threads and the thresholds it was computed with.
struct RunReport {
    const LoadedRun& Run;
    const ThreadChecks& Threads;
    const ReportFigures& Figures;
    HeatScale Scale;
    std::string RunFile; // as the user named it
};

// Text for a terminal: control bytes (below 0x20, and 0x7F) shown in caret notation, "^["
// for ESC, so that a shared run file cannot send escape sequences; other bytes unchanged.
std::string VisibleText(std::string_view text);

// A field of a CSV record (RFC 4180): quoted when it holds a comma, a quote, CR or LF.
std::string CsvField(std::string_view text);

// A JSON string literal, valid UTF-8: the text as TextAsUtf8 gives it (valid UTF-8 as it
// is, other text read as Windows-1252), quotes, backslashes, control characters and 0x7F
// escaped.
std::string JsonString(std::string_view text);

// The report as CSV: header "file,line,hits,time_ms,hits_heat,time_heat,code", one record
// per line of code, LF line ends.
std::string CsvReport(const RunReport& report);

// The report and the threads as one JSON object.
std::string JsonReport(const RunReport& report);

// A table for people: every line with a heat bar, then the ten lines that took most time.
// Code, paths and names are shown with VisibleText.
std::string TextReport(const RunReport& report);

// "id,scope" and one record per thread.
std::string ThreadsCsv(const LoadedRun& run);

} // namespace tickscope
