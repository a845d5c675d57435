#include "analysis/attribution.h"
#include "analysis/attribution_fixtures.h"
#include "analysis/line_figures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

namespace tickscope {

bool operator==(const LineResult& a, const LineResult& b) {
    return a.LineId == b.LineId && a.Hits == b.Hits && a.TimeNanos == b.TimeNanos;
}
std::ostream& operator<<(std::ostream& out, const LineResult& r) {
    return out << "{line " << r.LineId << ", hits " << r.Hits << ", " << r.TimeNanos << " ns}";
}

namespace {

using testing::Entry;

constexpr bool S = true;  // start
constexpr bool T = false; // stop

struct ResultCase {
    const char* Name;
    std::vector<EntryRecord> Entries;
    std::vector<bool> ThreadChecks; // empty: all checked
    TimeMode Mode;
    std::vector<LineResult> Expected;
};

std::vector<ResultCase> ResultCases() {
    const std::vector<EntryRecord> twice = {Entry(1, 5, S, 0), Entry(1, 5, T, 1200),
                                            Entry(1, 5, S, 2000), Entry(1, 5, T, 2800)};
    std::vector<EntryRecord> twoInstructions;
    for (int i = 0; i < 10; ++i) {
        const std::int64_t t = i * 1000;
        twoInstructions.push_back(Entry(1, 3, S, t, 1));
        twoInstructions.push_back(Entry(1, 3, T, t + 100, 1));
        twoInstructions.push_back(Entry(1, 3, S, t + 100, 2));
        twoInstructions.push_back(Entry(1, 3, T, t + 400 + i, 2));
    }
    const std::vector<EntryRecord> call = {Entry(1, 1, S, 0),    Entry(1, 10, S, 100),
                                           Entry(1, 10, T, 300), Entry(1, 11, S, 300),
                                           Entry(1, 11, T, 400), Entry(1, 1, T, 1000)};
    const std::vector<EntryRecord> twoThreads = {Entry(1, 2, S, 0), Entry(2, 3, S, 10),
                                                 Entry(2, 3, T, 60), Entry(1, 2, T, 100)};
    const std::vector<EntryRecord> sharedLine = {Entry(1, 4, S, 0),    Entry(1, 4, T, 100),
                                                 Entry(2, 4, S, 0),    Entry(2, 4, T, 300),
                                                 Entry(2, 4, S, 1000), Entry(2, 4, T, 1050)};
    auto kind = [](std::int8_t startOrStop) {
        EntryRecord e = Entry(1, 2, S, 0);
        e.StartOrStop = startOrStop;
        return e;
    };
    // clang-format off
    return {
        {"two executions, all", twice, {}, TimeMode::All, {{5, 2, 2000}}},
        {"two executions, avg", twice, {}, TimeMode::Avg, {{5, 2, 1000}}},
        {"two executions, max", twice, {}, TimeMode::Max, {{5, 2, 1200}}},
        {"two executions, min", twice, {}, TimeMode::Min, {{5, 2, 800}}},
        {"two instructions ten times each, all", twoInstructions, {}, TimeMode::All, {{3, 20, 4045}}},
        {"two instructions ten times each, avg", twoInstructions, {}, TimeMode::Avg, {{3, 20, 202}}},
        {"two instructions, max sums the maxima", twoInstructions, {}, TimeMode::Max, {{3, 20, 100 + 309}}},
        {"two instructions, min sums the minima", twoInstructions, {}, TimeMode::Min, {{3, 20, 100 + 300}}},
        {"a call includes its callees' time", call, {}, TimeMode::All,
         {{1, 1, 1000}, {10, 1, 200}, {11, 1, 100}}},
        {"recursion through one line counts only the inner execution",
         {Entry(1, 7, S, 0, 1, 64), Entry(1, 7, S, 100, 1, 32), Entry(1, 7, T, 150, 1, 32),
          Entry(1, 7, T, 1000, 1, 64)}, {}, TimeMode::All, {{7, 1, 50}}},
        {"zero duration lets the next one replace the minimum",
         {Entry(1, 2, S, 0), Entry(1, 2, T, 200), Entry(1, 2, S, 300), Entry(1, 2, T, 300),
          Entry(1, 2, S, 400), Entry(1, 2, T, 900)}, {}, TimeMode::Min, {{2, 3, 500}}},
        {"only the second thread checked", twoThreads, {false, true}, TimeMode::All, {{3, 1, 50}}},
        {"only the first thread checked", twoThreads, {true, false}, TimeMode::All, {{2, 1, 100}}},
        {"no thread checked", twoThreads, {false, false}, TimeMode::All, {}},
        {"a line in two threads sums both", sharedLine, {}, TimeMode::All, {{4, 3, 450}}},
        {"max sums the maxima of both threads", sharedLine, {}, TimeMode::Max, {{4, 3, 400}}},
        {"min sums the minima of both threads", sharedLine, {}, TimeMode::Min, {{4, 3, 150}}},
        {"no stop entries: hits 0 and time 0", {Entry(1, 2, S, 10), Entry(1, 3, S, 20)}, {}, TimeMode::Avg,
         {{2, 0, 0}, {3, 0, 0}}},
        {"a negative duration counts as its absolute value",
         {Entry(1, 2, S, 1000), Entry(1, 2, T, 400)}, {}, TimeMode::All, {{2, 1, 600}}},
        {"a stop without any open line adds nothing", {Entry(1, 2, T, 100)}, {}, TimeMode::All, {}},
        {"a stop from another frame closes the line without figures",
         {Entry(1, 2, S, 0, 1, 8), Entry(1, 2, T, 100, 1, 16), Entry(1, 2, T, 200, 1, 8)}, {}, TimeMode::All,
         {{2, 0, 0}}},
        {"a stop of another instruction closes the line without figures",
         {Entry(1, 2, S, 0, 1), Entry(1, 2, T, 100, 2), Entry(1, 2, T, 200, 1)}, {}, TimeMode::All,
         {{2, 0, 0}}},
        {"a second start overwrites the pending one",
         {Entry(1, 2, S, 100), Entry(1, 2, S, 300), Entry(1, 2, T, 1000)}, {}, TimeMode::All, {{2, 1, 700}}},
        {"a stop in another thread does not pair", {Entry(1, 2, S, 0), Entry(2, 2, T, 100)}, {}, TimeMode::All,
         {{2, 0, 0}}},
        {"entries of no report row go to line id 0", {Entry(1, 99, S, 0), Entry(1, 99, T, 70)},
         {}, TimeMode::All, {{0, 1, 70}}},
        {"entries of another file go to line id 0",
         {Entry(1, 2, S, 0, 1, 0, 2), Entry(1, 2, T, 70, 1, 0, 2)}, {}, TimeMode::All, {{0, 1, 70}}},
        {"start-or-stop values other than 1 and 2 are ignored", {kind(0), kind(3), kind(-1)}, {},
         TimeMode::All, {}},
        {"the execution counts where it started although the stop came later",
         {Entry(1, 2, S, 0), Entry(1, 3, S, 10), Entry(1, 2, T, 40), Entry(1, 3, T, 50)}, {}, TimeMode::All,
         {{2, 1, 40}, {3, 1, 40}}},
    };
    // clang-format on
}

TEST(AttributionTest, LineResultsFollowTheEntries) {
    for (const ResultCase& c : ResultCases()) {
        SCOPED_TRACE(c.Name);
        RunAnalysis analysis;
        ResetAttribution(analysis, testing::LinesOfFile1(20));
        testing::Attribute(analysis, c.Entries);
        EXPECT_EQ(ComputeLineResults(analysis, testing::ThreadChecksFor(analysis, c.ThreadChecks),
                                     c.Mode),
                  c.Expected);
    }
}

struct InvocationCase {
    const char* Name;
    std::vector<EntryRecord> Entries;
    // Line id -> expected members, or absent key (nullopt-like: `Absent` true).
    struct Expectation {
        std::int32_t LineId;
        bool Absent;
        std::vector<std::int32_t> Members;
    };
    std::vector<Expectation> Expected;
};

std::vector<std::int32_t> Sorted(std::vector<std::int32_t> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST(AttributionTest, InvocationsAreTheLinesStartedWhileALineWasOpen) {
    const std::vector<InvocationCase> cases = {
        {"callees of a call, at every depth",
         {Entry(1, 1, S, 0), Entry(1, 10, S, 1), Entry(1, 20, S, 2), Entry(1, 20, T, 3),
          Entry(1, 10, T, 4), Entry(1, 11, S, 5), Entry(1, 11, T, 6), Entry(1, 1, T, 7)},
         {{1, false, {10, 11, 20}},
          {10, false, {20}},
          {20, false, {}},
          {11, false, {}},
          {2, true, {}}}},
        {"a line that never stopped has no key",
         {Entry(1, 1, S, 0), Entry(1, 2, S, 1), Entry(1, 2, T, 2)},
         {{1, true, {}}, {2, false, {}}}},
        {"lines of other threads are never invocations",
         {Entry(1, 1, S, 0), Entry(2, 2, S, 1), Entry(2, 2, T, 2), Entry(1, 1, T, 3)},
         {{1, false, {}}, {2, false, {}}}},
        {"a line started again while open is not added anywhere",
         {Entry(1, 1, S, 0), Entry(1, 2, S, 1), Entry(1, 1, S, 2), Entry(1, 2, T, 3),
          Entry(1, 1, T, 4)},
         {{2, false, {}}, {1, false, {2}}}},
        {"recursion through one line closes it at the inner stop",
         {Entry(1, 7, S, 0, 1, 64), Entry(1, 8, S, 1), Entry(1, 7, S, 2, 1, 32),
          Entry(1, 7, T, 3, 1, 32), Entry(1, 9, S, 4), Entry(1, 9, T, 5), Entry(1, 8, T, 6),
          Entry(1, 7, T, 7, 1, 64)},
         {{7, false, {8}}, {8, false, {9}}, {9, false, {}}}},
        {"executions add up: first call one line, then another",
         {Entry(1, 1, S, 0), Entry(1, 10, S, 1), Entry(1, 10, T, 2), Entry(1, 1, T, 3),
          Entry(1, 1, S, 4), Entry(1, 11, S, 5), Entry(1, 11, T, 6), Entry(1, 1, T, 7)},
         {{1, false, {10, 11}}}},
        {"a line reopened after its stop starts with an empty set",
         {Entry(1, 1, S, 0), Entry(1, 2, S, 1), Entry(1, 2, T, 2), Entry(1, 1, T, 3),
          Entry(1, 2, S, 4), Entry(1, 1, S, 5), Entry(1, 1, T, 6), Entry(1, 3, S, 7),
          Entry(1, 2, T, 8)},
         {{1, false, {2}}, {2, false, {1, 3}}}},
        {"a stop without a pending start still closes and records",
         {Entry(1, 1, S, 0, 1, 8), Entry(1, 2, S, 1), Entry(1, 1, T, 2, 1, 16)},
         {{1, false, {2}}, {2, true, {}}}},
        {"unmatched lines take part as line id 0",
         {Entry(1, 1, S, 0), Entry(1, 99, S, 1), Entry(1, 99, T, 2), Entry(1, 1, T, 3)},
         {{1, false, {0}}, {0, false, {}}}},
        {"a stray stop creates no key", {Entry(1, 3, T, 1)}, {{3, true, {}}}},
    };
    for (const InvocationCase& c : cases) {
        SCOPED_TRACE(c.Name);
        RunAnalysis analysis;
        ResetAttribution(analysis, testing::LinesOfFile1(20));
        testing::Attribute(analysis, c.Entries);
        for (const auto& expected : c.Expected) {
            SCOPED_TRACE("line " + std::to_string(expected.LineId));
            const std::vector<std::int32_t>* members = analysis.InvocationsOf(expected.LineId);
            if (expected.Absent) {
                EXPECT_EQ(members, nullptr);
            } else {
                ASSERT_NE(members, nullptr);
                EXPECT_EQ(Sorted(*members), Sorted(expected.Members));
            }
        }
    }
}

TEST(AttributionTest, ThreadsLinesAndInstructionsKeepTheOrderOfFirstStart) {
    RunAnalysis analysis;
    ResetAttribution(analysis, testing::LinesOfFile1(10));
    const std::int64_t highThread = (std::int64_t{1} << 32) | 5; // same low 32 bits as 5
    testing::Attribute(analysis, {
                                     Entry(9, 1, T, 0),          // stray stop: no node
                                     Entry(7, 4, S, 0, -1),      // instruction byte 0xFF
                                     Entry(5, 2, S, 1),          //
                                     Entry(7, 3, S, 2, 2),       //
                                     Entry(7, 4, S, 3, 3),       //
                                     Entry(highThread, 2, S, 4), //
                                     Entry(highThread, 2, T, 9), //
                                     Entry(5, 2, T, 10),         //
                                     Entry(-1, 1, S, 11),        //
                                 });
    const auto& threads = analysis.Threads();
    ASSERT_EQ(threads.size(), 4u);
    EXPECT_EQ(threads[0].ThreadId, 7);
    EXPECT_EQ(threads[1].ThreadId, 5);
    EXPECT_EQ(threads[2].ThreadId, 5) << "low 32 bits of a 64-bit id";
    EXPECT_EQ(threads[3].ThreadId, -1);
    ASSERT_EQ(threads[0].Lines.size(), 2u);
    EXPECT_EQ(threads[0].Lines[0].LineId, 4);
    EXPECT_EQ(threads[0].Lines[1].LineId, 3);
    ASSERT_EQ(threads[0].Lines[0].Instructions.size(), 2u);
    EXPECT_EQ(threads[0].Lines[0].Instructions[0].InstructionNumber, -1);
    EXPECT_EQ(threads[0].Lines[0].Instructions[1].InstructionNumber, 3);
    // The two threads with equal low bits keep their own pairing.
    EXPECT_EQ(threads[1].Lines[0].Instructions[0].Hits, 1);
    EXPECT_EQ(threads[1].Lines[0].Instructions[0].TotalNanos, 9);
    EXPECT_EQ(threads[2].Lines[0].Instructions[0].Hits, 1);
    EXPECT_EQ(threads[2].Lines[0].Instructions[0].TotalNanos, 5);
}

TEST(AttributionTest, LinesOfCodeNameTheLineIds) {
    struct Case {
        const char* Name;
        std::vector<testing::ReportLine> Lines;
        EntryRecord Start;
        std::int32_t ExpectedLineId;
    };
    const std::vector<Case> cases = {
        {"position plus one", {{1, 5, ""}, {2, 5, ""}}, Entry(1, 5, S, 0, 1, 0, 2), 2},
        {"the last of equal lines wins",
         {{1, 5, ""}, {1, 6, ""}, {1, 5, ""}},
         Entry(1, 5, S, 0),
         3},
        {"file and line are not swapped", {{5, 1, ""}}, Entry(1, 5, S, 0), 0},
        {"negative numbers", {{-3, -4, ""}}, Entry(1, -4, S, 0, 1, 0, -3), 1},
        {"large numbers",
         {{2147483647, 2147483647, ""}},
         Entry(1, 2147483647, S, 0, 1, 0, 2147483647),
         1},
        {"no lines", {}, Entry(1, 5, S, 0), 0},
        {"a line number beyond the flat table",
         {{1, 5, ""}, {1, 2000000, ""}},
         Entry(1, 2000000, S, 0),
         2},
        {"a file id beyond the flat table", {{5000, 5, ""}}, Entry(1, 5, S, 0, 1, 0, 5000), 1},
        {"a negative line number", {{1, 5, ""}, {1, -5, ""}}, Entry(1, -5, S, 0), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        RunAnalysis analysis;
        ResetAttribution(analysis, testing::LinesOf(c.Lines));
        AttributeEntry(analysis, c.Start);
        ASSERT_EQ(analysis.Threads().size(), 1u);
        EXPECT_EQ(analysis.Threads()[0].Lines[0].LineId, c.ExpectedLineId);
    }
}

TEST(AttributionTest, ResetDiscardsThePreviousRun) {
    RunAnalysis analysis;
    ResetAttribution(analysis, testing::LinesOfFile1(5));
    testing::Attribute(analysis, {Entry(1, 1, S, 0), Entry(1, 2, S, 1), Entry(1, 2, T, 2),
                                  Entry(1, 1, T, 3), Entry(1, 3, S, 4)});
    ASSERT_NE(analysis.InvocationsOf(1), nullptr);

    ResetAttribution(analysis, testing::LinesOf({{1, 3, ""}}));
    EXPECT_TRUE(analysis.Threads().empty());
    EXPECT_EQ(analysis.InvocationsOf(1), nullptr);
    EXPECT_EQ(analysis.LineCount(), 1);
    // Line 3 was open before the reset: its stop now finds nothing open.
    AttributeEntry(analysis, Entry(1, 3, T, 10));
    EXPECT_TRUE(analysis.Threads().empty());
    testing::Attribute(analysis, {Entry(1, 3, S, 20), Entry(1, 3, T, 25)});
    ASSERT_EQ(analysis.Threads().size(), 1u);
    EXPECT_EQ(analysis.Threads()[0].Lines[0].LineId, 1);
    EXPECT_EQ(analysis.Threads()[0].Lines[0].Instructions[0].TotalNanos, 5);
}

TEST(AttributionTest, OutOfRangeQueriesAreSafe) {
    RunAnalysis analysis;
    EXPECT_EQ(analysis.InvocationsOf(0), nullptr);
    EXPECT_EQ(analysis.InvocationsOf(-5), nullptr);
    EXPECT_EQ(analysis.InvocationsOf(1 << 30), nullptr);
    // Entries before any reset go to line id 0.
    AttributeEntry(analysis, Entry(1, 1, S, 0));
    AttributeEntry(analysis, Entry(1, 1, T, 5));
    EXPECT_TRUE(ComputeLineResults(analysis, ThreadChecks{}, TimeMode::All).empty())
        << "no thread is checked";
    const auto results =
        ComputeLineResults(analysis, testing::ThreadChecksFor(analysis), TimeMode::All);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], (LineResult{0, 1, 5}));
}

TEST(AttributionTest, ExtremeTimeStampsWrapInsteadOfOverflowing) {
    RunAnalysis analysis;
    ResetAttribution(analysis, testing::LinesOfFile1(2));
    const std::int64_t min = std::numeric_limits<std::int64_t>::min();
    const std::int64_t max = std::numeric_limits<std::int64_t>::max();
    testing::Attribute(analysis, {Entry(1, 1, S, min), Entry(1, 1, T, max), Entry(1, 1, S, max),
                                  Entry(1, 1, T, min), Entry(1, 2, S, 0), Entry(1, 2, T, min)});
    for (const TimeMode mode : kTimeModes) {
        EXPECT_EQ(ComputeLineResults(analysis, testing::ThreadChecksFor(analysis), mode).size(),
                  2u);
    }
    const auto& line1 = analysis.Threads()[0].Lines[0].Instructions[0];
    EXPECT_EQ(line1.Hits, 2);
    EXPECT_EQ(line1.MaxNanos, 1); // max - min wraps to -1, counted as 1
}

} // namespace
} // namespace tickscope
