#pragma once

#include "analysis/check_sets.h"
#include "analysis/loaded_run.h"
#include "analysis/report_figures.h"
#include "analysis/run_profile.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tickscope {

// Which table the report shows: one row per line of code, or one per procedure.
enum class ReportTable { Lines, Procedures };

// The order of the rows: the report's (lines as the program has them, procedures by scope
// id), or the largest first by the time shown (a procedure's total), the self time, the
// hits or the calls (for a line, the calls it made).
enum class ReportOrder { Report, Time, Self, Hits, Calls };

struct ReportLayout {
    ReportTable Table = ReportTable::Lines;
    ReportOrder Order = ReportOrder::Report;
    // At most this many rows: those with results that rank first by the order (by time
    // when the order is the report's). The text shows them ranked; CSV and JSON keep the
    // report's order.
    std::optional<std::size_t> Top;
};

// A report of one loaded run as the report tool prints it: the figures for the checked
// threads, the thresholds it was computed with, and the table it shows.
struct RunReport {
    const LoadedRun& Run;
    const ThreadChecks& Threads;
    const ReportFigures& Figures;
    const RunProfile& Profile; // for the same threads
    HeatScale Scale;
    std::string RunFile; // as the user named it
    ReportLayout Layout = {};
};

// The version of the JSON report's fields; it grows when a field changes or is added.
inline constexpr int kJsonFormatVersion = 2;

// Text for a terminal: control bytes (below 0x20, and 0x7F) shown in caret notation, "^["
// for ESC, so that a shared run file cannot send escape sequences; other bytes unchanged.
std::string VisibleText(std::string_view text);

// A field of a CSV record (RFC 4180): quoted when it holds a comma, a quote, CR or LF.
std::string CsvField(std::string_view text);

// A JSON string literal, valid UTF-8: the text as TextAsUtf8 gives it (valid UTF-8 as it
// is, other text read as Windows-1252), quotes, backslashes, control characters and 0x7F
// escaped.
std::string JsonString(std::string_view text);

// A report's milliseconds text as a JSON number: "3." (whole milliseconds) gets its "0",
// no text is null.
std::string JsonNumber(const std::string& text);

// Text widened with spaces to `width` characters, on the left or on the right.
std::string PadLeft(const std::string& text, std::size_t width);
std::string PadRight(const std::string& text, std::size_t width);

// The report as CSV, LF line ends. Lines: header "file,line,hits,time_ms,hits_heat,
// time_heat,code,self_ms,self_percent,file_path", one record per line of code (self time and
// percent empty where hits are). Procedures: header "procedure,calls,self_ms,total_ms,
// self_percent,total_percent", one record per procedure with a line with results.
std::string CsvReport(const RunReport& report);

// The report, the threads and the procedures as one JSON object (both tables whatever the
// layout's table; the layout's top cuts both).
std::string JsonReport(const RunReport& report);

// A table for people: the files, then every line with a heat bar and the ten lines that
// took most time, or the procedures. Code, paths and names are shown with VisibleText.
std::string TextReport(const RunReport& report);

// "id,scope" and one record per thread.
std::string ThreadsCsv(const LoadedRun& run);

} // namespace tickscope
