#pragma once

#include "analysis/attribution.h"
#include "analysis/check_sets.h"
#include "runfiles/entry_record.h"
#include "source/program_info.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tickscope::testing {

struct ReportLine {
    std::int32_t File;
    std::int32_t Line;
    std::string Code;
};

// Lines of code with the given file ids, line numbers and code.
inline std::vector<LineOfCode> LinesOf(const std::vector<ReportLine>& lines) {
    std::vector<LineOfCode> code;
    for (const ReportLine& line : lines) {
        LineOfCode& added = code.emplace_back();
        added.SourceFileId = line.File;
        added.LineNumber = line.Line;
        added.Code = line.Code;
    }
    return code;
}

// Lines 1..count of file 1.
inline std::vector<LineOfCode> LinesOfFile1(int count) {
    std::vector<ReportLine> lines;
    for (int i = 1; i <= count; ++i) {
        lines.push_back({1, i, "Line" + std::to_string(i) + "()"});
    }
    return LinesOf(lines);
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

// One check per thread of the analysis, checked as given (all when empty).
inline ThreadChecks ThreadChecksFor(const RunAnalysis& analysis,
                                    const std::vector<bool>& checked = {}) {
    ThreadChecks checks(analysis.Threads().size());
    for (std::size_t p = 0; p < checks.size(); ++p) {
        checks[p] = checked.empty() || (p < checked.size() && checked[p]);
    }
    return checks;
}

inline void Attribute(RunAnalysis& analysis, const std::vector<EntryRecord>& entries) {
    for (const EntryRecord& e : entries) {
        AttributeEntry(analysis, e);
    }
}

} // namespace tickscope::testing
