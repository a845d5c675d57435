// Heat colours of the report as the window shows them, and the bird's view picture.
#include "analysis/attribution.h"
#include "ui/heat_view.h"
#include "ui/list_view.h"
#include "ui/main_window.h"
#include "ui/report_colours.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

using namespace tickscope;

namespace {

// A report of hand-made lines with a given number of hits and nanoseconds per hit, all on
// one thread, shown in a main window.
struct Report {
    AnalyzerLists lists;
    AnalyzerSettings settings;
    LoadedRun run;
    MainWindow window{lists};
    HeatView heat{window, settings, run};

    struct Line {
        std::string Code;
        int Hits;
        std::int64_t Nanos; // per hit
        bool Checked;
    };

    explicit Report(const std::vector<Line>& lines) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            LineOfCode& line = run.Program.LinesOfCode.emplace_back();
            line.SourceFileId = 1;
            line.LineNumber = static_cast<int>(i + 1);
            line.Code = lines[i].Code;
            lists.ReportList.AddRow({"", "1", std::to_string(i + 1), "", "", lines[i].Code})
                .Checked = lines[i].Checked;
        }
        RunAnalysis& analysis = run.Analysis;
        ResetAttribution(analysis, run.Program.LinesOfCode);
        std::int64_t clock = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            for (int hit = 0; hit < lines[i].Hits; ++hit) {
                EntryRecord entry{7, 100,         1,    static_cast<std::int32_t>(i + 1),
                                  1, kStartEntry, clock};
                AttributeEntry(analysis, entry);
                clock += lines[i].Nanos;
                entry.StartOrStop = kStopEntry;
                entry.Nanos = clock;
                AttributeEntry(analysis, entry);
            }
        }
        if (!analysis.Threads().empty()) {
            lists.ThreadList.AddRow({"", "7", "***main***"}).Checked = true;
        }
        window.List(kReportList)->Refresh();
        window.show();
    }

    QVariant Role(int row, int column, int role) {
        ListModel& model = window.List(kReportList)->Model();
        return model.data(model.index(row, column), role);
    }
    QColor Background(int row, int column) {
        return Role(row, column, Qt::BackgroundRole).value<QColor>();
    }
    QColor Text(int row, int column) {
        return Role(row, column, Qt::ForegroundRole).value<QColor>();
    }
    QString Cell(int row, int column) { return Role(row, column, Qt::DisplayRole).toString(); }
    QImage Picture() { return window.BirdsViewImage()->pixmap().toImage(); }
};

const QColor kGrey(100, 100, 100);
const QColor kLightGrey(200, 200, 200);

} // namespace

class HeatViewTest : public QObject {
    Q_OBJECT
  private slots:
    void heatOfHits_data();
    void heatOfHits();
    void uncheckedLinesAreGreyAndDoNotScale();
    void codeColumnMarks_data();
    void codeColumnMarks();
    void timesInMilliseconds();
    void findMarkSurvivesARefresh();
    void birdsViewWithoutRows();
    void birdsViewOfAThousandRows();
    void birdsViewFollowsTheHelper();
    void clickOnASingleRowDoesNothing();
    void clickScrollsTheReport();
};

void HeatViewTest::heatOfHits_data() {
    QTest::addColumn<QList<int>>("hits");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<QList<int>>("reds");
    QTest::newRow("largest is full red, half is 128 (127.5 to even)")
        << QList<int>{400, 200, 10} << 0 << QList<int>{255, 128, 6};
    QTest::newRow("threshold 100: 400 capped at full red, 10 gives 26 (25.5 to even)")
        << QList<int>{400, 10, 100} << 100 << QList<int>{255, 26, 255};
    QTest::newRow("one line alone is full red") << QList<int>{3} << 0 << QList<int>{255};
    QTest::newRow("a threshold above every value") << QList<int>{1, 2} << 1000 << QList<int>{0, 1};
}

