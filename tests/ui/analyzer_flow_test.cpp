// The analyzer driven like a user on the example runs: choosing the program and a run,
// check boxes, the actions menu, thresholds, Find, and a dialog that blocks the window.
#include "analysis/report_figures.h"
#include "analysis/run_profile.h"
#include "common/temp_folder.h"
#include "loaded_session.h"
#include "runfiles/entry_record.h"
#include "runfiles/program_info_file.h"
#include "runfiles/run_information.h"
#include "scripted_requesters.h"
#include "ui/analyzer_controller.h"
#include "ui/analyzer_session.h"
#include "ui/list_view.h"
#include "ui/main_window.h"
#include "ui/progress_window.h"
#include "ui/resize_rules.h"
#include "ui/selection_dialog.h"
#include "ui/widget_resize_host.h"

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <new>

using namespace tickscope;
using tickscope::testing::kExamples;
using tickscope::testing::Loaded;
using tickscope::testing::ScriptedChooser;
using tickscope::testing::ScriptedRequesters;
using tickscope::testing::TempFolder;

namespace {
// A controller of the fixture's window that loads runs with the given progress sink, and
// takes the window's events from now on.
struct ControllerWith {
    WidgetResizeHost Host;
    ResizeManager Resize;
    AnalyzerController Controller;

    ControllerWith(Loaded& f, ProgressSink& progress)
        : Host(kMainWindowId, &f.Window(), [&f](int id) { return f.Window().Control(id); }),
          Resize(Host), Controller(AnalyzerParts{f.Window(), f.session.Catalogue(), f.requesters,
                                                 f.scripted, progress, Resize}) {
        f.Window().SetEventHandler(
            [this](const AnalyzerEvent& event) { return Controller.Dispatch(event); });
    }
};

QByteArray FolderDigest(const std::filesystem::path& folder) {
    QCryptographicHash hash(QCryptographicHash::Md5);
    QDir dir(QString::fromStdString(folder.string()));
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        file.open(QIODevice::ReadOnly);
        hash.addData(name.toUtf8());
        hash.addData(file.readAll());
    }
    return hash.result().toHex();
}

void WhenDialogOpens(std::function<void(SelectionDialog&)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<SelectionDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        act(*dialog);
    });
}
} // namespace

class AnalyzerFlowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void choosingTheProgramListsItsRuns();
    void loadingFillsEveryListWithEveryRowChecked();
    void loadingLeavesTheRunFilesAlone();
    void choosingTheSameProgramKeepsTheRun();
    void choosingAnotherProgramEmptiesTheRunLists();
    void threadChecksChangeTheFigures();
    void checkActionsKeepTheSelectedRow();
    void sourceFileActionsAskThroughTheChooser();
    void thresholdsRecolourTheReport_data();
    void thresholdsRecolourTheReport();
    void findMarksSurviveRefreshes();
    void dialogBlocksTheMainWindow();
    void doubleClickInTheDialogChecksAThread();
    void aRunNestedTooDeeplyLoadsWithAWarning();
    void clicksAndCommandsDoNotScrollSideways();
    void closingWhileARunLoadsEndsAfterTheLoad();
    void enterOnARunLoadsIt_data();
    void enterOnARunLoadsIt();
    void rowsTellTheirWholeTextInTooltips();
    void reportTooltipsTellSelfTimeWhateverTheMode();
    void aRunThatCannotBeLoadedIsReported();
};

void AnalyzerFlowTest::initTestCase() {
    if (!std::filesystem::exists(kExamples)) {
        QSKIP("the example runs (examples/home/Tickscope) are not there");
    }
}

