// The comparison window's cells without a display: what each row shows, where a
// double-click leads, the colours of a change and the orders of the column titles.
#include "ui/comparison_presenter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tickscope {
namespace {

// A one-file run: its lines' code, and per line the time (ns) of one hit, -1 for none.
RunSummary OneFileRun(const std::vector<std::string>& codes, const std::vector<std::int64_t>& nanos,
                      const std::string& path = "/p/m.pb") {
    RunSummary run;
    run.Record.Path = path;
    run.Program.SourceFileIds.Set(path, 1);
    for (std::size_t i = 0; i < codes.size(); ++i) {
        LineOfCode& line = run.Program.LinesOfCode.emplace_back();
        line.SourceFileId = 1;
        line.LineNumber = static_cast<int>(i) + 1;
        line.Code = codes[i];
        LineReport& figures = run.Figures.Lines.emplace_back();
        if (nanos[i] >= 0) {
            figures.HasResults = true;
            figures.Hits = 1;
            figures.TimeNanos = nanos[i];
        }
    }
    return run;
}

TEST(ComparisonPresenterTest, RowsTargetsAndColours) {
    // a slower, b gone, n new, c faster, d unchanged.
    const RunSummary older = OneFileRun({"a", "  b", "c", "d"}, {1000, 500, 3000, 200});
    const RunSummary newer = OneFileRun({"a", "\tn", "c", "d"}, {1500, 100, 2000, 200});
    const RunComparison comparison = CompareRuns(older, newer);
    ComparisonLists lists;
    ShowComparison(lists, {older, newer, comparison});

    const std::vector<std::vector<std::string>> expected = {
        {"matched", "1:1", "1:1", "1", "1", "0.001", "0.0015", "+0.0005", "+50.00", "a"},
        {"removed", "1:2", "", "1", "", "0.0005", "", "-0.0005", "-100.00", "b"},
        {"added", "", "1:2", "", "1", "", "0.0001", "+0.0001", "", "n"},
        {"matched", "1:3", "1:3", "1", "1", "0.003", "0.002", "-0.001", "-33.33", "c"},
        {"matched", "1:4", "1:4", "1", "1", "0.0002", "0.0002", "0.", "0.00", "d"},
    };
    ASSERT_EQ(lists.Lines.RowCount(), expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r) {
        for (std::size_t c = 0; c < expected[r].size(); ++c) {
            EXPECT_EQ(lists.Lines.CellText(r, c), expected[r][c]) << "row " << r << " column " << c;
        }
    }
    // A removed line is not in the loaded run: a double-click on it leads nowhere.
    EXPECT_EQ(lists.LineTargets, (std::vector<std::int32_t>{1, 0, 2, 3, 4}));
    const std::vector<Rgb> colours = {kSlowerText, kFasterText, kSlowerText, kFasterText, kBlack};
    for (std::size_t r = 0; r < colours.size(); ++r) {
        EXPECT_EQ(lists.Lines.Rows[r].Cells[kCmpLineDeltaColumn].TextColour, colours[r]) << r;
        EXPECT_EQ(lists.Lines.Rows[r].Cells[kCmpLineDeltaPercentColumn].TextColour, colours[r]);
        EXPECT_EQ(lists.Lines.Rows[r].Cells[kCmpNewTimeColumn].TextColour, kBlack);
    }
    EXPECT_EQ(lists.Summary, "Run time 0. ms -> 0. ms; total times, every thread");

    lists.LineOrder = ComparisonOrder::Delta;
    ShowComparison(lists, {older, newer, comparison});
    EXPECT_EQ(lists.LineTargets, (std::vector<std::int32_t>{1, 2, 4, 0, 3}));
}

TEST(ComparisonPresenterTest, TheSummarySaysWhenTheRunsShareNoFile) {
    RunSummary older = OneFileRun({"x"}, {10});
    older.Profile.RunNanos = 2000000;
    RunSummary newer = OneFileRun({"x"}, {10});
    newer.Record.Path = "/q/other.pb";
    newer.Program.SourceFileIds.Clear();
    newer.Program.SourceFileIds.Set("/q/other.pb", 1);
    newer.Profile.RunNanos = 3000000;
    ComparisonLists lists;
    ShowComparison(lists, {older, newer, CompareRuns(older, newer)});
    EXPECT_EQ(lists.Summary, "Run time 2. ms -> 3. ms (+50.00 %); total times, every thread; the "
                             "runs have no source file in common");
    EXPECT_EQ(lists.LineTargets, (std::vector<std::int32_t>{0, 1}));
}

TEST(ComparisonPresenterTest, ToolTipsNameTheFileOfEachRunThatHasTheLine) {
    // The project moved from /p to /q between the runs: b gone, n new.
    const RunSummary older = OneFileRun({"a", "b", "c"}, {100, 900, 5000});
    const RunSummary newer = OneFileRun({"a", "n", "c"}, {200, 300, 1000}, "/q/m.pb");
    const RunComparison comparison = CompareRuns(older, newer);
    ComparisonLists lists;
    ShowComparison(lists, {older, newer, comparison});
    const std::vector<std::string> tips = {"Old: /p/m.pb, line 1\nNew: /q/m.pb, line 1",
                                           "Old: /p/m.pb, line 2", "New: /q/m.pb, line 2",
                                           "Old: /p/m.pb, line 3\nNew: /q/m.pb, line 3"};
    ASSERT_EQ(lists.LineIndices, (std::vector<std::size_t>{0, 1, 2, 3}));
    for (std::size_t r = 0; r < tips.size(); ++r) {
        EXPECT_EQ(ComparedLineToolTip({older, newer, comparison}, comparison.Lines[r]), tips[r]);
    }
    // Ordered rows keep their comparison index: by the change, a (+100) and n (+300) grew,
    // b (-900) and c (-4000) fell.
    lists.LineOrder = ComparisonOrder::Delta;
    ShowComparison(lists, {older, newer, comparison});
    EXPECT_EQ(lists.LineIndices, (std::vector<std::size_t>{2, 0, 1, 3}));
    for (std::size_t r = 0; r < lists.LineIndices.size(); ++r) {
        EXPECT_EQ(lists.LineTargets[r], comparison.Lines[lists.LineIndices[r]].New.LineId) << r;
    }
}

struct TitleCase {
    int Column;
    std::optional<ComparisonOrder> Order;
};

TEST(ComparisonPresenterTest, TitlesAndOrders) {
    const std::vector<TitleCase> lines = {{kCmpLineStatusColumn, std::nullopt},
                                          {kCmpOldPlaceColumn, std::nullopt},
                                          {kCmpOldHitsColumn, std::nullopt},
                                          {kCmpOldTimeColumn, ComparisonOrder::Old},
                                          {kCmpNewTimeColumn, ComparisonOrder::New},
                                          {kCmpLineDeltaColumn, ComparisonOrder::Delta},
                                          {kCmpLineDeltaPercentColumn, ComparisonOrder::Delta},
                                          {kCmpCodeColumn, std::nullopt}};
    for (const TitleCase& c : lines) {
        EXPECT_EQ(LineOrderOfColumn(static_cast<ComparedLineColumn>(c.Column)), c.Order)
            << c.Column;
    }
    const std::vector<TitleCase> procedures = {
        {kCmpNameColumn, std::nullopt},
        {kCmpOldCallsColumn, std::nullopt},
        {kCmpOldTotalColumn, ComparisonOrder::Old},
        {kCmpNewTotalColumn, ComparisonOrder::New},
        {kCmpProcedureDeltaColumn, ComparisonOrder::Delta},
        {kCmpProcedureDeltaPercentColumn, ComparisonOrder::Delta},
        {kCmpOldSelfColumn, std::nullopt}};
    for (const TitleCase& c : procedures) {
        EXPECT_EQ(ProcedureOrderOfColumn(static_cast<ComparedProcedureColumn>(c.Column)), c.Order)
            << c.Column;
    }
    EXPECT_EQ(ColumnOfLineOrder(ComparisonOrder::Delta), kCmpLineDeltaColumn);
    EXPECT_EQ(ColumnOfLineOrder(ComparisonOrder::New), kCmpNewTimeColumn);
    EXPECT_EQ(ColumnOfLineOrder(std::nullopt), -1);
    EXPECT_EQ(ColumnOfProcedureOrder(ComparisonOrder::Old), kCmpOldTotalColumn);
    EXPECT_EQ(ColumnOfProcedureOrder(std::nullopt), -1);
}

} // namespace
} // namespace tickscope
