// The presenter: the figures of a run written into the report's cells, with the colours the
// window shows, and the lists filled from a loaded run.
#include "ui/report_presenter.h"

#include "analysis/attribution_fixtures.h"
#include "ui/action_menu.h"
#include "ui/report_colours.h"

#include <gtest/gtest.h>

#include <set>

namespace tickscope {
namespace {

using testing::Entry;
constexpr bool S = true;
constexpr bool T = false;

constexpr Rgb Red(int r) {
    return MakeRgb(r, 0, 0);
}

// A loaded run of the given code lines (file 1, lines 1..n) with the entries attributed,
// shown in the lists with every line and thread checked.
struct Report {
    AnalyzerLists Lists;
    LoadedRun Run;

    Report(const std::vector<std::string>& code, const std::vector<EntryRecord>& entries) {
        std::vector<testing::ReportLine> lines;
        for (std::size_t i = 0; i < code.size(); ++i) {
            lines.push_back({1, static_cast<std::int32_t>(i + 1), code[i]});
        }
        Run.Program.LinesOfCode = testing::LinesOf(lines);
        ResetAttribution(Run.Analysis, Run.Program.LinesOfCode);
        testing::Attribute(Run.Analysis, entries);
        for (const ThreadNode& thread : Run.Analysis.Threads()) {
            Run.Threads.push_back({thread.ThreadId, ""});
        }
        ShowLoadedRun(Lists, Run);
    }
    // What a refresh of the window does.
    void Refresh(std::int32_t maxHits = 0, std::int32_t maxTime = 0) {
        ShowReportFigures(Lists.ReportList,
                          ComputeReportFigures(Run.Analysis, ThreadChecksOf(Lists.ThreadList),
                                               LineChecksOf(Lists.ReportList),
                                               TimeModeOf(Lists.ModeCombo), {maxHits, maxTime}));
    }
    const ListCell& Cell(std::size_t row, int column) const {
        return Lists.ReportList.Rows[row].Cells[static_cast<std::size_t>(column)];
    }
};

// `hits` executions of `line` in thread 1, each `nanos` long.
void Executions(std::vector<EntryRecord>& entries, int line, int hits, std::int64_t nanos) {
    for (int i = 0; i < hits; ++i) {
        entries.push_back(Entry(1, line, S, 0));
        entries.push_back(Entry(1, line, T, nanos));
    }
}

TEST(ReportPresenterTest, HeatColoursTheCheckedLinesAndGreysTheOthers) {
    struct Case {
        const char* Name;
        std::vector<std::pair<int, std::int64_t>> HitsAndNanos; // per line
        std::vector<bool> Checked;
        int MaxHits, MaxTime;
        std::vector<Rgb> HitsBackground, TimeBackground;
    };
    const Rgb grey = kGreyFigureBackground;
    // clang-format off
    const std::vector<Case> cases = {
        {"largest is full red, half is 128", {{4, 1000000}, {2, 1000000}}, {true, true}, 0, 0,
         {Red(255), Red(128)}, {Red(255), Red(128)}},
        {"hits threshold 100", {{400, 10}, {10, 10}}, {true, true}, 100, 0,
         {Red(255), Red(26)}, {Red(255), Red(6)}},
        {"time threshold 2 ms", {{1, 1000000}, {1, 4000000}, {1, 500000}}, {true, true, true}, 0, 2,
         {Red(255), Red(255), Red(255)}, {Red(128), Red(255), Red(64)}},
        {"an unchecked line is grey and does not count", {{10, 9000000}, {5, 1000000}},
         {false, true}, 0, 0, {grey, Red(255)}, {grey, Red(255)}},
        {"a negative threshold gives black", {{4, 100}, {2, 100}}, {true, true}, -5, -1,
         {Red(0), Red(0)}, {Red(0), Red(0)}},
        {"no completed execution: largest 0 gives black", {{0, 0}, {0, 0}}, {true, true}, 0, 0,
         {Red(0), Red(0)}, {Red(0), Red(0)}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string> code(c.HitsAndNanos.size(), "x = 1");
        std::vector<EntryRecord> entries;
        for (std::size_t i = 0; i < c.HitsAndNanos.size(); ++i) {
            const int line = static_cast<int>(i + 1);
            const auto [hits, nanos] = c.HitsAndNanos[i];
            if (hits == 0) {
                entries.push_back(Entry(1, line, S, 0)); // started, never stopped
            }
            Executions(entries, line, hits, nanos);
        }
        Report report(code, entries);
        for (std::size_t i = 0; i < c.Checked.size(); ++i) {
            report.Lists.ReportList.Rows[i].Checked = c.Checked[i];
        }
        report.Refresh(c.MaxHits, c.MaxTime);
        for (std::size_t i = 0; i < c.Checked.size(); ++i) {
            SCOPED_TRACE("row " + std::to_string(i));
            EXPECT_EQ(report.Cell(i, kHitsColumn).Text, std::to_string(c.HitsAndNanos[i].first));
            EXPECT_EQ(report.Cell(i, kHitsColumn).Background, c.HitsBackground[i]);
            EXPECT_EQ(report.Cell(i, kTimeColumn).Background, c.TimeBackground[i]);
            const Rgb text = c.Checked[i] ? kWhite : kGreyFigureText;
            EXPECT_EQ(report.Cell(i, kHitsColumn).TextColour, text);
            EXPECT_EQ(report.Cell(i, kTimeColumn).TextColour, text);
            EXPECT_EQ(report.Cell(i, kCodeColumn).TextColour, kBlack);
        }
    }
}

TEST(ReportPresenterTest, TextsFollowTheModeAndTheCheckedThreads) {
    struct Case {
        const char* Name;
        int Mode;
        std::vector<bool> ThreadChecks;
        std::vector<std::string> Hits, Time;
    };
    // Line 1: 1200 and 800 ns in thread 1; line 2: 2 ms in thread 2; line 3: never run.
    const std::vector<EntryRecord> entries = {Entry(1, 1, S, 0),    Entry(1, 1, T, 1200),
                                              Entry(1, 1, S, 2000), Entry(1, 1, T, 2800),
                                              Entry(2, 2, S, 0),    Entry(2, 2, T, 2000000)};
    const std::vector<Case> cases = {
        {"all", 0, {true, true}, {"2", "1", ""}, {"0.002", "2.", ""}},
        {"avg", 1, {true, true}, {"2", "1", ""}, {"0.001", "2.", ""}},
        {"max", 2, {true, true}, {"2", "1", ""}, {"0.0012", "2.", ""}},
        {"min", 3, {true, true}, {"2", "1", ""}, {"0.0008", "2.", ""}},
        {"no mode", -1, {true, true}, {"2", "1", ""}, {"0.002", "2.", ""}},
        {"second thread only", 0, {false, true}, {"", "1", ""}, {"", "2.", ""}},
        {"no thread", 0, {false, false}, {"", "", ""}, {"", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Report report({"a()", "b()", "c()"}, entries);
        report.Lists.ModeCombo.Selected = c.Mode;
        for (std::size_t p = 0; p < c.ThreadChecks.size(); ++p) {
            report.Lists.ThreadList.Rows[p].Checked = c.ThreadChecks[p];
        }
        for (std::size_t r = 0; r < 3; ++r) { // stale texts of an earlier refresh
            report.Lists.ReportList.Rows[r].Cells[kHitsColumn].Text = "99";
            report.Lists.ReportList.Rows[r].Cells[kTimeColumn].Text = "9.9";
        }
        report.Refresh();
        for (std::size_t r = 0; r < 3; ++r) {
            SCOPED_TRACE("row " + std::to_string(r));
            EXPECT_EQ(report.Cell(r, kHitsColumn).Text, c.Hits[r]);
            EXPECT_EQ(report.Cell(r, kTimeColumn).Text, c.Time[r]);
            const bool counted = !c.Hits[r].empty();
            EXPECT_EQ(report.Cell(r, kCodeColumn).TextColour, counted ? kBlack : kUncountedText);
            EXPECT_EQ(report.Cell(r, kFileColumn).TextColour, kUncountedText);
            EXPECT_EQ(report.Cell(r, kLineColumn).TextColour, kUncountedText);
            EXPECT_EQ(report.Cell(r, kFileColumn).Background, kFileLineBackground);
            EXPECT_EQ(report.Cell(r, kLineColumn).Background, kFileLineBackground);
            if (!counted) {
                EXPECT_EQ(report.Cell(r, kHitsColumn).Background, kGreyFigureBackground);
                EXPECT_EQ(report.Cell(r, kTimeColumn).TextColour, kGreyFigureText);
            }
        }
    }
}

TEST(ReportPresenterTest, ProcedureStartsAndEndsAreMarkedInTheCodeColumn) {
    const std::vector<std::pair<std::string, Rgb>> cases = {
        {"Procedure.i Foo(a)", kProcedureStartText},  {"ProcedureCDLL Both()", kProcedureStartText},
        {"  EndProcedure ; done", kProcedureEndText}, {"ProcedureReturn x", kUncountedText},
        {"; Procedure in a comment", kUncountedText},
    };
    std::vector<std::string> code;
    for (const auto& c : cases) {
        code.push_back(c.first);
    }
    for (bool checked : {true, false}) {
        Report report(code, {});
        report.Lists.ReportList.SetAllChecked(checked);
        report.Refresh();
        for (std::size_t i = 0; i < cases.size(); ++i) {
            EXPECT_EQ(report.Cell(i, kCodeColumn).TextColour, cases[i].second) << cases[i].first;
        }
    }
}

TEST(ReportPresenterTest, UnmatchedEntriesAndTheFindMarkLeaveRowsAlone) {
    std::vector<EntryRecord> entries;
    Executions(entries, 1, 3, 1000);
    Report plain({"a()", "b()"}, entries);
    Executions(entries, 77, 50, 9000000); // no row has line 77
    Report withUnmatched({"a()", "b()"}, entries);
    withUnmatched.Lists.ReportList.Rows[1].Cells[kCodeColumn].Background = kFindMark;
    plain.Refresh();
    withUnmatched.Refresh();
    for (std::size_t r = 0; r < 2; ++r) {
        for (int column : {kFileColumn, kLineColumn, kHitsColumn, kTimeColumn}) {
            EXPECT_EQ(withUnmatched.Cell(r, column).Text, plain.Cell(r, column).Text);
            EXPECT_EQ(withUnmatched.Cell(r, column).Background, plain.Cell(r, column).Background);
            EXPECT_EQ(withUnmatched.Cell(r, column).TextColour, plain.Cell(r, column).TextColour);
        }
    }
    EXPECT_EQ(withUnmatched.Cell(0, kHitsColumn).Background, Red(255));
    EXPECT_EQ(withUnmatched.Cell(1, kCodeColumn).Background, kFindMark);
    EXPECT_EQ(withUnmatched.Lists.ReportList.Columns[kHitsColumn].Title, "Hits");
}

TEST(ReportPresenterTest, RowsWithMissingCellsAreCompleted) {
    AnalyzerLists lists;
    lists.ReportList.Rows.push_back(ListRow{}); // no cells at all
    lists.ReportList.Rows.back().Checked = true;
    const RunAnalysis analysis;
    ShowReportFigures(
        lists.ReportList,
        ComputeReportFigures(analysis, {}, LineChecksOf(lists.ReportList), TimeMode::All, {}));
    ASSERT_EQ(lists.ReportList.Rows[0].Cells.size(), 6u);
    EXPECT_EQ(lists.ReportList.Rows[0].Cells[kHitsColumn].Background, kGreyFigureBackground);
}

TEST(ReportPresenterTest, ALoadedRunFillsTheListsAllChecked) {
    LoadedRun run;
    run.Program.LinesOfCode = testing::LinesOf({{1, 4, "a = 1"}, {2, 7, "Foo()"}});
    run.Program.SourceFileIds.Set("/p/main.pb", 1);
    run.Program.SourceFileIds.Set("/p/inc.pbi", 2);
    run.Threads = {{100, "***main***"}, {-1, ""}};
    AnalyzerLists lists;
    ShowLoadedRun(lists, run);
    ASSERT_EQ(lists.ReportList.RowCount(), 2u);
    EXPECT_EQ(lists.ReportList.CellText(1, kFileColumn), "2");
    EXPECT_EQ(lists.ReportList.CellText(1, kLineColumn), "7");
    EXPECT_EQ(lists.ReportList.CellText(1, kCodeColumn), "Foo()");
    EXPECT_EQ(lists.ReportList.CellText(1, kHitsColumn), "");
    EXPECT_EQ(LineChecksOf(lists.ReportList), LineChecks(2, true));
    ASSERT_EQ(lists.SourceFileList.RowCount(), 2u);
    EXPECT_EQ(lists.SourceFileList.CellText(0, 0), "1");
    EXPECT_EQ(lists.SourceFileList.CellText(1, 1), "/p/inc.pbi");
    ASSERT_EQ(lists.ThreadList.RowCount(), 2u);
    EXPECT_EQ(lists.ThreadList.CellText(1, 1), "-1");
    EXPECT_EQ(lists.ThreadList.CellText(0, 2), "***main***");
    EXPECT_EQ(ThreadChecksOf(lists.ThreadList), ThreadChecks(2, true));

    // Choosing a program empties them again and lists its runs.
    RunRecord older;
    older.Timestamp = 1368783667; // 2013/05/17-09:41:07
    ShowRuns(lists, {&older, &older});
    EXPECT_EQ(lists.ReportList.RowCount(), 0u);
    EXPECT_EQ(lists.ThreadList.RowCount(), 0u);
    EXPECT_EQ(lists.SourceFileList.RowCount(), 0u);
    ASSERT_EQ(lists.RunList.RowCount(), 2u);
    EXPECT_EQ(lists.RunList.CellText(1, 0), "2013/05/17-09:41:07");
    EXPECT_EQ(lists.RunList.CellText(1, 1), "");
}

TEST(ReportPresenterTest, TheModeListNamesTheTimeModes) {
    AnalyzerLists lists;
    EXPECT_EQ(lists.ModeCombo.Entries, (std::vector<std::string>{"all", "avg", "max", "min"}));
    EXPECT_EQ(lists.ModeCombo.Selected, 0);
    const std::vector<std::pair<int, TimeMode>> cases = {{0, TimeMode::All},  {1, TimeMode::Avg},
                                                         {2, TimeMode::Max},  {3, TimeMode::Min},
                                                         {-1, TimeMode::All}, {7, TimeMode::All}};
    for (const auto& [selected, mode] : cases) {
        lists.ModeCombo.Selected = selected;
        EXPECT_EQ(TimeModeOf(lists.ModeCombo), mode) << selected;
    }
}

// The tooltip of a report row for some checked threads.
struct ToolTipCase {
    const char* Name;
    ThreadChecks Threads;
    std::size_t Row;
    std::string Expected;
};

TEST(ReportPresenterTest, TooltipsTellWholePathsIdsAndEveryTime) {
    // Line 1 runs twice in thread 1 (300 and 100 ns), line 2 not at all, line 3 once in
    // thread 2 (50 ns); line 3 comes from a second file with a long path.
    std::vector<EntryRecord> entries = {
        Entry(1, 1, S, 0),   Entry(1, 1, T, 300),          Entry(1, 1, S, 400),
        Entry(1, 1, T, 500), Entry(-985712345, 3, S, 600), Entry(-985712345, 3, T, 650)};
    Report report({"a = 1", "b = 2", "c = 3"}, entries);
    const std::string longPath = "C:\\Users\\ada\\Projects\\Game\\Source\\Levels\\level_loader.pbi";
    report.Run.Program.SourceFileIds.Set("C:\\Game\\main.pb", 1);
    report.Run.Program.SourceFileIds.Set(longPath, 2);
    report.Run.Program.LinesOfCode[2].SourceFileId = 2;
    report.Run.Program.LinesOfCode[2].LineNumber = 40;
    report.Run.Threads[1].Scope = "Worker";

    EXPECT_EQ(SourceFileToolTip(report.Run, 1), longPath);
    EXPECT_EQ(SourceFileToolTip(report.Run, 2), "");
    EXPECT_EQ(ThreadToolTip(report.Run, 0), "Thread 1");
    EXPECT_EQ(ThreadToolTip(report.Run, 1), "Thread -985712345\nWorker");
    EXPECT_EQ(ThreadToolTip(report.Run, 2), "");

    const std::vector<ToolTipCase> cases = {
        {"every mode",
         {true, true},
         0,
         "C:\\Game\\main.pb\nFile 1, line 1\nHits: 2\nTime (ms) all: 0.0004\n"
         "Time (ms) avg: 0.0002\nTime (ms) max: 0.0003\nTime (ms) min: 0.0001\n"
         "Self time (ms): 0.0004 (88.89 % of the run)\nSelf time per hit (ms): 0.0002\n"
         "Instruction 1: 2 hits, 0.0004 ms"},
        {"not run",
         {true, true},
         1,
         "C:\\Game\\main.pb\nFile 1, line 2\nNot run by the checked threads"},
        {"the second file",
         {true, true},
         2,
         longPath + "\nFile 2, line 40\nHits: 1\nTime (ms) all: 0.00005\nTime (ms) avg: 0.00005\n"
                    "Time (ms) max: 0.00005\nTime (ms) min: 0.00005\n"
                    "Self time (ms): 0.00005 (11.11 % of the run)\n"
                    "Self time per hit (ms): 0.00005\nInstruction 1: 1 hit, 0.00005 ms"},
        {"its thread unchecked",
         {true, false},
         2,
         longPath + "\nFile 2, line 40\nNot run by the checked threads"},
        {"beyond the rows", {true, true}, 3, ""},
    };
    for (const ToolTipCase& c : cases) {
        EXPECT_EQ(ReportRowToolTip(report.Run,
                                   SumReportToolTipFigures(report.Run.Analysis, c.Threads), c.Row),
                  c.Expected)
            << c.Name;
    }
    // A file id the run does not name shows the id alone.
    report.Run.Program.LinesOfCode[0].SourceFileId = 9;
    EXPECT_EQ(ReportRowToolTip(report.Run, {}, 0).substr(0, 30), "File 9, line 1\nNot run by the ");
}

TEST(ReportPresenterTest, TooltipsTellSelfTimeAndEachInstruction) {
    // Thread 1: line 1's first instruction (0..100) calls line 2 twice (10..30, 40..70), its
    // second instruction runs alone (100..110). Thread 2: line 2 once (0..1000), no parent.
    // Line 3 starts and never stops; line 4 stops without a start.
    const std::vector<EntryRecord> entries = {
        Entry(1, 1, S, 0, 1),   Entry(1, 2, S, 10),     Entry(1, 2, T, 30),
        Entry(1, 2, S, 40),     Entry(1, 2, T, 70),     Entry(1, 1, T, 100, 1),
        Entry(1, 1, S, 100, 2), Entry(1, 1, T, 110, 2), Entry(2, 2, S, 0),
        Entry(2, 2, T, 1000),   Entry(1, 3, S, 200),    Entry(1, 4, T, 300)};
    Report report({"x = Foo(1) + Foo(2) : y = 1", "ProcedureReturn a", "Delay(5)", "z = 2"},
                  entries);
    const auto selfLines = [&](std::size_t row, const ThreadChecks& threads) {
        const std::string tip = ReportRowToolTip(
            report.Run, SumReportToolTipFigures(report.Run.Analysis, threads), row);
        const std::size_t self = tip.find("\nSelf time");
        return self == std::string::npos ? std::string("(").append(tip).append(")")
                                         : tip.substr(self + 1);
    };
    // Run time: 110 ns in thread 1 (line 1's executions), 1000 ns in thread 2.
    const std::vector<ToolTipCase> cases = {
        {"a caller: 110 minus 50 ns of calls, of 1110 ns; two instructions",
         {true, true},
         0,
         "Self time (ms): 0.00006 (5.41 % of the run)\nSelf time per hit (ms): 0.00003\n"
         "Instruction 1: 1 hit, 0.0001 ms\nInstruction 2: 1 hit, 0.00001 ms"},
        {"the caller with the second thread unchecked: of 110 ns",
         {true, false},
         0,
         "Self time (ms): 0.00006 (54.55 % of the run)\nSelf time per hit (ms): 0.00003\n"
         "Instruction 1: 1 hit, 0.0001 ms\nInstruction 2: 1 hit, 0.00001 ms"},
        {"the callee over both threads",
         {true, true},
         1,
         "Self time (ms): 0.00105 (94.59 % of the run)\nSelf time per hit (ms): 0.00035\n"
         "Instruction 1: 3 hits, 0.00105 ms"},
        {"the callee in the first thread only",
         {true, false},
         1,
         "Self time (ms): 0.00005 (45.45 % of the run)\nSelf time per hit (ms): 0.000025\n"
         "Instruction 1: 2 hits, 0.00005 ms"},
        {"only the second thread: its run time alone",
         {false, true},
         1,
         "Self time (ms): 0.001 (100.00 % of the run)\nSelf time per hit (ms): 0.001\n"
         "Instruction 1: 1 hit, 0.001 ms"},
        {"started, never stopped: no time, no hit",
         {true, true},
         2,
         "Self time (ms): 0. (0.00 % of the run)\nSelf time per hit (ms): 0.\n"
         "Instruction 1: 0 hits, 0. ms"},
        {"stopped without a start",
         {true, true},
         3,
         "(File 1, line 4\nNot run by the checked threads)"},
        {"no thread checked: no run time",
         {false, false},
         0,
         "(File 1, line 1\nNot run by the checked threads)"},
    };
    for (const ToolTipCase& c : cases) {
        EXPECT_EQ(selfLines(c.Row, c.Threads), c.Expected) << c.Name;
    }
}

TEST(ActionMenuTest, MenuItemsMapToTheirActions) {
    const std::vector<std::pair<int, const char*>> menu = {
        {1001, "Check all"},
        {1002, "Remove all checks"},
        {1003, "Complete checks for scopes"},
        {1008, "Add checks for a sourcefile"},
        {1006, "Add checks for a thread"},
        {1004, "Add checks for implicitly invocations"},
        {1009, "Remove checks for a sourcefile"},
        {1007, "Remove checks for a thread"},
        {1005, "Remove implicitly invocations"},
        {1010, "Remove calls"},
        {1011, "Remove timeconsumers"},
    };
    ASSERT_EQ(kActionMenuItems.size(), menu.size());
    std::set<CheckAction> distinct;
    for (std::size_t i = 0; i < kActionMenuItems.size(); ++i) {
        const ActionMenuItem& item = kActionMenuItems[i];
        EXPECT_EQ(item.ItemId, menu[i].first);
        EXPECT_STREQ(item.Caption, menu[i].second);
        EXPECT_EQ(item.SeparatorBefore, item.ItemId == 1003 || item.ItemId == 1009);
        EXPECT_EQ(CheckActionForItem(item.ItemId), item.Action);
        distinct.insert(item.Action);
    }
    EXPECT_EQ(distinct.size(), 11u);
    for (int id : {0, 1000, 1012, 2000, 2001, -1001}) {
        EXPECT_FALSE(CheckActionForItem(id).has_value()) << id;
    }
}

} // namespace
} // namespace tickscope
