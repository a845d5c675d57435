#include "common/statements.h"
#include "instrument/instruction_rules.h"
#include "instrument/instrumenter.h"
#include "instrument/probe_text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace tickscope {
namespace {

using Lines = std::vector<std::string>;

// ---------------------------------------------------------------------------------------
// Rules for one instruction (x64 probe form). The instruction is number 2 on line 5 of the
// file; its block key, when set, names instruction 1 of line 3.

struct RuleCase {
    RuleCase(const char* name, std::string code, Lines expected, int scopeId = 2,
             std::string blockKey = "1.3.1", int sourceFileId = 1, bool sharedDll = false,
             bool endInserted = false)
        : name(name), code(std::move(code)), expected(std::move(expected)), scopeId(scopeId),
          blockKey(std::move(blockKey)), sourceFileId(sourceFileId), sharedDll(sharedDll),
          endInserted(endInserted) {}
    const char* name;
    std::string code;
    Lines expected;
    int scopeId;
    std::string blockKey;
    int sourceFileId;
    bool sharedDll;
    bool endInserted;
};

void PrintTo(const RuleCase& c, std::ostream* os) {
    *os << c.name;
}

class InstructionRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(InstructionRuleTest, EmitsExpectedLines) {
    const RuleCase& c = GetParam();
    LineOfCode line;
    line.SourceFileId = c.sourceFileId;
    line.LineNumber = 5;
    line.Code = c.code;
    Instruction instruction = testing::AddStatement(line, c.code, c.scopeId, c.blockKey);
    instruction.InstructionNumber = 2;

