#include "ui/analyzer_controller.h"

#include "ui/list_view.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

#include <QCoreApplication>
#include <QPushButton>

namespace tickscope {

namespace {
const ProgramInfo& NoProgram() {
    static const ProgramInfo empty;
    return empty;
}
} // namespace

AnalyzerController::AnalyzerController(AnalyzerParts parts)
    : parts_(parts), heat_(parts.Window, settings_, analysis_), gate_(&parts.Window) {}

bool AnalyzerController::Dispatch(const AnalyzerEvent& event) {
    if (running_) {
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
    if (event.Kind == EventKind::WindowClosed) {
        finished_ = true;
    }
    gate_.Open();
    running_ = false;
    return true;
}

void AnalyzerController::OnControl(const AnalyzerEvent& event) {
    switch (event.Id) {
    case kProgramCombo:
        if (event.Type == ControlEventType::Change &&
            parts_.Window.Lists().ProgramCombo.Selected >= 0) {
            ChooseProgramCommand();
        }
        break;
    case kActionsButton:
        parts_.Window.ShowActionsMenu();
        break;
    case kModeCombo:
    case kRefreshButton:
    case kReportList:
    case kThreadList:
        heat_.RefreshReport();
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
    ListData& report = parts_.Window.Lists().ReportList;
    ListView* reportView = parts_.Window.List(kReportList);
    const int remembered = report.FirstSelectedRow();
    if (const CheckAction action = CheckActionForItem(id)) {
        CheckActionContext context{parts_.Window.Lists(), loaded_ ? loaded_->Program : NoProgram(),
                                   analysis_, parts_.Chooser};
        action(context);
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
    const bool hasRuns = ChooseProgram(parts_.Catalogue, lists.ProgramCombo.SelectedText(), lists);
    ShowListsFromData();
    if (hasRuns) {
        parts_.Window.List(kRunList)->setFocus();
    }
}

void AnalyzerController::LoadRunCommand() {
    AnalyzerLists& lists = parts_.Window.Lists();
    const int row = lists.RunList.FirstSelectedRow();
    RunRecord* record = FindRun(parts_.Catalogue, lists.ProgramCombo.SelectedText(),
                                lists.RunList.CellText(static_cast<std::size_t>(row), 0));
    if (!record) {
        return;
    }
    LoadRun(parts_.Catalogue, *record, lists, analysis_, parts_.Progress);
    loaded_ = record;
    ShowListsFromData();
    heat_.RefreshReport();
    FocusReport();
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
