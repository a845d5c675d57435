#pragma once

#include "analysis/check_actions.h"
#include "analysis/loaded_run.h"
#include "analysis/progress.h"
#include "analysis/run_catalogue.h"
#include "platform/requesters.h"
#include "ui/heat_view.h"
#include "ui/input_gate.h"
#include "ui/report_commands.h"
#include "ui/resize_rules.h"
#include "ui/ui_ids.h"

#include <QPointer>

namespace tickscope {

class ComparisonWindow;
class HotSpotsWindow;
class MainWindow;

// What the event loop works with; all of it outlives the controller.
struct AnalyzerParts {
    MainWindow& Window;
    RunCatalogue& Catalogue;
    Requesters& Prompts;
    ListChooser& Chooser;
    ProgressSink& Progress;
    ResizeManager& Resize;
};

// The analyzer's event loop body: every event passes the forced resize pass, its command,
// and the alignment of the column buttons, in this order. Events that arrive while a
// command runs (a dialog or a load is in progress) are dropped.
class AnalyzerController {
  public:
    explicit AnalyzerController(AnalyzerParts parts);
    ~AnalyzerController();

    // Runs one event; false when it was dropped because a command was still running. A
    // window-closed event that arrives while a command runs (a run loads) is kept: the
    // analyzer finishes when that command has ended.
    bool Dispatch(const AnalyzerEvent& event);
    // True after the window-closed event.
    bool Finished() const { return finished_; }

    AnalyzerSettings& Settings() { return settings_; }
    // The run shown; an empty run before the first load.
    const LoadedRun& Run() const { return run_; }
    HeatView& Heat() { return heat_; }
    // The record of the run shown, nullptr before the first load.
    const RunRecord* LoadedRecord() const { return loaded_; }
    // The hot spots tool window, nullptr until it is first opened.
    HotSpotsWindow* HotSpots() const;
    // The comparison tool window, nullptr until a first comparison.
    ComparisonWindow* Comparison() const;

  private:
    void OnControl(const AnalyzerEvent& event);
    void OnMenu(int id);
    void ChooseProgramCommand();
    void LoadRunCommand();
    void ThresholdCommand(bool hits);
    void HotSpotsCommand();
    // Shows the run's hot spots for the thread checks if the window is open.
    void RefreshHotSpots();
    // The run the run menu was opened on (old) against the loaded one (new), every thread
    // of both counted, total times.
    void CompareCommand();
    // The run list shows the loaded run selected (a right click selects a run without
    // loading it), nothing when none is.
    void SelectLoadedRun();
    // Empties the comparison when the report no longer shows its new run.
    void ForgetComparison();
    // Selects a line's row in the report and scrolls it into view.
    void ShowLineInReport(std::int32_t lineId);
    void ShowListsFromData();
    void FocusReport();

    AnalyzerParts parts_;
    AnalyzerSettings settings_;
    LoadedRun run_;
    HeatView heat_;
    InputGate gate_;
    // The runs listed in the run list, row by row, and the one loaded.
    std::vector<const RunRecord*> listedRuns_;
    int listedProgram_ = -1; // the entry of the program list whose runs are listed
    const RunRecord* loaded_ = nullptr;
    bool runListed_ = false; // the report lists the lines of run_
    QPointer<HotSpotsWindow> hotSpots_;
    QPointer<ComparisonWindow> comparison_;
    bool running_ = false;
    bool closeRequested_ = false;
    bool finished_ = false;
};

} // namespace tickscope