void HeatViewTest::heatOfHits() {
    QFETCH(QList<int>, hits);
    QFETCH(int, threshold);
    QFETCH(QList<int>, reds);
    std::vector<Report::Line> lines;
    for (int h : hits) {
        lines.push_back({"x = 1", h, 1000, true});
    }
    Report report(lines);
    report.settings.MaxHitsForFullRed = threshold;
    report.heat.RefreshReport();
    for (int row = 0; row < hits.size(); ++row) {
        QCOMPARE(report.Cell(row, kHitsColumn), QString::number(hits[row]));
        QCOMPARE(report.Background(row, kHitsColumn), QColor(reds[row], 0, 0));
        QCOMPARE(report.Text(row, kHitsColumn), QColor(255, 255, 255));
        QCOMPARE(report.Background(row, kFileColumn), kLightGrey);
        QCOMPARE(report.Text(row, kCodeColumn), QColor(0, 0, 0));
    }
}

void HeatViewTest::uncheckedLinesAreGreyAndDoNotScale() {
    Report report({{"a", 400, 1000, false}, {"b", 200, 1000, true}, {"c", 0, 0, true}});
    report.heat.RefreshReport();
    // The unchecked line keeps its numbers, light grey on dark grey.
    QCOMPARE(report.Cell(0, kHitsColumn), QString("400"));
    QCOMPARE(report.Background(0, kHitsColumn), kGrey);
    QCOMPARE(report.Text(0, kHitsColumn), kLightGrey);
    QCOMPARE(report.Background(0, kTimeColumn), kGrey);
    // The largest checked value is now 200.
    QCOMPARE(report.Background(1, kHitsColumn), QColor(255, 0, 0));
    // A line without results: empty, grey.
    QCOMPARE(report.Cell(2, kHitsColumn), QString());
    QCOMPARE(report.Cell(2, kTimeColumn), QString());
    QCOMPARE(report.Background(2, kHitsColumn), kGrey);
    QCOMPARE(report.Text(2, kCodeColumn), kGrey);
}

void HeatViewTest::codeColumnMarks_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("hits");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("procedure with a return type")
        << "Procedure.s Name(x)" << 1 << QColor(0, 200, 0);
    QTest::newRow("ProcedureDLL") << "ProcedureDLL Attach()" << 0 << QColor(0, 200, 0);
    QTest::newRow("ProcedureCDLL") << "  procedurecdll f()" << 0 << QColor(0, 200, 0);
    QTest::newRow("end of procedure") << "EndProcedure" << 1 << QColor(200, 0, 0);
    QTest::newRow("ProcedureReturn is neither") << "ProcedureReturn x" << 1 << QColor(0, 0, 0);
    QTest::newRow("in a comment it is neither") << "x = 1 ; Procedure" << 0 << kGrey;
    QTest::newRow("in a string it is neither") << "a$ = \"EndProcedure\"" << 1 << QColor(0, 0, 0);
}

void HeatViewTest::codeColumnMarks() {
    QFETCH(QString, code);
    QFETCH(int, hits);
    QFETCH(QColor, colour);
    Report report({{code.toStdString(), hits, 10, true}});
    report.heat.RefreshReport();
    QCOMPARE(report.Text(0, kCodeColumn), colour);
}

void HeatViewTest::timesInMilliseconds() {
    Report report({{"a", 1, 2000000, true}, {"b", 2, 750000, true}, {"c", 1, 1, true}});
    report.heat.RefreshReport();
    QCOMPARE(report.Cell(0, kTimeColumn), QString("2."));
    QCOMPARE(report.Cell(1, kTimeColumn), QString("1.5"));
    QCOMPARE(report.Cell(2, kTimeColumn), QString("0.000001"));
    QCOMPARE(report.Background(0, kTimeColumn), QColor(255, 0, 0));
    QCOMPARE(report.Background(1, kTimeColumn), QColor(191, 0, 0)); // 191.25
    report.settings.MaxTimeForFullRed = 1;
    report.heat.RefreshReport();
    QCOMPARE(report.Background(1, kTimeColumn), QColor(255, 0, 0));
}

