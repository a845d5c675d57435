#pragma once

#include "analysis/check_sets.h"
#include "analysis/loaded_run.h"
#include "analysis/run_profile.h"
#include "ui/hot_spots_presenter.h"
#include "ui/ui_ids.h"

#include <QWidget>

#include <functional>

class QLabel;
class QTabWidget;

namespace tickscope {

class ListView;

// The hot spots tool window: the lines and the procedures of the loaded run that took most
// time, in two tables ordered by self time, total, hits or calls (a click on a column's
// title). A double-click on a row becomes a double-click event of its table for the event
// handler; ChosenLine tells the line of code that row leads to.
class HotSpotsWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kTitle = "Hot spots";

    // A tool window of `parent` (the main window), with its font, beside it on the screen.
    explicit HotSpotsWindow(QWidget* parent);
    ~HotSpotsWindow() override;

    using EventHandler = std::function<bool(const AnalyzerEvent&)>;
    void SetEventHandler(EventHandler handler) { handler_ = std::move(handler); }

    // Shows the figures of `run` for the checked threads; the run outlives the window's use
    // of it (until the next Show or Clear).
    void Show(const LoadedRun& run, const ThreadChecks& threads);
    // Nothing loaded: empty tables.
    void Clear();
    // The line of code the selected row of a table (kHotSpotLineList or
    // kHotSpotProcedureList) leads to; 0 when no row is selected.
    std::int32_t ChosenLine(int listId) const;

    ListView* List(int listId) const;
    QTabWidget* Tabs() const { return tabs_; }
    QLabel* Summary() const { return summary_; }
    const HotSpotsLists& Lists() const { return lists_; }

  private:
    ListView* AddTable(int listId, ListData& data, const char* caption);
    void OrderBy(int listId, int column);
    void PlaceBeside(const QWidget& window);
    void Present();

    HotSpotsLists lists_;
    const LoadedRun* run_ = nullptr;
    RunProfile profile_;
    std::size_t checkedThreads_ = 0;
    EventHandler handler_;
    QLabel* summary_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    ListView* lines_ = nullptr;
    ListView* procedures_ = nullptr;
};

} // namespace tickscope
