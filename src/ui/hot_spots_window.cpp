#include "ui/hot_spots_window.h"

#include "ui/list_view.h"
#include "ui/qt_text.h"

#include <QLabel>

#include <algorithm>

namespace tickscope {

HotSpotsWindow::HotSpotsWindow(QWidget* parent)
    : TableToolWindow(parent, "HotSpotsWindow", kHotSpotsWindowId, kTitle) {
    resize(640, 360);
    lines_ = AddTable(kHotSpotLineList, lists_.Lines, "Lines");
    procedures_ = AddTable(kHotSpotProcedureList, lists_.Procedures, "Procedures");
    Present();
    PlaceBeside(*parent);
}

HotSpotsWindow::~HotSpotsWindow() {
    DeleteTables(); // they show lists_
}

ListView* HotSpotsWindow::List(int listId) const {
    return listId == kHotSpotLineList        ? lines_
           : listId == kHotSpotProcedureList ? procedures_
                                             : nullptr;
}

void HotSpotsWindow::Show(const LoadedRun& run, const ThreadChecks& threads) {
    run_ = &run;
    profile_ = ComputeRunProfile(run.Analysis, run.Program, threads);
    checkedThreads_ = static_cast<std::size_t>(std::count(threads.begin(), threads.end(), true));
    Present();
}

void HotSpotsWindow::Clear() {
    run_ = nullptr;
    profile_ = {};
    checkedThreads_ = 0;
    Present();
}

void HotSpotsWindow::OrderBy(int listId, int column) {
    const std::optional<ProfileOrder> order =
        listId == kHotSpotLineList ? LineOrderOfColumn(column) : ProcedureOrderOfColumn(column);
    if (order) {
        (listId == kHotSpotLineList ? lists_.LineOrder : lists_.ProcedureOrder) = *order;
    }
    Present(); // also puts the indicator back on the column that orders the table
}

void HotSpotsWindow::Present() {
    if (run_ != nullptr) {
        ShowHotSpots(lists_, *run_, profile_, checkedThreads_);
    } else {
        lists_.Clear();
        lists_.Summary = "No run loaded";
    }
    Summary()->setText(ToQt(lists_.Summary));
    Refresh(lines_, LineColumnOfOrder(lists_.LineOrder));
    Refresh(procedures_, ProcedureColumnOfOrder(lists_.ProcedureOrder));
}

std::int32_t HotSpotsWindow::ChosenLine(int listId) const {
    return listId == kHotSpotLineList ? SelectedTarget(lists_.Lines, lists_.LineTargets)
                                      : SelectedTarget(lists_.Procedures, lists_.ProcedureTargets);
}

} // namespace tickscope
