// Self time, run time, procedure figures and calls of small runs whose figures are worked
// out by hand in the comments; percentages and the order of hot spots.
#include "analysis/attribution.h"
#include "analysis/attribution_fixtures.h"
#include "analysis/line_figures.h"
#include "analysis/run_profile.h"
#include "common/statements.h"

#include <gtest/gtest.h>

#include <cctype>
#include <limits>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

namespace tickscope {
namespace {

using testing::Entry;

// Lines of file 1, numbered from 1, by the scope of their only instruction (-1: a line
// without instructions, such as a comment).
//   1  x = Foo(1)            main          7  Procedure Bar(a)         Bar
//   2  y = 2                 main          8    c = a * 2              Bar
//   3  Procedure Foo(a)      Foo           9    If c < 9 : Bar(c)      Bar
//   4    b = Bar(a)          Foo          10  EndProcedure             Bar
//   5    ProcedureReturn b   Foo          11  ; a comment              (none)
//   6  EndProcedure          Foo          12  Structure (declarative)  scope 0
constexpr int kMain = 1, kFoo = 2, kBar = 3;

ProgramInfo SmallProgram() {
    const int scopes[] = {kMain, kMain, kFoo, kFoo, kFoo, kFoo, kBar, kBar, kBar, kBar, -1, 0};
    ProgramInfo program;
    program.LinesOfCode = testing::LinesOfFile1(12);
    for (std::size_t i = 0; i < program.LinesOfCode.size(); ++i) {
        if (scopes[i] >= 0) {
            testing::AddStatement(program.LinesOfCode[i], "", scopes[i]);
        }
    }
    program.ScopeIds.Set(kMainScopeName, kMain);
    program.ScopeIds.Set("Foo", kFoo);
    program.ScopeIds.Set("Bar", kBar);
    return program;
}

// Entries of thread 1 on lines of file 1: start or stop, line, nanos, and the stack frame
// where two executions of one line overlap.
EntryRecord Start(std::int32_t line, std::int64_t nanos, std::int64_t frame = 0) {
    return Entry(1, line, true, nanos, 1, frame);
}
EntryRecord Stop(std::int32_t line, std::int64_t nanos, std::int64_t frame = 0) {
    return Entry(1, line, false, nanos, 1, frame);
}

struct LineCase {
    std::int32_t LineId;
    std::int64_t Hits, Total, Child, Self, Calls;
};
struct ProcedureCase {
    std::int32_t ScopeId;
    std::int64_t Calls, Self, Total;
};
struct CallCase {
    std::int32_t Caller, Callee;
    std::int64_t Calls, Inclusive;
};
struct ProfileCase {
    const char* Name;
    std::vector<EntryRecord> Entries;
    std::vector<bool> Threads; // checked threads; all when empty
    std::int64_t Run;
    std::vector<LineCase> Lines;
    std::vector<ProcedureCase> Procedures;
    std::vector<CallCase> Calls;
};

void PrintTo(const ProfileCase& c, std::ostream* out) {
    *out << c.Name;
}

const std::vector<ProfileCase>& Cases() {
    static const std::vector<ProfileCase> cases = {
        // Line 1 (main) calls Foo: its lines 4 (calling Bar, line 8) and 5. Parents: 8 in
        // 4, 4 and 5 in 1; 1 and 2 have none. Child time: line 1 50 + 10, line 4 10.
        {"nested calls",
         {Start(1, 0), Start(4, 10), Start(8, 20), Stop(8, 30), Stop(4, 60), Start(5, 60),
          Stop(5, 70), Stop(1, 100), Start(2, 100), Stop(2, 110)},
         {},
         110,
         {{1, 1, 100, 60, 40, 1},
          {2, 1, 10, 0, 10, 0},
          {4, 1, 50, 10, 40, 1},
          {5, 1, 10, 0, 10, 0},
          {8, 1, 10, 0, 10, 0}},
         {{kMain, 0, 50, 110}, {kFoo, 1, 50, 60}, {kBar, 1, 10, 10}},
         {{1, kFoo, 1, 60}, {4, kBar, 1, 10}}},
        // Line 9 of Bar calls Bar through itself. Its inner start finds it open, so the
        // parent of that start is line 1; the inner stop closes the line and the outer stop
        // is not counted. Line 8 runs once under line 1, once under line 9. Bar's total
        // leaves out the run of line 8 under its own line 9: 10 + 10. One opening of line 1
        // is the parent of all of Bar that counts: one call.
        {"recursion through one line",
         {Start(1, 0), Start(8, 10), Stop(8, 20), Start(9, 20, 100), Start(8, 30), Stop(8, 40),
          Start(9, 40, 200), Stop(9, 50, 200), Stop(9, 60, 100), Stop(1, 70)},
         {},
         70,
         {{1, 1, 70, 20, 50, 1}, {8, 2, 20, 0, 20, 0}, {9, 1, 10, 10, 0, 0}},
         {{kMain, 0, 50, 70}, {kBar, 1, 20, 20}},
         {{1, kBar, 1, 20}}},
        // Foo's line 4 calls Bar, whose line 9 calls Foo again: the inner start of line 4
        // (open) has line 9 as its parent, line 8 has line 9 (newest open) too. The inner
        // stop of line 4 closes it; the outer one is not counted. Line 4's child time (50)
        // exceeds its total (30): its self time is 0, and the self times (110) exceed the
        // run time (90).
        {"recursion through two procedures",
         {Start(1, 0), Start(4, 10, 100), Start(9, 20), Start(4, 30, 200), Start(8, 40),
          Stop(8, 50), Stop(4, 60, 200), Stop(9, 70), Stop(4, 80, 100), Stop(1, 90)},
         {},
         90,
         {{1, 1, 90, 0, 90, 0}, {4, 1, 30, 50, 0, 1}, {8, 1, 10, 0, 10, 0}, {9, 1, 50, 40, 10, 1}},
         {{kMain, 0, 90, 90}, {kFoo, 1, 0, 30}, {kBar, 1, 20, 50}},
         {{4, kBar, 1, 50}, {9, kFoo, 1, 30}}},
        // Line 1 holds two statements, a = Foo() : b = Foo(). Each is an opening of line 1
        // of its own (instructions 1 and 2), so Foo is called twice.
        {"two instructions on one line",
         {Entry(1, 1, true, 0, 1), Start(4, 10), Stop(4, 20), Entry(1, 1, false, 25, 1),
          Entry(1, 1, true, 25, 2), Start(4, 30), Stop(4, 40), Entry(1, 1, false, 50, 2)},
         {},
         50,
         {{1, 2, 50, 20, 30, 2}, {4, 2, 20, 0, 20, 0}},
         {{kMain, 0, 30, 50}, {kFoo, 2, 20, 20}},
         {{1, kFoo, 2, 20}}},
        // x = Foo(1) + Foo(2): one statement, one opening of line 1, one call.
        {"one statement calling twice",
         {Start(1, 0), Start(4, 10), Stop(4, 20), Start(4, 30), Stop(4, 40), Stop(1, 50)},
         {},
         50,
         {{1, 1, 50, 20, 30, 1}, {4, 2, 20, 0, 20, 0}},
         {{kMain, 0, 30, 50}, {kFoo, 1, 20, 20}},
         {{1, kFoo, 1, 20}}},
        // Thread 2 (unchecked) runs the same lines; only thread 1 counts, its run time too.
        {"two threads, the second unchecked",
         {Start(1, 0), Entry(2, 2, true, 5), Start(4, 10), Entry(2, 4, true, 12),
          Entry(2, 4, false, 40), Stop(4, 20), Entry(2, 2, false, 45), Stop(1, 30)},
         {true, false},
         30,
         {{1, 1, 30, 10, 20, 1}, {4, 1, 10, 0, 10, 0}},
         {{kMain, 0, 20, 30}, {kFoo, 1, 10, 10}},
         {{1, kFoo, 1, 10}}},
        {"two threads, the first unchecked",
         {Start(1, 0), Entry(2, 2, true, 5), Start(4, 10), Entry(2, 4, true, 12),
          Entry(2, 4, false, 40), Stop(4, 20), Entry(2, 2, false, 45), Stop(1, 30)},
         {false, true},
         40,
         {{2, 1, 40, 28, 12, 1}, {4, 1, 28, 0, 28, 0}},
         {{kMain, 0, 12, 40}, {kFoo, 1, 28, 28}},
         {{2, kFoo, 1, 28}}},
        // Line 4 starts and never stops: it has a result without hits, and it stays open,
        // so it is the parent of line 1's second execution: Foo's line calls the main
        // program, whose total takes both executions of line 1, and line 4's child time
        // (20) exceeds its total (0). The stops of lines 5 and 2 have no start and count
        // nothing. Line 1 calls Bar in its second execution.
        {"starts that never stop and stops without starts",
         {Start(1, 0), Start(4, 10), Stop(5, 15), Stop(2, 16), Stop(1, 20), Start(1, 30),
          Start(8, 35), Stop(8, 40), Stop(1, 50)},
         {},
         20,
         {{1, 2, 40, 5, 35, 1}, {4, 0, 0, 20, 0, 1}, {8, 1, 5, 0, 5, 0}},
         {{kMain, 1, 35, 40}, {kFoo, 0, 0, 0}, {kBar, 1, 5, 5}},
         {{1, kBar, 1, 5}, {4, kMain, 1, 20}}},
        // An execution that outlives its parent's opening: line 5 runs under line 1's first
        // opening (a call of Foo), line 4 starts under it too and stops only after line 1
        // has stopped, opened again and called Foo once more (line 5). Line 4 belongs to
        // the first opening, already counted: Foo has two calls, not three. (Line 4, open,
        // is the parent of line 1's second execution.)
        {"a stop after the parent opened again",
         {Start(1, 0), Start(5, 5), Stop(5, 8), Start(4, 10), Stop(1, 20), Start(1, 30),
          Start(5, 35), Stop(5, 40), Stop(4, 45), Stop(1, 50)},
         {},
         20,
         {{1, 2, 40, 43, 0, 2}, {4, 1, 35, 20, 15, 1}, {5, 2, 8, 0, 8, 0}},
         {{kMain, 1, 0, 40}, {kFoo, 2, 23, 43}},
         {{1, kFoo, 2, 43}, {4, kMain, 1, 20}}},
        // Parents of no procedure: an entry of a line that is no line of code (line id 0),
        // a line without instructions (11) and a declarative line (12). They carry child
        // time and Foo's total, but a line of no procedure calls nothing.
        {"parents of no procedure",
         {Entry(1, 99, true, 0), Start(4, 10), Stop(4, 20), Entry(1, 99, false, 25), Start(11, 30),
          Start(5, 31), Stop(5, 33), Stop(11, 35), Start(12, 40), Start(4, 41), Stop(4, 44),
          Stop(12, 45)},
         {},
         35,
         {{0, 1, 25, 10, 15, 0},
          {4, 2, 13, 0, 13, 0},
          {5, 1, 2, 0, 2, 0},
          {11, 1, 5, 2, 3, 0},
          {12, 1, 5, 3, 2, 0}},
         {{kFoo, 0, 15, 15}},
         {}},
    };
    return cases;
}

class RunProfileTest : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(RunProfileTest, FiguresAreThoseWorkedOutByHand) {
    const ProfileCase& c = GetParam();
    const ProgramInfo program = SmallProgram();
    RunAnalysis analysis;
    ResetAttribution(analysis, program.LinesOfCode);
    testing::Attribute(analysis, c.Entries);
    const RunProfile profile =
        ComputeRunProfile(analysis, program, testing::ThreadChecksFor(analysis, c.Threads));

