#include "analysis/report_figures.h"

#include "analysis/attribution_fixtures.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <limits>
#include <optional>
#include <random>

namespace tickscope {
namespace {

using testing::Entry;
constexpr bool S = true;
constexpr bool T = false;

TEST(ReportFiguresTest, MillisecondsKeepNineDecimalsWithoutTrailingZeros) {
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

TEST(ReportFiguresTest, MillisecondsMatchThePrintedDoubleAtEveryMagnitude) {
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

TEST(ReportFiguresTest, HeatRedRoundsHalfToEvenWithinTheScale) {
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

TEST(ReportFiguresTest, HeatReadsTheMillisecondsAsTheReportPrintsThem) {
    std::mt19937_64 random(11);
    std::vector<std::int64_t> values = {0,
                                        1,
                                        -1,
                                        999999,
                                        1500000,
                                        (std::int64_t{1} << 23) * 1000000 - 1,
                                        (std::int64_t{1} << 23) * 1000000,
                                        std::numeric_limits<std::int64_t>::min(),
                                        std::numeric_limits<std::int64_t>::max()};
    for (int bits = 1; bits < 63; ++bits) {
        for (int i = 0; i < 500; ++i) {
            const auto v = static_cast<std::int64_t>(random() >> (64 - bits));
            values.push_back(v);
            values.push_back(-v);
        }
    }
    for (const std::int64_t nanos : values) {
        const std::string printed = FormatMilliseconds(nanos);
        double read = 0;
        std::from_chars(printed.data(), printed.data() + printed.size(), read);
        ASSERT_EQ(ReportedMilliseconds(nanos), read) << nanos << " printed as " << printed;
    }
}

TEST(ReportFiguresTest, ProcedureStartsAndEndsAreMarked) {
    const std::vector<std::pair<std::string, ProcedureMark>> cases = {
        {"Procedure Foo()", ProcedureMark::Start},
        {"Procedure.i Foo(a)", ProcedureMark::Start},
        {"  procedure.s Name$()", ProcedureMark::Start},
        {"ProcedureDLL Exported()", ProcedureMark::Start},
        {"ProcedureC Callback(x)", ProcedureMark::Start},
        {"ProcedureCDLL Both()", ProcedureMark::Start},
        {"EndProcedure", ProcedureMark::End},
        {"  EndProcedure ; done", ProcedureMark::End},
        {"ENDPROCEDURE", ProcedureMark::End},
        {"ProcedureReturn x", ProcedureMark::None},
        {"x$ = \"Procedure Foo()\"", ProcedureMark::None},
        {"; Procedure in a comment", ProcedureMark::None},
        {"Declare Foo()", ProcedureMark::None},
        {"MyProcedure()", ProcedureMark::None},
    };
    for (const auto& [code, mark] : cases) {
        EXPECT_EQ(ProcedureMarkOf(code), mark) << code;
    }
}

// The figures of lines of file 1 (one per entry of `hitsAndNanos`: that many executions of
// that many nanoseconds in thread 1; 0 hits: started, never stopped), checked as given.
ReportFigures FiguresOf(const std::vector<std::pair<int, std::int64_t>>& hitsAndNanos,
                        const std::vector<bool>& checked, TimeMode mode, HeatScale scale) {
    RunAnalysis analysis;
    ResetAttribution(analysis, testing::LinesOfFile1(static_cast<int>(hitsAndNanos.size())));
    for (std::size_t i = 0; i < hitsAndNanos.size(); ++i) {
        const int line = static_cast<int>(i + 1);
        const auto [hits, nanos] = hitsAndNanos[i];
        if (hits == 0) {
            AttributeEntry(analysis, Entry(1, line, S, 0));
        }
        for (int hit = 0; hit < hits; ++hit) {
            AttributeEntry(analysis, Entry(1, line, S, 0));
            AttributeEntry(analysis, Entry(1, line, T, nanos));
        }
    }
    return ComputeReportFigures(analysis, testing::ThreadChecksFor(analysis), checked, mode, scale);
}

TEST(ReportFiguresTest, HeatIsScaledAgainstTheLargestCheckedValueOrTheThreshold) {
    struct Case {
        const char* Name;
        std::vector<std::pair<int, std::int64_t>> HitsAndNanos; // per line
        std::vector<bool> Checked;
        int MaxHits, MaxTime;
        std::vector<int> HitsHeat, TimeHeat;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"largest is full red, half is 128", {{4, 1000000}, {2, 1000000}}, {true, true}, 0, 0,
         {255, 128}, {255, 128}},
        {"hits threshold 100", {{400, 10}, {10, 10}}, {true, true}, 100, 0,
         {255, 26}, {255, 6}},
        {"time threshold 2 ms", {{1, 1000000}, {1, 4000000}, {1, 500000}}, {true, true, true}, 0, 2,
         {255, 255, 255}, {128, 255, 64}},
        {"an unchecked line has no heat and does not count", {{10, 9000000}, {5, 1000000}},
         {false, true}, 0, 0, {-1, 255}, {-1, 255}},
        {"a negative threshold gives black", {{4, 100}, {2, 100}}, {true, true}, -5, -1,
         {0, 0}, {0, 0}},
        {"no completed execution: largest 0 gives black", {{0, 0}, {0, 0}}, {true, true}, 0, 0,
         {0, 0}, {0, 0}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const ReportFigures figures =
            FiguresOf(c.HitsAndNanos, c.Checked, TimeMode::All, {c.MaxHits, c.MaxTime});
        ASSERT_EQ(figures.Lines.size(), c.Checked.size());
        EXPECT_EQ(figures.LinesWithResults, c.Checked.size());
        for (std::size_t i = 0; i < c.Checked.size(); ++i) {
            SCOPED_TRACE("line " + std::to_string(i + 1));
            EXPECT_TRUE(figures.Lines[i].HasResults);
            EXPECT_EQ(figures.Lines[i].Hits, c.HitsAndNanos[i].first);
            EXPECT_EQ(figures.Lines[i].HitsHeat, c.HitsHeat[i]);
            EXPECT_EQ(figures.Lines[i].TimeHeat, c.TimeHeat[i]);
        }
    }
}

TEST(ReportFiguresTest, FiguresFollowTheModeAndTheCheckedThreads) {
    struct Case {
        const char* Name;
        TimeMode Mode;
        std::vector<bool> ThreadChecks;
        std::vector<std::optional<std::pair<std::int64_t, std::int64_t>>> Lines; // hits, nanos
    };
    // Line 1: 1200 and 800 ns in thread 1; line 2: 2 ms in thread 2; line 3: never run.
    const std::vector<EntryRecord> entries = {Entry(1, 1, S, 0),    Entry(1, 1, T, 1200),
                                              Entry(1, 1, S, 2000), Entry(1, 1, T, 2800),
                                              Entry(2, 2, S, 0),    Entry(2, 2, T, 2000000)};
    using Figures = std::pair<std::int64_t, std::int64_t>;
    const std::vector<Case> cases = {
        {"all", TimeMode::All, {true, true}, {Figures{2, 2000}, Figures{1, 2000000}, {}}},
        {"avg", TimeMode::Avg, {true, true}, {Figures{2, 1000}, Figures{1, 2000000}, {}}},
        {"max", TimeMode::Max, {true, true}, {Figures{2, 1200}, Figures{1, 2000000}, {}}},
        {"min", TimeMode::Min, {true, true}, {Figures{2, 800}, Figures{1, 2000000}, {}}},
        {"second thread only", TimeMode::All, {false, true}, {{}, Figures{1, 2000000}, {}}},
        {"no thread", TimeMode::All, {false, false}, {{}, {}, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        RunAnalysis analysis;
        ResetAttribution(analysis, testing::LinesOfFile1(3));
        testing::Attribute(analysis, entries);
        const ReportFigures figures = ComputeReportFigures(
            analysis, c.ThreadChecks, LineChecks(3, true), c.Mode, HeatScale{});
        EXPECT_EQ(figures.Mode, c.Mode);
        for (std::size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE("line " + std::to_string(i + 1));
            const LineReport& line = figures.Lines[i];
            ASSERT_EQ(line.HasResults, c.Lines[i].has_value());
            if (c.Lines[i]) {
                EXPECT_EQ(line.Hits, c.Lines[i]->first);
                EXPECT_EQ(line.TimeNanos, c.Lines[i]->second);
            } else {
                EXPECT_EQ(line.HitsHeat, -1);
            }
        }
    }
}

TEST(ReportFiguresTest, UnmatchedEntriesChangeNoLine) {
    RunAnalysis analysis;
    ResetAttribution(analysis, testing::LinesOfFile1(2));
    for (int hit = 0; hit < 3; ++hit) {
        AttributeEntry(analysis, Entry(1, 1, S, 0));
        AttributeEntry(analysis, Entry(1, 1, T, 1000));
    }
    for (int hit = 0; hit < 50; ++hit) { // no line has line number 77
        AttributeEntry(analysis, Entry(1, 77, S, 0));
        AttributeEntry(analysis, Entry(1, 77, T, 9000000));
    }
    const ReportFigures figures = ComputeReportFigures(analysis, testing::ThreadChecksFor(analysis),
                                                       LineChecks(2, true), TimeMode::All, {});
    ASSERT_EQ(figures.Lines.size(), 2u);
    EXPECT_EQ(figures.LinesWithResults, 1u);
    EXPECT_EQ(figures.Lines[0].Hits, 3);
    EXPECT_EQ(figures.Lines[0].HitsHeat, 255);
    EXPECT_EQ(figures.Lines[0].TimeHeat, 255);
    EXPECT_FALSE(figures.Lines[1].HasResults);
}

} // namespace
} // namespace tickscope
