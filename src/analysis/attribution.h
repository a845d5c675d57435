#pragma once

#include "analysis/list_data.h"
#include "instrument/run_files.h"

#include <cstdint>
#include <vector>

namespace tickscope {

struct InstructionFigures {
    std::int32_t InstructionNumber = 0;
    std::int64_t Hits = 0;
    std::int64_t TotalNanos = 0;
    std::int64_t MaxNanos = 0;
    std::int64_t MinNanos = 0; // 0: no duration recorded yet
};

struct ThreadLineNode {
    std::int32_t LineId = 0;
    std::vector<InstructionFigures> Instructions; // in order of first start
};

struct ThreadNode {
    std::int32_t ThreadId = 0; // low 32 bits of the entry's thread id
    std::vector<ThreadLineNode> Lines; // in order of first start in this thread
};

// Per-line result for the checked threads and the chosen time mode.
struct LineResult {
    std::int32_t LineId = 0;
    std::int64_t Hits = 0;
    std::int64_t TimeNanos = 0;
};

// The attribution result of one loaded run: per-thread, per-line, per-instruction figures
// and the invocations of every line. Internal pairing tables are private.
class RunAnalysis {
public:
    const std::vector<ThreadNode>& Threads() const;
    // LineIds started in the same thread while `lineId` was open; nullptr when the line
    // never stopped while open (no key), an empty list when it had none.
    const std::vector<std::int32_t>* InvocationsOf(std::int32_t lineId) const;

    // (implementation-defined private state)
};

// Empties the result and the tables, and maps "<File>:<Line>" of every report row to its
// LineId (row + 1; the last of equal rows wins).
void ResetAttribution(RunAnalysis& analysis, const ListData& reportList);

// Feeds one entry record, in file order.
void AttributeEntry(RunAnalysis& analysis, const EntryRecord& entry);

// Sums the figures per line over the checked rows of the thread list, with the time
// statistic that the mode combo selects ("all" or none: total; "avg"; "max"; "min").
std::vector<LineResult> ComputeLineResults(const RunAnalysis& analysis, const ListData& threadList,
                                           const ComboData& modeCombo);

} // namespace tickscope