void AnalyzerFlowTest::choosingTheProgramListsItsRuns() {
    Loaded f(false, false);
    QCOMPARE(f.Window().Combo(kProgramCombo)->count(), 1);
    QCOMPARE(f.Window().Combo(kProgramCombo)->itemText(0), QString("main.pb"));
    const ListData& runs = f.Rows(kRunList);
    QCOMPARE(runs.RowCount(), std::size_t{3});
    QCOMPARE(f.List(kRunList).Model().rowCount(), 3);
    // Newest first; the comment column stays empty.
    QVERIFY(runs.CellText(0, 0) > runs.CellText(1, 0));
    QVERIFY(runs.CellText(1, 0) > runs.CellText(2, 0));
    QCOMPARE(runs.CellText(0, 1), std::string());
    QCOMPARE(f.Rows(kReportList).RowCount(), std::size_t{0});
    QCOMPARE(f.Window().focusWidget(), &f.List(kRunList));
}

void AnalyzerFlowTest::loadingFillsEveryListWithEveryRowChecked() {
    Loaded f;
    const RunRecord* run = f.session.Controller().LoadedRecord();
    QVERIFY(run);
    QCOMPARE(f.Rows(kReportList).RowCount(), std::size_t(run->LineCount));
    QCOMPARE(f.List(kReportList).Model().rowCount(), run->LineCount);
    QCOMPARE(f.CheckedRows(), run->LineCount);
    QCOMPARE(f.Rows(kSourceFileList).RowCount(), std::size_t{2});
    const ListData& threads = f.Rows(kThreadList);
    QCOMPARE(threads.RowCount(), std::size_t{2});
    QCOMPARE(threads.CellText(0, 1) + "|" + threads.CellText(0, 2), std::string("6604|***main***"));
    QCOMPARE(threads.CellText(1, 1) + "|" + threads.CellText(1, 2), std::string("6992|Worker"));
    QVERIFY(threads.Rows[0].Checked && threads.Rows[1].Checked);
    // The report is coloured, the bird's view drawn, the progress window gone.
    QCOMPARE(f.Background(f.RowWithMostHits(), kHitsColumn), QColor(255, 0, 0));
    QCOMPARE(f.Window().BirdsViewImage()->pixmap().size(), QSize(18, 424));
    QVERIFY(!f.session.Progress().Window());
    QCOMPARE(f.Window().focusWidget(), &f.List(kReportList));
}

void AnalyzerFlowTest::loadingLeavesTheRunFilesAlone() {
    TempFolder copy;
    const std::filesystem::path folder = copy.Path() / "Tickscope";
    std::filesystem::create_directories(folder);
    for (const auto& entry : std::filesystem::directory_iterator(kExamples)) {
        std::filesystem::copy(entry.path(), folder / entry.path().filename());
    }
    const QByteArray before = FolderDigest(folder);
    Loaded f;
    for (int row = 0; row < 3; ++row) {
        f.ClickRow(kRunList, row);
    }
    QCOMPARE(FolderDigest(f.home.Path() / "Tickscope"), before);
}

void AnalyzerFlowTest::choosingTheSameProgramKeepsTheRun() {
    Loaded f(false, true, true);
    QCOMPARE(f.Window().Combo(kProgramCombo)->count(), 2);
    const RunRecord* loaded = f.session.Controller().LoadedRecord();
    const std::size_t rows = f.Rows(kReportList).RowCount();
    QVERIFY(loaded && rows > 0);
    const qint64 picture = f.Window().BirdsViewImage()->pixmap().cacheKey();
    emit f.Window().Combo(kProgramCombo)->activated(0); // the program already chosen
    QCOMPARE(f.session.Controller().LoadedRecord(), loaded);
    QCOMPARE(f.Rows(kRunList).RowCount(), std::size_t{3});
    for (int id : {kSourceFileList, kReportList, kThreadList}) {
        QVERIFY(f.Rows(id).RowCount() > 0);
        QCOMPARE(f.List(id).Model().rowCount(), int(f.Rows(id).RowCount()));
    }
    QCOMPARE(f.Rows(kReportList).RowCount(), rows);
    QCOMPARE(f.Window().BirdsViewImage()->pixmap().cacheKey(), picture);
}

