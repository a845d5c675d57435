#include "ui/hot_spots_presenter.h"

#include "analysis/report_figures.h"
#include "source/text_utils.h"

#include <unordered_map>

namespace tickscope {

namespace {

struct OrderColumns {
    ProfileOrder Order;
    int LineColumn;
    int LinePercentColumn;
    int ProcedureColumn;
    int ProcedurePercentColumn;
};

constexpr OrderColumns kOrderColumns[] = {
    {ProfileOrder::Self, kHotLineSelfColumn, kHotLineSelfPercentColumn, kHotSelfColumn,
     kHotSelfPercentColumn},
    {ProfileOrder::Total, kHotLineTotalColumn, kHotLineTotalPercentColumn, kHotTotalColumn,
     kHotTotalPercentColumn},
    {ProfileOrder::Hits, kHotLineHitsColumn, -1, kHotHitsColumn, -1},
    {ProfileOrder::Calls, kHotLineCallsColumn, -1, kHotCallsColumn, -1},
};

} // namespace

HotSpotsLists::HotSpotsLists() {
    Lines.Columns = {{"File", 30},      {"Line", 45},   {"Procedure", 100}, {"Hits", 60},
                     {"Self (ms)", 80}, {"Self %", 50}, {"Total (ms)", 80}, {"Total %", 50},
                     {"Calls", 50},     {"Code", 400}};
    Procedures.Columns = {{"Procedure", 160}, {"Calls", 60},      {"Hits", 70},   {"Self (ms)", 90},
                          {"Self %", 55},     {"Total (ms)", 90}, {"Total %", 55}};
}

void HotSpotsLists::Clear() {
    Lines.Clear();
    Procedures.Clear();
    LineTargets.clear();
    ProcedureTargets.clear();
    Summary.clear();
}

void ShowHotSpots(HotSpotsLists& lists, const LoadedRun& run, const RunProfile& profile,
                  std::size_t checkedThreads) {
    lists.Clear();
    const std::int64_t runNanos = profile.RunNanos;
    lists.Summary = "Run time " + FormatMilliseconds(runNanos) + " ms, " +
                    std::to_string(checkedThreads) + " of " + std::to_string(run.Threads.size()) +
                    " threads";

    std::unordered_map<std::int32_t, std::string> names;
    for (const ProcedureProfile& procedure : profile.Procedures) {
        names.emplace(procedure.ScopeId, ProcedureLabel(procedure));
    }
    const auto& code = run.Program.LinesOfCode;
    for (const std::size_t i : RankLines(profile, lists.LineOrder)) {
        const LineProfile& line = profile.Lines[i];
        if (line.LineId < 1 || static_cast<std::size_t>(line.LineId) > code.size()) {
            continue;
        }
        const LineOfCode& source = code[static_cast<std::size_t>(line.LineId) - 1];
        lists.Lines.AddRow(
            {std::to_string(source.SourceFileId), std::to_string(source.LineNumber),
             line.ScopeId != 0 ? names[line.ScopeId] : std::string(), std::to_string(line.Hits),
             FormatMilliseconds(line.SelfNanos), FormatPercent(line.SelfNanos, runNanos),
             FormatMilliseconds(line.TotalNanos), FormatPercent(line.TotalNanos, runNanos),
             std::to_string(line.Calls), std::string(Trim(source.Code, " \t"))});
        lists.LineTargets.push_back(line.LineId);
    }
    for (const std::size_t i : RankProcedures(profile, lists.ProcedureOrder)) {
        const ProcedureProfile& procedure = profile.Procedures[i];
        lists.Procedures.AddRow(
            {ProcedureLabel(procedure), std::to_string(procedure.Calls),
             std::to_string(procedure.Hits), FormatMilliseconds(procedure.SelfNanos),
             FormatPercent(procedure.SelfNanos, runNanos), FormatMilliseconds(procedure.TotalNanos),
             FormatPercent(procedure.TotalNanos, runNanos)});
        lists.ProcedureTargets.push_back(procedure.FirstLineId);
    }
}

std::optional<ProfileOrder> LineOrderOfColumn(int column) {
    for (const OrderColumns& columns : kOrderColumns) {
        if (column == columns.LineColumn || column == columns.LinePercentColumn) {
            return columns.Order;
        }
    }
    return std::nullopt;
}

std::optional<ProfileOrder> ProcedureOrderOfColumn(int column) {
    for (const OrderColumns& columns : kOrderColumns) {
        if (column == columns.ProcedureColumn || column == columns.ProcedurePercentColumn) {
            return columns.Order;
        }
    }
    return std::nullopt;
}

int LineColumnOfOrder(ProfileOrder order) {
    for (const OrderColumns& columns : kOrderColumns) {
        if (columns.Order == order) {
            return columns.LineColumn;
        }
    }
    return kHotLineSelfColumn;
}

int ProcedureColumnOfOrder(ProfileOrder order) {
    for (const OrderColumns& columns : kOrderColumns) {
        if (columns.Order == order) {
            return columns.ProcedureColumn;
        }
    }
    return kHotSelfColumn;
}

} // namespace tickscope
