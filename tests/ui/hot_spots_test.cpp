// The hot spots tool window on the example runs: opened by F4 and from the report's context
// menu, its two tables in the order their titles choose, following the thread checks, and a
// double-click that shows the row's line in the report.
#include "analysis/run_profile.h"
#include "loaded_session.h"
#include "ui/hot_spots_window.h"
#include "ui/report_presenter.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <set>

using namespace tickscope;
using tickscope::testing::kExamples;
using tickscope::testing::Loaded;

namespace {

HotSpotsWindow* OpenWithF4(Loaded& f) {
    f.Window().activateWindow();
    if (!QTest::qWaitForWindowActive(&f.Window())) {
        return nullptr;
    }
    QTest::keyClick(&f.Window(), Qt::Key_F4);
    return f.session.Controller().HotSpots();
}

// The profile the window should show: the loaded run for the window's thread checks.
RunProfile ExpectedProfile(Loaded& f) {
    const LoadedRun& run = f.session.Controller().Run();
    return ComputeRunProfile(run.Analysis, run.Program, ThreadChecksOf(f.Rows(kThreadList)));
}

void ClickTitle(ListView& view, int column) {
    QHeaderView* header = view.horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
}

// The line ids of the profile's lines with a row, in the profile's rank.
std::vector<std::int32_t> RankedLineIds(const RunProfile& profile, ProfileOrder order) {
    std::vector<std::int32_t> ids;
    for (const std::size_t i : RankLines(profile, order)) {
        if (profile.Lines[i].LineId > 0) {
            ids.push_back(profile.Lines[i].LineId);
        }
    }
    return ids;
}

std::set<std::string> Names(const HotSpotsWindow& window) {
    std::set<std::string> names;
    const ListData& procedures = window.Lists().Procedures;
    for (std::size_t i = 0; i < procedures.RowCount(); ++i) {
        names.insert(procedures.CellText(i, kHotNameColumn));
    }
    return names;
}

} // namespace

class HotSpotsTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void f4OpensItBesideTheUnchangedMainWindow();
    void theReportsContextMenuOpensIt();
    void tablesShowTheProfileBySelfTime();
    void titlesOrderTheTables_data();
    void titlesOrderTheTables();
    void itFollowsTheThreadChecks();
    void doubleClickShowsTheLineInTheReport_data();
    void doubleClickShowsTheLineInTheReport();
    void itEmptiesWhenAnotherProgramIsChosen();
};

void HotSpotsTest::initTestCase() {
    if (!std::filesystem::exists(kExamples)) {
        QSKIP("the example runs (examples/home/Tickscope) are not there");
    }
}

void HotSpotsTest::f4OpensItBesideTheUnchangedMainWindow() {
    Loaded f;
    const QRect place = f.Window().geometry();
    const QString title = f.Window().windowTitle();
    QVERIFY(!f.session.Controller().HotSpots());
    HotSpotsWindow* window = OpenWithF4(f);
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QString("Hot spots"));
    QVERIFY(window->windowFlags() & Qt::Tool);
    QCOMPARE(window->parentWidget(), &f.Window());
    QCOMPARE(window->font(), f.Window().font());
    QCOMPARE(window->Tabs()->count(), 2);
    QCOMPARE(window->Tabs()->tabText(0), QString("Lines"));
    QCOMPARE(window->Tabs()->tabText(1), QString("Procedures"));
    // The main window keeps its place, size, title and controls.
    QCOMPARE(f.Window().geometry(), place);
    QCOMPARE(f.Window().windowTitle(), title);
    QCOMPARE(f.List(kReportList).geometry(), QRect(280, 35, 490, 480));
    // A second F4 shows the same window.
    window->hide();
    QCOMPARE(OpenWithF4(f), window);
    QVERIFY(window->isVisible());
}

void HotSpotsTest::theReportsContextMenuOpensIt() {
    Loaded f;
    QMenu* menu = f.Window().ReportMenu();
    ListView& report = f.List(kReportList);
    const QPoint at = report.visualRect(report.Model().index(3, 2)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, report.viewport()->mapToGlobal(at));
    QApplication::sendEvent(report.viewport(), &click);
    QTRY_VERIFY(menu->isVisible());
    menu->actions().front()->trigger();
    menu->hide();
    HotSpotsWindow* window = f.session.Controller().HotSpots();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QVERIFY(window->Lists().Lines.RowCount() > 0);
}