void AnalyzerFlowTest::choosingAnotherProgramEmptiesTheRunLists() {
    Loaded f(false, true, true);
    const qint64 picture = f.Window().BirdsViewImage()->pixmap().cacheKey();
    emit f.Window().Combo(kProgramCombo)->activated(1);
    QCOMPARE(f.Rows(kRunList).RowCount(), std::size_t{1});
    for (int id : {kSourceFileList, kReportList, kThreadList}) {
        QCOMPARE(f.Rows(id).RowCount(), std::size_t{0});
        QCOMPARE(f.List(id).Model().rowCount(), 0);
    }
    // The bird's view stays as it was until it is drawn again.
    QCOMPARE(f.Window().BirdsViewImage()->pixmap().cacheKey(), picture);
    f.session.Controller().Dispatch(AnalyzerEvent::Resized());
    QVERIFY(f.Window().BirdsViewImage()->pixmap().cacheKey() != picture);
    // Back to the first program: its runs again, and a click on one loads it.
    emit f.Window().Combo(kProgramCombo)->activated(0);
    QCOMPARE(f.Rows(kRunList).RowCount(), std::size_t{3});
    f.ClickRow(kRunList, 2);
    QCOMPARE(f.Rows(kThreadList).CellText(0, 1), std::string("4242"));
}

void AnalyzerFlowTest::threadChecksChangeTheFigures() {
    Loaded f;
    // Find a line that only the worker runs: it has hits now and none without the worker.
    ListModel& threads = f.List(kThreadList).Model();
    const std::vector<std::string> before = [&] {
        std::vector<std::string> hits;
        for (std::size_t i = 0; i < f.Rows(kReportList).RowCount(); ++i) {
            hits.push_back(f.Rows(kReportList).CellText(i, kHitsColumn));
        }
        return hits;
    }();
    QVERIFY(threads.setData(threads.index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
    int emptied = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        const std::string& now = f.Rows(kReportList).CellText(i, kHitsColumn);
        emptied += !before[i].empty() && now.empty();
    }
    QVERIFY(emptied > 0);
    QVERIFY(threads.setData(threads.index(1, 0), Qt::Checked, Qt::CheckStateRole));
    for (std::size_t i = 0; i < before.size(); ++i) {
        QCOMPARE(f.Rows(kReportList).CellText(i, kHitsColumn), before[i]);
    }
}

void AnalyzerFlowTest::checkActionsKeepTheSelectedRow() {
    Loaded f;
    const int rows = static_cast<int>(f.Rows(kReportList).RowCount());
    f.ClickRow(kReportList, 10);
    QCOMPARE(f.Rows(kReportList).FirstSelectedRow(), 10);
    QVERIFY(f.Menu(1002)); // Remove all checks
    QCOMPARE(f.CheckedRows(), 0);
    QCOMPARE(f.Rows(kReportList).FirstSelectedRow(), 10);
    QCOMPARE(f.List(kReportList).selectionModel()->selectedRows().size(), 1);
    QCOMPARE(f.Background(f.RowWithMostHits(), kHitsColumn), QColor(100, 100, 100));
    QVERIFY(f.Menu(1001)); // Check all
    QCOMPARE(f.CheckedRows(), rows);
    QCOMPARE(f.Rows(kReportList).FirstSelectedRow(), 10);
    QVERIFY(f.Menu(1011)); // Remove timeconsumers: Delay( lines lose their checks
    QVERIFY(f.CheckedRows() < rows);
    QCOMPARE(f.Window().focusWidget(), &f.List(kReportList));
}

void AnalyzerFlowTest::sourceFileActionsAskThroughTheChooser() {
    Loaded f;
    f.Menu(1002);
    f.scripted.Answers = {"2|examples/program/worker.pbi"};
    QVERIFY(f.Menu(1008)); // Add checks for a sourcefile
    QCOMPARE(f.scripted.Prompts.back(), std::string("Select sourcefile to add checks for ..."));
    const std::string& offered = f.scripted.Rows.back();
    QVERIFY(offered.find("1|examples/program/main.pb\n") != std::string::npos);
    QVERIFY(offered.find("2|examples/program/worker.pbi\n") != std::string::npos);
    const ListData& report = f.Rows(kReportList);
    for (std::size_t i = 0; i < report.RowCount(); ++i) {
        QCOMPARE(report.Rows[i].Checked, report.CellText(i, kFileColumn) == "2");
    }
    // Nothing chosen: nothing changes.
    const int checked = f.CheckedRows();
    QVERIFY(f.Menu(1009));
    QCOMPARE(f.CheckedRows(), checked);
}

void AnalyzerFlowTest::thresholdsRecolourTheReport_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("hits 1") << int(kHitsScaleButton) << "1"
                            << "ff=1"
                            << "Enter max-hits for full-red:";
    QTest::newRow("hits cancelled") << int(kHitsScaleButton) << ""
                                    << "ff=max"
                                    << "Enter max-hits for full-red:";
    QTest::newRow("time 250") << int(kTimeScaleButton) << "250"
                              << "ff=250"
                              << "Enter max-time for full-red:";
    QTest::newRow("time not a number") << int(kTimeScaleButton) << "lots"
                                       << "ff=max"
                                       << "Enter max-time for full-red:";
}

