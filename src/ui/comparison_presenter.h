#pragma once

#include "analysis/comparison_output.h"
#include "analysis/run_comparison.h"
#include "ui/list_data.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tickscope {

// Columns of the comparison's line table.
enum ComparedLineColumn {
    kCmpLineStatusColumn,
    kCmpOldPlaceColumn, // "file:line" in the old run
    kCmpNewPlaceColumn,
    kCmpOldHitsColumn,
    kCmpNewHitsColumn,
    kCmpOldTimeColumn,
    kCmpNewTimeColumn,
    kCmpLineDeltaColumn,
    kCmpLineDeltaPercentColumn,
    kCmpCodeColumn,
};

// Columns of the comparison's procedure table.
enum ComparedProcedureColumn {
    kCmpProcedureStatusColumn,
    kCmpNameColumn,
    kCmpOldCallsColumn,
    kCmpNewCallsColumn,
    kCmpOldTotalColumn,
    kCmpNewTotalColumn,
    kCmpProcedureDeltaColumn,
    kCmpProcedureDeltaPercentColumn,
    kCmpOldSelfColumn,
    kCmpNewSelfColumn,
};

// Text colours of a change: slower red, faster green.
inline constexpr Rgb kSlowerText = MakeRgb(200, 0, 0);
inline constexpr Rgb kFasterText = MakeRgb(0, 140, 0);

// What the comparison tool window shows: the procedures and the lines of a comparison as
// list cells, in the chosen orders, with the line of the new (loaded) run each row leads to.
struct ComparisonLists {
    ListData Lines;
    ListData Procedures;
    std::vector<std::int32_t> LineTargets;      // per row of Lines: its new LineId, 0 for none
    std::vector<std::size_t> LineIndices;       // per row of Lines: its index in the comparison
    std::vector<std::int32_t> ProcedureTargets; // per row of Procedures: its first new line
    std::string Summary;
    // None: the comparison's own order.
    std::optional<ComparisonOrder> LineOrder;
    std::optional<ComparisonOrder> ProcedureOrder;

    ComparisonLists();
    void Clear();
};

// Writes the comparison into the lists, in their orders: the texts as the report tool
// prints them, the code without its indentation, a change in red where the new run is
// slower and in green where it is faster.
void ShowComparison(ComparisonLists& lists, const ComparisonReport& report);

// A line row's tooltip: where the line is in each run that has it ("Old: PATH, line N" and
// "New: PATH, line M"), as the place columns show only the runs' file ids.
std::string ComparedLineToolTip(const ComparisonReport& report, const LineComparison& line);

// The order a click on a column's title asks for: the old figure, the new one, the change;
// nothing (the comparison's order) for the other columns.
std::optional<ComparisonOrder> LineOrderOfColumn(ComparedLineColumn column);
std::optional<ComparisonOrder> ProcedureOrderOfColumn(ComparedProcedureColumn column);
// The column whose title shows an order; -1 (no column) for the comparison's order.
int ColumnOfLineOrder(std::optional<ComparisonOrder> order);
int ColumnOfProcedureOrder(std::optional<ComparisonOrder> order);

} // namespace tickscope