void HotSpotsTest::tablesShowTheProfileBySelfTime() {
    Loaded f;
    HotSpotsWindow* window = OpenWithF4(f);
    const RunProfile profile = ExpectedProfile(f);
    const HotSpotsLists& lists = window->Lists();
    QCOMPARE(lists.LineTargets, RankedLineIds(profile, ProfileOrder::Self));
    QCOMPARE(lists.Lines.RowCount(), lists.LineTargets.size());
    QCOMPARE(lists.Procedures.RowCount(), profile.Procedures.size());
    QCOMPARE(window->List(kHotSpotLineList)->Model().rowCount(),
             static_cast<int>(lists.Lines.RowCount()));
    // The hottest line's cells: its place, procedure, figures and code without indentation.
    const LineProfile& top =
        *std::find_if(profile.Lines.begin(), profile.Lines.end(),
                      [&](const LineProfile& l) { return l.LineId == lists.LineTargets[0]; });
    const LineOfCode& code = f.session.Controller().Run().Program.LinesOfCode[top.LineId - 1];
    QCOMPARE(lists.Lines.CellText(0, kHotFileColumn), std::to_string(code.SourceFileId));
    QCOMPARE(lists.Lines.CellText(0, kHotLineColumn), std::to_string(code.LineNumber));
    QCOMPARE(lists.Lines.CellText(0, kHotLineSelfColumn), FormatMilliseconds(top.SelfNanos));
    QCOMPARE(lists.Lines.CellText(0, kHotLineSelfPercentColumn),
             FormatPercent(top.SelfNanos, profile.RunNanos));
    QCOMPARE(lists.Lines.CellText(0, kHotCodeColumn), std::string("Delay(1)"));
    QCOMPARE(lists.Lines.CellText(0, kHotProcedureColumn), std::string("Worker"));
    QCOMPARE(window->Summary()->text(),
             QString::fromStdString("Run time " + FormatMilliseconds(profile.RunNanos) +
                                    " ms, 2 of 2 threads"));
    QCOMPARE(window->List(kHotSpotLineList)->horizontalHeader()->sortIndicatorSection(),
             int{kHotLineSelfColumn});
}

void HotSpotsTest::titlesOrderTheTables_data() {
    QTest::addColumn<int>("list");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    QTest::addColumn<int>("indicator");
    const int self = static_cast<int>(ProfileOrder::Self);
    const int total = static_cast<int>(ProfileOrder::Total);
    const int hits = static_cast<int>(ProfileOrder::Hits);
    const int calls = static_cast<int>(ProfileOrder::Calls);
    QTest::newRow("lines by hits")
        << int{kHotSpotLineList} << int{kHotLineHitsColumn} << hits << int{kHotLineHitsColumn};
    QTest::newRow("lines by total percent")
        << int{kHotSpotLineList} << int{kHotLineTotalPercentColumn} << total
        << int{kHotLineTotalColumn};
    QTest::newRow("lines by calls")
        << int{kHotSpotLineList} << int{kHotLineCallsColumn} << calls << int{kHotLineCallsColumn};
    QTest::newRow("lines: the code orders nothing")
        << int{kHotSpotLineList} << int{kHotCodeColumn} << self << int{kHotLineSelfColumn};
    QTest::newRow("procedures by calls")
        << int{kHotSpotProcedureList} << int{kHotCallsColumn} << calls << int{kHotCallsColumn};
    QTest::newRow("procedures by total")
        << int{kHotSpotProcedureList} << int{kHotTotalColumn} << total << int{kHotTotalColumn};
    QTest::newRow("procedures by self percent")
        << int{kHotSpotProcedureList} << int{kHotSelfPercentColumn} << self << int{kHotSelfColumn};
    QTest::newRow("procedures: the name orders nothing")
        << int{kHotSpotProcedureList} << int{kHotNameColumn} << self << int{kHotSelfColumn};
}