void AnalyzerFlowTest::thresholdsRecolourTheReport() {
    QFETCH(int, button);
    QFETCH(QString, answer);
    QFETCH(QString, caption);
    QFETCH(QString, prompt);
    Loaded f;
    f.requesters.Answers = {answer.toStdString()};
    QTest::mouseClick(f.Window().Button(button), Qt::LeftButton);
    QCOMPARE(f.Window().Button(button)->text(), caption);
    QCOMPARE(QString::fromStdString(f.requesters.Prompts.back()), prompt);
    const AnalyzerSettings& settings = f.session.Controller().Settings();
    const int stored =
        button == kHitsScaleButton ? settings.MaxHitsForFullRed : settings.MaxTimeForFullRed;
    QCOMPARE(QString(stored == 0 ? "ff=max" : "ff=" + QString::number(stored)), caption);
    if (button == kHitsScaleButton && stored == 1) {
        // With full red at one hit, every checked line with hits is full red.
        const ListData& report = f.Rows(kReportList);
        for (std::size_t i = 0; i < report.RowCount(); ++i) {
            if (!report.CellText(i, kHitsColumn).empty()) {
                QCOMPARE(f.Background(int(i), kHitsColumn), QColor(255, 0, 0));
            }
        }
    }
}

void AnalyzerFlowTest::findMarksSurviveRefreshes() {
    Loaded f;
    f.requesters.Answers = {"SUMOFSQUARES"};
    QVERIFY(f.Menu(kFindCommand));
    const int first = f.Rows(kReportList).FirstSelectedRow();
    QVERIFY(first >= 0);
    QVERIFY(f.Rows(kReportList).CellText(first, kCodeColumn).find("SumOfSquares") !=
            std::string::npos);
    QCOMPARE(f.Background(first, kCodeColumn), QColor(255, 255, 0));
    // Another mode and a check toggle keep the mark.
    emit f.Window().Combo(kModeCombo)->activated(2);
    QCOMPARE(f.Rows(kReportList).CellText(first, kCodeColumn).empty(), false);
    ListModel& report = f.List(kReportList).Model();
    report.setData(report.index(0, 0), Qt::Unchecked, Qt::CheckStateRole);
    QCOMPARE(f.Background(first, kCodeColumn), QColor(255, 255, 0));
    QVERIFY(f.Menu(kFindNextCommand));
    const int second = f.Rows(kReportList).FirstSelectedRow();
    QVERIFY(second > first);
    QCOMPARE(f.Background(first, kCodeColumn), QColor(255, 255, 255));
    QCOMPARE(f.Background(second, kCodeColumn), QColor(255, 255, 0));
    QVERIFY(f.requesters.Messages.empty());
}

