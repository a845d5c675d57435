#include "common/corpus.h"
#include "source/line_scanning.h"
#include "source/parser_passes.h"
#include "source/scope_keywords.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tickscope {
namespace {

// Builds file 1 from the given lines and runs the splitting and scope passes.
ProgramInfo Scoped(const std::vector<std::string>& lines) {
    ProgramInfo program;
    int number = 0;
    for (const auto& code : lines) {
        LineOfCode line;
        line.SourceFileId = 1;
        line.LineNumber = ++number;
        line.Code = code;
        program.LinesOfCode.push_back(line);
    }
    RunSplittingPass(program);
    RunScopePass(program);
    return program;
}

// Expected scope and block key of one instruction, addressed as "<line>.<instruction>".
struct Expectation {
    std::string at;
    int scopeId;
    std::string blockKey;
};

struct ScopeCase {
    std::string name;
    std::vector<std::string> lines;
    std::vector<Expectation> expected;
};

const Instruction* Find(const ProgramInfo& program, const std::string& at) {
    const auto point = at.find('.');
    const int lineNumber = std::stoi(at.substr(0, point));
    const int number = std::stoi(at.substr(point + 1));
    for (const auto& line : program.LinesOfCode) {
        if (line.LineNumber == lineNumber) {
            for (const auto& instruction : line.Instructions) {
                if (instruction.InstructionNumber == number) {
                    return &instruction;
                }
            }
        }
    }
    return nullptr;
}

TEST(ScopePassTest, ScopesAndBlockKeys) {
    const std::vector<ScopeCase> cases = {
        {"no procedures",
         {"a = 1", "; comment", "", "Break"},
         {{"1.1", 1, ""}, {"2.1", 1, ""}, {"3.1", 1, ""}, {"4.1", 1, ""}}},
        {"procedure",
         {"Procedure Foo()", "  x = 1", "EndProcedure", "y = 2"},
         {{"1.1", 2, ""}, {"2.1", 2, ""}, {"3.1", 2, "1.1.1"}, {"4.1", 1, ""}}},
        {"structure",
         {"Structure Point", "  x.i", "  y.i", "EndStructure", "p.Point"},
         {{"1.1", 0, ""}, {"2.1", 0, ""}, {"3.1", 0, ""}, {"4.1", 0, "1.1.1"}, {"5.1", 1, ""}}},
        {"if else endif on one line",
         {"", "", "", "", "", "", "If a : b = 1 : Else : b = 2 : EndIf"},
         {{"7.1", 1, ""},
          {"7.2", 1, ""},
          {"7.3", 1, "1.7.1"},
          {"7.4", 1, ""},
          {"7.5", 1, "1.7.1"}}},
        {"select",
         {"Select x", "Case 1", "Default", "EndSelect"},
         {{"1.1", 1, ""}, {"2.1", 1, "1.1.1"}, {"3.1", 1, "1.1.1"}, {"4.1", 1, "1.1.1"}}},
        {"loops",
         {"Repeat", "ForEver", "Repeat", "Until x", "While a", "Wend", "For i = 1 To 2", "Next",
          "ForEach l()", "Next", "With p", "EndWith"},
         {{"2.1", 1, "1.1.1"},
          {"4.1", 1, "1.3.1"},
          {"6.1", 1, "1.5.1"},
          {"8.1", 1, "1.7.1"},
          {"10.1", 1, "1.9.1"},
          {"12.1", 1, "1.11.1"}}},
        {"nested blocks and continue",
         {"While a", "  If b", "    Continue", "  ElseIf c", "  EndIf", "  Continue", "Wend"},
         {{"3.1", 1, "1.2.1"},
          {"4.1", 1, "1.2.1"},
          {"5.1", 1, "1.2.1"},
          {"6.1", 1, "1.1.1"},
          {"7.1", 1, "1.1.1"}}},
        {"declarative block in procedure returns to main",
         {"Procedure Foo()", "  Structure S", "    If x", "    EndIf", "  EndStructure", "  y = 1",
          "EndProcedure", "z = 1"},
         {{"1.1", 2, ""},
          {"2.1", 0, ""},
          {"3.1", 0, ""},
          {"4.1", 0, "1.3.1"},
          {"5.1", 0, "1.2.1"},
          {"6.1", 1, ""},
          {"7.1", 1, "1.1.1"},
          {"8.1", 1, ""}}},
        {"import",
         {"Import \"x.lib\"", "  f(a)", "EndImport"},
         {{"1.1", 0, ""}, {"3.1", 0, "1.1.1"}}},
        {"importc", {"ImportC \"x.lib\"", "EndImportC"}, {{"1.1", 0, ""}, {"2.1", 0, "1.1.1"}}},
        {"macro",
         {"Macro M(x)", "  x + 1", "EndMacro", "a"},
         {{"1.1", 0, ""}, {"2.1", 0, ""}, {"3.1", 0, "1.1.1"}, {"4.1", 1, ""}}},
        {"datasection",
         {"DataSection", "  Data.i 1", "EndDataSection"},
         {{"1.1", 0, ""}, {"2.1", 0, ""}, {"3.1", 0, "1.1.1"}}},
        {"interface",
         {"Interface I", "  M()", "EndInterface"},
         {{"1.1", 0, ""}, {"3.1", 0, "1.1.1"}}},
        {"enumeration",
         {"Enumeration", "  #A", "EndEnumeration"},
         {{"1.1", 0, ""}, {"3.1", 0, "1.1.1"}}},
        {"unmatched ends",
         {"EndIf", "EndProcedure", "Else", "Wend", "x"},
         {{"1.1", 1, ""}, {"2.1", 1, ""}, {"3.1", 1, ""}, {"4.1", 1, ""}, {"5.1", 1, ""}}},
        {"keywords in literals and comments",
         {"s = \"If x\" ; EndIf", "ProcedureReturn 1", "CompilerIf #X", "CompilerEndIf"},
         {{"1.1", 1, ""}, {"2.1", 1, ""}, {"3.1", 1, ""}, {"4.1", 1, ""}}},
        {"procedure head before opener on one instruction",
         {"Procedure Foo() : If a : EndIf : EndProcedure"},
         {{"1.1", 2, ""}, {"1.2", 2, ""}, {"1.3", 2, "1.1.2"}, {"1.4", 2, "1.1.1"}}},
        {"structureunion is not a structure",
         {"Structure S", "  StructureUnion", "  EndStructureUnion", "EndStructure", "a"},
         {{"2.1", 0, ""}, {"3.1", 0, ""}, {"4.1", 0, "1.1.1"}, {"5.1", 1, ""}}},
    };
    for (const auto& c : cases) {
        const ProgramInfo program = Scoped(c.lines);
        for (const auto& e : c.expected) {
            const Instruction* instruction = Find(program, e.at);
            ASSERT_NE(instruction, nullptr) << c.name << " " << e.at;
            EXPECT_EQ(instruction->ScopeId, e.scopeId) << c.name << " " << e.at;
            EXPECT_EQ(instruction->BlockKey, e.blockKey) << c.name << " " << e.at;
        }
    }
}

struct NameCase {
    std::vector<std::string> lines;
    std::vector<std::pair<std::string, int>> scopeIds;
};

TEST(ScopePassTest, RegistersProcedureNames) {
    const std::vector<NameCase> cases = {
        {{"a = 1"}, {{"***main***", 1}}},
        {{"ProcedureDLL.s Bar(x)", "EndProcedure"}, {{"***main***", 1}, {"Bar", 2}}},
        {{"Procedure.i Foo(a)", "EndProcedure", "ProcedureC Baz()", "EndProcedure"},
         {{"***main***", 1}, {"Foo", 2}, {"Baz", 3}}},
        {{"\tProcedure\tTabbed()", "\tEndProcedure"}, {{"***main***", 1}, {"Tabbed", 2}}},
        {{"  ProcedureCDLL  Spaced ()", "EndProcedure"}, {{"***main***", 1}, {"Spaced", 2}}},
        {{"Procedure"}, {{"***main***", 1}, {"", 2}}},
        {{"Procedure Init()", "EndProcedure", "Procedure Other()", "EndProcedure",
          "Procedure Init()", "EndProcedure"},
         {{"***main***", 1}, {"Init", 2}, {"Other", 3}, {"Init#4", 4}}},
        {{"Procedure ***main***()", "EndProcedure"}, {{"***main***", 1}, {"***main***#2", 2}}},
        {{"Procedure A()", "EndProcedure", "Procedure A#3()", "EndProcedure", "Procedure A()",
          "EndProcedure"},
         {{"***main***", 1}, {"A", 2}, {"A#3", 3}, {"A#4", 4}}},
    };
    for (const auto& c : cases) {
        const ProgramInfo program = Scoped(c.lines);
        std::vector<std::pair<std::string, int>> entries(program.ScopeIds.begin(),
                                                         program.ScopeIds.end());
        EXPECT_EQ(entries, c.scopeIds) << c.lines[0];
    }
}

TEST(ScopePassTest, RepeatedProcedureNamesGetDistinctIds) {
    const ProgramInfo program =
        Scoped({"CompilerIf #A", "Procedure Init()", "  a = 1", "EndProcedure", "CompilerElse",
                "Procedure Init()", "  b = 1", "EndProcedure", "CompilerEndIf"});
    EXPECT_EQ(Find(program, "3.1")->ScopeId, 2);
    EXPECT_EQ(Find(program, "7.1")->ScopeId, 3);
    EXPECT_EQ(Find(program, "9.1")->ScopeId, 1);
    std::set<int> ids;
    for (const auto& [name, id] : program.ScopeIds) {
        EXPECT_TRUE(ids.insert(id).second) << "id " << id << " given twice";
    }
}

struct FooterCase {
    std::vector<std::string> lines;
    bool sharedDll;
};

TEST(ScopePassTest, SharedDllFooter) {
    const std::vector<FooterCase> cases = {
        {{"a = 1", "; IDE Options = PureBasic", "; ExecutableFormat = Shared Dll"}, true},
        {{"; ExecutableFormat = Shared dll"}, true},
        {{"; ExecutableFormat = Shared DLL"}, false},
        {{"; ExecutableFormat =  Shared Dll"}, false},
        {{" ; ExecutableFormat = Shared Dll"}, false},
        {{"; ExecutableFormat = Shared Dll "}, false},
        {{"; ExecutableFormat = Console"}, false},
        {{"Procedure P()", "; ExecutableFormat = Shared Dll", "EndProcedure"}, false},
        {{"Structure S", "; ExecutableFormat = Shared Dll", "EndStructure"}, false},
        // The footer is a whole instruction here: the colon splits it off.
        {{"a = 1 :; ExecutableFormat = Shared Dll"}, true},
        {{"a = 1 ; ExecutableFormat = Shared Dll"}, false},
        {{}, false},
    };
    for (const auto& c : cases) {
        const ProgramInfo program = Scoped(c.lines);
        const std::string name = c.lines.empty() ? "(empty)" : c.lines.back();
        EXPECT_EQ(program.IsSharedDll, c.sharedDll) << name;
        EXPECT_EQ(program.IsExecutable, !c.sharedDll) << name;
        EXPECT_EQ(program.ScopeIds.Get("***main***"), 1) << name;
    }
}

TEST(ScopePassTest, UnbalancedLoadLeavesNothingForTheNext) {
    // The first program leaves an If open; the second must not pick its key up.
    Scoped({"If a", "If b"});
    const ProgramInfo second = Scoped({"EndIf"});
    EXPECT_EQ(Find(second, "1.1")->BlockKey, "");
}

TEST(BlockStackTest, PopsInReverseOrderAndEmptyPopYieldsEmpty) {
    BlockStack stack;
    EXPECT_EQ(stack.PopBlockKey(), "");
    EXPECT_EQ(stack.Size(), 0u);
    stack.PushBlockKey("1.1.1");
    stack.PushBlockKey("1.2.1");
    EXPECT_EQ(stack.PopBlockKey(), "1.2.1");
    EXPECT_EQ(stack.PopBlockKey(), "1.1.1");
    EXPECT_EQ(stack.PopBlockKey(), "");
}

// Classifying by the first keyword FindKeyword finds, the plain way.
KeywordGroup ReferenceClassify(const std::string& code) {
    for (const auto& entry : kScopeKeywords) {
        if (FindKeyword(code, entry.Keyword) > 0) {
            return entry.Group;
        }
    }
    return KeywordGroup::None;
}

TEST(ClassifyInstructionTest, TableCases) {
    const std::vector<std::pair<std::string, KeywordGroup>> cases = {
        {"Procedure.i Foo()", KeywordGroup::ProcedureHead},
        {"ProcedureCDLL Foo()", KeywordGroup::ProcedureHead},
        {"EndProcedure", KeywordGroup::ProcedureEnd},
        {"  EndImportC", KeywordGroup::DeclarativeEnd},
        {"If a : ", KeywordGroup::BlockOpener},
        {"ElseIf b", KeywordGroup::BlockContinuation},
        {"Case 1, 2", KeywordGroup::BlockContinuation},
        {"x = 1 ; If", KeywordGroup::None},
        {"Break", KeywordGroup::None},
        {"CompilerIf x", KeywordGroup::None},
        {"  Until x > 1", KeywordGroup::BlockCloser},
        // "procedure" is tested before "if" whatever their places in the line.
        {"If x : Procedure", KeywordGroup::ProcedureHead},
        {"IF(x)", KeywordGroup::BlockOpener},
        {"a\xE9if b", KeywordGroup::None},
        {"1if b", KeywordGroup::None},
    };
    for (const auto& [code, group] : cases) {
        EXPECT_EQ(ClassifyInstruction(code), group) << code;
        EXPECT_EQ(ReferenceClassify(code), group) << code;
    }
}

TEST(ClassifyInstructionTest, AgreesWithPlainSearchOnCorpus) {
    const std::filesystem::path corpus = TICKSCOPE_CORPUS_DIR;
    std::error_code error;
    if (!std::filesystem::is_directory(corpus, error)) {
        GTEST_SKIP() << "corpus folder " << corpus << " not found";
    }
    std::size_t compared = 0;
    for (const std::string& path : testing::PureBasicFiles(corpus)) {
        for (const std::string& line : testing::FileLines(path)) {
            LineOfCode loc;
            loc.Code = line;
            SplitLine(loc);
            for (const auto& instruction : loc.Instructions) {
                const std::string code(loc.TextOf(instruction));
                ASSERT_EQ(ClassifyInstruction(code), ReferenceClassify(code))
                    << path << ": " << code;
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 1000u);
}

} // namespace
} // namespace tickscope
