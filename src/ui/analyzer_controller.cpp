#include "ui/analyzer_controller.h"

#include "analysis/run_comparison.h"
#include "analysis/run_loading.h"
#include "ui/action_menu.h"
#include "ui/comparison_window.h"
#include "ui/hot_spots_window.h"
#include "ui/list_view.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/report_presenter.h"

#include <QCoreApplication>
#include <QPushButton>

#include <algorithm>
#include <new>

namespace tickscope {

AnalyzerController::AnalyzerController(AnalyzerParts parts)
    : parts_(parts), heat_(parts.Window, settings_, run_), gate_(&parts.Window) {
    parts_.Window.List(kReportList)->Model().SetToolTips([this](std::size_t row) {
        return heat_.ReportToolTip(row);
    });
    parts_.Window.List(kSourceFileList)->Model().SetToolTips([this](std::size_t row) {
        return SourceFileToolTip(run_, row);
    });
    parts_.Window.List(kThreadList)->Model().SetToolTips([this](std::size_t row) {
        return ThreadToolTip(run_, row);
    });
}

AnalyzerController::~AnalyzerController() {
    for (const int id : {kReportList, kSourceFileList, kThreadList}) {
        if (ListView* list = parts_.Window.List(id)) {
            list->Model().SetToolTips(nullptr);
        }
    }
    // The tool windows may outlive the controller.
    if (hotSpots_) {
        hotSpots_->SetEventHandler(nullptr);
    }
    if (comparison_) {
        comparison_->SetEventHandler(nullptr);
    }
}

bool AnalyzerController::Dispatch(const AnalyzerEvent& event) {
    if (running_) {
        if (event.Kind == EventKind::WindowClosed) {
            closeRequested_ = true;
        }
        return false;
    }
    running_ = true;
    gate_.Close();
    parts_.Resize.ApplyResizeRules(ResizeTrigger::Forced);
    switch (event.Kind) {
    case EventKind::WindowResized:
        heat_.DrawBirdsView();
        break;
    case EventKind::Control:
        OnControl(event);
        break;
    case EventKind::Menu:
        OnMenu(event.Id);
        break;
    default:
        break;
    }
    parts_.Window.AlignColumnButtons();
    if (event.Kind == EventKind::WindowClosed || closeRequested_) {
        finished_ = true;
    }
    gate_.Open();
    running_ = false;
    return true;
}

void AnalyzerController::OnControl(const AnalyzerEvent& event) {
    switch (event.Id) {
    case kProgramCombo:
        // Choosing the program whose runs are listed again changes nothing.
        if (event.Type == ControlEventType::Change &&
            parts_.Window.Lists().ProgramCombo.Selected >= 0 &&
            parts_.Window.Lists().ProgramCombo.Selected != listedProgram_) {
            ChooseProgramCommand();
        }
        break;
    case kActionsButton:
        parts_.Window.ShowActionsMenu();
        break;
    case kModeCombo:
    case kReportList:
        heat_.RefreshReport();
        break;
    case kRefreshButton:
    case kThreadList:
        heat_.RefreshReport();
        RefreshHotSpots();
        break;
    case kHotSpotLineList:
    case kHotSpotProcedureList:
        if (event.Type == ControlEventType::DoubleClick && hotSpots_) {
            ShowLineInReport(hotSpots_->ChosenLine(event.Id));
        }
        break;
    case kComparisonLineList:
    case kComparisonProcedureList:
        if (event.Type == ControlEventType::DoubleClick && comparison_) {
            ShowLineInReport(comparison_->ChosenLine(event.Id));
        }
        break;
    case kRunList:
        if (event.Type == ControlEventType::LeftClick &&
            parts_.Window.Lists().RunList.FirstSelectedRow() >= 0) {
            LoadRunCommand();
        }
        break;
    case kBirdsViewImage:
        heat_.ScrollFromBirdsView(event.MouseY);
        break;
    case kHitsScaleButton:
        ThresholdCommand(true);
        break;
    case kTimeScaleButton:
        ThresholdCommand(false);
        break;
    default:
        break;
    }
}

void AnalyzerController::OnMenu(int id) {
    if (id == kHotSpotsCommand) {
        HotSpotsCommand();
        return;
    }
    if (id == kCompareCommand) {
        CompareCommand();
        return;
    }
    if (id == kRunMenuClosed) {
        SelectLoadedRun();
        return;
    }
    ListData& report = parts_.Window.Lists().ReportList;
    ListView* reportView = parts_.Window.List(kReportList);
    const int remembered = report.FirstSelectedRow();
    if (const std::optional<CheckAction> action = CheckActionForItem(id)) {
        LineChecks lines = LineChecksOf(report);
        CheckActionContext context{lines, run_, parts_.Chooser};
        RunCheckAction(*action, context);
        ShowLineChecks(report, lines);
        heat_.RefreshReport();
        report.SelectOnly(remembered);
        reportView->ShowSelectionFromData();
    } else if (id == kFindCommand || id == kFindNextCommand) {
        const int row = id == kFindCommand
                            ? FindCommand(report, settings_.Find, parts_.Prompts)
                            : FindNextCommand(report, settings_.Find, parts_.Prompts);
        reportView->Refresh(); // the yellow mark and the white restore
        if (row >= 0) {
            reportView->ShowSelectionFromData();
        }
    }
    FocusReport();
}

void AnalyzerController::ChooseProgramCommand() {
    AnalyzerLists& lists = parts_.Window.Lists();
    listedProgram_ = lists.ProgramCombo.Selected;
    listedRuns_ = RunsOfProgram(parts_.Catalogue, lists.ProgramCombo.SelectedText());
    ShowRuns(lists, listedRuns_);
    runListed_ = false;
    RefreshHotSpots();
    ForgetComparison();
    heat_.ForgetHeats();
    ShowListsFromData();
    if (!listedRuns_.empty()) {
        parts_.Window.List(kRunList)->setFocus();
    }
}

void AnalyzerController::LoadRunCommand() {
    AnalyzerLists& lists = parts_.Window.Lists();
    const int row = lists.RunList.FirstSelectedRow();
    if (row < 0 || static_cast<std::size_t>(row) >= listedRuns_.size()) {
        return;
    }
    const RunRecord* record = listedRuns_[static_cast<std::size_t>(row)];
    run_ = LoadedRun{}; // one run at a time: the previous one goes before the next is read
    run_ = LoadRun(*record, parts_.Progress);
    loaded_ = run_.Failure.empty() ? record : nullptr;
    try {
        ShowLoadedRun(lists, run_);
    } catch (const std::bad_alloc&) { // the lists of a run too large for this machine
        run_ = LoadedRun{};
        run_.Record = *record;
        run_.Failure = "there is not enough memory to show it";
        loaded_ = nullptr;
        ShowLoadedRun(lists, run_);
    }
    runListed_ = loaded_ != nullptr;
    heat_.ForgetHeats();
    ShowListsFromData();
    heat_.RefreshReport();
    RefreshHotSpots();
    ForgetComparison();
    FocusReport();
    for (const std::string& message :
         {LoadFailureMessage(run_), IncompleteInvocationsMessage(run_)}) {
        if (!message.empty()) {
            parts_.Prompts.ShowMessage(kTickscopeTitle, message);
        }
    }
    // Clicks made while the run loaded are dropped, not postponed.
    QCoreApplication::processEvents();
}

void AnalyzerController::ThresholdCommand(bool hits) {
    const std::int32_t value = AskThreshold(parts_.Prompts, hits ? kMaxHitsPrompt : kMaxTimePrompt);
    (hits ? settings_.MaxHitsForFullRed : settings_.MaxTimeForFullRed) = value;
    parts_.Window.Button(hits ? kHitsScaleButton : kTimeScaleButton)
        ->setText(ToQt(ThresholdCaption(value)));
    heat_.RefreshReport();
}

HotSpotsWindow* AnalyzerController::HotSpots() const {
    return hotSpots_.data();
}

void AnalyzerController::HotSpotsCommand() {
    if (!hotSpots_) {
        hotSpots_ = new HotSpotsWindow(&parts_.Window); // the main window owns it
        hotSpots_->SetEventHandler([this](const AnalyzerEvent& event) { return Dispatch(event); });
    }
    hotSpots_->show();
    RefreshHotSpots();
    hotSpots_->raise();
    hotSpots_->activateWindow();
}

void AnalyzerController::RefreshHotSpots() {
    if (!hotSpots_ || !hotSpots_->isVisible()) {
        return; // computed when it opens
    }
    if (runListed_) {
        hotSpots_->Show(run_, ThreadChecksOf(parts_.Window.Lists().ThreadList));
    } else {
        hotSpots_->Clear();
    }
}

ComparisonWindow* AnalyzerController::Comparison() const {
    return comparison_.data();
}

void AnalyzerController::CompareCommand() {
    const int row = parts_.Window.MenuRunRow();
    if (row < 0 || static_cast<std::size_t>(row) >= listedRuns_.size()) {
        return;
    }
    if (!runListed_) {
        parts_.Prompts.ShowMessage(kTickscopeTitle, kCompareWithoutRunMessage);
        return;
    }
    const ThreadChecks newThreads(run_.Threads.size(), true);
    RunSummary newer = SummariseRun(run_, newThreads, TimeMode::All);
    LoadedRun older = LoadRun(*listedRuns_[static_cast<std::size_t>(row)], parts_.Progress);
    SelectLoadedRun();
    if (!older.Failure.empty()) {
        parts_.Prompts.ShowMessage(kTickscopeTitle, LoadFailureMessage(older));
        return;
    }
    const ThreadChecks oldThreads(older.Threads.size(), true);
    RunSummary oldSummary = SummariseRun(std::move(older), oldThreads, TimeMode::All);
    if (!comparison_) {
        comparison_ = new ComparisonWindow(&parts_.Window); // the main window owns it
        comparison_->SetEventHandler(
            [this](const AnalyzerEvent& event) { return Dispatch(event); });
    }
    comparison_->Show(std::move(oldSummary), std::move(newer));
    comparison_->show();
    comparison_->raise();
    comparison_->activateWindow();
}

void AnalyzerController::SelectLoadedRun() {
    const auto loadedRow = std::find(listedRuns_.begin(), listedRuns_.end(), loaded_);
    parts_.Window.Lists().RunList.SelectOnly(
        loaded_ == nullptr || loadedRow == listedRuns_.end()
            ? -1
            : static_cast<int>(loadedRow - listedRuns_.begin()));
    parts_.Window.List(kRunList)->ShowSelectionFromData(false);
}

void AnalyzerController::ForgetComparison() {
    if (comparison_ && comparison_->NewRecord() != nullptr &&
        (!runListed_ || loaded_ == nullptr ||
         comparison_->NewRecord()->FileName != loaded_->FileName)) {
        comparison_->Clear();
    }
}

void AnalyzerController::ShowLineInReport(std::int32_t lineId) {
    ListData& report = parts_.Window.Lists().ReportList;
    if (lineId < 1 || static_cast<std::size_t>(lineId) > report.RowCount()) {
        return;
    }
    report.SelectOnly(lineId - 1);
    parts_.Window.List(kReportList)->ShowSelectionFromData(); // and scrolls to it
}

void AnalyzerController::ShowListsFromData() {
    for (const int id : {kRunList, kSourceFileList, kReportList, kThreadList}) {
        ListView* list = parts_.Window.List(id);
        list->Refresh();
        list->ShowSelectionFromData(false); // refilled rows start unselected
    }
}

void AnalyzerController::FocusReport() {
    parts_.Window.List(kReportList)->setFocus();
}

} // namespace tickscope
