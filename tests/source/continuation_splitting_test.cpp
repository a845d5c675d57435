#include "source/parser_passes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tickscope {
namespace {

ProgramInfo ProgramOf(const std::vector<std::string>& lines, int fileId = 1) {
    ProgramInfo program;
    int number = 0;
    for (const auto& code : lines) {
        LineOfCode line;
        line.SourceFileId = fileId;
        line.LineNumber = ++number;
        line.Code = code;
        program.LinesOfCode.push_back(line);
    }
    return program;
}

std::vector<std::string> CodesOf(const ProgramInfo& program) {
    std::vector<std::string> codes;
    for (const auto& line : program.LinesOfCode) {
        codes.emplace_back(line.Code);
    }
    return codes;
}

struct ContinuationCase {
    std::string name;
    std::vector<std::string> lines;
    std::vector<std::string> expected;
};

TEST(ContinuationPassTest, JoinsContinuedLines) {
    const std::vector<ContinuationCase> cases = {
        {"plus", {"x = a +", "b"}, {"; x = a +", "x = a + b"}},
        {"word operator after space", {"If a And", "b"}, {"; If a And", "If a And b"}},
        {"word operator glued to a word", {"If a Band", "b"}, {"If a Band", "b"}},
        {"or after parenthesis", {"If (a)Or", "b"}, {"; If (a)Or", "If (a)Or b"}},
        {"xor in upper case", {"x = a XOR", "b"}, {"; x = a XOR", "x = a XOR b"}},
        {"or glued", {"x = color", "b"}, {"x = color", "b"}},
        {"bar", {"f = #A |", "#B"}, {"; f = #A |", "f = #A | #B"}},
        {"comment dropped from joined text",
         {"x = a + ; first part", "b ; rest"},
         {"; x = a + ; first part", "x = a +  b ; rest"}},
        {"chain collapses into the last line",
         {"Foo(a,", "b,", "c)", "d"},
         {"; Foo(a,", "; Foo(a, b,", "Foo(a, b, c)", "d"}},
        {"last line continues", {"a = 1", "x = a +"}, {"a = 1", "; x = a +"}},
        {"tab before comment stops", {"x = a +\t; c", "b"}, {"x = a +\t; c", "b"}},
        {"trailing spaces are trimmed", {"x = a +   ", "b"}, {"; x = a +   ", "x = a +    b"}},
        {"leading tab kept", {"\tx = a,", "\tb"}, {"; \tx = a,", "\tx = a, \tb"}},
        {"operator in string does not continue", {"s = \"a +\"", "b"}, {"s = \"a +\"", "b"}},
        {"operator in comment does not continue", {"x = 1 ; a +", "b"}, {"x = 1 ; a +", "b"}},
        {"lone operator", {"+", "b"}, {"; +", "+ b"}},
        {"bare word and", {"and", "b"}, {"and", "b"}},
        {"trailing tab stops", {"x = a +\t", "b"}, {"x = a +\t", "b"}},
        {"minus does not continue", {"x = a -", "b"}, {"x = a -", "b"}},
        {"empty program", {}, {}},
    };
    for (const auto& c : cases) {
        ProgramInfo program = ProgramOf(c.lines);
        RunContinuationPass(program);
        EXPECT_EQ(CodesOf(program), c.expected) << c.name;
        // Line numbers and files never move.
        for (std::size_t i = 0; i < program.LinesOfCode.size(); ++i) {
            EXPECT_EQ(program.LinesOfCode[i].LineNumber, static_cast<int>(i) + 1) << c.name;
        }
    }
}

TEST(ContinuationPassTest, JoinsAcrossFiles) {
    ProgramInfo program = ProgramOf({"IncludeFile \"a.pbi\" : x = 1 +"});
    LineOfCode next;
    next.SourceFileId = 2;
    next.LineNumber = 1;
    next.Code = "y";
    program.LinesOfCode.push_back(next);
    RunContinuationPass(program);
    EXPECT_EQ(program.LinesOfCode[1].Code, "IncludeFile \"a.pbi\" : x = 1 + y");
    EXPECT_EQ(program.LinesOfCode[1].SourceFileId, 2);
}

struct SplitCase {
    std::string line;
    std::vector<std::string> expected;
};

TEST(SplittingPassTest, SplitsAtStatementColons) {
    const std::vector<SplitCase> cases = {
        {"a = 1 : b = 2", {"a = 1 :", " b = 2"}},
        {"Foo() : b = 2", {"Foo() ", " b = 2"}},
        {"Start:", {"Start:", ""}},
        {"s = \"a:b\"", {"s = \"a:b\""}},
        {"x = 1 ; a : b", {"x = 1 ; a : b"}},
        {"", {""}},
        {"; just a comment", {"; just a comment"}},
        {"a = 1 : b = 2 ; c : d", {"a = 1 :", " b = 2 ; c : d"}},
        {"If a : b = 1 : Else : b = 2 : EndIf",
         {"If a :", " b = 1 :", " Else :", " b = 2 :", " EndIf"}},
        {"x = @y : z", {"x = @y :", " z"}},
        {"*p\\a = 1 :: b", {"*p\\a = 1 :", "", " b"}},
        {"Foo(\"x\") : c = ':'", {"Foo(\"x\") ", " c = ':'"}},
        // The piece is tested as cut from the line, literal text included.
        {"x(\"a:\") : y", {"x(\"a:\") :", " y"}},
        {"x.s{2} : y", {"x.s{2} ", " y"}},
        {"a!: b", {"a!:", " b"}},
        {"s = \"unclosed : x", {"s = \"unclosed : x"}},
        {":", {"", ""}},
    };
    for (const auto& c : cases) {
        ProgramInfo program = ProgramOf({c.line});
        RunSplittingPass(program);
        const auto& instructions = program.LinesOfCode[0].Instructions;
        std::vector<std::string> codes;
        for (std::size_t i = 0; i < instructions.size(); ++i) {
            codes.emplace_back(program.LinesOfCode[0].TextOf(instructions[i]));
            EXPECT_EQ(instructions[i].InstructionNumber, static_cast<int>(i) + 1) << c.line;
            EXPECT_EQ(instructions[i].ScopeId, 0) << c.line;
            EXPECT_EQ(instructions[i].BlockKey, "") << c.line;
        }
        EXPECT_EQ(codes, c.expected) << c.line;
    }
}

TEST(SplittingPassTest, ContinuedLineSplitsAfterJoining) {
    ProgramInfo program = ProgramOf({"a = 1 : x = a +", "b : c = 3"});
    RunContinuationPass(program);
    RunSplittingPass(program);
    ASSERT_EQ(program.LinesOfCode.size(), 2u);
    const auto& first = program.LinesOfCode[0].Instructions;
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(program.LinesOfCode[0].TextOf(first[0]), "; a = 1 : x = a +");
    const auto& second = program.LinesOfCode[1].Instructions;
    ASSERT_EQ(second.size(), 3u);
    EXPECT_EQ(program.LinesOfCode[1].TextOf(second[0]), "a = 1 :");
    EXPECT_EQ(program.LinesOfCode[1].TextOf(second[1]), " x = a + b :");
    EXPECT_EQ(program.LinesOfCode[1].TextOf(second[2]), " c = 3");
    EXPECT_EQ(InstructionKey(program.LinesOfCode[1], second[2]), "1.2.3");
}

TEST(SplittingPassTest, RunningTwiceDoesNotDuplicate) {
    ProgramInfo program = ProgramOf({"a : b", "c"});
    RunSplittingPass(program);
    RunSplittingPass(program);
    EXPECT_EQ(program.LinesOfCode[0].Instructions.size(), 2u);
    EXPECT_EQ(program.LinesOfCode[1].Instructions.size(), 1u);
}

TEST(SplittingPassTest, LongLinesOfColonsAndWords) {
    // A megabyte of letters before a colon must not make the label test backtrack.
    const std::string letters(1 << 20, 'a');
    ProgramInfo program = ProgramOf({letters + "-: x", std::string(100000, ':')});
    RunSplittingPass(program);
    const auto& first = program.LinesOfCode[0].Instructions;
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(program.LinesOfCode[0].TextOf(first[0]), letters + "-");
    EXPECT_EQ(program.LinesOfCode[1].Instructions.size(), 100001u);
}

// The three passes in one walk must leave every line, statement and table as the passes run
// one after the other do, also where lines continue into lines that continue and split.
TEST(ParserPassesTest, OneWalkGivesWhatThePassesGiveOneAfterTheOther) {
    const std::vector<std::string> pieces = {"x = a",       " +",
                                             ",",           " And",
                                             ")or",         " : ",
                                             ":",           "If b",
                                             "EndIf",       "Procedure P",
                                             "()",          "EndProcedure",
                                             "Structure S", "EndStructure",
                                             "Select x",    "Case 1",
                                             "EndSelect",   "Else",
                                             "Next",        "For i = 1 To 2",
                                             "\"s:;\"",     "; note +",
                                             "\t",          "  ",
                                             "L1:",         "; ExecutableFormat = Shared Dll"};
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> lines(random() % 40);
        for (std::string& line : lines) {
            for (std::size_t i = random() % 5; i > 0; --i) {
                line += pieces[random() % pieces.size()];
            }
        }
        ProgramInfo apart = ProgramOf(lines);
        RunContinuationPass(apart);
        RunSplittingPass(apart);
        RunScopePass(apart);
        ProgramInfo together = ProgramOf(lines);
        RunParserPasses(together);

        ASSERT_EQ(CodesOf(together), CodesOf(apart)) << round;
        for (std::size_t n = 0; n < lines.size(); ++n) {
            const auto& a = apart.LinesOfCode[n].Instructions;
            const auto& b = together.LinesOfCode[n].Instructions;
            ASSERT_EQ(b.size(), a.size()) << round << " line " << n;
            for (std::size_t m = 0; m < a.size(); ++m) {
                EXPECT_EQ(b[m].CodeStart, a[m].CodeStart);
                EXPECT_EQ(b[m].CodeLength, a[m].CodeLength);
                EXPECT_EQ(b[m].InstructionNumber, a[m].InstructionNumber);
                EXPECT_EQ(b[m].ScopeId, a[m].ScopeId);
                EXPECT_EQ(b[m].BlockKey, a[m].BlockKey);
            }
        }
        EXPECT_EQ(together.ScopeIds.Entries(), apart.ScopeIds.Entries());
        EXPECT_EQ(together.IsSharedDll, apart.IsSharedDll);
        EXPECT_EQ(together.IsExecutable, apart.IsExecutable);
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
}

} // namespace
} // namespace tickscope
