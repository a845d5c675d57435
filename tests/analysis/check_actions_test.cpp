#include "analysis/attribution_fixtures.h"
#include "analysis/check_actions.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <tuple>

namespace tickscope {
namespace {

using testing::Entry;
constexpr bool S = true;
constexpr bool T = false;

// Answers a choice from a script and records what it was asked.
class ScriptedChooser : public ListChooser {
  public:
    explicit ScriptedChooser(std::optional<std::size_t> answer) : answer_(answer) {}
    std::optional<std::size_t> Choose(ChoiceKind kind,
                                      const std::vector<ChoiceRow>& rows) override {
        std::string shown;
        for (const ChoiceRow& row : rows) {
            shown += std::to_string(row.Id) + "|" + row.Name + "\n";
        }
        Asked.push_back({kind, shown});
        return answer_;
    }
    std::vector<std::pair<ChoiceKind, std::string>> Asked;

  private:
    std::optional<std::size_t> answer_;
};

constexpr std::optional<std::size_t> kNone = std::nullopt;

struct ProgramLine {
    int File;
    int Line;
    std::string Code;
    std::vector<int> Scopes;
};

// Rows: 0 main line calling Foo, 1-3 procedure Foo (scope 2), 4-6 procedure Bar in file 2
// (scope 3), 7 file 12, 8 file 20, 9 a declarative line (scope 0), 10 shared by both
// threads, 11 executed by the worker only.
const std::vector<ProgramLine> kProgram = {
    {1, 1, "a = 1 : Foo()", {1, 1}},
    {1, 2, "Procedure Foo()", {2}},
    {1, 3, "  Bar()", {2}},
    {1, 4, "EndProcedure", {2}},
    {2, 1, "Procedure Bar()", {3}},
    {2, 2, "  Delay(10)", {3}},
    {2, 3, "EndProcedure", {3}},
    {12, 1, "MessageRequester(\"a\", \"b\")", {1}},
    {20, 1, "x = 1 ; then waitwindowevent( later", {1}},
    {1, 5, "  OpenFileRequester(\"\", \"\", \"\", 0)", {0}},
    {1, 6, "y = 2", {1}},
    {2, 4, "z = 3", {3}},
};

// Main thread 100 runs row 0, which calls Foo (row 2), which calls Bar (row 5), then row
// 10; worker 200 runs rows 10 and 11; thread 0 runs row 7.
std::vector<EntryRecord> ScenarioEntries() {
    auto at = [](int row, bool start, std::int64_t thread, std::int64_t nanos, int instr = 1) {
        return Entry(thread, kProgram[row].Line, start, nanos, static_cast<std::int8_t>(instr), 0,
                     kProgram[row].File);
    };
    return {at(0, S, 100, 0, 2), at(2, S, 100, 10),    at(5, S, 100, 20),  at(5, T, 100, 30),
            at(2, T, 100, 40),   at(0, T, 100, 50, 2), at(10, S, 100, 60), at(10, T, 100, 70),
            at(10, S, 200, 5),   at(10, T, 200, 9),    at(11, S, 200, 10), at(11, T, 200, 12),
            at(7, S, 0, 1),      at(7, T, 0, 2)};
}

struct Fixture {
    LoadedRun Run;
    LineChecks Lines;

    explicit Fixture(const std::vector<EntryRecord>& entries = ScenarioEntries()) {
        for (const ProgramLine& p : kProgram) {
            LineOfCode line;
            line.SourceFileId = p.File;
            line.LineNumber = p.Line;
            line.Code = p.Code;
            for (std::size_t i = 0; i < p.Scopes.size(); ++i) {
                Instruction instruction;
                instruction.ScopeId = p.Scopes[i];
                instruction.InstructionNumber = static_cast<int>(i + 1);
                line.Instructions.push_back(instruction);
            }
            Run.Program.LinesOfCode.push_back(line);
        }
        for (const int id : {1, 2, 12, 20}) {
            Run.Program.SourceFileIds.Set("/src/file" + std::to_string(id) + ".pb", id);
        }
        ResetAttribution(Run.Analysis, Run.Program.LinesOfCode);
        testing::Attribute(Run.Analysis, entries);
        for (const ThreadNode& thread : Run.Analysis.Threads()) {
            Run.Threads.push_back({thread.ThreadId, "scope"});
        }
        Lines.assign(Run.Program.LinesOfCode.size(), false);
    }

