// The comparison tool window on the example runs: opened from the run list's context menu
// on a run (old) against the loaded one (new), its procedure and line tables as the
// comparison has them, changes coloured, the order their titles choose, a double-click that
// shows a line of the loaded run in the report, and an empty window once another run loads.
#include "analysis/progress.h"
#include "analysis/run_comparison.h"
#include "analysis/run_loading.h"
#include "loaded_session.h"
#include "ui/comparison_window.h"
#include "ui/report_commands.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTest>

#include <filesystem>
#include <memory>
#include <numeric>

using namespace tickscope;
using tickscope::testing::kExamples;
using tickscope::testing::Loaded;

namespace {

// Opens the run list's context menu on a row as a right click does (which also selects the
// row); true when it shows.
bool OpenRunMenu(Loaded& f, int row) {
    ListView& runs = f.List(kRunList);
    const QPoint at = runs.visualRect(runs.Model().index(row, 0)).center();
    QTest::mouseClick(runs.viewport(), Qt::RightButton, {}, at);
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, runs.viewport()->mapToGlobal(at));
    QApplication::sendEvent(runs.viewport(), &click);
    return QTest::qWaitFor([&] { return f.Window().RunMenu()->isVisible(); });
}

// "Compare with..." on the run list's row `row`.
ComparisonWindow* CompareWith(Loaded& f, int row) {
    if (!OpenRunMenu(f, row)) {
        return nullptr;
    }
    QMenu* menu = f.Window().RunMenu();
    menu->actions().front()->trigger();
    menu->hide();
    return f.session.Controller().Comparison();
}

// The comparison the window should show: the run of `row` against the loaded one, every
// thread, total times.
struct Expected {
    std::unique_ptr<RunSummary> Old;
    std::unique_ptr<RunSummary> New;
    RunComparison Result;
};

Expected Compare(Loaded& f, int row) {
    SilentProgress progress;
    const auto runs =
        RunsOfProgram(f.session.Catalogue(), f.Window().Lists().ProgramCombo.SelectedText());
    LoadedRun older = LoadRun(*runs[static_cast<std::size_t>(row)], progress);
    const LoadedRun& newer = f.session.Controller().Run();
    Expected expected;
    expected.Old = std::make_unique<RunSummary>(
        SummariseRun(std::move(older), ThreadChecks(older.Threads.size(), true), TimeMode::All));
    expected.New = std::make_unique<RunSummary>(
        SummariseRun(newer, ThreadChecks(newer.Threads.size(), true), TimeMode::All));
    expected.Result = CompareRuns(*expected.Old, *expected.New);
    return expected;
}

void ClickTitle(ListView& view, int column) {
    QHeaderView* header = view.horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
}

void DoubleClickRow(ListView& view, int row) {
    view.scrollTo(view.Model().index(row, 1));
    const QPoint at = view.visualRect(view.Model().index(row, 1)).center();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class ComparisonWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void theRunMenuOpensItBesideTheUnchangedMainWindow();
    void tablesShowTheComparison();
    void changesAreColouredByTheirSign();
    void titlesOrderTheTables_data();
    void titlesOrderTheTables();
    void doubleClickShowsALineOfTheLoadedRun();
    void aRunComparedWithItselfChangesNothing();
    void itEmptiesWhenAnotherRunLoads();
    void withoutALoadedRunItSaysSo();
};

void ComparisonWindowTest::initTestCase() {
    if (!std::filesystem::exists(kExamples)) {
        QSKIP("the example runs (examples/home/Tickscope) are not there");
    }
}

