#include "ui/hot_spots_window.h"

#include "ui/list_view.h"
#include "ui/qt_text.h"

#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tickscope {

HotSpotsWindow::HotSpotsWindow(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setObjectName("HotSpotsWindow");
    setProperty("windowId", int{kHotSpotsWindowId});
    setWindowTitle(kTitle);
    setFont(parent->font());
    resize(640, 360);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    summary_ = new QLabel(this);
    layout->addWidget(summary_);
    tabs_ = new QTabWidget(this);
    layout->addWidget(tabs_);
    lines_ = AddTable(kHotSpotLineList, lists_.Lines, "Lines");
    procedures_ = AddTable(kHotSpotProcedureList, lists_.Procedures, "Procedures");
    Present();
    PlaceBeside(*parent);
}

HotSpotsWindow::~HotSpotsWindow() {
    // The tables show lists_, which goes before QWidget takes its children down.
    delete tabs_;
}

void HotSpotsWindow::PlaceBeside(const QWidget& window) {
    // Right of the window where the screen has room, else left of it, else over its right
    // edge; at the window's top.
    const QRect outer = window.frameGeometry();
    QRect place(QPoint(outer.right() + 1, outer.top()), size());
    if (const QScreen* screen = window.screen()) {
        const QRect room = screen->availableGeometry();
        if (place.right() > room.right()) {
            place.moveLeft(outer.left() - place.width());
        }
        if (place.left() < room.left()) {
            place.moveLeft(std::max(room.left(), room.right() - place.width()));
        }
        place.moveTop(std::clamp(place.top(), room.top(),
                                 std::max(room.top(), room.bottom() - place.height())));
    }
    move(place.topLeft());
}

ListView* HotSpotsWindow::AddTable(int listId, ListData& data, const char* caption) {
    auto* view = new ListView(data, ListView::Selection::Single, tabs_);
    view->setProperty("controlId", listId);
    tabs_->addTab(view, caption);
    QHeaderView* header = view->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    connect(header, &QHeaderView::sectionClicked, this,
            [this, listId](int column) { OrderBy(listId, column); });
    connect(view, &QAbstractItemView::doubleClicked, this,
            [this, view, listId](const QModelIndex& at) {
                view->Data().SelectOnly(at.row());
                if (handler_) {
                    handler_(AnalyzerEvent::Control(listId, ControlEventType::DoubleClick));
                }
            });
    return view;
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
    summary_->setText(ToQt(lists_.Summary));
    lines_->horizontalHeader()->setSortIndicator(LineColumnOfOrder(lists_.LineOrder),
                                                 Qt::DescendingOrder);
    procedures_->horizontalHeader()->setSortIndicator(ProcedureColumnOfOrder(lists_.ProcedureOrder),
                                                      Qt::DescendingOrder);
    for (ListView* view : {lines_, procedures_}) {
        view->Refresh();
        view->ShowSelectionFromData(false);
    }
}

std::int32_t HotSpotsWindow::ChosenLine(int listId) const {
    const bool lines = listId == kHotSpotLineList;
    const int row = (lines ? lists_.Lines : lists_.Procedures).FirstSelectedRow();
    const std::vector<std::int32_t>& targets = lines ? lists_.LineTargets : lists_.ProcedureTargets;
    return row >= 0 && static_cast<std::size_t>(row) < targets.size()
               ? targets[static_cast<std::size_t>(row)]
               : 0;
}

} // namespace tickscope
