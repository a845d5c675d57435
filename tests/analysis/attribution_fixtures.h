#pragma once

#include "analysis/attribution.h"
#include "analysis/list_data.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tickscope::testing {

struct ReportLine {
    std::string File;
    std::string Line;
    std::string Code;
};

// A report list with one row per given line, every row checked.
inline AnalyzerLists ListsWithReport(const std::vector<ReportLine>& lines) {
    AnalyzerLists lists;
    for (const ReportLine& line : lines) {
        lists.ReportList.AddRow({"", line.File, line.Line, "", "", line.Code}).Checked = true;
    }
    return lists;
}

// Rows of file 1, lines 1..count.
inline AnalyzerLists ListsWithLines(int count) {
    std::vector<ReportLine> lines;
    for (int i = 1; i <= count; ++i) {
        lines.push_back({"1", std::to_string(i), "Line" + std::to_string(i) + "()"});
    }
    return ListsWithReport(lines);
}

// An entry written compactly: thread, line of file 1, start (true) or stop, nanos, and
// optionally instruction number and stack frame.
inline EntryRecord Entry(std::int64_t thread, std::int32_t line, bool start, std::int64_t nanos,
                         std::int8_t instruction = 1, std::int64_t frame = 0,
                         std::int32_t file = 1) {
    EntryRecord e;
    e.ThreadId = thread;
    e.Stackframe = frame;
    e.FileId = file;
    e.LineNumber = line;
    e.InstructionNumber = instruction;
    e.StartOrStop = start ? kStartEntry : kStopEntry;
    e.Nanos = nanos;
    return e;
}

// Fills the thread list with one row per thread node, checked as given (all when empty).
inline void FillThreadList(AnalyzerLists& lists, const RunAnalysis& analysis,
                           const std::vector<bool>& checked = {}) {
    lists.ThreadList.Clear();
    for (std::size_t p = 0; p < analysis.Threads().size(); ++p) {
        ListRow& row =
            lists.ThreadList.AddRow({"", std::to_string(analysis.Threads()[p].ThreadId), ""});
        row.Checked = checked.empty() || (p < checked.size() && checked[p]);
    }
}

inline void Attribute(RunAnalysis& analysis, const std::vector<EntryRecord>& entries) {
    for (const EntryRecord& e : entries) {
        AttributeEntry(analysis, e);
    }
}

} // namespace tickscope::testing
