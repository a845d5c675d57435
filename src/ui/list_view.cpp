#include "ui/list_view.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace tickscope {

namespace {
// Paints a selected cell in its own colours under a translucent highlight, so that heat
// colours and the yellow Find mark stay visible on selected rows.
class OverlaySelectionDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (!(option.state & QStyle::State_Selected)) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem plain(option);
        plain.state &= ~QStyle::State_Selected;
        QStyledItemDelegate::paint(painter, plain, index);
        QColor highlight = option.palette.color(QPalette::Active, QPalette::Highlight);
        highlight.setAlpha(90);
        painter->fillRect(option.rect, highlight);
    }
};
} // namespace

ListView::ListView(ListData& data, Selection selection, QWidget* parent)
    : QTableView(parent), model_(data, this) {
    setModel(&model_);
    setItemDelegate(new OverlaySelectionDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(selection == Selection::Multiple ? QAbstractItemView::ExtendedSelection
                                                      : QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    // Every row has the same height; with fixed sections a list of 100,000 rows stays cheap.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    UseRowHeightOf(font());
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setMinimumSectionSize(0);
    // The selection stays visible when the list has no focus.
    QPalette colours = palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    }
    setPalette(colours);
    ApplyColumnWidths();

    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int width) {
                auto& columns = Data().Columns;
                if (column >= 0 && column < static_cast<int>(columns.size())) {
                    columns[static_cast<std::size_t>(column)].Width = width;
                }
            });
    connect(&model_, &QAbstractItemModel::modelReset, this, [this] { ApplyColumnWidths(); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { OnSelectionChanged(); });
    connect(&model_, &ListModel::CheckToggled, this, [this] { emit Changed(); });
    connect(this, &QAbstractItemView::clicked, this, [this] { emit LeftClicked(); });
}

ListView::~ListView() {
    // The header reports its sections while it is taken down; the rows may be gone by then.
    disconnect(horizontalHeader(), nullptr, this, nullptr);
}

void ListView::ApplyColumnWidths() {
    const auto& columns = Data().Columns;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        horizontalHeader()->resizeSection(static_cast<int>(i), columns[i].Width);
    }
}

void ListView::UseRowHeightOf(const QFont& font) {
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 4);
}

void ListView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UseRowHeightOf(font());
    }
}

void ListView::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && Data().FirstSelectedRow() >= 0) {
        event->accept();
        emit EnterPressed();
        return;
    }
    QTableView::keyPressEvent(event);
}

void ListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    QScrollBar* sideways = horizontalScrollBar();
    const int x = sideways->value();
    QTableView::scrollTo(index, hint);
    sideways->setValue(x);
}

int ListView::ColumnWidth(int column) const {
    return horizontalHeader()->sectionSize(column);
}

void ListView::OnSelectionChanged() {
    if (applyingSelection_) {
        return;
    }
    auto& rows = Data().Rows;
    for (auto& row : rows) {
        row.Selected = false;
    }
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        if (index.row() < static_cast<int>(rows.size())) {
            rows[static_cast<std::size_t>(index.row())].Selected = true;
        }
    }
    emit Changed();
}

void ListView::Refresh() {
    if (model_.Refresh()) {
        ShowSelectionFromData(false);
    }
}

void ListView::ShowSelectionFromData(bool scroll) {
    applyingSelection_ = true;
    QItemSelection selection;
    const auto& rows = Data().Rows;
    const int shown = model_.rowCount();
    const int last = model_.columnCount() - 1;
    int first = -1;
    for (int i = 0; i < shown && i < static_cast<int>(rows.size()); ++i) {
        if (!rows[static_cast<std::size_t>(i)].Selected) {
            continue;
        }
        if (first < 0) {
            first = i;
        }
        selection.select(model_.index(i, 0), model_.index(i, last));
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (first >= 0) {
        selectionModel()->setCurrentIndex(model_.index(first, 0), QItemSelectionModel::NoUpdate);
        if (scroll) {
            ScrollToRow(first);
        }
    }
    applyingSelection_ = false;
}

void ListView::ScrollToRow(int row) {
    if (row >= 0 && row < model_.rowCount()) {
        scrollTo(model_.index(row, 0), QAbstractItemView::EnsureVisible);
    }
}

} // namespace tickscope
