#include "ui/comparison_presenter.h"

#include "analysis/report_figures.h"
#include "source/text_utils.h"

#include <numeric>

namespace tickscope {

namespace {

struct OrderColumns {
    ComparisonOrder Order;
    int LineColumn;
    int LineSecondColumn;
    int ProcedureColumn;
    int ProcedureSecondColumn;
};

constexpr OrderColumns kOrderColumns[] = {
    {ComparisonOrder::Delta, kCmpLineDeltaColumn, kCmpLineDeltaPercentColumn,
     kCmpProcedureDeltaColumn, kCmpProcedureDeltaPercentColumn},
    {ComparisonOrder::Old, kCmpOldTimeColumn, -1, kCmpOldTotalColumn, -1},
    {ComparisonOrder::New, kCmpNewTimeColumn, -1, kCmpNewTotalColumn, -1},
};

// Red for a growth, green for a fall, black for none.
Rgb ChangeColour(const std::optional<std::int64_t>& delta) {
    if (!delta || *delta == 0) {
        return kBlack;
    }
    return *delta > 0 ? kSlowerText : kFasterText;
}

void ColourCells(ListRow& row, std::initializer_list<int> columns, Rgb colour) {
    for (const int column : columns) {
        row.Cells[static_cast<std::size_t>(column)].TextColour = colour;
    }
}

std::vector<std::size_t> Ordered(std::size_t count, const std::optional<ComparisonOrder>& order,
                                 std::vector<std::size_t> (*rank)(const RunComparison&,
                                                                  ComparisonOrder),
                                 const RunComparison& comparison) {
    if (order) {
        return rank(comparison, *order);
    }
    std::vector<std::size_t> rows(count);
    std::iota(rows.begin(), rows.end(), std::size_t{0});
    return rows;
}

} // namespace

ComparisonLists::ComparisonLists() {
    Lines.Columns = {{"Status", 60},   {"Old", 55},      {"New", 55},      {"Old hits", 60},
                     {"New hits", 60}, {"Old (ms)", 80}, {"New (ms)", 80}, {"Delta (ms)", 80},
                     {"Delta %", 60},  {"Code", 400}};
    Procedures.Columns = {{"Status", 60},       {"Procedure", 150},     {"Old calls", 60},
                          {"New calls", 60},    {"Old total (ms)", 95}, {"New total (ms)", 95},
                          {"Delta (ms)", 80},   {"Delta %", 60},        {"Old self (ms)", 90},
                          {"New self (ms)", 90}};
}

void ComparisonLists::Clear() {
    Lines.Clear();
    Procedures.Clear();
    LineTargets.clear();
    LineIndices.clear();
    ProcedureTargets.clear();
    Summary.clear();
}

void ShowComparison(ComparisonLists& lists, const ComparisonReport& report) {
    lists.Clear();
    const RunComparison& comparison = report.Comparison;
    const std::string percent = DeltaPercent(comparison.OldRunNanos, comparison.NewRunNanos);
    lists.Summary = "Run time " + FormatMilliseconds(comparison.OldRunNanos) + " ms -> " +
                    FormatMilliseconds(comparison.NewRunNanos) + " ms" +
                    (percent.empty() ? std::string() : " (" + SignedText(percent) + " %)") +
                    "; total times, every thread" +
                    (comparison.SharesFiles() ? "" : "; the runs have no source file in common");

    const ComparisonTexts texts(report);
    for (const std::size_t i :
         Ordered(comparison.Lines.size(), lists.LineOrder, &RankComparedLines, comparison)) {
        const LineComparison& line = comparison.Lines[i];
        const LineRowTexts t = texts.Line(line);
        ListRow& row =
            lists.Lines.AddRow({t.Status, ComparisonTexts::Place(t.OldFileId, t.OldLine),
                                ComparisonTexts::Place(t.NewFileId, t.NewLine), t.OldHits,
                                t.NewHits, t.OldTime, t.NewTime, SignedText(t.DeltaTime),
                                SignedText(t.DeltaPercent), std::string(Trim(t.Code, " \t"))});
        ColourCells(row, {kCmpLineDeltaColumn, kCmpLineDeltaPercentColumn},
                    ChangeColour(TimeDelta(line)));
        lists.LineTargets.push_back(line.New.LineId);
        lists.LineIndices.push_back(i);
    }
    for (const std::size_t i : Ordered(comparison.Procedures.size(), lists.ProcedureOrder,
                                       &RankComparedProcedures, comparison)) {
        const ProcedureComparison& procedure = comparison.Procedures[i];
        const ProcedureRowTexts t = ComparisonTexts::Procedure(procedure);
        ListRow& row = lists.Procedures.AddRow({t.Status, t.Name, t.OldCalls, t.NewCalls,
                                                t.OldTotal, t.NewTotal, SignedText(t.DeltaTotal),
                                                SignedText(t.DeltaPercent), t.OldSelf, t.NewSelf});
        ColourCells(row, {kCmpProcedureDeltaColumn, kCmpProcedureDeltaPercentColumn},
                    ChangeColour(TotalDelta(procedure)));
        lists.ProcedureTargets.push_back(procedure.New.FirstLineId);
    }
}

std::string ComparedLineToolTip(const ComparisonReport& report, const LineComparison& line) {
    const LineRowTexts texts = ComparisonTexts(report).Line(line);
    std::string tip;
    const auto add = [&tip](const char* run, const std::string& file, const std::string& number) {
        if (number.empty()) {
            return;
        }
        if (!tip.empty()) {
            tip += '\n';
        }
        tip.append(run).append(": ").append(file).append(", line ").append(number);
    };
    add("Old", texts.OldFile, texts.OldLine);
    add("New", texts.NewFile, texts.NewLine);
    return tip;
}

std::optional<ComparisonOrder> LineOrderOfColumn(ComparedLineColumn column) {
    for (const OrderColumns& columns : kOrderColumns) {
        if (column == columns.LineColumn || column == columns.LineSecondColumn) {
            return columns.Order;
        }
    }
    return std::nullopt;
}

std::optional<ComparisonOrder> ProcedureOrderOfColumn(ComparedProcedureColumn column) {
    for (const OrderColumns& columns : kOrderColumns) {
        if (column == columns.ProcedureColumn || column == columns.ProcedureSecondColumn) {
            return columns.Order;
        }
    }
    return std::nullopt;
}

int ColumnOfLineOrder(std::optional<ComparisonOrder> order) {
    for (const OrderColumns& columns : kOrderColumns) {
        if (order == columns.Order) {
            return columns.LineColumn;
        }
    }
    return -1;
}

int ColumnOfProcedureOrder(std::optional<ComparisonOrder> order) {
    for (const OrderColumns& columns : kOrderColumns) {
        if (order == columns.Order) {
            return columns.ProcedureColumn;
        }
    }
    return -1;
}

} // namespace tickscope
