#pragma once

#include "ui/list_data.h"

#include <QAbstractTableModel>

#include <functional>
#include <string>

namespace tickscope {

// A Qt table model over the rows of one list control. The rows belong to the analysis;
// the model only serves them to a view and writes check toggles back. After the analysis
// changes the rows it calls Refresh, which tells the view with a single signal.
class ListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit ListModel(ListData& data, QObject* parent = nullptr);

    ListData& Data() { return data_; }
    const ListData& Data() const { return data_; }

    // Where the tooltip of a row comes from (the same for every cell of the row); an empty
    // text shows none. Without a source the rows have no tooltips.
    using ToolTipSource = std::function<std::string(std::size_t row)>;
    void SetToolTips(ToolTipSource source) { toolTips_ = std::move(source); }

    // Publishes the current rows: one dataChanged over everything when the row count is
    // unchanged (selection and scrolling survive), a model reset otherwise. True on a reset.
    bool Refresh();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  signals:
    // The user ticked or cleared the check box of a row.
    void CheckToggled(int row);

  private:
    const ListCell* Cell(const QModelIndex& index) const;
    QVariant ToolTip(std::size_t row) const;

    ListData& data_;
    ToolTipSource toolTips_;
    // Rows and columns as last published; the view sees only these, so rows the analysis
    // adds or removes between two refreshes are never read half-way.
    int shownRows_ = 0;
    int shownColumns_ = 0;
};

} // namespace tickscope
