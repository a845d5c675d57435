#pragma once

#include "analysis/id_names.h"
#include "analysis/report_output.h"
#include "analysis/run_comparison.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tickscope {

// Which rows a printed comparison shows, and in which order.
struct ComparisonLayout {
    ReportTable Table = ReportTable::Lines;
    // The order of the text's table; none: the comparison's own.
    std::optional<ComparisonOrder> Order;
    // At most this many rows: those with the order's figure that rank first by it (by the
    // change when there is no order). The text shows them ranked; CSV and JSON keep the
    // comparison's order.
    std::optional<std::size_t> Top;
};

// A comparison of two runs as the report tool prints it.
struct ComparisonReport {
    const RunSummary& Old;
    const RunSummary& New;
    const RunComparison& Comparison;
    ComparisonLayout Layout = {};
};

// The texts of one row as every rendering of a comparison writes them: numbers as in the
// single-run CSV, empty where a run has no figure (or, for a place, no such line).
struct LineRowTexts {
    std::string Status;
    std::string OldFile, OldLine, NewFile, NewLine; // the runs' paths and line numbers
    std::string OldFileId, NewFileId;
    std::string OldHits, NewHits, OldTime, NewTime, DeltaTime, DeltaPercent;
    std::string OldSelf, NewSelf;
    std::string Code; // of the new line, of the old one for a removed line
};

struct ProcedureRowTexts {
    std::string Status, Name; // the name, "(scope N)" for a procedure without one
    std::string OldCalls, NewCalls, OldSelf, NewSelf, OldTotal, NewTotal, DeltaTotal, DeltaPercent;
};

class ComparisonTexts {
  public:
    explicit ComparisonTexts(const ComparisonReport& report);
    LineRowTexts Line(const LineComparison& row) const;
    static ProcedureRowTexts Procedure(const ProcedureComparison& row);
    // "file:line" with the file's id, "" where the line number is.
    static std::string Place(const std::string& fileId, const std::string& line);

  private:
    static const LineOfCode* LineOf(const RunSummary& run, const LineSide& side);

    const RunSummary& old_; // the report's runs, not the report, which may be a temporary
    const RunSummary& new_;
    IdNames oldNames_;
    IdNames newNames_;
};

// A change for people: "+1.5", "-0.25"; "0.", "0.00" and "" as they are.
std::string SignedText(const std::string& number);

// The version of the JSON comparison's fields; it grows when a field changes or is added.
inline constexpr int kComparisonJsonFormatVersion = 1;

// The rows of the layout's table to print, as indices into the comparison's lines or
// procedures: ranked as the text shows them, or in the comparison's order.
std::vector<std::size_t> ComparisonRows(const ComparisonReport& report, ReportTable table,
                                        bool comparisonOrder);

// CSV, LF line ends. Lines: header "status,old_file,old_line,new_file,new_line,old_hits,
// new_hits,old_ms,new_ms,delta_ms,delta_percent,old_self_ms,new_self_ms,code"; files as their
// runs' paths, numbers as in the single-run CSV, empty fields where a run has no figure, the
// code of the new line (of the old one for a removed line). Procedures: header "status,
// procedure,old_calls,new_calls,old_self_ms,new_self_ms,old_total_ms,new_total_ms,
// delta_total_ms,delta_total_percent".
std::string CsvComparison(const ComparisonReport& report);

// Both runs, the run times, the files, the lines and the procedures as one JSON object
// (both tables whatever the layout's table; the layout's top cuts both).
std::string JsonComparison(const ComparisonReport& report);

// For people: the runs and the run times old -> new with the change in percent, the five
// procedures and the ten lines that gained and that lost most, the files, then the table of
// the layout. Code, paths and names are shown with VisibleText.
std::string TextComparison(const ComparisonReport& report);

} // namespace tickscope