void HotSpotsTest::titlesOrderTheTables() {
    QFETCH(int, list);
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(int, indicator);
    Loaded f;
    HotSpotsWindow* window = OpenWithF4(f);
    window->Tabs()->setCurrentIndex(list == kHotSpotLineList ? 0 : 1);
    ListView& view = *window->List(list);
    ClickTitle(view, column);
    const RunProfile profile = ExpectedProfile(f);
    const auto expected = static_cast<ProfileOrder>(order);
    if (list == kHotSpotLineList) {
        QCOMPARE(window->Lists().LineTargets, RankedLineIds(profile, expected));
    } else {
        std::vector<std::string> names;
        for (const std::size_t i : RankProcedures(profile, expected)) {
            names.push_back(ProcedureLabel(profile.Procedures[i]));
        }
        std::vector<std::string> shown;
        for (std::size_t i = 0; i < window->Lists().Procedures.RowCount(); ++i) {
            shown.push_back(window->Lists().Procedures.CellText(i, kHotNameColumn));
        }
        QCOMPARE(shown, names);
    }
    QCOMPARE(view.horizontalHeader()->sortIndicatorSection(), indicator);
    QCOMPARE(view.horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
}

void HotSpotsTest::itFollowsTheThreadChecks() {
    Loaded f;
    HotSpotsWindow* window = OpenWithF4(f);
    QVERIFY(Names(*window).count("SumOfSquares"));
    ListModel& threads = f.List(kThreadList).Model();
    // Without the worker thread its procedures are gone; the main thread's stay.
    QVERIFY(threads.setData(threads.index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
    QVERIFY(!Names(*window).count("SumOfSquares"));
    QVERIFY(!Names(*window).count("Worker"));
    QVERIFY(Names(*window).count("CountWords"));
    QVERIFY(window->Summary()->text().endsWith("1 of 2 threads"));
    QCOMPARE(window->Lists().LineTargets, RankedLineIds(ExpectedProfile(f), ProfileOrder::Self));
    QVERIFY(threads.setData(threads.index(1, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(Names(*window).count("SumOfSquares"));
}

void HotSpotsTest::doubleClickShowsTheLineInTheReport_data() {
    QTest::addColumn<int>("list");
    QTest::addColumn<int>("row");
    QTest::newRow("the hottest line") << int{kHotSpotLineList} << 0;
    QTest::newRow("a line far down") << int{kHotSpotLineList} << 12;
    QTest::newRow("a procedure: its first line") << int{kHotSpotProcedureList} << 3;
}

void HotSpotsTest::doubleClickShowsTheLineInTheReport() {
    QFETCH(int, list);
    QFETCH(int, row);
    Loaded f;
    HotSpotsWindow* window = OpenWithF4(f);
    window->Tabs()->setCurrentIndex(list == kHotSpotLineList ? 0 : 1);
    ListView& view = *window->List(list);
    ListView& report = f.List(kReportList);
    report.scrollToBottom();
    const QPoint at = view.visualRect(view.Model().index(row, 0)).center();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, at);
    const std::vector<std::int32_t>& targets =
        list == kHotSpotLineList ? window->Lists().LineTargets : window->Lists().ProcedureTargets;
    const int line = targets[static_cast<std::size_t>(row)] - 1;
    QCOMPARE(f.Rows(kReportList).FirstSelectedRow(), line);
    QCOMPARE(report.selectionModel()->selectedRows().size(), 1);
    QVERIFY(report.viewport()->rect().contains(
        report.visualRect(report.Model().index(line, 1)).center()));
    if (list == kHotSpotProcedureList) {
        const std::string code = f.Rows(kReportList).CellText(line, kCodeColumn);
        QVERIFY2(code.rfind("Procedure", 0) == 0, code.c_str());
    }
}

void HotSpotsTest::itEmptiesWhenAnotherProgramIsChosen() {
    // The examples' program first, then "other.pb" with an older run. (Choosing the program
    // whose runs are listed again changes nothing.)
    Loaded f(false, true, true);
    HotSpotsWindow* window = OpenWithF4(f);
    QVERIFY(window->Lists().Lines.RowCount() > 0);
    emit f.Window().Combo(kProgramCombo)->activated(0);
    QVERIFY(window->Lists().Lines.RowCount() > 0);
    emit f.Window().Combo(kProgramCombo)->activated(1);
    QCOMPARE(window->Lists().Lines.RowCount(), std::size_t{0});
    QCOMPARE(window->Lists().Procedures.RowCount(), std::size_t{0});
    QCOMPARE(window->List(kHotSpotLineList)->Model().rowCount(), 0);
    QCOMPARE(window->Summary()->text(), QString("No run loaded"));
    // Loading a run fills it again.
    emit f.Window().Combo(kProgramCombo)->activated(0);
    f.ClickRow(kRunList, 1);
    QVERIFY(window->Lists().Lines.RowCount() > 0);
}

QTEST_MAIN(HotSpotsTest)
#include "hot_spots_test.moc"
