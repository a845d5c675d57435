#pragma once

#include "analysis/attribution.h"
#include "analysis/check_sets.h"
#include "analysis/time_mode.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tickscope {

// Nanoseconds as milliseconds with nine decimals, trailing zeros removed: "3.", "0.",
// "1.5". Writes into `buffer` (at least kMillisecondsBufferSize bytes), returns the length.
inline constexpr std::size_t kMillisecondsBufferSize = 40;
std::size_t FormatMilliseconds(std::int64_t nanos, char* buffer);
std::string FormatMilliseconds(std::int64_t nanos);

// The milliseconds that FormatMilliseconds prints for `nanos`, as a number. Heat is scaled
// from the value as the report prints it, so this is the one place that rule lives.
double ReportedMilliseconds(std::int64_t nanos);

// Red of a heat colour: value / largest * 255 rounded half to even, kept within 0..255
// (a zero largest value or a negative threshold gives 0 or 255, never a wrapped colour).
int HeatRed(double value, double largest);

// Whether a line of code opens or closes a procedure (for its mark in the report).
enum class ProcedureMark { None, Start, End };
ProcedureMark ProcedureMarkOf(std::string_view code);

// The full-red thresholds; 0 scales against the largest checked value.
struct HeatScale {
    std::int32_t MaxHitsForFullRed = 0;
    std::int32_t MaxTimeForFullRed = 0; // milliseconds
};

// What the report shows for one line of code.
struct LineReport {
    bool HasResults = false; // a checked thread started the line
    std::int64_t Hits = 0;
    std::int64_t TimeNanos = 0; // the statistic of the time mode
    int HitsHeat = -1;          // red 0..255 of a checked line with results, -1 otherwise
    int TimeHeat = -1;
};

// The report of a run for the checked threads, the time mode and the line checks.
struct ReportFigures {
    TimeMode Mode = TimeMode::All;
    std::vector<LineReport> Lines; // one per line of code, index LineId - 1
    std::size_t LinesWithResults = 0;
};

// One entry per line check (the lines of the run); checked lines with results set the
// largest hits and time (unless a threshold replaces them) and get heat.
ReportFigures ComputeReportFigures(const RunAnalysis& analysis, const ThreadChecks& threads,
                                   const LineChecks& lines, TimeMode mode, HeatScale scale);

} // namespace tickscope