void ComparisonWindowTest::theRunMenuOpensItBesideTheUnchangedMainWindow() {
    Loaded f;
    const QRect place = f.Window().geometry();
    const QString title = f.Window().windowTitle();
    QVERIFY(!f.session.Controller().Comparison());
    QVERIFY(OpenRunMenu(f, 1));
    QMenu* menu = f.Window().RunMenu();
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions().front()->text(), QString::fromUtf8("Compare with\u2026"));
    // The right click selected the run; closing the menu shows the loaded run selected again,
    // and nothing is compared.
    QCOMPARE(f.Rows(kRunList).FirstSelectedRow(), 1);
    menu->hide();
    QVERIFY(QTest::qWaitFor([&] { return f.Rows(kRunList).FirstSelectedRow() == 0; }));
    QCOMPARE(f.List(kRunList).selectionModel()->selectedRows().size(), 1);
    QCOMPARE(f.List(kRunList).selectionModel()->selectedRows().front().row(), 0);
    QVERIFY(!f.session.Controller().Comparison());
    ComparisonWindow* window = CompareWith(f, 1);
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QString("Comparison"));
    QVERIFY(window->windowFlags() & Qt::Tool);
    QCOMPARE(window->parentWidget(), &f.Window());
    QCOMPARE(window->Tabs()->count(), 2);
    QCOMPARE(window->Tabs()->tabText(0), QString("Procedures"));
    QCOMPARE(window->Tabs()->tabText(1), QString("Lines"));
    // The main window keeps its place, title and controls, the loaded run stays loaded and
    // selected in the run list.
    QCOMPARE(f.Window().geometry(), place);
    QCOMPARE(f.Window().windowTitle(), title);
    QCOMPARE(f.List(kReportList).geometry(), QRect(280, 35, 490, 480));
    QCOMPARE(f.Rows(kRunList).FirstSelectedRow(), 0);
    QCOMPARE(f.session.Controller().LoadedRecord(),
             RunsOfProgram(f.session.Catalogue(), f.Window().Lists().ProgramCombo.SelectedText())
                 .front());
    // A second comparison uses the same window.
    QCOMPARE(CompareWith(f, 2), window);
}

void ComparisonWindowTest::tablesShowTheComparison() {
    Loaded f;
    ComparisonWindow* window = CompareWith(f, 1);
    QVERIFY(window);
    const Expected expected = Compare(f, 1);
    const ComparisonLists& lists = window->Lists();
    QCOMPARE(lists.Lines.RowCount(), expected.Result.Lines.size());
    QCOMPARE(lists.Procedures.RowCount(), expected.Result.Procedures.size());
    QCOMPARE(window->List(kComparisonLineList)->Model().rowCount(),
             static_cast<int>(lists.Lines.RowCount()));
    // The same program edited by nobody: every line matched, in the report's order.
    const ComparisonTexts texts({*expected.Old, *expected.New, expected.Result});
    for (std::size_t i = 0; i < expected.Result.Lines.size(); ++i) {
        const LineComparison& line = expected.Result.Lines[i];
        QCOMPARE(line.Status, MatchStatus::Matched);
        QCOMPARE(lists.LineTargets[i], line.New.LineId);
        const LineRowTexts t = texts.Line(line);
        QCOMPARE(lists.Lines.CellText(i, kCmpOldTimeColumn), t.OldTime);
        QCOMPARE(lists.Lines.CellText(i, kCmpNewTimeColumn), t.NewTime);
        QCOMPARE(lists.Lines.CellText(i, kCmpLineDeltaColumn), SignedText(t.DeltaTime));
        QCOMPARE(lists.Lines.CellText(i, kCmpNewPlaceColumn), t.NewFileId + ":" + t.NewLine);
    }
    // A line's tooltip names the files of both runs.
    ListModel& model = window->List(kComparisonLineList)->Model();
    const LineRowTexts first = texts.Line(expected.Result.Lines.front());
    const QString tip = model.data(model.index(0, kCmpOldPlaceColumn), Qt::ToolTipRole).toString();
    QVERIFY2(
        tip.contains(QString::fromStdString("Old: " + first.OldFile + ", line " + first.OldLine)),
        qPrintable(tip));
    QVERIFY2(
        tip.contains(QString::fromStdString("New: " + first.NewFile + ", line " + first.NewLine)),
        qPrintable(tip));
    for (std::size_t i = 0; i < expected.Result.Procedures.size(); ++i) {
        const ProcedureRowTexts t = ComparisonTexts::Procedure(expected.Result.Procedures[i]);
        QCOMPARE(lists.Procedures.CellText(i, kCmpNameColumn), t.Name);
        QCOMPARE(lists.Procedures.CellText(i, kCmpOldTotalColumn), t.OldTotal);
        QCOMPARE(lists.Procedures.CellText(i, kCmpNewTotalColumn), t.NewTotal);
        QCOMPARE(lists.Procedures.CellText(i, kCmpProcedureDeltaPercentColumn),
                 SignedText(t.DeltaPercent));
    }
    const std::string percent =
        DeltaPercent(expected.Result.OldRunNanos, expected.Result.NewRunNanos);
    QVERIFY2(window->Summary()->text().contains(QString::fromStdString(
                 "Run time " + FormatMilliseconds(expected.Result.OldRunNanos) + " ms -> " +
                 FormatMilliseconds(expected.Result.NewRunNanos) + " ms (" + SignedText(percent) +
                 " %)")),
             qPrintable(window->Summary()->text()));
}

