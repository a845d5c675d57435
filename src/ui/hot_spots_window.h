#pragma once

#include "analysis/check_sets.h"
#include "analysis/loaded_run.h"
#include "analysis/run_profile.h"
#include "ui/hot_spots_presenter.h"
#include "ui/table_tool_window.h"

namespace tickscope {

class ListView;

// The hot spots tool window: the lines and the procedures of the loaded run that took most
// time, in two tables ordered by self time, total, hits or calls (a click on a column's
// title). A double-click on a row becomes a double-click event of its table for the event
// handler; ChosenLine tells the line of code that row leads to.
class HotSpotsWindow : public TableToolWindow {
    Q_OBJECT
  public:
    static constexpr const char* kTitle = "Hot spots";

    // A tool window of `parent` (the main window), with its font, beside it on the screen.
    explicit HotSpotsWindow(QWidget* parent);
    ~HotSpotsWindow() override;

    // Shows the figures of `run` for the checked threads; the run outlives the window's use
    // of it (until the next Show or Clear).
    void Show(const LoadedRun& run, const ThreadChecks& threads);
    // Nothing loaded: empty tables.
    void Clear();
    // The line of code the selected row of a table (kHotSpotLineList or
    // kHotSpotProcedureList) leads to; 0 when no row is selected.
    std::int32_t ChosenLine(int listId) const;

    ListView* List(int listId) const;
    const HotSpotsLists& Lists() const { return lists_; }

  private:
    void OrderBy(int listId, int column) override;
    void Present();

    HotSpotsLists lists_;
    const LoadedRun* run_ = nullptr;
    RunProfile profile_;
    std::size_t checkedThreads_ = 0;
    ListView* lines_ = nullptr;
    ListView* procedures_ = nullptr;
};

} // namespace tickscope
