// Time of RefreshReport (figures, heat colours, one model signal, the bird's view) and of a
// whole report event for 100,000 lines. Prints the median of several runs; the limit is 30 ms.
#include "analysis/attribution.h"
#include "scripted_requesters.h"
#include "ui/analyzer_controller.h"
#include "ui/heat_view.h"
#include "ui/list_view.h"
#include "ui/main_window.h"
#include "ui/resize_rules.h"
#include "ui/widget_resize_host.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>

using namespace tickscope;

namespace {
constexpr int kLines = 100000;
constexpr int kRuns = 15;

// 100,000 lines of code, every third one executed by one of two threads.
struct BigReport {
    AnalyzerLists lists;
    AnalyzerSettings settings;
    LoadedRun run;
    MainWindow window{lists};

    BigReport() {
        for (int i = 0; i < kLines; ++i) {
            const char* code = i % 50 == 0    ? "Procedure Work(x)"
                               : i % 50 == 49 ? "EndProcedure"
                                              : "  x = x + 1";
            lists.ReportList.AddRow({"", "1", std::to_string(i + 1), "", "", code}).Checked =
                i % 7 != 0;
            LineOfCode& line = run.Program.LinesOfCode.emplace_back();
            line.SourceFileId = 1;
            line.LineNumber = i + 1;
            line.Code = code;
        }
        RunAnalysis& analysis = run.Analysis;
        ResetAttribution(analysis, run.Program.LinesOfCode);
        std::int64_t clock = 0;
        for (int i = 0; i < kLines; i += 3) {
            for (int hit = 0; hit <= i % 5; ++hit) {
                EntryRecord entry{1 + i % 2, 64, 1, i + 1, 1, kStartEntry, clock};
                AttributeEntry(analysis, entry);
                clock += 100 + i % 1000;
                entry.StartOrStop = kStopEntry;
                entry.Nanos = clock;
                AttributeEntry(analysis, entry);
            }
        }
        lists.ThreadList.AddRow({"", "1", "***main***"}).Checked = true;
        lists.ThreadList.AddRow({"", "2", "***main***"}).Checked = true;
        window.List(kReportList)->Refresh();
        window.show();
    }
};

template <typename Work> double MedianMilliseconds(Work work) {
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
} // namespace

class RefreshBenchmark : public QObject {
    Q_OBJECT
  private slots:
    void refreshReport();
    void reportEvent();
};

void RefreshBenchmark::refreshReport() {
    BigReport report;
    HeatView heat(report.window, report.settings, report.run);
    heat.RefreshReport();
    QVERIFY(!report.lists.ReportList.CellText(0, kHitsColumn).empty());
    const double median = MedianMilliseconds([&] { heat.RefreshReport(); });
    qInfo("RefreshReport, %d lines: median %.2f ms of %d runs (limit 30 ms)", kLines, median,
          kRuns);
    const double painted = MedianMilliseconds([&] {
        heat.RefreshReport();
        report.window.repaint();
    });
    qInfo("RefreshReport and repainting the window: median %.2f ms", painted);
}

void RefreshBenchmark::reportEvent() {
    // What a click into the report costs: the resize pass, RefreshReport, the column buttons.
    BigReport report;
    tickscope::testing::ScriptedRequesters requesters;
    tickscope::testing::ScriptedChooser chooser;
    RunCatalogue catalogue;
    WidgetResizeHost host(kMainWindowId, &report.window,
                          [&](int id) { return report.window.Control(id); });
    ResizeManager resize(host);
    for (int id : {kReportList, kBirdsViewHelper, kThreadsFrame, kThreadList}) {
        resize.RegisterResizeRule(kMainWindowId, id, 0, 0, 1, 1, false);
    }
    class NoProgress : public ProgressSink {
        void ShowProgress(std::int64_t, const std::string&, std::int64_t) override {}
    } progress;
    AnalyzerController controller(
        AnalyzerParts{report.window, catalogue, requesters, chooser, progress, resize});
    const AnalyzerEvent click = AnalyzerEvent::Control(kReportList, ControlEventType::Change);
    const double median = MedianMilliseconds([&] { controller.Dispatch(click); });
    qInfo("one report event (resize pass, RefreshReport, column buttons): median %.2f ms", median);
}

QTEST_MAIN(RefreshBenchmark)
#include "refresh_benchmark.moc"