void ComparisonWindowTest::changesAreColouredByTheirSign() {
    Loaded f;
    ComparisonWindow* window = CompareWith(f, 1);
    QVERIFY(window);
    const RunComparison& result = *window->Comparison();
    int slower = 0;
    int faster = 0;
    ListModel& model = window->List(kComparisonLineList)->Model();
    for (std::size_t i = 0; i < result.Lines.size(); ++i) {
        const std::int64_t delta = TimeDelta(result.Lines[i]).value_or(0);
        const QColor expected = delta > 0   ? QColor(200, 0, 0)
                                : delta < 0 ? QColor(0, 140, 0)
                                            : QColor(0, 0, 0);
        for (const int column : {kCmpLineDeltaColumn, kCmpLineDeltaPercentColumn}) {
            const QModelIndex cell = model.index(static_cast<int>(i), column);
            QCOMPARE(model.data(cell, Qt::ForegroundRole).value<QColor>(), expected);
        }
        QCOMPARE(model.data(model.index(static_cast<int>(i), kCmpOldTimeColumn), Qt::ForegroundRole)
                     .value<QColor>(),
                 QColor(0, 0, 0));
        slower += delta > 0;
        faster += delta < 0;
    }
    // The two example runs differ in their input: some lines got slower, some faster.
    QVERIFY(slower > 0);
    QVERIFY(faster > 0);
}

void ComparisonWindowTest::titlesOrderTheTables_data() {
    QTest::addColumn<int>("list");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");     // -1: the comparison's order
    QTest::addColumn<int>("indicator"); // -1: none
    const int delta = static_cast<int>(ComparisonOrder::Delta);
    const int old = static_cast<int>(ComparisonOrder::Old);
    const int fresh = static_cast<int>(ComparisonOrder::New);
    QTest::newRow("lines by delta") << int{kComparisonLineList} << int{kCmpLineDeltaColumn} << delta
                                    << int{kCmpLineDeltaColumn};
    QTest::newRow("lines by delta percent")
        << int{kComparisonLineList} << int{kCmpLineDeltaPercentColumn} << delta
        << int{kCmpLineDeltaColumn};
    QTest::newRow("lines by old time")
        << int{kComparisonLineList} << int{kCmpOldTimeColumn} << old << int{kCmpOldTimeColumn};
    QTest::newRow("lines by new time")
        << int{kComparisonLineList} << int{kCmpNewTimeColumn} << fresh << int{kCmpNewTimeColumn};
    QTest::newRow("lines: the code brings back the comparison's order")
        << int{kComparisonLineList} << int{kCmpCodeColumn} << -1 << -1;
    QTest::newRow("procedures by delta")
        << int{kComparisonProcedureList} << int{kCmpProcedureDeltaColumn} << delta
        << int{kCmpProcedureDeltaColumn};
    QTest::newRow("procedures by old total")
        << int{kComparisonProcedureList} << int{kCmpOldTotalColumn} << old
        << int{kCmpOldTotalColumn};
    QTest::newRow("procedures: the name brings back the comparison's order")
        << int{kComparisonProcedureList} << int{kCmpNameColumn} << -1 << -1;
}

