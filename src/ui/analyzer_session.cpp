#include "ui/analyzer_session.h"

#include "ui/analyzer_controller.h"
#include "ui/busy_window.h"
#include "ui/main_window.h"
#include "ui/progress_window.h"
#include "ui/report_presenter.h"
#include "ui/resize_rules.h"
#include "ui/selection_dialog.h"
#include "ui/widget_resize_host.h"

#include <QEventLoop>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>

namespace tickscope {

namespace {
constexpr const char* kNoRunsMessage = "No Tickscope runlogs available!";

QFont ReportFont() {
    QFont font("Courier New", 8);
    // Where Courier New is missing, the closest fixed-pitch font stands in.
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    const QFontMetrics metrics(font);
    if (metrics.horizontalAdvance('i') != metrics.horizontalAdvance('W')) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(8);
    }
    return font;
}
} // namespace

AnalyzerSession::AnalyzerSession(Requesters& requesters, ListChooser& chooser)
    : requesters_(requesters), chooser_(chooser) {}

AnalyzerSession::~AnalyzerSession() {
    if (window_) {
        window_->SetEventHandler(nullptr);
    }
}

bool AnalyzerSession::Open(const std::string& homeFolder) {
    const QFont font = ReportFont();
    window_ = std::make_unique<MainWindow>(lists_);
    window_->ExtendTitleWithBuild();
    window_->SetReportFont(font);
    window_->HideBirdsViewHelper();
    resizeHost_ = std::make_unique<WidgetResizeHost>(
        kMainWindowId, window_.get(), [this](int id) { return window_->Control(id); });
    busy_ = std::make_unique<BusyWindow>();
    resize_ = std::make_unique<ResizeManager>(*resizeHost_, busy_.get());
    resize_->RegisterResizeRule(kMainWindowId, kReportList, 0, 0, 1, 1, false);
    resize_->RegisterResizeRule(kMainWindowId, kBirdsViewHelper, 1, 0, 0, 1, false);
    resize_->RegisterResizeRule(kMainWindowId, kThreadsFrame, 0, 0, 0, 1, false);
    resize_->RegisterResizeRule(kMainWindowId, kThreadList, 0, 0, 0, 1, false);
    resize_->RegisterResizeRule(kMainWindowId, kActionsFrame, 0, 1, 0, 0, false);
    resize_->RegisterResizeRule(kMainWindowId, kReportButton, 0, 1, 0, 0, false);
    resize_->RegisterResizeRule(kMainWindowId, kRefreshButton, 0, 1, 0, 0, false);
    window_->show();
    if (!BuildRunCatalogue(homeFolder, catalogue_)) {
        requesters_.ShowMessage(kTickscopeTitle, kNoRunsMessage);
        window_->hide();
        return false;
    }
    ShowProgramNames(lists_, ProgramNames(catalogue_));
    window_->ShowCombo(kProgramCombo);
    window_->FillModeCombo();
    window_->CreateActionsMenu();
    window_->CreateReportMenu();
    window_->CreateRunMenu();
    window_->AddShortcuts();
    window_->DisableReportButton();

    progress_ = std::make_unique<ProgressWindow>();
    controller_ = std::make_unique<AnalyzerController>(
        AnalyzerParts{*window_, catalogue_, requesters_, chooser_, *progress_, *resize_});
    window_->SetEventHandler([this](const AnalyzerEvent& event) {
        const bool handled = controller_->Dispatch(event);
        if (controller_->Finished() && loop_) {
            loop_->exit(0);
        }
        return handled;
    });
    return true;
}

void AnalyzerSession::Run() {
    if (!controller_ || controller_->Finished()) {
        return;
    }
    QEventLoop loop;
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
}

} // namespace tickscope
