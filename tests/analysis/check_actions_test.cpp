#include "analysis/attribution_fixtures.h"
#include "analysis/check_actions.h"

#include <gtest/gtest.h>

#include <set>

namespace tickscope {
namespace {

using testing::Entry;
constexpr bool S = true;
constexpr bool T = false;

// Answers SelectFromList from a script and records what it was asked.
class ScriptedChooser : public ListChooser {
  public:
    explicit ScriptedChooser(std::string answer) : answer_(std::move(answer)) {}
    std::string SelectFromList(const std::string& title, const std::string& prompt,
                               const std::string& columnTitles, const std::string& columnWidths,
                               const std::string& rows) override {
        Asked.push_back({title, prompt, columnTitles, columnWidths, rows});
        return answer_;
    }
    std::vector<std::vector<std::string>> Asked;

  private:
    std::string answer_;
};

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
    AnalyzerLists Lists;
    ProgramInfo Program;
    RunAnalysis Analysis;

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
            Program.LinesOfCode.push_back(line);
            Lists.ReportList.AddRow(
                {"", std::to_string(p.File), std::to_string(p.Line), "", "", p.Code});
        }
        for (const char* id : {"1", "2", "12", "20"}) {
            Lists.SourceFileList.AddRow({id, std::string("/src/file") + id + ".pb"});
        }
        ResetAttribution(Analysis, Lists.ReportList);
        testing::Attribute(Analysis, entries);
        for (const ThreadNode& thread : Analysis.Threads()) {
            Lists.ThreadList.AddRow({"", std::to_string(thread.ThreadId), "scope"}).Checked = true;
        }
    }

    void Check(const std::set<std::size_t>& rows) {
        for (std::size_t r = 0; r < Lists.ReportList.Rows.size(); ++r) {
            Lists.ReportList.Rows[r].Checked = rows.count(r) != 0;
        }
    }
    std::set<std::size_t> Checked() const {
        std::set<std::size_t> rows;
        for (std::size_t r = 0; r < Lists.ReportList.Rows.size(); ++r) {
            if (Lists.ReportList.Rows[r].Checked) {
                rows.insert(r);
            }
        }
        return rows;
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
    int ItemId;
    std::set<std::size_t> Before;
    std::string Answer;
    std::set<std::size_t> After;
};

TEST(CheckActionsTest, EachActionChecksTheRightRows) {
    const std::vector<ActionCase> cases = {
        {"check all", 1001, {3}, "", kAll},
        {"remove all checks", 1002, kAll, "", {}},
        {"complete scopes of one procedure line", 1003, {2}, "", {1, 2, 3}},
        {"complete scopes of two procedures", 1003, {2, 5}, "", {1, 2, 3, 4, 5, 6, 11}},
        {"complete scopes of a main line with two statements", 1003, {0}, "", {0, 7, 8, 10}},
        {"complete scopes of a declarative line", 1003, {9}, "", {9}},
        {"complete scopes with nothing checked", 1003, {}, "", {}},
        {"add checks for a source file", 1008, {0}, "2|/src/file2.pb", {0, 4, 5, 6, 11}},
        {"add checks for file 12 only", 1008, {}, "12|/src/file12.pb", {7}},
        {"an answer without a bar is the id", 1008, {}, "20", {8}},
        {"a closed source-file dialog adds nothing", 1008, {0}, "", {0}},
        {"remove checks for file 2, not 12 or 20", 1009, kAll, "2|/src/file2.pb",
         AllBut({4, 5, 6, 11})},
        {"an unknown file id removes nothing", 1009, kAll, "7|gone.pb", kAll},
        {"add checks for the worker thread", 1006, {0}, "200|scope", {0, 10, 11}},
        {"add checks for the main thread", 1006, {}, "100|scope", {0, 2, 5, 10}},
        {"a closed thread dialog adds nothing, even with a thread 0", 1006, {}, "", {}},
        {"thread 0 when chosen", 1006, {}, "0|scope", {7}},
        {"remove checks for the main thread", 1007, kAll, "100|scope", AllBut({0, 2, 5, 10})},
        {"remove checks for an unknown thread", 1007, kAll, "555|scope", kAll},
        {"add implicit invocations of a call at every depth", 1004, {0}, "", {0, 2, 5}},
        {"add invocations of a nested call", 1004, {2}, "", {2, 5}},
        {"add invocations of a line without any", 1004, {10}, "", {10}},
        {"remove invocations of unchecked lines", 1005, AllBut({0}), "", AllBut({0, 2, 5})},
        {"remove invocations with everything checked", 1005, kAll, "", kAll},
        {"remove calls", 1010, kAll, "", AllBut({0, 2})},
        {"remove calls keeps unchecked rows unchecked", 1010, {5, 10}, "", {5, 10}},
        {"remove time consumers", 1011, kAll, "", AllBut({5, 7, 8, 9})},
        {"remove time consumers checks nothing", 1011, {0, 5}, "", {0}},
    };
    for (const ActionCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Fixture f;
        f.Check(c.Before);
        ScriptedChooser chooser(c.Answer);
        CheckActionContext context{f.Lists, f.Program, f.Analysis, chooser};
        const CheckAction action = CheckActionForItem(c.ItemId);
        ASSERT_NE(action, nullptr);
        action(context);
        EXPECT_EQ(f.Checked(), c.After);
        for (const ListRow& row : f.Lists.ThreadList.Rows) {
            EXPECT_TRUE(row.Checked) << "thread checks are never touched";
        }
    }
}

