#pragma once

#include "ui/list_model.h"

#include <QTableView>

namespace tickscope {

// A list control in report view: a table over a ListModel with whole-row selection, the
// column titles and widths of its ListData, and the selection kept equal to the rows'
// Selected flags in both directions.
class ListView : public QTableView {
    Q_OBJECT
  public:
    enum class Selection { Single, Multiple };
    ListView(ListData& data, Selection selection, QWidget* parent = nullptr);
    ~ListView() override;

    ListModel& Model() { return model_; }
    ListData& Data() { return model_.Data(); }

    // Publishes changed rows; after a change of the row count the selection flags are shown
    // again (without scrolling).
    void Refresh();
    // Shows the rows' Selected flags; optionally scrolls the first selected row into view.
    void ShowSelectionFromData(bool scroll = true);
    // Scrolls just enough to show the row.
    void ScrollToRow(int row);
    int ColumnWidth(int column) const;

  signals:
    // The user changed the selection or a check box.
    void Changed();
    // The user clicked a row (with the left button).
    void LeftClicked();

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void UseRowHeightOf(const QFont& font); // one line of text per row
    void ApplyColumnWidths();
    void OnSelectionChanged();

    ListModel model_;
    bool applyingSelection_ = false;
};

} // namespace tickscope
