#pragma once

// An analysis session on the bundled example runs, as a user starts it: the runs copied
// into a fresh home folder, the program chosen and (by default) its newest run loaded.

#include "common/temp_folder.h"
#include "scripted_requesters.h"
#include "ui/analyzer_controller.h"
#include "ui/analyzer_session.h"
#include "ui/list_view.h"
#include "ui/main_window.h"
#include "ui/selection_dialog.h"

#include <QColor>
#include <QComboBox>
#include <QTest>

#include <filesystem>
#include <string>

namespace tickscope::testing {

inline const std::string kExamples = std::string(TICKSCOPE_SOURCE_DIR) + "/examples/home/Tickscope";

struct Loaded {
    TempFolder home;
    ScriptedRequesters requesters;
    ScriptedChooser scripted;
    DialogListChooser dialogs;
    AnalyzerSession session;

    // `otherProgram` adds an older run of a second program, "other.pb".
    explicit Loaded(bool realDialogs = false, bool load = true, bool otherProgram = false)
        : session(requesters, realDialogs ? static_cast<ListChooser&>(dialogs) : scripted) {
        std::filesystem::create_directories(home.Path() / "Tickscope");
        for (const auto& entry : std::filesystem::directory_iterator(kExamples)) {
            std::filesystem::copy(entry.path(),
                                  home.Path() / "Tickscope" / entry.path().filename());
        }
        if (otherProgram) {
            home.Write("Tickscope/1000000000-1.tkr",
                       "[PRE-PROGRAMINFOS]\r\nPath = C:\\tools\\other.pb\r\n");
        }
        if (!session.Open(home.Folder())) {
            return;
        }
        dialogs.SetParent(&Window());
        Window().activateWindow();
        emit Window().Combo(kProgramCombo)->activated(0);
        if (load) {
            ClickRow(kRunList, 0);
        }
    }
    MainWindow& Window() { return session.Window(); }
    ListView& List(int id) { return *Window().List(id); }
    ListData& Rows(int id) { return List(id).Data(); }
    static void ClickRow(ListView& list, int row, int column = 1,
                         Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(list.viewport(), button, {},
                          list.visualRect(list.Model().index(row, column)).center());
    }
    void ClickRow(int id, int row) { ClickRow(List(id), row); }
    bool Menu(int id) { return session.Controller().Dispatch(AnalyzerEvent::Menu(id)); }
    int CheckedRows() {
        int checked = 0;
        for (const ListRow& row : Rows(kReportList).Rows) {
            checked += row.Checked;
        }
        return checked;
    }
    QColor Background(int row, int column) {
        ListModel& model = List(kReportList).Model();
        return model.data(model.index(row, column), Qt::BackgroundRole).value<QColor>();
    }
    int RowWithMostHits() {
        int best = -1;
        long long most = -1;
        const ListData& report = Rows(kReportList);
        for (std::size_t i = 0; i < report.RowCount(); ++i) {
            const std::string& hits = report.CellText(i, kHitsColumn);
            if (!hits.empty() && std::stoll(hits) > most) {
                most = std::stoll(hits);
                best = static_cast<int>(i);
            }
        }
        return best;
    }
};

} // namespace tickscope::testing
