#include "analysis/attribution_fixtures.h"
#include "analysis/report_values.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <random>

namespace tickscope {
namespace {

using testing::Entry;
constexpr bool S = true;
constexpr bool T = false;

constexpr Rgb Red(int r) {
    return MakeRgb(r, 0, 0);
}

TEST(ReportValuesTest, MillisecondsKeepNineDecimalsWithoutTrailingZeros) {
    const std::vector<std::pair<std::int64_t, const char*>> cases = {
        {0, "0."},
        {3000000, "3."},
        {2000000, "2."},
        {1500000, "1.5"},
        {1000, "0.001"},
        {1, "0.000001"},
        {999999, "0.999999"},
        {123456789, "123.456789"},
        {-1500000, "-1.5"},
        {-1, "-0.000001"},
        {10000000000, "10000."},
        {8388607999999, "8388607.999999"},
    };
    for (const auto& [nanos, expected] : cases) {
        EXPECT_EQ(FormatMilliseconds(nanos), expected) << nanos;
    }
}

// The printed form of the double nanos / 1e6, for comparison over the whole range.
std::string PrintedMilliseconds(std::int64_t nanos) {
    char buffer[64];
    int n = std::snprintf(buffer, sizeof buffer, "%.9f", static_cast<double>(nanos) / 1000000.0);
    std::string text(buffer, static_cast<std::size_t>(n));
    while (!text.empty() && text.back() == '0') {
        text.pop_back();
    }
    return text;
}

TEST(ReportValuesTest, MillisecondsMatchThePrintedDoubleAtEveryMagnitude) {
    std::mt19937_64 random(7);
    std::vector<std::int64_t> values = {
        std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max(),
        (std::int64_t{1} << 23) * 1000000 - 1,    (std::int64_t{1} << 23) * 1000000,
        -(std::int64_t{1} << 23) * 1000000 + 1,   (std::int64_t{1} << 24) * 1000000 + 1};
    for (int bits = 1; bits < 63; ++bits) {
        for (int i = 0; i < 2000; ++i) {
            const auto v = static_cast<std::int64_t>(random() >> (64 - bits));
            values.push_back(v);
            values.push_back(-v);
        }
    }
    for (std::int64_t nanos : values) {
        ASSERT_EQ(FormatMilliseconds(nanos), PrintedMilliseconds(nanos)) << nanos;
    }
}

TEST(ReportValuesTest, HeatRedRoundsHalfToEvenWithinTheScale) {
    struct Case {
        double Value, Largest;
        int Expected;
    };
    const std::vector<Case> cases = {
        {4, 4, 255}, {2, 4, 128},  {1, 4, 64},           {10, 100, 26},     {400, 100, 255},
        {1, 510, 0}, {3, 510, 2},  {5, 510, 2},          {7, 510, 4},       {0, 100, 0},
        {0, 0, 0},   {1, -10, 0},  {0, -10, 0},          {254.5, 255, 254}, {255, 255, 255},
        {1, 0, 255}, {-3, 100, 0}, {1e300, 1e-300, 255},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HeatRed(c.Value, c.Largest), c.Expected) << c.Value << " / " << c.Largest;
    }
}

// A report of the given code lines (file 1, lines 1..n) with every row checked, the
// entries attributed, every thread checked.
struct Report {
    AnalyzerLists Lists;
    RunAnalysis Analysis;

