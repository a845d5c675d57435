#pragma once

#include "analysis/check_actions.h"
#include "analysis/run_catalogue.h"
#include "platform/requesters.h"
#include "ui/list_data.h"

#include <memory>
#include <string>

class QEventLoop;

namespace tickscope {

class AnalyzerController;
class BusyWindow;
class MainWindow;
class ProgressWindow;
class ResizeManager;
class WidgetResizeHost;

// One analysis session: the lists, the run catalogue, the main window with its resize
// rules, the progress window and the event loop. Questions and messages go through the
// given requesters and list chooser (dialogs in the tool, scripted answers in tests).
class AnalyzerSession {
  public:
    AnalyzerSession(Requesters& requesters, ListChooser& chooser);
    ~AnalyzerSession();

    // Builds and shows the window and catalogues the runs below `homeFolder`. False (after
    // telling the user) when the run folder cannot be examined; the session then ends.
    bool Open(const std::string& homeFolder);
    // Runs the event loop until the window is closed.
    void Run();

    MainWindow& Window() { return *window_; }
    AnalyzerController& Controller() { return *controller_; }
    AnalyzerLists& Lists() { return lists_; }
    RunCatalogue& Catalogue() { return catalogue_; }
    ResizeManager& Resize() { return *resize_; }
    ProgressWindow& Progress() { return *progress_; }

  private:
    Requesters& requesters_;
    ListChooser& chooser_;
    AnalyzerLists lists_;
    RunCatalogue catalogue_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<WidgetResizeHost> resizeHost_;
    std::unique_ptr<BusyWindow> busy_;
    std::unique_ptr<ResizeManager> resize_;
    std::unique_ptr<ProgressWindow> progress_;
    std::unique_ptr<AnalyzerController> controller_;
    QEventLoop* loop_ = nullptr;
};

} // namespace tickscope
