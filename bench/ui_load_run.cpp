// Time of loading a recorded run in the analyzer window, from the click on the run to the
// coloured report. Usage: ui_load_run [HOME] — the newest run of HOME/Tickscope is loaded; when
// that folder does not exist, a 20,000,000-entry run is generated there first (kept, so that
// tickscope-report can read the same run). Without HOME the run goes to a temporary folder
// and is removed after.
// Compare with: /usr/bin/time tickscope-report HOME/Tickscope/<run>.tkr --format csv > /dev/null
#include "generated_run.h"

#include "platform/requesters.h"
#include "ui/analyzer_session.h"
#include "ui/list_view.h"
#include "ui/main_window.h"
#include "ui/ui_ids.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTest>

#include <cstdio>
#include <filesystem>

using namespace tickscope;

namespace {

class SilentRequesters : public Requesters {
  public:
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    void ShowMessage(const std::string&, const std::string& text) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
    std::string AskText(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
};

class NoChoice : public ListChooser {
  public:
    std::optional<std::size_t> Choose(ChoiceKind, const std::vector<ChoiceRow>&) override {
        return std::nullopt;
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    const bool temporary = argc < 2;
    const std::filesystem::path home =
        temporary ? std::filesystem::temp_directory_path() / "tickscope-ui-load-run"
                  : std::filesystem::path(argv[1]);
    if (!std::filesystem::exists(home / "Tickscope")) {
        std::filesystem::create_directories(home / "Tickscope");
        std::fprintf(stderr, "generating a 20,000,000-entry run in %s ...\n", home.c_str());
        bench::WriteGeneratedRun((home / "Tickscope").string() + "/", "1700000000-1");
    }

    SilentRequesters requesters;
    NoChoice chooser;
    double milliseconds = 0;
    {
        AnalyzerSession session(requesters, chooser);
        if (!session.Open(home.string() + "/")) {
            return 2;
        }
        MainWindow& window = session.Window();
        emit window.Combo(kProgramCombo)->activated(0);
        ListView& runs = *window.List(kRunList);
        const QPoint firstRun = runs.visualRect(runs.Model().index(0, 0)).center();

        QElapsedTimer timer;
        timer.start();
        QTest::mouseClick(runs.viewport(), Qt::LeftButton, {}, firstRun);
        milliseconds = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        std::printf("report rows: %zu, threads: %zu\n", session.Lists().ReportList.RowCount(),
                    session.Lists().ThreadList.RowCount());
    }
    std::printf("window load: %.1f ms\n", milliseconds);
    if (temporary) {
        std::filesystem::remove_all(home);
    }
    return 0;
}