    EXPECT_EQ(profile.RunNanos, c.Run);
    std::vector<LineCase> lines;
    for (const LineProfile& line : profile.Lines) {
        lines.push_back(
            {line.LineId, line.Hits, line.TotalNanos, line.ChildNanos, line.SelfNanos, line.Calls});
    }
    ASSERT_EQ(lines.size(), c.Lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LineCase& a = lines[i];
        const LineCase& b = c.Lines[i];
        EXPECT_EQ(std::tie(a.LineId, a.Hits, a.Total, a.Child, a.Self, a.Calls),
                  std::tie(b.LineId, b.Hits, b.Total, b.Child, b.Self, b.Calls))
            << "line " << b.LineId;
    }
    ASSERT_EQ(profile.Procedures.size(), c.Procedures.size());
    for (std::size_t i = 0; i < c.Procedures.size(); ++i) {
        const ProcedureProfile& a = profile.Procedures[i];
        const ProcedureCase& b = c.Procedures[i];
        EXPECT_EQ(std::tie(a.ScopeId, a.Calls, a.SelfNanos, a.TotalNanos),
                  std::tie(b.ScopeId, b.Calls, b.Self, b.Total))
            << "procedure " << b.ScopeId;
    }
    ASSERT_EQ(profile.Calls.size(), c.Calls.size());
    for (std::size_t i = 0; i < c.Calls.size(); ++i) {
        const CallProfile& a = profile.Calls[i];
        const CallCase& b = c.Calls[i];
        EXPECT_EQ(std::tie(a.CallerLineId, a.CalleeScopeId, a.Calls, a.InclusiveNanos),
                  std::tie(b.Caller, b.Callee, b.Calls, b.Inclusive))
            << "calls from line " << b.Caller;
    }
}

INSTANTIATE_TEST_SUITE_P(HandWorked, RunProfileTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) {
                             std::string name = info.param.Name;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

TEST(RunProfileTest, ProceduresAreNamedByTheirFirstNameAndFirstLine) {
    ProgramInfo program = SmallProgram();
    program.ScopeIds.Set("FooAlias", kFoo);             // a second name: the first one counts
    program.LinesOfCode[6].Instructions[0].ScopeId = 7; // Bar's header in a scope without name
    RunAnalysis analysis;
    ResetAttribution(analysis, program.LinesOfCode);
    testing::Attribute(analysis, {Start(5, 0), Stop(5, 1), Start(7, 2), Stop(7, 3)});
    const RunProfile profile = ComputeRunProfile(analysis, program, {true});
    ASSERT_EQ(profile.Procedures.size(), 2u);
    EXPECT_EQ(profile.Procedures[0].Name, "Foo");
    EXPECT_EQ(profile.Procedures[0].FirstLineId, 3); // its header, which never ran
    EXPECT_EQ(ProcedureLabel(profile.Procedures[0]), "Foo");
    EXPECT_EQ(profile.Procedures[1].Name, "");
    EXPECT_EQ(profile.Procedures[1].FirstLineId, 7);
    EXPECT_EQ(ProcedureLabel(profile.Procedures[1]), "(scope 7)");
}

TEST(RunProfileTest, InstructionFiguresAddUpOverTheCheckedThreads) {
    // Line 1: instruction 2 first (thread 1: 40 ns), then instruction 1 (thread 1: 10 and
    // 30 ns; thread 2: 20 ns, thread 3: 5 ns); instruction 3 starts in thread 2 and never
    // stops. Line 2 only in thread 3 (7 ns).
    const std::vector<EntryRecord> entries = {
        Entry(1, 1, true, 0, 2),   Entry(1, 1, false, 40, 2), Entry(1, 1, true, 40, 1),
        Entry(1, 1, false, 50, 1), Entry(1, 1, true, 50, 1),  Entry(1, 1, false, 80, 1),
        Entry(2, 1, true, 0, 1),   Entry(2, 1, false, 20, 1), Entry(2, 1, true, 20, 3),
        Entry(3, 1, true, 0, 1),   Entry(3, 1, false, 5, 1),  Entry(3, 2, true, 5, 1),
        Entry(3, 2, false, 12, 1)};
    RunAnalysis analysis;
    ResetAttribution(analysis, testing::LinesOfFile1(3));
    testing::Attribute(analysis, entries);
    struct Case {
        const char* Name;
        std::vector<bool> Threads;
        // Per line id 0..3: {number, hits, total, max, min} of each instruction.
        std::vector<std::vector<std::tuple<int, int, int, int, int>>> Expected;
        std::int64_t RunNanos;
    };
    const std::vector<Case> cases = {
        {"all threads",
         {true, true, true},
         {{}, {{1, 4, 65, 30, 5}, {2, 1, 40, 40, 40}, {3, 0, 0, 0, 0}}, {{1, 1, 7, 7, 7}}, {}},
         112},
        {"the first thread",
         {true, false, false},
         {{}, {{1, 2, 40, 30, 10}, {2, 1, 40, 40, 40}}, {}, {}},
         80},
        {"the second and third",
         {false, true, true},
         {{}, {{1, 2, 25, 20, 5}, {3, 0, 0, 0, 0}}, {{1, 1, 7, 7, 7}}, {}},
         32},
        {"none", {false, false, false}, {{}, {}, {}, {}}, 0},
    };
    for (const Case& c : cases) {
        const ThreadChecks threads = testing::ThreadChecksFor(analysis, c.Threads);
        const auto sums = SumInstructionFigures(analysis, threads);
        ASSERT_EQ(sums.size(), c.Expected.size()) << c.Name;
        for (std::size_t id = 0; id < sums.size(); ++id) {
            std::vector<std::tuple<int, int, int, int, int>> got;
            for (const InstructionFigures& f : sums[id]) {
                got.emplace_back(f.InstructionNumber, f.Hits, f.TotalNanos, f.MaxNanos, f.MinNanos);
            }
            EXPECT_EQ(got, c.Expected[id]) << c.Name << ", line " << id;
        }
        EXPECT_EQ(SumRunNanos(analysis, threads), c.RunNanos) << c.Name;
    }
}

TEST(RunProfileTest, PercentagesHaveTwoDecimals) {
    const struct {
        std::int64_t Part, Whole;
        const char* Text;
    } cases[] = {
        {1234, 10000, "12.34"},
        {0, 0, "0.00"},
        {5, 0, "0.00"},
        {1, 3, "33.33"},
        {2, 3, "66.67"},
        {1, 80000, "0.00"},
        {1, 20000, "0.01"},
        {3, 2, "150.00"},
        {10, 10, "100.00"},
        {-1, 3, "-33.33"},
        {1, -8, "-12.50"},
        {0, 7, "0.00"},
        {std::numeric_limits<std::int64_t>::max(), 1, "922337203685477580700.00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatPercent(c.Part, c.Whole), c.Text) << c.Part << " / " << c.Whole;
    }
}

TEST(RunProfileTest, HotSpotsRankByTheChosenFigure) {
    RunProfile profile;
    profile.Lines = {{1, 1, 5, 90, 0, 40, 0},
                     {2, 1, 9, 10, 0, 10, 3},
                     {3, 2, 1, 50, 0, 50, 1},
                     {4, 2, 9, 50, 0, 40, 0}};
    profile.Procedures = {{1, "main", 1, 0, 14, 50, 100}, {2, "Foo", 3, 4, 10, 90, 50}};
    const struct {
        ProfileOrder Order;
        std::vector<std::size_t> Lines, Procedures;
    } cases[] = {
        {ProfileOrder::Self, {2, 0, 3, 1}, {1, 0}}, // equal self times keep their order
        {ProfileOrder::Total, {0, 2, 3, 1}, {0, 1}},
        {ProfileOrder::Hits, {1, 3, 0, 2}, {0, 1}},
        {ProfileOrder::Calls, {1, 2, 0, 3}, {1, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RankLines(profile, c.Order), c.Lines);
        EXPECT_EQ(RankProcedures(profile, c.Order), c.Procedures);
    }
}

} // namespace
} // namespace tickscope
