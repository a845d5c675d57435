#pragma once

#include "analysis/attribution.h"
#include "analysis/check_sets.h"
#include "source/program_info.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

namespace tickscope {

// Where the time of a run went, over the checked threads: self time per line, figures per
// procedure and the calls from lines into procedures. Every time here is a total, whatever
// the time mode of the report.

struct LineProfile {
    std::int32_t LineId = 0;
    std::int32_t ScopeId = 0; // the line's procedure, 0 for none
    std::int64_t Hits = 0;
    std::int64_t TotalNanos = 0;
    std::int64_t ChildNanos = 0;
    std::int64_t SelfNanos = 0; // total minus child time, 0 when that is below 0
    std::int64_t Calls = 0;     // calls the line made into other procedures
};

struct ProcedureProfile {
    std::int32_t ScopeId = 0;
    std::string Name;             // the scope's first name; empty when the table has none
    std::int32_t FirstLineId = 0; // the first line of code of the procedure
    std::int64_t Calls = 0;       // distinct executions of other procedures' lines calling it
    std::int64_t Hits = 0;        // summed over its lines
    std::int64_t SelfNanos = 0;   // the self times of its lines
    // The executions of its lines whose parent is no line of it: recursion counts once.
    std::int64_t TotalNanos = 0;
};

// Calls from one line into one procedure (what a call graph draws as an arc).
struct CallProfile {
    std::int32_t CallerLineId = 0;
    std::int32_t CalleeScopeId = 0;
    std::int64_t Calls = 0;
    std::int64_t InclusiveNanos = 0;
};

struct RunProfile {
    // The counted executions without a parent; the self times of all lines add up to it
    // (but for those raised to 0).
    std::int64_t RunNanos = 0;
    std::vector<LineProfile> Lines; // every line a checked thread started, by LineId (0 too)
    std::vector<ProcedureProfile> Procedures; // those with such a line, by scope id
    std::vector<CallProfile> Calls;           // by caller line id, then callee scope id
};

// `program` is the one whose lines the analysis was reset with (names and first lines).
RunProfile ComputeRunProfile(const RunAnalysis& analysis, const ProgramInfo& program,
                             const ThreadChecks& threads);

// The name a procedure is shown with: its name, or "(scope N)" when it has none.
std::string ProcedureLabel(const ProcedureProfile& procedure);
std::string ProcedureLabel(const std::string& name, std::int32_t scopeId);

// 100 x part / whole with two decimals, "12.34" (half a hundredth rounds away from zero);
// "0.00" when whole is 0.
std::string FormatPercent(std::int64_t part, std::int64_t whole);

// What the hot spots are ordered by.
enum class ProfileOrder { Self, Total, Hits, Calls };

// The figure of a line or a procedure that an order ranks by.
std::int64_t ProfileFigure(const LineProfile& line, ProfileOrder order);
std::int64_t ProfileFigure(const ProcedureProfile& procedure, ProfileOrder order);

// Indices into Lines or Procedures, the largest figure first; equal figures keep their
// order.
std::vector<std::size_t> RankLines(const RunProfile& profile, ProfileOrder order);
std::vector<std::size_t> RankProcedures(const RunProfile& profile, ProfileOrder order);

// Indices 0..count-1 ordered by key(index), the largest first; equal keys keep their order.
template <class Key> std::vector<std::size_t> RankDescending(std::size_t count, Key key) {
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&key](std::size_t a, std::size_t b) { return key(a) > key(b); });
    return order;
}

} // namespace tickscope
