#pragma once

#include "analysis/list_data.h"

#include <string>
#include <string_view>

namespace tickscope {

// What the report printers show besides the report rows.
struct ReportHeading {
    std::string RunFile;
    std::string ProgramPath;
    std::string Started; // formatted timestamp
    std::string Mode;    // all, avg, max, min
    int MaxHitsForFullRed = 0;
    int MaxTimeForFullRed = 0;
};

// A field of a CSV record (RFC 4180): quoted when it holds a comma, a quote, CR or LF.
std::string CsvField(std::string_view text);

// A JSON string literal of single-byte text: quotes, backslashes and control characters
// escaped, bytes from 0x7F up written as \u00XX (the bytes taken as Latin-1).
std::string JsonString(std::string_view text);

// Red of the heat background of a Hits or Time cell, or -1 when the row is not coloured
// (unchecked, or without results).
int HeatOf(const ListRow& row, int column);

// The report as CSV: header "file,line,hits,time_ms,hits_heat,time_heat,code", one record
// per report row, LF line ends.
std::string CsvReport(const AnalyzerLists& lists);

// The report and the threads as one JSON object.
std::string JsonReport(const AnalyzerLists& lists, const ReportHeading& heading);

// A table for people: every line with a heat bar, then the ten lines that took most time.
std::string TextReport(const AnalyzerLists& lists, const ReportHeading& heading);

// "id,scope" and one record per thread.
std::string ThreadsCsv(const AnalyzerLists& lists);

} // namespace tickscope