    Report(const std::vector<std::string>& code, const std::vector<EntryRecord>& entries) {
        std::vector<testing::ReportLine> lines;
        for (std::size_t i = 0; i < code.size(); ++i) {
            lines.push_back({"1", std::to_string(i + 1), code[i]});
        }
        Lists = testing::ListsWithReport(lines);
        ResetAttribution(Analysis, Lists.ReportList);
        testing::Attribute(Analysis, entries);
        testing::FillThreadList(Lists, Analysis);
    }
    const ListCell& Cell(std::size_t row, int column) const {
        return Lists.ReportList.Rows[row].Cells[static_cast<std::size_t>(column)];
    }
};

// `hits` executions of `line` in thread 1, each `nanos` long.
void Executions(std::vector<EntryRecord>& entries, int line, int hits, std::int64_t nanos,
                std::int64_t thread = 1) {
    for (int i = 0; i < hits; ++i) {
        entries.push_back(Entry(thread, line, S, 0));
        entries.push_back(Entry(thread, line, T, nanos));
    }
}

TEST(ReportValuesTest, HeatIsScaledAgainstTheLargestCheckedValueOrTheThreshold) {
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
        RefreshReportValues(report.Lists, report.Analysis, c.MaxHits, c.MaxTime);
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

TEST(ReportValuesTest, TextsFollowTheModeAndTheCheckedThreads) {
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
        RefreshReportValues(report.Lists, report.Analysis, 0, 0);
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

TEST(ReportValuesTest, ProcedureStartsAndEndsAreMarkedInTheCodeColumn) {
    const std::vector<std::pair<std::string, Rgb>> cases = {
        {"Procedure Foo()", kProcedureStartText},
        {"Procedure.i Foo(a)", kProcedureStartText},
        {"  procedure.s Name$()", kProcedureStartText},
        {"ProcedureDLL Exported()", kProcedureStartText},
        {"ProcedureC Callback(x)", kProcedureStartText},
        {"ProcedureCDLL Both()", kProcedureStartText},
        {"EndProcedure", kProcedureEndText},
        {"  EndProcedure ; done", kProcedureEndText},
        {"ENDPROCEDURE", kProcedureEndText},
        {"ProcedureReturn x", kUncountedText},
        {"x$ = \"Procedure Foo()\"", kUncountedText},
        {"; Procedure in a comment", kUncountedText},
        {"Declare Foo()", kUncountedText},
        {"MyProcedure()", kUncountedText},
    };
    std::vector<std::string> code;
    for (const auto& c : cases) {
        code.push_back(c.first);
    }
    for (bool checked : {true, false}) {
        Report report(code, {});
        report.Lists.ReportList.SetAllChecked(checked);
        RefreshReportValues(report.Lists, report.Analysis, 0, 0);
        for (std::size_t i = 0; i < cases.size(); ++i) {
            EXPECT_EQ(report.Cell(i, kCodeColumn).TextColour, cases[i].second) << cases[i].first;
        }
    }
}

TEST(ReportValuesTest, UnmatchedEntriesAndTheFindMarkLeaveRowsAlone) {
    std::vector<EntryRecord> entries;
    Executions(entries, 1, 3, 1000);
    Report plain({"a()", "b()"}, entries);
    Executions(entries, 77, 50, 9000000); // no row has line 77
    Report withUnmatched({"a()", "b()"}, entries);
    const Rgb yellow = MakeRgb(255, 255, 0);
    withUnmatched.Lists.ReportList.Rows[1].Cells[kCodeColumn].Background = yellow;
    RefreshReportValues(plain.Lists, plain.Analysis, 0, 0);
    RefreshReportValues(withUnmatched.Lists, withUnmatched.Analysis, 0, 0);
    for (std::size_t r = 0; r < 2; ++r) {
        for (int column : {kFileColumn, kLineColumn, kHitsColumn, kTimeColumn}) {
            EXPECT_EQ(withUnmatched.Cell(r, column).Text, plain.Cell(r, column).Text);
            EXPECT_EQ(withUnmatched.Cell(r, column).Background, plain.Cell(r, column).Background);
            EXPECT_EQ(withUnmatched.Cell(r, column).TextColour, plain.Cell(r, column).TextColour);
        }
    }
    EXPECT_EQ(withUnmatched.Cell(0, kHitsColumn).Background, Red(255));
    EXPECT_EQ(withUnmatched.Cell(1, kCodeColumn).Background, yellow);
    EXPECT_EQ(withUnmatched.Lists.ReportList.Columns[kHitsColumn].Title, "Hits");
}

TEST(ReportValuesTest, RowsWithMissingCellsAreCompleted) {
    AnalyzerLists lists;
    lists.ReportList.Rows.push_back(ListRow{}); // no cells at all
    lists.ReportList.Rows.back().Checked = true;
    RunAnalysis analysis;
    ResetAttribution(analysis, lists.ReportList);
    RefreshReportValues(lists, analysis, 0, 0);
    ASSERT_EQ(lists.ReportList.Rows[0].Cells.size(), 6u);
    EXPECT_EQ(lists.ReportList.Rows[0].Cells[kHitsColumn].Background, kGreyFigureBackground);
}

} // namespace
} // namespace tickscope
