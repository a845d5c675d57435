#include "analysis/line_figures.h"

#include "analysis/wrapping_math.h"

#include <algorithm>
#include <utility>

namespace tickscope {

void AddLineNode(LineFigures& sum, const ThreadLineNode& node) {
    sum.ChildNanos = WrappingAdd(sum.ChildNanos, node.ChildNanos);
    sum.EnteringNanos = WrappingAdd(sum.EnteringNanos, node.EnteringNanos);
    for (const InstructionFigures& figures : node.Instructions) {
        sum.Hits = WrappingAdd(sum.Hits, figures.Hits);
        sum.TotalNanos = WrappingAdd(sum.TotalNanos, figures.TotalNanos);
        sum.MaxSum = WrappingAdd(sum.MaxSum, figures.MaxNanos);
        sum.MinSum = WrappingAdd(sum.MinSum, figures.MinNanos);
    }
}

std::vector<LineFigures> SumLineFigures(const RunAnalysis& analysis, const ThreadChecks& threads) {
    const std::size_t idCount = static_cast<std::size_t>(analysis.LineCount()) + 1;
    LineFigures absent;
    absent.LineId = -1; // marks lines that no checked thread started
    std::vector<LineFigures> sums(idCount, absent);
    const std::vector<ThreadNode>& nodes = analysis.Threads();
    for (std::size_t p = 0; p < nodes.size(); ++p) {
        if (p >= threads.size() || !threads[p]) {
            continue;
        }
        for (const ThreadLineNode& node : nodes[p].Lines) {
            if (node.LineId < 0 || static_cast<std::size_t>(node.LineId) >= idCount) {
                continue;
            }
            LineFigures& sum = sums[static_cast<std::size_t>(node.LineId)];
            sum.LineId = node.LineId;
            AddLineNode(sum, node);
        }
    }
    std::erase_if(sums, [](const LineFigures& sum) { return sum.LineId < 0; });
    return sums;
}

std::int64_t SelfNanos(const LineFigures& figures) {
    return std::max<std::int64_t>(0, WrappingSubtract(figures.TotalNanos, figures.ChildNanos));
}

std::int64_t SumRunNanos(const RunAnalysis& analysis, const ThreadChecks& threads) {
    std::int64_t run = 0;
    const std::vector<ThreadNode>& nodes = analysis.Threads();
    for (std::size_t p = 0; p < nodes.size() && p < threads.size(); ++p) {
        if (threads[p]) {
            run = WrappingAdd(run, nodes[p].RootNanos);
        }
    }
    return run;
}

std::vector<std::vector<InstructionFigures>> SumInstructionFigures(const RunAnalysis& analysis,
                                                                   const ThreadChecks& threads) {
    const std::size_t idCount = static_cast<std::size_t>(analysis.LineCount()) + 1;
    std::vector<std::vector<InstructionFigures>> sums(idCount);
    const std::vector<ThreadNode>& nodes = analysis.Threads();
    for (std::size_t p = 0; p < nodes.size() && p < threads.size(); ++p) {
        if (!threads[p]) {
            continue;
        }
        for (const ThreadLineNode& node : nodes[p].Lines) {
            if (node.LineId >= 0 && static_cast<std::size_t>(node.LineId) < idCount) {
                std::vector<InstructionFigures>& line = sums[static_cast<std::size_t>(node.LineId)];
                line.insert(line.end(), node.Instructions.begin(), node.Instructions.end());
            }
        }
    }
    // Sorted, then merged: a line with many instruction numbers stays n log n.
    for (std::vector<InstructionFigures>& line : sums) {
        std::stable_sort(line.begin(), line.end(),
                         [](const InstructionFigures& a, const InstructionFigures& b) {
                             return a.InstructionNumber < b.InstructionNumber;
                         });
        std::vector<InstructionFigures> merged;
        for (const InstructionFigures& more : line) {
            if (merged.empty() || merged.back().InstructionNumber != more.InstructionNumber) {
                merged.push_back(more);
                continue;
            }
            InstructionFigures& sum = merged.back();
            sum.Hits = WrappingAdd(sum.Hits, more.Hits);
            sum.TotalNanos = WrappingAdd(sum.TotalNanos, more.TotalNanos);
            sum.MaxNanos = std::max(sum.MaxNanos, more.MaxNanos);
            if (more.MinNanos != 0 && (sum.MinNanos == 0 || more.MinNanos < sum.MinNanos)) {
                sum.MinNanos = more.MinNanos;
            }
        }
        line = std::move(merged);
    }
    return sums;
}

std::int64_t TimeStatistic(const LineFigures& figures, TimeMode mode) {
    switch (mode) {
    case TimeMode::Avg:
        if (figures.Hits == -1) { // only reachable through wrapped sums; avoids overflow
            return WrappingSubtract(0, figures.TotalNanos);
        }
        return figures.Hits != 0 ? figures.TotalNanos / figures.Hits : 0;
    case TimeMode::Max:
        return figures.MaxSum;
    case TimeMode::Min:
        return figures.MinSum;
    case TimeMode::All:
        break;
    }
    return figures.TotalNanos;
}

std::vector<LineResult> ComputeLineResults(const RunAnalysis& analysis, const ThreadChecks& threads,
                                           TimeMode mode) {
    std::vector<LineResult> results;
    for (const LineFigures& figures : SumLineFigures(analysis, threads)) {
        results.push_back({figures.LineId, figures.Hits, TimeStatistic(figures, mode)});
    }
    return results;
}

} // namespace tickscope
