#pragma once

#include "ui/list_data.h"
#include "ui/ui_ids.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QLabel;
class QTabWidget;

namespace tickscope {

class ListView;

// A tool window of the main window, beside it on the screen: a line of summary above tables
// on tabs. A click on a table's column title asks the window to order that table
// (OrderBy); a double-click on a row selects it and becomes a double-click event of its
// table for the event handler.
class TableToolWindow : public QWidget {
    Q_OBJECT
  public:
    using EventHandler = std::function<bool(const AnalyzerEvent&)>;
    void SetEventHandler(EventHandler handler) { handler_ = std::move(handler); }

    QTabWidget* Tabs() const { return tabs_; }
    QLabel* Summary() const { return summary_; }

  protected:
    // A tool window of `parent` (the main window) with its font, `windowId` in the property
    // "windowId".
    TableToolWindow(QWidget* parent, const char* objectName, int windowId, const char* title);

    // A table on a new tab showing `data`, `listId` in the property "controlId".
    ListView* AddTable(int listId, ListData& data, const char* caption);
    // Orders a table after a click on the title of `column`.
    virtual void OrderBy(int listId, int column) = 0;
    // Shows the data of the tables again, the order's indicator on `column` of each.
    void Refresh(ListView* table, int orderColumn);
    // The tables show data the subclass owns: it calls this first in its destructor.
    void DeleteTables();
    // What the selected row of `data` leads to (`targets` holds it per row), 0 when no row
    // is selected.
    static std::int32_t SelectedTarget(const ListData& data,
                                       const std::vector<std::int32_t>& targets);
    // Right of the window where the screen has room, else left of it, else over its right
    // edge; at the window's top.
    void PlaceBeside(const QWidget& window);

  private:
    EventHandler handler_;
    QLabel* summary_ = nullptr;
    QTabWidget* tabs_ = nullptr;
};

} // namespace tickscope
