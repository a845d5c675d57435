#pragma once

#include "analysis/run_comparison.h"
#include "ui/comparison_presenter.h"
#include "ui/table_tool_window.h"

#include <memory>
#include <string>

namespace tickscope {

// The comparison tool window: an older run (old) against the loaded one (new), procedure by
// procedure and line by line with old, new and delta columns, a change coloured red where
// the new run is slower and green where it is faster. A click on the title of an old, new
// or delta column orders its table by it (the largest first), any other title brings back
// the comparison's order. A double-click on a row of the new run becomes a double-click
// event of its table; ChosenLine tells the line of the loaded run it leads to.
class ComparisonWindow : public TableToolWindow {
    Q_OBJECT
  public:
    static constexpr const char* kTitle = "Comparison";

    // A tool window of `parent` (the main window), with its font, beside it on the screen.
    explicit ComparisonWindow(QWidget* parent);
    ~ComparisonWindow() override;

    // Shows the comparison of `older` with `newer`, which the window keeps.
    void Show(RunSummary older, RunSummary newer);
    // Nothing compared: empty tables.
    void Clear();
    // The record of the new run compared, nullptr when nothing is.
    const RunRecord* NewRecord() const;
    // The line of the new run the selected row of a table (kComparisonLineList or
    // kComparisonProcedureList) leads to; 0 when none is selected or the row has none.
    std::int32_t ChosenLine(int listId) const;

    ListView* List(int listId) const;
    const ComparisonLists& Lists() const { return lists_; }
    const RunComparison* Comparison() const;

  private:
    void OrderBy(int listId, int column) override;
    void Present();
    std::string LineToolTip(std::size_t row) const;

    struct Compared {
        RunSummary Old;
        RunSummary New;
        RunComparison Result;
    };
    std::unique_ptr<Compared> compared_;
    ComparisonLists lists_;
    ListView* procedures_ = nullptr;
    ListView* lines_ = nullptr;
};

} // namespace tickscope