    Lines out{"earlier"};
    bool endInserted = false;
    AppendInstructionOutput(line, instruction, RuleContext{false, c.sharedDll}, out, endInserted);
    Lines expected{"earlier"};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(out, expected);
    EXPECT_EQ(endInserted, c.endInserted);
}

const std::string kOwnStart = "tickscope_AddStartEntry(1, 5, 2, #False)";
const std::string kOwnStop = "tickscope_AddStopEntry(1, 5, 2, #False)";
const std::string kBlockStart = "tickscope_AddStartEntry(1, 3, 1, #False)";
const std::string kBlockStop = "tickscope_AddStopEntry(1, 3, 1, #False)";
const std::string kBlockStopOverride = "tickscope_AddStopEntry(1, 3, 1, #True)";
const std::string kSelectStart = "tickscope_AddStartEntry(1, 5, 2, #True)";

INSTANTIATE_TEST_SUITE_P(
    Keywords, InstructionRuleTest,
    ::testing::Values(
        RuleCase{"IncludeFile", "IncludeFile \"inc.pbi\"", {";IncludeFile \"inc.pbi\""}},
        RuleCase{"XIncludeFile", "  XIncludeFile \"x.pbi\" ", {";  XIncludeFile \"x.pbi\" "}},
        RuleCase{"IncludePath", " IncludePath \"lib\\\"", {"; IncludePath \"lib\\\""}},
        RuleCase{
            "ProcedureHead", "Procedure Foo(a)", {"Procedure Foo(a)", "Define tickscopevar.b"}},
        RuleCase{"ProcedureDllTyped",
                 "ProcedureDLL.s Bar(x)",
                 {"ProcedureDLL.s Bar(x)", "Define tickscopevar.b"}},
        RuleCase{
            "ProcedureC", "\tProcedureC Baz()", {"\tProcedureC Baz()", "Define tickscopevar.b"}},
        RuleCase{
            "ProcedureCDll", "ProcedureCDLL Q()", {"ProcedureCDLL Q()", "Define tickscopevar.b"}},
        RuleCase{"EndProcedure", "EndProcedure", {"EndProcedure"}},
        RuleCase{"ProcedureReturn", "  ProcedureReturn a + 1", {"  ProcedureReturn a + 1"}},
        RuleCase{"Wend", "Wend", {kBlockStart, "Wend", kBlockStop}},
        RuleCase{"ElseIf", " ElseIf a > 1", {" ElseIf a > 1", kBlockStop}},
        RuleCase{"Else", "\tElse", {"\tElse", kBlockStop}},
        RuleCase{"EndIfWithComment", "EndIf ; End", {"EndIf ; End", kBlockStop}},
        RuleCase{"Until", "Until x = 3", {kBlockStart, "Until x = 3", kBlockStop}},
        RuleCase{"ForEver", " ForEver", {kBlockStart, " ForEver", kBlockStop}},
        RuleCase{"Break", "Break 2", {"Break 2"}}, RuleCase{"Return", "Return", {"Return"}},
        RuleCase{"Continue", " Continue", {kBlockStart, " Continue"}},
        RuleCase{"Next", "Next i", {kBlockStart, "Next i", kBlockStop}},
        RuleCase{"With", "With *p", {"With *p"}}, RuleCase{"EndWith", "EndWith", {"EndWith"}},
        RuleCase{"Select", "Select x", {kSelectStart, "Select x"}},
        RuleCase{"Case", "  Case 1, 2", {"  Case 1, 2", kBlockStopOverride}},
        RuleCase{"Default", "Default", {"Default", kBlockStopOverride}},
        RuleCase{"EndSelect", "EndSelect", {"EndSelect", kBlockStopOverride}},
        RuleCase{
            "CompilerIf", "CompilerIf #PB_Compiler_OS = 1", {"CompilerIf #PB_Compiler_OS = 1"}},
        RuleCase{"CompilerEndSelect", "CompilerEndSelect", {"CompilerEndSelect"}},
        RuleCase{"EnableExplicit", "EnableExplicit", {"EnableExplicit"}},
        RuleCase{"DisableAsm", "DisableASM", {"DisableASM"}},
        RuleCase{"End", "End", {"tickscope_End()", "End"}, 1, "", 1, false, true},
        RuleCase{"EndWithCode", "  End 3", {"tickscope_End()", "  End 3"}, 2, "", 1, false, true},
        RuleCase{"EndInDll", "End", {"tickscope_End()", "End"}, 1, "", 1, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Statements, InstructionRuleTest,
    ::testing::Values(
        RuleCase{"Assignment", "x = 1", {kOwnStart, "x = 1", kOwnStop}},
        RuleCase{"CallWithTrailingSpace", "Foo() ", {kOwnStart, "Foo() ", kOwnStop}},
        RuleCase{"IfIsPlainStatement", "If a = 1", {kOwnStart, "If a = 1", kOwnStop}},
        RuleCase{"WhileIsPlainStatement", "While x", {kOwnStart, "While x", kOwnStop}},
        RuleCase{"RepeatIsPlainStatement", "Repeat", {kOwnStart, "Repeat", kOwnStop}},
        RuleCase{"ForEachIsNotForEver", "ForEach l()", {kOwnStart, "ForEach l()", kOwnStop}},
        RuleCase{"KeywordsOnlyInLiteralAndComment",
                 "x = \"End Select\" ; Wend",
                 {kOwnStart, "x = \"End Select\" ; Wend", kOwnStop}},
        RuleCase{"EndIsPartOfLongerWord", "EndOfFile = 1", {kOwnStart, "EndOfFile = 1", kOwnStop}},
        RuleCase{"TabOnly", "\t", {kOwnStart, "\t", kOwnStop}},
        RuleCase{"TabsAndSpaces", " \t ", {kOwnStart, " \t ", kOwnStop}},
        RuleCase{"ColonInLiteralIsNoLabel", "Debug \"a:\"", {kOwnStart, "Debug \"a:\"", kOwnStop}},
        RuleCase{"ColonInCommentIsNoLabel",
                 "y = 2 ; see: here",
                 {kOwnStart, "y = 2 ; see: here", kOwnStop}},
        RuleCase{"EmptyBlockKeyGivesZeros",
                 "EndIf",
                 {"EndIf", "tickscope_AddStopEntry(0, 0, 0, #False)"},
                 2,
                 ""},
        RuleCase{"PartialBlockKey",
                 "Wend",
                 {"tickscope_AddStartEntry(4, 0, 0, #False)", "Wend",
                  "tickscope_AddStopEntry(4, 0, 0, #False)"},
                 2,
                 "4."}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Unchanged, InstructionRuleTest,
    ::testing::Values(
        RuleCase{"Label", "Start:", {"Start:"}},
        RuleCase{"PieceBeforeColon", "a = 1 :", {"a = 1 :"}},
        RuleCase{"SymbolLabel", "! jmp l_x!:", {"! jmp l_x!:"}}, RuleCase{"Empty", "", {""}},
        RuleCase{"Spaces", "   ", {"   "}}, RuleCase{"Comment", "; note", {"; note"}},
        RuleCase{"IndentedComment", "\t  ; Select", {"\t  ; Select"}},
        RuleCase{"DeclarativeBlock", "x.i", {"x.i"}, 0},
        RuleCase{"DeclarativeBlockKeyword", "EndStructure", {"EndStructure"}, 0},
        RuleCase{"DeclarativeEnd", "End", {"End"}, 0},
        RuleCase{"FooterOfMainFile",
                 "; IDE Options = PureBasic 6.10 (Windows - x64)",
                 {"tickscope_End()", "; IDE Options = PureBasic 6.10 (Windows - x64)"},
                 1,
                 "",
                 1,
                 false,
                 true},
        RuleCase{"FooterInDeclarativeScope",
                 "; IDE Options = PureBasic",
                 {"tickscope_End()", "; IDE Options = PureBasic"},
                 0,
                 "",
                 1,
                 false,
                 true},
        RuleCase{"FooterOfIncludedFile",
                 "; IDE Options = PureBasic 6.10",
                 {"; IDE Options = PureBasic 6.10"},
                 1,
                 "",
                 2},
        RuleCase{"FooterOfDll",
                 "; IDE Options = PureBasic 6.10",
                 {"; IDE Options = PureBasic 6.10"},
                 1,
                 "",
                 1,
                 true},
        RuleCase{"FooterNotAtFirstCharacter",
                 " ; IDE Options = PureBasic",
                 {" ; IDE Options = PureBasic"}},
        RuleCase{"FooterInOtherCase", "; IDE options = PureBasic", {"; IDE options = PureBasic"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProbeTextTest, X86AndX64Forms) {
    EXPECT_EQ(ProbeText(ProbeKind::Stop, 2, 17, 1, false, false),
              "tickscope_AddStopEntry(2, 17, 1, #False)");
    EXPECT_EQ(ProbeText(ProbeKind::Stop, 2, 17, 1, false, true),
              "! pushf\n! pushad\ntickscope_AddStopEntry(2, 17, 1, #False)\n! popad\n! popf");
    EXPECT_EQ(ProbeText(ProbeKind::Start, -1, 0, 300, true, false),
              "tickscope_AddStartEntry(-1, 0, 300, #True)");
}

TEST(ProbeTextTest, ParsingGivesBackTheCall) {
    const ProbeCall calls[] = {{ProbeKind::Stop, 2, 17, 1, false},
                               {ProbeKind::Start, -1, 0, 300, true},
                               {ProbeKind::Start, 2147483647, -2147483647 - 1, 0, false}};
    for (const ProbeCall& call : calls) {
        for (const bool x86 : {false, true}) {
            const std::string text =
                ProbeText(call.Kind, call.SourceFileId, call.LineNumber, call.InstructionNumber,
                          call.OverrideStackframe, x86);
            EXPECT_EQ(ParseProbeText(text), call) << text;
        }
    }
    for (const char* element : {"", "x = 1", "Define tickscopevar.b", "tickscope_End()",
                                "; tickscope_AddStart(1, 2, 3, #True)"}) {
        EXPECT_FALSE(ParseProbeText(element).has_value()) << element;
    }
}

TEST(InstructionRuleTest, X86ProbesWrapEveryCall) {
    LineOfCode line;
    line.SourceFileId = 3;
    line.LineNumber = 9;
    const Instruction instruction = testing::AddStatement(line, "Continue", 2, "3.4.1");
    Lines out;
    bool endInserted = false;
    AppendInstructionOutput(line, instruction, RuleContext{true, false}, out, endInserted);
    EXPECT_EQ(out,
              (Lines{"! pushf\n! pushad\ntickscope_AddStartEntry(3, 4, 1, #False)\n! popad\n! popf",
                     "Continue"}));
}

// The word-indexed rule choice must agree with trying every keyword in order, also on
// texts made to trip it: keywords glued to separators, literals, comments, case, digits.
TEST(InstructionRuleTest, IndexedRuleChoiceAgreesWithFullScan) {
    const std::vector<std::string> pieces = {"End",
                                             "end",
                                             "ENDIF",
                                             "If",
                                             "else",
                                             "ElseIf",
                                             "wend",
                                             "Next",
                                             "next_",
                                             "2next",
                                             "Select",
                                             "case",
                                             "Default",
                                             "EndSelect",
                                             "ForEver",
                                             "until",
                                             "Break",
                                             "return",
                                             "Continue",
                                             "With",
                                             "EndWith",
                                             "Procedure",
                                             "ProcedureReturn",
                                             "EndProcedure",
                                             "ProcedureCDLL",
                                             "IncludeFile",
                                             "XIncludeFile",
                                             "IncludePath",
                                             "CompilerIf",
                                             "EnableExplicit",
                                             "DisableASM",
                                             "x",
                                             "a1",
                                             "Foo",
                                             " ",
                                             "  ",
                                             "\t",
                                             ":",
                                             ";",
                                             "(",
                                             ")",
                                             ".",
                                             ",",
                                             "=",
                                             "\"",
                                             "'",
                                             "$",
                                             "\xE9",
                                             "*",
                                             "label:",
                                             "!",
                                             "@",
                                             "1 :"};
    std::uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    int checked = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        const int count = 1 + static_cast<int>(next() % 6);
        for (int k = 0; k < count; ++k) {
            text += pieces[next() % pieces.size()];
        }
        EXPECT_EQ(MatchingRule(text), MatchingRuleByScan(text)) << text;
        checked += MatchingRule(text) < 14 ? 1 : 0;
    }
    EXPECT_GT(checked, 1000); // many texts hit a keyword rule, not only the default
}

TEST(InstructionRuleTest, EligibilityFollowsScopeBlanknessAndComment) {
    EXPECT_TRUE(IsEligible("x", 1));
    EXPECT_TRUE(IsEligible("\t\t", 3));
    EXPECT_FALSE(IsEligible("x", 0));
    EXPECT_FALSE(IsEligible("  ", 1));
    EXPECT_FALSE(IsEligible("", 1));
    EXPECT_FALSE(IsEligible("\t;x", 1));
    EXPECT_TRUE(IsEligible("x ; y", 1));
    EXPECT_TRUE(IsEligible(" \t ", 1)); // only spaces make a statement blank
    EXPECT_FALSE(IsEligible(";", 1));
    EXPECT_FALSE(IsEligible(" ;\t", 1));
    EXPECT_TRUE(IsEligible(" x;", 1));
}

// ---------------------------------------------------------------------------------------
// Whole programs.

struct Stmt {
    Stmt(const char* code, int scopeId = 1, std::string blockKey = "")
        : Code(code), ScopeId(scopeId), BlockKey(std::move(blockKey)) {}
    std::string Code;
    int ScopeId;
    std::string BlockKey;
};

LineOfCode MakeLine(int file, int number, std::vector<Stmt> statements) {
    LineOfCode line;
    line.SourceFileId = file;
    line.LineNumber = number;
    for (Stmt& s : statements) {
        testing::AddStatement(line, s.Code, s.ScopeId, s.BlockKey);
    }
    return line;
}

ProgramInfo MakeProgram(std::vector<LineOfCode> lines, bool sharedDll,
                        std::vector<std::string> procedures = {}) {
    ProgramInfo program;
    program.Path = "main.pb";
    program.IsSharedDll = sharedDll;
    program.IsExecutable = !sharedDll;
    program.SourceFileIds.Set("/src/main.pb", 1);
    program.ScopeIds.Set(kMainScopeName, 1);
    int id = 1;
    for (const std::string& name : procedures) {
        program.ScopeIds.Set(name, ++id);
    }
    program.LinesOfCode = std::move(lines);
    return program;
}

InstrumentOptions X64Options() {
    InstrumentOptions options;
    options.ProbesForX86 = false;
    options.MonitoringRuntimeText = "RT\nIncludeBinary \"{tickscope.tempfolder}tickscope.src\"\n";
    options.TempFolder = "C:\\Temp\\";
    return options;
}

const std::string kRuntimeDone = "RT\nIncludeBinary \"C:\\Temp\\tickscope.src\"\n";

TEST(InstrumentProgramTest, ExecutableWithStatementsOnOneLine) {
    ProgramInfo program =
        MakeProgram({MakeLine(1, 1, {{"x = 1 "}, {" y = 2"}}), MakeLine(1, 2, {{"If x"}}),
                     MakeLine(1, 3, {{"EndIf", 1, "1.2.1"}})},
                    false);
    const InstrumentedTexts texts = InstrumentProgram(program, X64Options());
    EXPECT_EQ(texts.Program, kRuntimeDone + "tickscope_InitHiresTiming()\n"
                                            "tickscope_Begin()\n"
                                            "tickscope_AddStartEntry(1, 1, 1, #False)\n"
                                            "x = 1 \n"
                                            "tickscope_AddStopEntry(1, 1, 1, #False)\n"
                                            "tickscope_AddStartEntry(1, 1, 2, #False)\n"
                                            " y = 2\n"
                                            "tickscope_AddStopEntry(1, 1, 2, #False)\n"
                                            "tickscope_AddStartEntry(1, 2, 1, #False)\n"
                                            "If x\n"
                                            "tickscope_AddStopEntry(1, 2, 1, #False)\n"
                                            "EndIf\n"
                                            "tickscope_AddStopEntry(1, 2, 1, #False)\n"
                                            "tickscope_End()\n"
                                            "\r\n");
    EXPECT_EQ(texts.LineOutputs[0].size(), 6u);
    EXPECT_EQ(texts.LineOutputs[2].back(), "tickscope_End()");
    EXPECT_NE(texts.ProgramInfo.find("LinesOfCode = 3\r\n"), std::string::npos);
    EXPECT_NE(texts.ProgramInfo.find("LineOfCode.1.Instruction.2.Code = \\by\\b{EQU}\\b2\r\n"),
              std::string::npos);
}

TEST(InstrumentProgramTest, EndStatementReplacesFinalCall) {
    ProgramInfo program = MakeProgram({MakeLine(1, 1, {{"End"}}), MakeLine(1, 2, {{""}})}, false);
    const InstrumentedTexts texts = InstrumentProgram(program, X64Options());
    EXPECT_EQ(texts.Program, kRuntimeDone + "tickscope_InitHiresTiming()\ntickscope_Begin()\n"
                                            "tickscope_End()\nEnd\n\n\r\n");
}

TEST(InstrumentProgramTest, FooterOfMainFileGetsCallAndNoFinalCall) {
    ProgramInfo program = MakeProgram({MakeLine(1, 1, {{"a()"}}),
                                       MakeLine(1, 2, {{"; IDE Options = PureBasic 6.00"}}),
                                       MakeLine(1, 3, {{"; Folding = -"}})},
                                      false);
    const InstrumentedTexts texts = InstrumentProgram(program, X64Options());
    EXPECT_EQ(texts.LineOutputs[1], (Lines{"tickscope_End()", "; IDE Options = PureBasic 6.00"}));
    EXPECT_EQ(texts.LineOutputs[2], (Lines{"; Folding = -"}));
}

TEST(InstrumentProgramTest, FooterOfIncludedFileAndEndTogether) {
    ProgramInfo program =
        MakeProgram({MakeLine(1, 1, {{"IncludeFile \"b.pbi\""}}),
                     MakeLine(2, 1, {{"; IDE Options = PureBasic"}}), MakeLine(1, 2, {{"End"}}),
                     MakeLine(1, 3, {{"; IDE Options = PureBasic"}})},
                    false);
    program.SourceFileIds.Set("/src/b.pbi", 2);
    const InstrumentedTexts texts = InstrumentProgram(program, X64Options());
    EXPECT_EQ(texts.Program, kRuntimeDone + "tickscope_InitHiresTiming()\ntickscope_Begin()\n"
                                            ";IncludeFile \"b.pbi\"\n"
                                            "; IDE Options = PureBasic\n"
                                            "tickscope_End()\nEnd\n"
                                            "tickscope_End()\n; IDE Options = PureBasic\n"
                                            "\r\n");
}

TEST(InstrumentProgramTest, SharedDllWithoutEntryPointsGetsGeneratedProcedures) {
    ProgramInfo program = MakeProgram({MakeLine(1, 1, {{"x = 1"}}),
                                       MakeLine(1, 2, {{"; ExecutableFormat = Shared Dll"}}),
                                       MakeLine(1, 3, {{"; IDE Options = PureBasic"}})},
                                      true);
    const InstrumentedTexts texts = InstrumentProgram(program, X64Options());
    EXPECT_EQ(texts.Program,
              kRuntimeDone +
                  "ProcedureDLL AttachProcess(Instance) : tickscope_InitHiresTiming() : "
                  "tickscope_Begin() : EndProcedure\n"
                  "ProcedureDLL DetachProcess(Instance) : tickscope_End() : EndProcedure\n"
                  "tickscope_AddStartEntry(1, 1, 1, #False)\nx = 1\n"
                  "tickscope_AddStopEntry(1, 1, 1, #False)\n"
                  "; ExecutableFormat = Shared Dll\n"
                  "; IDE Options = PureBasic\n"
                  "\r\n");
}

TEST(InstrumentProgramTest, SharedDllWithEntryPointsGetsCallsInside) {
    ProgramInfo program = MakeProgram(
        {MakeLine(1, 1, {{"ProcedureDLL AttachProcess(Instance)", 2}}),
         MakeLine(1, 2, {{"  a = 1", 2}}), MakeLine(1, 3, {{"EndProcedure", 2, "1.1.1"}}),
         MakeLine(1, 4, {{"ProcedureDLL DetachProcess(Instance)", 3}}),
         MakeLine(1, 5, {{"  ProcedureReturn", 3}}), MakeLine(1, 6, {{"EndProcedure", 3, "1.4.1"}}),
         MakeLine(1, 7, {{"; ExecutableFormat = Shared Dll"}})},
        true, {"AttachProcess", "DetachProcess"});
    const InstrumentedTexts texts = InstrumentProgram(program, X64Options());
    EXPECT_EQ(texts.LineOutputs[0],
              (Lines{"ProcedureDLL AttachProcess(Instance)",
                     "tickscope_InitHiresTiming() : tickscope_Begin()", "Define tickscopevar.b"}));
    EXPECT_EQ(texts.LineOutputs[2], (Lines{"EndProcedure"}));
    EXPECT_EQ(texts.LineOutputs[5], (Lines{"tickscope_End()", "EndProcedure"}));
    EXPECT_EQ(texts.LineOutputs[6], (Lines{"; ExecutableFormat = Shared Dll"}));
    EXPECT_EQ(texts.Program.find("tickscope_Begin()\n"),
              texts.Program.find("tickscope_InitHiresTiming() : tickscope_Begin()\n") +
                  std::string("tickscope_InitHiresTiming() : ").size());
    EXPECT_EQ(texts.Program.rfind(kRuntimeDone, 0), 0u);
    EXPECT_EQ(texts.Program.substr(kRuntimeDone.size(), 12), "ProcedureDLL");
}

TEST(InstrumentProgramTest, DetachNamedInOtherCaseAndOnlyAttachGenerated) {
    // The detach procedure exists under another letter case; only attach is generated.
    ProgramInfo program =
        MakeProgram({MakeLine(1, 1, {{"ProcedureDLL detachPROCESS(i)", 2}}),
                     MakeLine(1, 2, {{"EndProcedure", 2, "1.1.1"}}), MakeLine(1, 3, {{"y()"}})},
                    true, {"detachPROCESS"});
    const InstrumentedTexts texts = InstrumentProgram(program, X64Options());
    EXPECT_EQ(texts.LineOutputs[0],
              (Lines{"ProcedureDLL AttachProcess(Instance) : tickscope_InitHiresTiming() : "
                     "tickscope_Begin() : EndProcedure",
                     "ProcedureDLL detachPROCESS(i)", "Define tickscopevar.b"}));
    EXPECT_EQ(texts.LineOutputs[1], (Lines{"tickscope_End()", "EndProcedure"}));
    EXPECT_EQ(texts.LineOutputs[2].back(), "tickscope_AddStopEntry(1, 3, 1, #False)");
}

TEST(InstrumentProgramTest, DetachWithoutEndProcedureFallsBackToFinalCall) {
    ProgramInfo program = MakeProgram(
        {MakeLine(1, 1, {{"ProcedureDLL DetachProcess(i)", 2}}), MakeLine(1, 2, {{"x = 1", 2}})},
        true, {"DetachProcess", "AttachProcess"});
    const InstrumentedTexts texts = InstrumentProgram(program, X64Options());
    EXPECT_EQ(texts.LineOutputs[1].back(), "tickscope_End()");
}

struct EmptyCase {
    const char* name;
    bool sharedDll;
    std::string tail;
};

class EmptyProgramTest : public ::testing::TestWithParam<EmptyCase> {};

TEST_P(EmptyProgramTest, CallsStandOnTheirOwnLinesAfterRuntime) {
    ProgramInfo program = MakeProgram({}, GetParam().sharedDll);
    const InstrumentedTexts texts = InstrumentProgram(program, X64Options());
    EXPECT_EQ(texts.Program, kRuntimeDone + GetParam().tail);
    const std::string tail = "LinesOfCode = 0\r\n";
    EXPECT_EQ(texts.ProgramInfo.substr(texts.ProgramInfo.size() - tail.size()), tail);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, EmptyProgramTest,
    ::testing::Values(
        EmptyCase{"Executable", false,
                  "tickscope_InitHiresTiming()\ntickscope_Begin()\ntickscope_End()\n\r\n"},
        EmptyCase{"SharedDll", true,
                  "ProcedureDLL AttachProcess(Instance) : tickscope_InitHiresTiming() : "
                  "tickscope_Begin() : EndProcedure\n"
                  "ProcedureDLL DetachProcess(Instance) : tickscope_End() : EndProcedure\n\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InstrumentProgramTest, X86ProgramHasRegisterSavesX64HasNone) {
    ProgramInfo program = MakeProgram({MakeLine(1, 1, {{"Foo()"}})}, false);
    InstrumentOptions options = X64Options();
    const std::string x64 = InstrumentProgram(program, options).Program;
    options.ProbesForX86 = true;
    const InstrumentedTexts x86Texts = InstrumentProgram(program, options);
    const std::string& x86 = x86Texts.Program;
    EXPECT_EQ(x64.find("! pushf"), std::string::npos);
    EXPECT_NE(x86.find("! pushf\n! pushad\ntickscope_AddStartEntry(1, 1, 1, #False)\n! popad\n! "
                       "popf\nFoo()\n! pushf\n! pushad\ntickscope_AddStopEntry(1, 1, 1, "
                       "#False)\n! popad\n! popf\ntickscope_End()\n\r\n"),
              std::string::npos);
    EXPECT_EQ(x86Texts.LineOutputs[0].size(),
              4u); // probes with their register saves are one element each
}

TEST(InstrumentProgramTest, EveryPlaceholderIsReplaced) {
    ProgramInfo program = MakeProgram({MakeLine(1, 1, {{"a"}})}, false);
    InstrumentOptions options = X64Options();
    options.MonitoringRuntimeText = "{tickscope.tempfolder}|{tickscope.tempfolder}\n";
    options.TempFolder = "/tmp/x y/";
    const std::string text = InstrumentProgram(program, options).Program;
    EXPECT_EQ(text.rfind("/tmp/x y/|/tmp/x y/\ntickscope_InitHiresTiming()\n", 0), 0u);
    EXPECT_EQ(text.find("{tickscope"), std::string::npos);
}

} // namespace
} // namespace tickscope