void AnalyzerFlowTest::dialogBlocksTheMainWindow() {
    Loaded f(true);
    f.Menu(1002); // every line unchecked
    bool dropped = false;
    WhenDialogOpens([&](SelectionDialog& dialog) {
        QCOMPARE(dialog.size(), QSize(400, 300));
        QCOMPARE(dialog.List()->Model().rowCount(), 2);
        // Clicks, keys and menu commands meant for the main window do nothing now or later.
        QTest::mouseClick(f.Window().Button(kRefreshButton), Qt::LeftButton);
        QTest::keyClick(&f.Window(), Qt::Key_F, Qt::ControlModifier);
        dropped = !f.Menu(1001); // Check all
        dialog.close();
    });
    QVERIFY(f.Menu(1008)); // opens the dialog; closed without a choice
    QVERIFY(dropped);
    QCoreApplication::processEvents();
    QCOMPARE(f.CheckedRows(), 0);
    QVERIFY(f.requesters.Prompts.empty()); // Ctrl+F asked nothing
}

void AnalyzerFlowTest::doubleClickInTheDialogChecksAThread() {
    Loaded f(true);
    f.Menu(1002);
    WhenDialogOpens([](SelectionDialog& dialog) {
        ListView& list = *dialog.List();
        const QPoint worker = list.visualRect(list.Model().index(1, 0)).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, worker);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, worker);
    });
    QVERIFY(f.Menu(1006)); // Add checks for a thread: the worker
    const int checked = f.CheckedRows();
    QVERIFY(checked > 0);
    // Only worker lines: those of the second source file and the line that starts the thread.
    const ListData& report = f.Rows(kReportList);
    int inWorkerFile = 0;
    for (std::size_t i = 0; i < report.RowCount(); ++i) {
        inWorkerFile += report.Rows[i].Checked && report.CellText(i, kFileColumn) == "2";
    }
    QVERIFY(inWorkerFile > 0);
    QVERIFY(checked < static_cast<int>(report.RowCount()));
}

void AnalyzerFlowTest::aRunNestedTooDeeplyLoadsWithAWarning() {
    // 40,000 lines opened in one thread and closed outermost first.
    constexpr int kLines = 40000;
    ProgramInfo program;
    program.Path = "C:\\deep.pb";
    program.SourceFileIds.Set(program.Path, 1);
    program.ScopeIds.Set("***main***", 1);
    std::string log(1, '\0');
    for (int n = 1; n <= kLines; ++n) {
        LineOfCode& line = program.LinesOfCode.emplace_back();
        line.SourceFileId = 1;
        line.LineNumber = n;
        line.Code = "x + 1";
        line.AddInstruction(0, line.Code.size()).ScopeId = 1;
    }
    for (const std::int8_t kind : {kStartEntry, kStopEntry}) {
        for (int n = 1; n <= kLines; ++n) {
            const auto bytes = EncodeEntryRecord({9, 0, 1, n, 1, kind, kind * 1000000 + n});
            log.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        }
    }
    TempFolder home;
    home.Write("Tickscope/1700000000-1.tkr", EncodeRunInformation(WriteProgramInfo(program), 1));
    home.Write("Tickscope/1700000000-1.tkl", log);

    ScriptedRequesters requesters;
    ScriptedChooser chooser;
    AnalyzerSession session(requesters, chooser);
    QVERIFY(session.Open(home.Folder()));
    emit session.Window().Combo(kProgramCombo)->activated(0);
    ListView& runs = *session.Window().List(kRunList);
    QTest::mouseClick(runs.viewport(), Qt::LeftButton, {},
                      runs.visualRect(runs.Model().index(0, 1)).center());
    QCOMPARE(session.Lists().ReportList.RowCount(), std::size_t{kLines});
    QCOMPARE(session.Lists().ReportList.CellText(0, kHitsColumn), std::string("1"));
    QCOMPARE(requesters.Messages.size(), std::size_t{1});
    QVERIFY(requesters.Messages[0].find("opens more nested lines than Tickscope follows") !=
            std::string::npos);
    QCOMPARE(requesters.Titles.back(), std::string("Tickscope"));
}

