#pragma once

#include "analysis/attribution.h"
#include "analysis/list_data.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tickscope {

// Colours of the report.
inline constexpr Rgb kUncountedText = MakeRgb(100, 100, 100); // File, Line, Code
inline constexpr Rgb kFileLineBackground = MakeRgb(200, 200, 200);
inline constexpr Rgb kGreyFigureText = MakeRgb(200, 200, 200); // Hits, Time unchecked
inline constexpr Rgb kGreyFigureBackground = MakeRgb(100, 100, 100);
inline constexpr Rgb kCountedCodeText = kBlack;
inline constexpr Rgb kCheckedFigureText = kWhite;
inline constexpr Rgb kProcedureStartText = MakeRgb(0, 200, 0);
inline constexpr Rgb kProcedureEndText = MakeRgb(200, 0, 0);

// Nanoseconds as milliseconds with nine decimals, trailing zeros removed: "3.", "0.",
// "1.5". Writes into `buffer` (at least kMillisecondsBufferSize bytes), returns the length.
inline constexpr std::size_t kMillisecondsBufferSize = 40;
std::size_t FormatMilliseconds(std::int64_t nanos, char* buffer);
std::string FormatMilliseconds(std::int64_t nanos);

// Red of a heat colour: value / largest * 255 rounded half to even, kept within 0..255
// (a zero largest value or a negative threshold gives 0 or 255, never a wrapped colour).
int HeatRed(double value, double largest);

// Writes the figures of every line into the report and colours it: resets all colours and
// the Hits and Time texts, writes the results of the checked threads in the chosen mode,
// scales the heat of checked rows against the largest values (or the thresholds when not
// 0) and marks procedure starts and ends in the Code column. The Code background is kept.
void RefreshReportValues(AnalyzerLists& lists, const RunAnalysis& analysis, int maxHitsForFullRed,
                         int maxTimeForFullRed);

} // namespace tickscope