void HeatViewTest::findMarkSurvivesARefresh() {
    Report report({{"a", 1, 10, true}, {"b", 1, 10, true}});
    report.lists.ReportList.Rows[1].Cells[kCodeColumn].Background = kFindMark;
    report.heat.RefreshReport();
    QCOMPARE(report.Background(1, kCodeColumn), QColor(255, 255, 0));
    QCOMPARE(report.Background(0, kCodeColumn), QColor(255, 255, 255));
}

void HeatViewTest::birdsViewWithoutRows() {
    Report report({});
    report.heat.RefreshReport();
    const QImage picture = report.Picture();
    QCOMPARE(picture.size(), QSize(18, 424));
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            QCOMPARE(QColor(picture.pixel(x, y)), kGrey);
        }
    }
    QCOMPARE(report.window.BirdsViewImage()->geometry(), QRect(771, 54, 18, 424));
}

void HeatViewTest::birdsViewOfAThousandRows() {
    // One hot line among 999 cold ones; the cold ones are black, the hot one full red.
    std::vector<Report::Line> lines(1000, Report::Line{"x", 1, 1, true});
    lines[500] = {"hot", 1000, 1000000, true};
    lines[900].Checked = false; // grey: leaves its band alone
    Report report(lines);
    report.heat.RefreshReport();
    const QImage picture = report.Picture();
    QCOMPARE(picture.size(), QSize(18, 424));
    // Row 500 starts at 500 * 0.424 = 212, and a band is one pixel high.
    QCOMPARE(QColor(picture.pixel(2, 212)), QColor(255, 0, 0));  // hits half
    QCOMPARE(QColor(picture.pixel(12, 212)), QColor(255, 0, 0)); // time half
    for (int y : {0, 100, 211, 213, 423}) {
        QCOMPARE(QColor(picture.pixel(2, y)), QColor(0, 0, 0));
        QCOMPARE(QColor(picture.pixel(12, y)), QColor(0, 0, 0));
    }
}

void HeatViewTest::birdsViewFollowsTheHelper() {
    Report report({{"a", 1, 10, true}});
    report.window.Control(kBirdsViewHelper)->setGeometry(700, 60, 30, 200);
    report.heat.DrawBirdsView();
    QCOMPARE(report.window.BirdsViewImage()->geometry(), QRect(700, 60, 30, 200));
    QCOMPARE(report.Picture().size(), QSize(30, 200));
    // A helper squeezed to nothing gives no picture but no failure either.
    report.window.Control(kBirdsViewHelper)->setGeometry(700, 60, 0, 0);
    report.heat.DrawBirdsView();
    QVERIFY(report.window.BirdsViewImage()->pixmap().isNull());
}

void HeatViewTest::clickOnASingleRowDoesNothing() {
    Report report({{"a", 1, 10, true}});
    report.lists.ReportList.SelectOnly(0);
    report.window.List(kReportList)->ShowSelectionFromData();
    report.heat.ScrollFromBirdsView(54 + 300);
    QCOMPARE(report.lists.ReportList.FirstSelectedRow(), 0);
}

void HeatViewTest::clickScrollsTheReport() {
    Report report(std::vector<Report::Line>(1000, Report::Line{"x", 1, 1, true}));
    report.heat.RefreshReport();
    ListView& list = *report.window.List(kReportList);
    report.lists.ReportList.SelectOnly(3);
    list.ShowSelectionFromData();
    // Half-way down the helper: 212 / (424 / 999) = 499.5, to the even 500.
    report.heat.ScrollFromBirdsView(54 + 212);
    QCOMPARE(list.rowAt(0), 500);
    QCOMPARE(report.lists.ReportList.FirstSelectedRow(), -1);
    QVERIFY(list.selectionModel()->selectedRows().isEmpty());
    // Above the top: the first row.
    report.heat.ScrollFromBirdsView(54);
    QCOMPARE(list.rowAt(0), 0);
}

QTEST_MAIN(HeatViewTest)
#include "heat_view_test.moc"
