#include "ui/list_model.h"

#include "ui/qt_text.h"

#include <QColor>

namespace tickscope {

namespace {
QColor ToColour(Rgb colour) {
    return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour));
}
} // namespace

ListModel::ListModel(ListData& data, QObject* parent)
    : QAbstractTableModel(parent), data_(data), shownRows_(static_cast<int>(data.Rows.size())),
      shownColumns_(static_cast<int>(data.Columns.size())) {}

bool ListModel::Refresh() {
    const int rows = static_cast<int>(data_.Rows.size());
    const int columns = static_cast<int>(data_.Columns.size());
    if (rows == shownRows_ && columns == shownColumns_) {
        if (rows > 0 && columns > 0) {
            emit dataChanged(index(0, 0), index(rows - 1, columns - 1));
        }
        return false;
    }
    beginResetModel();
    shownRows_ = rows;
    shownColumns_ = columns;
    endResetModel();
    return true;
}

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

int ListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownColumns_;
}

const ListCell* ListModel::Cell(const QModelIndex& index) const {
    if (!index.isValid() || index.row() >= static_cast<int>(data_.Rows.size())) {
        return nullptr;
    }
    const ListRow& row = data_.Rows[static_cast<std::size_t>(index.row())];
    if (index.column() >= static_cast<int>(row.Cells.size())) {
        return nullptr;
    }
    return &row.Cells[static_cast<std::size_t>(index.column())];
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    const ListCell* cell = Cell(index);
    if (!cell) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return ToQt(cell->Text);
    case Qt::ForegroundRole:
        return ToColour(cell->TextColour);
    case Qt::BackgroundRole:
        return ToColour(cell->Background);
    case Qt::ToolTipRole:
        return ToolTip(static_cast<std::size_t>(index.row()));
    case Qt::CheckStateRole:
        if (data_.HasCheckBoxes && index.column() == 0) {
            return data_.Rows[static_cast<std::size_t>(index.row())].Checked ? Qt::Checked
                                                                             : Qt::Unchecked;
        }
        return {};
    default:
        return {};
    }
}

QVariant ListModel::ToolTip(std::size_t row) const {
    const std::string text = toolTips_ ? toolTips_(row) : std::string();
    if (text.empty()) {
        return {};
    }
    // As rich text that keeps the lines and spaces, so that no "<" of a path is read as a tag.
    return QString("<p style='white-space:pre'>%1</p>").arg(ToQt(text).toHtmlEscaped());
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= static_cast<int>(data_.Columns.size())) {
        return {};
    }
    return ToQt(data_.Columns[static_cast<std::size_t>(section)].Title);
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
    if (!Cell(index)) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (data_.HasCheckBoxes && index.column() == 0) {
        result |= Qt::ItemIsUserCheckable;
    }
    return result;
}

bool ListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !data_.HasCheckBoxes || index.column() != 0 || !Cell(index)) {
        return false;
    }
    const bool checked = value.toInt() == Qt::Checked;
    ListRow& row = data_.Rows[static_cast<std::size_t>(index.row())];
    if (row.Checked == checked) {
        return true;
    }
    row.Checked = checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit CheckToggled(index.row());
    return true;
}

} // namespace tickscope
