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

    // Scrolls vertically only: the list moves sideways by its scroll bar alone, so a click
    // on a wide cell or a row selected by a command keeps the columns in place.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

  signals:
    // The user changed the selection or a check box.
    void Changed();
    // The user clicked a row (with the left button).
    void LeftClicked();
    // The user pressed Enter (or Return) while a row was selected.
    void EnterPressed();

  protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void UseRowHeightOf(const QFont& font); // one line of text per row
    void ApplyColumnWidths();
    void OnSelectionChanged();

    ListModel model_;
    bool applyingSelection_ = false;
};

} // namespace tickscope
