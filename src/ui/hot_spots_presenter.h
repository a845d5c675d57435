#pragma once

#include "analysis/loaded_run.h"
#include "analysis/run_profile.h"
#include "ui/list_data.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tickscope {

// Columns of the hot spots' line table.
enum HotSpotLineColumn {
    kHotFileColumn,
    kHotLineColumn,
    kHotProcedureColumn,
    kHotLineHitsColumn,
    kHotLineSelfColumn,
    kHotLineSelfPercentColumn,
    kHotLineTotalColumn,
    kHotLineTotalPercentColumn,
    kHotLineCallsColumn,
    kHotCodeColumn,
};

// Columns of the hot spots' procedure table.
enum HotSpotProcedureColumn {
    kHotNameColumn,
    kHotCallsColumn,
    kHotHitsColumn,
    kHotSelfColumn,
    kHotSelfPercentColumn,
    kHotTotalColumn,
    kHotTotalPercentColumn,
};

// What the hot spots tool window shows: the lines with results and the procedures of the
// run as list cells, in the chosen orders, with the line of code each row leads to.
struct HotSpotsLists {
    ListData Lines;
    ListData Procedures;
    std::vector<std::int32_t> LineTargets;      // per row of Lines: its LineId
    std::vector<std::int32_t> ProcedureTargets; // per row of Procedures: its first line's id
    std::string Summary;                        // the run time and the threads counted
    ProfileOrder LineOrder = ProfileOrder::Self;
    ProfileOrder ProcedureOrder = ProfileOrder::Self;

    HotSpotsLists();
    void Clear();
};

// Writes the profile of the run (for `checkedThreads` of its threads) into the lists, in
// their orders; the code without its indentation. Lines of no row (line id 0) are left out.
void ShowHotSpots(HotSpotsLists& lists, const LoadedRun& run, const RunProfile& profile,
                  std::size_t checkedThreads);

// The order a click on a column's title asks for; nothing for a column that orders nothing.
std::optional<ProfileOrder> LineOrderOfColumn(int column);
std::optional<ProfileOrder> ProcedureOrderOfColumn(int column);
// The column whose title shows an order.
int LineColumnOfOrder(ProfileOrder order);
int ProcedureColumnOfOrder(ProfileOrder order);

} // namespace tickscope