TEST(CheckActionsTest, InvocationsAreNotExtendedTransitively) {
    // Line 2 invoked line 3 in an earlier execution; inside line 1 it invoked nothing.
    Fixture f({Entry(1, 3, S, 0, 1, 0, 2), Entry(1, 4, S, 1, 1, 0, 2), Entry(1, 4, T, 2, 1, 0, 2),
               Entry(1, 3, T, 3, 1, 0, 2), Entry(1, 2, S, 4), Entry(1, 3, S, 5, 1, 0, 2),
               Entry(1, 3, T, 6, 1, 0, 2), Entry(1, 2, T, 7)});
    // Rows: line 1.2 is row 1, line 2.3 is row 6, line 2.4 is row 11.
    f.Check({1});
    ScriptedChooser chooser("");
    CheckActionContext context{f.Lists, f.Program, f.Analysis, chooser};
    CheckInvocations(context);
    EXPECT_EQ(f.Checked(), (std::set<std::size_t>{1, 6}));
    CheckInvocations(context);
    EXPECT_EQ(f.Checked(), (std::set<std::size_t>{1, 6, 11}));
}

TEST(CheckActionsTest, ChoosersAreAskedWithTheListsTexts) {
    struct Case {
        int ItemId;
        const char* Prompt;
        const char* Titles;
        const char* Widths;
        const char* Rows;
    };
    const char* files = "1|/src/file1.pb\n2|/src/file2.pb\n12|/src/file12.pb\n20|/src/file20.pb\n";
    const char* threads = "100|scope\n200|scope\n0|scope\n";
    const std::vector<Case> cases = {
        {1008, "Select sourcefile to add checks for ...", "ID|File", "25|350", files},
        {1009, "Select sourcefile to remove checks for ...", "ID|File", "25|350", files},
        {1006, "Select thread to add checks for ...", "ID|Procedure", "50|325", threads},
        {1007, "Select thread to remove checks for ...", "ID|Procedure", "50|325", threads},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ItemId);
        Fixture f;
        ScriptedChooser chooser("");
        CheckActionContext context{f.Lists, f.Program, f.Analysis, chooser};
        CheckActionForItem(c.ItemId)(context);
        ASSERT_EQ(chooser.Asked.size(), 1u);
        EXPECT_EQ(chooser.Asked[0],
                  (std::vector<std::string>{"Tickscope", c.Prompt, c.Titles, c.Widths, c.Rows}));
    }
}

TEST(CheckActionsTest, WithoutARunEveryActionIsSafeAndChangesNothing) {
    for (const CheckActionItem& item : CheckActionItems()) {
        SCOPED_TRACE(item.Caption);
        AnalyzerLists lists;
        ProgramInfo program;
        RunAnalysis analysis;
        ScriptedChooser chooser("1|x");
        CheckActionContext context{lists, program, analysis, chooser};
        item.Action(context);
        EXPECT_EQ(lists.ReportList.RowCount(), 0u);
        for (const auto& asked : chooser.Asked) {
            EXPECT_EQ(asked[4], "") << "the requester shows an empty list";
        }
    }
}

TEST(CheckActionsTest, ScopesOfRowsBeyondTheProgramAreIgnored) {
    Fixture f;
    f.Program.LinesOfCode.resize(3); // fewer lines than rows
    f.Check({1, 11});
    ScriptedChooser chooser("");
    CheckActionContext context{f.Lists, f.Program, f.Analysis, chooser};
    CompleteScopeChecks(context);
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

TEST(CheckActionsTest, MenuItemsMapToTheirActions) {
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
    const auto& items = CheckActionItems();
    ASSERT_EQ(items.size(), menu.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].ItemId, menu[i].first);
        EXPECT_STREQ(items[i].Caption, menu[i].second);
        EXPECT_EQ(items[i].SeparatorBefore, items[i].ItemId == 1003 || items[i].ItemId == 1009);
        EXPECT_EQ(CheckActionForItem(items[i].ItemId), items[i].Action);
    }
    std::set<CheckAction> distinct;
    for (const auto& item : items) {
        distinct.insert(item.Action);
    }
    EXPECT_EQ(distinct.size(), 11u);
    for (int id : {0, 1000, 1012, 2000, 2001, -1001}) {
        EXPECT_EQ(CheckActionForItem(id), nullptr) << id;
    }
}

} // namespace
} // namespace tickscope
