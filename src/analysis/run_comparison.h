#pragma once

#include "analysis/check_sets.h"
#include "analysis/loaded_run.h"
#include "analysis/report_figures.h"
#include "analysis/run_profile.h"
#include "analysis/time_mode.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tickscope {

// Two runs side by side, old and new, even when the program was edited between them: which
// lines and procedures got slower, which faster, which are new and which are gone.

// One run reduced to what comparing it needs: its program, the report figures of the time
// mode (every line checked, no thresholds) and the profile, for the counted threads. The
// attribution tables are dropped, so that comparing two runs takes the memory of one.
struct RunSummary {
    RunRecord Record; // FileName: the run file as the user named it
    ProgramInfo Program;
    std::vector<ThreadInfo> Threads;
    ThreadChecks CountedThreads;
    ReportFigures Figures;
    RunProfile Profile;
};

RunSummary SummariseRun(LoadedRun&& run, const ThreadChecks& threads, TimeMode mode);
RunSummary SummariseRun(const LoadedRun& run, const ThreadChecks& threads, TimeMode mode);

// Whether something is in both runs, or only in the new one, or only in the old one.
enum class MatchStatus { Matched, Added, Removed };

// "matched", "added", "removed".
std::string_view MatchStatusName(MatchStatus status);

// How two source files were recognised as the same file: by their path relative to the
// folder of their program's main file, or by a file name that only they carry.
enum class FileMatchRule { RelativePath, FileName };

struct FileComparison {
    MatchStatus Status = MatchStatus::Matched;
    int OldFileId = 0; // 0 where the run has no such file
    int NewFileId = 0;
    FileMatchRule Rule = FileMatchRule::RelativePath; // of a matched file
};

// A line as one run has it.
struct LineSide {
    std::int32_t LineId = 0; // 0: the run has no such line
    bool HasFigures = false; // a counted thread started it
    std::int64_t Hits = 0;
    std::int64_t TimeNanos = 0; // the statistic of the time mode
    std::int64_t SelfNanos = 0;
};

struct LineComparison {
    MatchStatus Status = MatchStatus::Matched;
    LineSide Old;
    LineSide New;
};

// A procedure as one run has it.
struct ProcedureSide {
    std::int32_t ScopeId = 0;     // 0: the run's program has no procedure of that name
    std::int32_t FirstLineId = 0; // of a procedure with figures
    bool HasFigures = false;      // a counted thread started one of its lines
    std::int64_t Calls = 0;
    std::int64_t SelfNanos = 0;
    std::int64_t TotalNanos = 0;
};

struct ProcedureComparison {
    MatchStatus Status = MatchStatus::Matched;
    std::string Name;
    ProcedureSide Old;
    ProcedureSide New;
};

struct RunComparison {
    TimeMode Mode = TimeMode::All;
    std::int64_t OldRunNanos = 0;
    std::int64_t NewRunNanos = 0;
    // In the order of the new run; what only the old run has after the matched item that
    // precedes it in the old run (at the start when none does).
    std::vector<FileComparison> Files;
    std::vector<LineComparison> Lines;
    // Procedures that have figures in either run.
    std::vector<ProcedureComparison> Procedures;

    // False when no source file of one run was found in the other: two different programs.
    bool SharesFiles() const;
};

// Files are matched by their path relative to the folder of their program's main file (so a
// project moved elsewhere still matches), else by a file name that one path alone carries
// in each run; paths are compared with "\" and "/" alike and letters A-Z in either case, a
// file included twice matches the other run's second inclusion. Lines are matched within
// matched files by AlignCodeLines; procedures by name.
RunComparison CompareRuns(const RunSummary& older, const RunSummary& newer);

// The change from the old figure to the new one, new - old, a run without the figure counting
// as 0; none when neither run has it.
std::optional<std::int64_t> TimeDelta(const LineComparison& line);
std::optional<std::int64_t> TotalDelta(const ProcedureComparison& procedure);

// 100 x (new - old) / old with two decimals as FormatPercent writes it; empty when old is 0.
std::string DeltaPercent(std::int64_t oldNanos, std::int64_t newNanos);

// What the rows of a comparison are ordered by: the change (the largest growth first), the
// old figure or the new one (the largest first); rows without it come last, in their order.
// Lines by the time of the mode, procedures by their total.
enum class ComparisonOrder { Delta, Old, New };

// The figure a row is ordered by; none where the runs have none.
std::optional<std::int64_t> OrderFigure(const LineComparison& line, ComparisonOrder order);
std::optional<std::int64_t> OrderFigure(const ProcedureComparison& procedure,
                                        ComparisonOrder order);

std::vector<std::size_t> RankComparedLines(const RunComparison& comparison, ComparisonOrder order);
std::vector<std::size_t> RankComparedProcedures(const RunComparison& comparison,
                                                ComparisonOrder order);

// At most `count` rows whose figure grew (or, for `gained` false, fell), the largest change
// first.
std::vector<std::size_t> MostChangedLines(const RunComparison& comparison, bool gained,
                                          std::size_t count);
std::vector<std::size_t> MostChangedProcedures(const RunComparison& comparison, bool gained,
                                               std::size_t count);

// When a new run counts as slower: a figure grew by more than `Percent` percent of its old
// value and by at least `MinNanos`.
struct SlowerLimit {
    double Percent = 0.0;
    std::int64_t MinNanos = 100000;
};

struct SlowerFigure {
    std::string Procedure; // empty for the run time
    std::int64_t OldNanos = 0;
    std::int64_t NewNanos = 0;
};

// The run time and the totals of the procedures that have figures in both runs that grew
// beyond the limit; the run time first, then procedures in the comparison's order.
std::vector<SlowerFigure> FindSlower(const RunComparison& comparison, const SlowerLimit& limit);

} // namespace tickscope