void AnalyzerFlowTest::aRunThatCannotBeLoadedIsReported() {
    Loaded f(false, false);
    // Memory runs out while the entries are read: the progress sink stands in for it.
    class FailingProgress final : public ProgressSink {
        void ShowProgress(std::int64_t, const std::string& text, std::int64_t) override {
            if (text == "Loading profiledata ...") {
                throw std::bad_alloc();
            }
        }
    } progress;
    ControllerWith own(f, progress);
    AnalyzerController& controller = own.Controller;
    emit f.Window().Combo(kProgramCombo)->activated(0);
    f.ClickRow(kRunList, 0);
    QCOMPARE(f.requesters.Messages.size(), std::size_t{1});
    QVERIFY(f.requesters.Messages[0].rfind("The run of main.pb started ", 0) == 0);
    QVERIFY(f.requesters.Messages[0].find(" cannot be loaded: there is not enough memory for "
                                          "it.") != std::string::npos);
    QCOMPARE(f.Rows(kReportList).RowCount(), std::size_t{0});
    QCOMPARE(controller.LoadedRecord(), nullptr);
    // The analyzer goes on: the next click is handled.
    QVERIFY(
        controller.Dispatch(AnalyzerEvent::Control(kRefreshButton, ControlEventType::LeftClick)));
}

void AnalyzerFlowTest::clicksAndCommandsDoNotScrollSideways() {
    Loaded f;
    ListView& report = f.List(kReportList);
    QScrollBar* sideways = report.horizontalScrollBar();
    QVERIFY(sideways->maximum() > 0);
    const QRect hits = f.Window().Control(kHitsScaleButton)->geometry();
    const auto clickCode = [&](int row) {
        QRect cell = report.visualRect(report.Model().index(row, kCodeColumn));
        cell = cell.intersected(report.viewport()->rect());
        QTest::mouseClick(report.viewport(), Qt::LeftButton, {}, cell.center());
        // A view scrolls to the clicked cell a double-click interval after the press.
        QTest::qWait(QApplication::doubleClickInterval() + 150);
    };
    clickCode(3);
    QCOMPARE(f.Rows(kReportList).FirstSelectedRow(), 3);
    QCOMPARE(sideways->value(), 0);
    QCOMPARE(f.Window().Control(kHitsScaleButton)->geometry(), hits);
    // Commands that select a row scroll it into view vertically only.
    f.requesters.Answers = {"endprocedure"};
    QVERIFY(f.Menu(kFindCommand));
    QVERIFY(f.Rows(kReportList).FirstSelectedRow() > 3);
    QCOMPARE(sideways->value(), 0);
    QTest::keyClick(report.viewport(), Qt::Key_Right);
    QCOMPARE(sideways->value(), 0);
    // The scroll bar still scrolls, and a click keeps its place.
    sideways->setValue(150);
    clickCode(1);
    QCOMPARE(f.Rows(kReportList).FirstSelectedRow(), 1);
    QCOMPARE(sideways->value(), 150);
}