void ComparisonWindowTest::titlesOrderTheTables() {
    QFETCH(int, list);
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(int, indicator);
    Loaded f;
    ComparisonWindow* window = CompareWith(f, 1);
    QVERIFY(window);
    const bool lines = list == kComparisonLineList;
    window->Tabs()->setCurrentIndex(lines ? 1 : 0);
    ListView& view = *window->List(list);
    // First another order, so that a title that brings back the comparison's order shows.
    ClickTitle(view, lines ? int{kCmpNewTimeColumn} : int{kCmpNewTotalColumn});
    ClickTitle(view, column);
    const RunComparison& result = *window->Comparison();
    std::vector<std::size_t> rows;
    if (order < 0) {
        rows.resize(lines ? result.Lines.size() : result.Procedures.size());
        std::iota(rows.begin(), rows.end(), std::size_t{0});
    } else {
        rows = lines ? RankComparedLines(result, static_cast<ComparisonOrder>(order))
                     : RankComparedProcedures(result, static_cast<ComparisonOrder>(order));
    }
    const ComparisonLists& shown = window->Lists();
    QCOMPARE((lines ? shown.Lines : shown.Procedures).RowCount(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (lines) {
            QCOMPARE(shown.LineTargets[r], result.Lines[rows[r]].New.LineId);
        } else {
            QCOMPARE(shown.Procedures.CellText(r, kCmpNameColumn),
                     ComparisonTexts::Procedure(result.Procedures[rows[r]]).Name);
        }
    }
    QCOMPARE(view.horizontalHeader()->sortIndicatorSection(), indicator);
}

void ComparisonWindowTest::doubleClickShowsALineOfTheLoadedRun() {
    Loaded f;
    ComparisonWindow* window = CompareWith(f, 2);
    QVERIFY(window);
    window->Tabs()->setCurrentIndex(1);
    ListView& lines = *window->List(kComparisonLineList);
    const int row = static_cast<int>(window->Lists().Lines.RowCount()) - 3;
    DoubleClickRow(lines, row);
    const int line = window->Lists().LineTargets[static_cast<std::size_t>(row)] - 1;
    QVERIFY(line >= 0);
    ListView& report = f.List(kReportList);
    QCOMPARE(f.Rows(kReportList).FirstSelectedRow(), line);
    QCOMPARE(report.selectionModel()->selectedRows().size(), 1);
    QVERIFY(report.viewport()->rect().contains(
        report.visualRect(report.Model().index(line, 1)).center()));
    // A procedure leads to its first line in the loaded run.
    window->Tabs()->setCurrentIndex(0);
    ListView& procedures = *window->List(kComparisonProcedureList);
    DoubleClickRow(procedures, 1);
    const int first = window->Lists().ProcedureTargets[1] - 1;
    QCOMPARE(f.Rows(kReportList).FirstSelectedRow(), first);
    const std::string code = f.Rows(kReportList).CellText(first, kCodeColumn);
    QVERIFY2(code.rfind("Procedure", 0) == 0, code.c_str());
}

void ComparisonWindowTest::aRunComparedWithItselfChangesNothing() {
    Loaded f;
    ComparisonWindow* window = CompareWith(f, 0); // the loaded run
    QVERIFY(window);
    const ComparisonLists& lists = window->Lists();
    QVERIFY(lists.Lines.RowCount() > 0);
    for (std::size_t i = 0; i < lists.Lines.RowCount(); ++i) {
        const std::string& delta = lists.Lines.CellText(i, kCmpLineDeltaColumn);
        QVERIFY2(delta.empty() || delta == "0.", delta.c_str());
        QCOMPARE(lists.Lines.Rows[i].Cells[kCmpLineDeltaColumn].TextColour, kBlack);
    }
    for (std::size_t i = 0; i < lists.Procedures.RowCount(); ++i) {
        QCOMPARE(lists.Procedures.CellText(i, kCmpProcedureDeltaColumn), std::string("0."));
        QCOMPARE(lists.Procedures.CellText(i, kCmpProcedureDeltaPercentColumn),
                 std::string("0.00"));
    }
}

void ComparisonWindowTest::itEmptiesWhenAnotherRunLoads() {
    Loaded f;
    ComparisonWindow* window = CompareWith(f, 1);
    QVERIFY(window);
    QVERIFY(window->Lists().Lines.RowCount() > 0);
    f.ClickRow(kRunList, 2);
    QCOMPARE(window->Lists().Lines.RowCount(), std::size_t{0});
    QCOMPARE(window->Lists().Procedures.RowCount(), std::size_t{0});
    QCOMPARE(window->Summary()->text(), QString("No comparison"));
    // A double-click on nothing selects nothing.
    QCOMPARE(window->ChosenLine(kComparisonLineList), 0);
}

void ComparisonWindowTest::withoutALoadedRunItSaysSo() {
    Loaded f(false, false);
    QVERIFY(CompareWith(f, 1) == nullptr);
    QCOMPARE(f.requesters.Messages.back(), std::string(kCompareWithoutRunMessage));
}

QTEST_MAIN(ComparisonWindowTest)
#include "comparison_window_test.moc"
