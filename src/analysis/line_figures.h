#pragma once

#include "analysis/attribution.h"
#include "analysis/check_sets.h"
#include "analysis/time_mode.h"

#include <cstdint>
#include <vector>

namespace tickscope {

// The figures of one line summed over the instructions and the checked threads.
struct LineFigures {
    std::int32_t LineId = 0;
    std::int64_t Hits = 0;
    std::int64_t TotalNanos = 0;
    std::int64_t MaxSum = 0;        // sum of the instructions' longest executions
    std::int64_t MinSum = 0;        // sum of their shortest executions
    std::int64_t ChildNanos = 0;    // see ThreadLineNode
    std::int64_t EnteringNanos = 0; // see ThreadLineNode
};

// Every line that a checked thread started (even if no execution completed), in ascending
// LineId order; LineId 0 (entries that matched no line) is included.
std::vector<LineFigures> SumLineFigures(const RunAnalysis& analysis, const ThreadChecks& threads);

// Adds one thread's figures of the line (all its instructions) to `sum`.
void AddLineNode(LineFigures& sum, const ThreadLineNode& node);

// A line's total time minus the time of the executions it was the parent of; 0 when that is
// below 0.
std::int64_t SelfNanos(const LineFigures& figures);

// The durations of the counted executions without a parent, over the checked threads: the
// run time that self times add up to and percentages are taken of.
std::int64_t SumRunNanos(const RunAnalysis& analysis, const ThreadChecks& threads);

// The figures of every instruction of every line, summed over the checked threads: indexed
// by LineId (0 to LineCount), each in ascending InstructionNumber. Hits and times add up;
// MaxNanos is the longest of the threads' and MinNanos the shortest recorded (0 for none).
std::vector<std::vector<InstructionFigures>> SumInstructionFigures(const RunAnalysis& analysis,
                                                                   const ThreadChecks& threads);

// The time statistic of a line in nanoseconds: total, average per hit (integer division,
// 0 without hits), summed maximum or summed minimum.
std::int64_t TimeStatistic(const LineFigures& figures, TimeMode mode);

// Per-line result for the checked threads and the chosen time mode.
struct LineResult {
    std::int32_t LineId = 0;
    std::int64_t Hits = 0;
    std::int64_t TimeNanos = 0;
};

// SumLineFigures with the time statistic of the mode.
std::vector<LineResult> ComputeLineResults(const RunAnalysis& analysis, const ThreadChecks& threads,
                                           TimeMode mode);

} // namespace tickscope
