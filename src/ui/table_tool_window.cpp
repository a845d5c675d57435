#include "ui/table_tool_window.h"

#include "ui/list_view.h"

#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tickscope {

TableToolWindow::TableToolWindow(QWidget* parent, const char* objectName, int windowId,
                                 const char* title)
    : QWidget(parent, Qt::Tool) {
    setObjectName(objectName);
    setProperty("windowId", windowId);
    setWindowTitle(title);
    setFont(parent->font());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    summary_ = new QLabel(this);
    layout->addWidget(summary_);
    tabs_ = new QTabWidget(this);
    layout->addWidget(tabs_);
}

void TableToolWindow::DeleteTables() {
    delete tabs_;
    tabs_ = nullptr;
}

void TableToolWindow::PlaceBeside(const QWidget& window) {
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

ListView* TableToolWindow::AddTable(int listId, ListData& data, const char* caption) {
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

std::int32_t TableToolWindow::SelectedTarget(const ListData& data,
                                             const std::vector<std::int32_t>& targets) {
    const int row = data.FirstSelectedRow();
    return row >= 0 && static_cast<std::size_t>(row) < targets.size()
               ? targets[static_cast<std::size_t>(row)]
               : 0;
}

void TableToolWindow::Refresh(ListView* table, int orderColumn) {
    table->horizontalHeader()->setSortIndicator(orderColumn, Qt::DescendingOrder);
    table->Refresh();
    table->ShowSelectionFromData(false);
}

} // namespace tickscope