    void Check(const std::set<std::size_t>& rows) {
        for (std::size_t r = 0; r < Lines.size(); ++r) {
            Lines[r] = rows.count(r) != 0;
        }
    }
    std::set<std::size_t> Checked() const {
        std::set<std::size_t> rows;
        for (std::size_t r = 0; r < Lines.size(); ++r) {
            if (Lines[r]) {
                rows.insert(r);
            }
        }
        return rows;
    }
    void Act(CheckAction action, std::optional<std::size_t> answer = kNone) {
        ScriptedChooser chooser(answer);
        CheckActionContext context{Lines, Run, chooser};
        RunCheckAction(action, context);
    }
};

const std::set<std::size_t> kAll = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

std::set<std::size_t> AllBut(const std::set<std::size_t>& removed) {
    std::set<std::size_t> rows;
    for (std::size_t r : kAll) {
        if (removed.count(r) == 0) {
            rows.insert(r);
        }
    }
    return rows;
}

struct ActionCase {
    const char* Name;
    CheckAction Action;
    std::set<std::size_t> Before;
    std::optional<std::size_t> Answer; // the chosen row of the choice, if asked
    std::set<std::size_t> After;
};

using enum CheckAction;

TEST(CheckActionsTest, EachActionChecksTheRightRows) {
    // Source files are offered in the order 1, 2, 12, 20; threads as 100, 200, 0.
    const std::vector<ActionCase> cases = {
        {"check all", CheckAll, {3}, kNone, kAll},
        {"remove all checks", UncheckAll, kAll, kNone, {}},
        {"complete scopes of one procedure line", CompleteScopes, {2}, kNone, {1, 2, 3}},
        {"complete scopes of two procedures",
         CompleteScopes,
         {2, 5},
         kNone,
         {1, 2, 3, 4, 5, 6, 11}},
        {"complete scopes of a main line with two statements",
         CompleteScopes,
         {0},
         kNone,
         {0, 7, 8, 10}},
        {"complete scopes of a declarative line", CompleteScopes, {9}, kNone, {9}},
        {"complete scopes with nothing checked", CompleteScopes, {}, kNone, {}},
        {"add checks for a source file", CheckSourceFile, {0}, 1, {0, 4, 5, 6, 11}},
        {"add checks for file 12 only", CheckSourceFile, {}, 2, {7}},
        {"add checks for file 20 only", CheckSourceFile, {}, 3, {8}},
        {"a closed source-file dialog adds nothing", CheckSourceFile, {0}, kNone, {0}},
        {"remove checks for file 2, not 12 or 20", UncheckSourceFile, kAll, 1,
         AllBut({4, 5, 6, 11})},
        {"a choice beyond the files removes nothing", UncheckSourceFile, kAll, 9, kAll},
        {"add checks for the worker thread", CheckThread, {0}, 1, {0, 10, 11}},
        {"add checks for the main thread", CheckThread, {}, 0, {0, 2, 5, 10}},
        {"a closed thread dialog adds nothing, even with a thread 0", CheckThread, {}, kNone, {}},
        {"thread 0 when chosen", CheckThread, {}, 2, {7}},
        {"remove checks for the main thread", UncheckThread, kAll, 0, AllBut({0, 2, 5, 10})},
        {"a choice beyond the threads removes nothing", UncheckThread, kAll, 7, kAll},
        {"add implicit invocations of a call at every depth",
         CheckInvocations,
         {0},
         kNone,
         {0, 2, 5}},
        {"add invocations of a nested call", CheckInvocations, {2}, kNone, {2, 5}},
        {"add invocations of a line without any", CheckInvocations, {10}, kNone, {10}},
        {"remove invocations of unchecked lines", UncheckInvocationsOfUnchecked, AllBut({0}), kNone,
         AllBut({0, 2, 5})},
        {"remove invocations with everything checked", UncheckInvocationsOfUnchecked, kAll, kNone,
         kAll},
        {"remove calls", UncheckCalls, kAll, kNone, AllBut({0, 2})},
        {"remove calls keeps unchecked rows unchecked", UncheckCalls, {5, 10}, kNone, {5, 10}},
        {"remove time consumers", UncheckTimeConsumers, kAll, kNone, AllBut({5, 7, 8, 9})},
        {"remove time consumers checks nothing", UncheckTimeConsumers, {0, 5}, kNone, {0}},
    };
    for (const ActionCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Fixture f;
        f.Check(c.Before);
        f.Act(c.Action, c.Answer);
        EXPECT_EQ(f.Checked(), c.After);
    }
}

TEST(CheckActionsTest, InvocationsAreNotExtendedTransitively) {
    // Line 2 invoked line 3 in an earlier execution; inside line 1 it invoked nothing.
    Fixture f({Entry(1, 3, S, 0, 1, 0, 2), Entry(1, 4, S, 1, 1, 0, 2), Entry(1, 4, T, 2, 1, 0, 2),
               Entry(1, 3, T, 3, 1, 0, 2), Entry(1, 2, S, 4), Entry(1, 3, S, 5, 1, 0, 2),
               Entry(1, 3, T, 6, 1, 0, 2), Entry(1, 2, T, 7)});
    // Rows: line 1.2 is row 1, line 2.3 is row 6, line 2.4 is row 11.
    f.Check({1});
    f.Act(CheckInvocations);
    EXPECT_EQ(f.Checked(), (std::set<std::size_t>{1, 6}));
    f.Act(CheckInvocations);
    EXPECT_EQ(f.Checked(), (std::set<std::size_t>{1, 6, 11}));
}

TEST(CheckActionsTest, ChoicesOfferTheSourceFilesAndThreadsOfTheRun) {
    const std::string files =
        "1|/src/file1.pb\n2|/src/file2.pb\n12|/src/file12.pb\n20|/src/file20.pb\n";
    const std::string threads = "100|scope\n200|scope\n0|scope\n";
    const std::vector<std::tuple<CheckAction, ChoiceKind, std::string>> cases = {
        {CheckSourceFile, ChoiceKind::SourceFileToCheck, files},
        {UncheckSourceFile, ChoiceKind::SourceFileToUncheck, files},
        {CheckThread, ChoiceKind::ThreadToCheck, threads},
        {UncheckThread, ChoiceKind::ThreadToUncheck, threads},
    };
    for (const auto& [action, kind, rows] : cases) {
        Fixture f;
        ScriptedChooser chooser(kNone);
        CheckActionContext context{f.Lines, f.Run, chooser};
        RunCheckAction(action, context);
        ASSERT_EQ(chooser.Asked.size(), 1u);
        EXPECT_EQ(chooser.Asked[0].first, kind);
        EXPECT_EQ(chooser.Asked[0].second, rows);
    }
}

TEST(CheckActionsTest, WithoutARunEveryActionIsSafeAndChangesNothing) {
    for (const CheckAction action :
         {CheckAll, UncheckAll, CompleteScopes, CheckSourceFile, CheckThread, CheckInvocations,
          UncheckSourceFile, UncheckThread, UncheckInvocationsOfUnchecked, UncheckCalls,
          UncheckTimeConsumers}) {
        SCOPED_TRACE(static_cast<int>(action));
        LineChecks lines;
        const LoadedRun run;
        ScriptedChooser chooser(0);
        CheckActionContext context{lines, run, chooser};
        RunCheckAction(action, context);
        EXPECT_TRUE(lines.empty());
        for (const auto& asked : chooser.Asked) {
            EXPECT_EQ(asked.second, "") << "the requester shows an empty list";
        }
    }
}

TEST(CheckActionsTest, ScopesOfLinesBeyondTheProgramAreIgnored) {
    Fixture f;
    f.Run.Program.LinesOfCode.resize(3); // fewer lines than checks
    f.Check({1, 11});
    f.Act(CompleteScopes);
    EXPECT_EQ(f.Checked(), (std::set<std::size_t>{1, 2}));
}

TEST(CheckActionsTest, TimeConsumersAreFoundByPlainSubstring) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"Delay(5)", true},
        {"MessageRequester(\"Title\", \"Text\")", true},
        {"OpenFileRequester(\"\", \"\", \"\", 0)", true},
        {"Event = WaitWindowEvent(100)", true},
        {"; waitwindowevent( in a comment", true},
        {"x$ = \"DELAY(\"", true},
        {"Delay (5)", false},
        {"WaitWindowEvent", false},
        {"MessageRequest(1)", false},
        {"", false},
    };
    for (const auto& [code, expected] : cases) {
        EXPECT_EQ(IsTimeConsumer(code), expected) << code;
    }
}

} // namespace
} // namespace tickscope