void AnalyzerFlowTest::closingWhileARunLoadsEndsAfterTheLoad() {
    Loaded f(false, false);
    // The user closes the window while the entries are read.
    class ClosingProgress final : public ProgressSink {
      public:
        explicit ClosingProgress(QWidget& window) : window_(window) {}
        void ShowProgress(std::int64_t, const std::string& text, std::int64_t) override {
            if (text == "Loading profiledata ...") {
                window_.close();
            }
        }

      private:
        QWidget& window_;
    } progress(f.Window());
    ControllerWith own(f, progress);
    AnalyzerController& controller = own.Controller;
    emit f.Window().Combo(kProgramCombo)->activated(0);
    QVERIFY(!controller.Finished());
    f.ClickRow(kRunList, 0);
    // The load went to its end, then the close took effect.
    QVERIFY(controller.LoadedRecord());
    QVERIFY(f.Rows(kReportList).RowCount() > 0);
    QVERIFY(controller.Finished());
}

void AnalyzerFlowTest::enterOnARunLoadsIt_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("loads");
    QTest::newRow("Return on the newest run") << int(Qt::Key_Return) << 0 << true;
    QTest::newRow("keypad Enter on the oldest run") << int(Qt::Key_Enter) << 2 << true;
    QTest::newRow("no run selected") << int(Qt::Key_Return) << -1 << false;
    QTest::newRow("another key") << int(Qt::Key_Space) << 1 << false;
}

void AnalyzerFlowTest::enterOnARunLoadsIt() {
    QFETCH(int, key);
    QFETCH(int, row);
    QFETCH(bool, loads);
    Loaded f(false, false);
    ListView& runs = f.List(kRunList);
    f.Rows(kRunList).SelectOnly(row);
    runs.ShowSelectionFromData();
    QCOMPARE(f.Window().focusWidget(), &runs);
    QTest::keyClick(&runs, Qt::Key(key));
    QCOMPARE(f.session.Controller().LoadedRecord() != nullptr, loads);
    if (loads) {
        const auto listed =
            RunsOfProgram(f.session.Catalogue(), f.Window().Lists().ProgramCombo.SelectedText());
        QCOMPARE(f.session.Controller().LoadedRecord(), listed[static_cast<std::size_t>(row)]);
        QCOMPARE(f.Window().focusWidget(), &f.List(kReportList));
    }
}

void AnalyzerFlowTest::rowsTellTheirWholeTextInTooltips() {
    Loaded f;
    const auto tip = [&](int id, int row, int column = 1) {
        ListModel& model = f.List(id).Model();
        return model.data(model.index(row, column), Qt::ToolTipRole).toString();
    };
    // Source files: the whole path, whose middle is what the list leaves out.
    QCOMPARE(f.List(kSourceFileList).textElideMode(), Qt::ElideMiddle);
    for (int row = 0; row < 2; ++row) {
        const std::string& path = f.Rows(kSourceFileList).CellText(row, 1);
        QVERIFY(tip(kSourceFileList, row, 0).contains(QString::fromStdString(path)));
    }
    QVERIFY(tip(kThreadList, 1).contains("Thread 6992\nWorker"));

    // A report row: its file, line, hits and its time in every mode, on every cell.
    const int hot = f.RowWithMostHits();
    const ListData& report = f.Rows(kReportList);
    const QString tooltip = tip(kReportList, hot, kCodeColumn);
    QCOMPARE(tip(kReportList, hot, kFileColumn), tooltip);
    QVERIFY(tooltip.contains("File " + QString::fromStdString(report.CellText(hot, kFileColumn)) +
                             ", line " +
                             QString::fromStdString(report.CellText(hot, kLineColumn))));
    QVERIFY(tooltip.contains(QString::fromStdString(
        f.Rows(kSourceFileList).CellText(report.CellText(hot, kFileColumn) == "1" ? 0 : 1, 1))));
    QVERIFY(tooltip.contains("Hits: " + QString::fromStdString(report.CellText(hot, kHitsColumn))));
    for (int mode = 0; mode < 4; ++mode) {
        emit f.Window().Combo(kModeCombo)->activated(mode);
        const QString name = QString::fromStdString(f.Window().Lists().ModeCombo.SelectedText());
        // The tooltip's lines, without the paragraph around them.
        const QStringList lines =
            tip(kReportList, hot, kCodeColumn).remove(QRegularExpression("<[^>]*>")).split('\n');
        QVERIFY2(lines.contains("Time (ms) " + name + ": " +
                                QString::fromStdString(report.CellText(hot, kTimeColumn))),
                 qPrintable(lines.join(" | ")));
    }
    // A line that only the worker runs, once the worker is unchecked.
    ListModel& threads = f.List(kThreadList).Model();
    QVERIFY(threads.setData(threads.index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
    int workerOnly = -1;
    for (std::size_t i = 0; i < report.RowCount() && workerOnly < 0; ++i) {
        if (report.CellText(i, kHitsColumn).empty() && report.CellText(i, kFileColumn) == "2" &&
            tip(kReportList, int(i)).contains("Not run by the checked threads")) {
            workerOnly = int(i);
        }
    }
    QVERIFY(workerOnly >= 0);
    QVERIFY(!tip(kReportList, workerOnly).contains("Hits:"));
}

void AnalyzerFlowTest::reportTooltipsTellSelfTimeWhateverTheMode() {
    Loaded f;
    const int row = f.RowWithMostHits();
    // The tooltip's lines from the self time on, without the paragraph around them.
    const auto selfPart = [&] {
        ListModel& model = f.List(kReportList).Model();
        const QString tip = model.data(model.index(row, kCodeColumn), Qt::ToolTipRole)
                                .toString()
                                .remove(QRegularExpression("<[^>]*>"));
        const qsizetype self = tip.indexOf("Self time");
        return self < 0 ? QStringList() : tip.mid(self).split('\n');
    };
    // What the profile of the run says for the row's line, for the window's thread checks.
    const auto expectedSelf = [&] {
        const LoadedRun& run = f.session.Controller().Run();
        const RunProfile profile =
            ComputeRunProfile(run.Analysis, run.Program, ThreadChecksOf(f.Rows(kThreadList)));
        for (const LineProfile& line : profile.Lines) {
            if (line.LineId == row + 1) {
                return QString::fromStdString(
                    std::string("Self time (ms): ")
                        .append(FormatMilliseconds(line.SelfNanos))
                        .append(" (")
                        .append(FormatPercent(line.SelfNanos, profile.RunNanos))
                        .append(" % of the run)"));
            }
        }
        return QString();
    };
    const QStringList first = selfPart();
    QVERIFY(first.size() >= 3);
    QCOMPARE(first[0], expectedSelf());
    QVERIFY(first[1].startsWith("Self time per hit (ms): "));
    // One line per instruction, whose hits add up to the row's.
    long long hits = 0;
    for (qsizetype i = 2; i < first.size(); ++i) {
        QVERIFY2(first[i].startsWith("Instruction "), qPrintable(first[i]));
        hits += first[i].section(": ", 1).section(' ', 0, 0).toLongLong();
    }
    QCOMPARE(hits, std::stoll(f.Rows(kReportList).CellText(std::size_t(row), kHitsColumn)));
    // Self time is a total whatever the mode.
    for (int mode = 0; mode < 4; ++mode) {
        emit f.Window().Combo(kModeCombo)->activated(mode);
        QCOMPARE(selfPart(), first);
    }
    // Unchecking a thread changes the run time the percent is taken of.
    for (int thread = 0; thread < 2; ++thread) {
        ListModel& threads = f.List(kThreadList).Model();
        QVERIFY(threads.setData(threads.index(thread, 0), Qt::Unchecked, Qt::CheckStateRole));
        const QStringList now = selfPart();
        QCOMPARE(now.value(0), expectedSelf());
        QVERIFY(threads.setData(threads.index(thread, 0), Qt::Checked, Qt::CheckStateRole));
    }
    QCOMPARE(selfPart(), first);
}

QTEST_MAIN(AnalyzerFlowTest)
#include "analyzer_flow_test.moc"
