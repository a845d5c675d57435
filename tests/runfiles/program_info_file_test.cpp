#include "common/statements.h"
#include "runfiles/program_info_file.h"
#include "source/text_utils.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tickscope {
namespace {

struct EscapeCase {
    const char* name;
    std::string code;
    std::string encoded;
    std::string decoded; // what a reader gets back
};

class EscapeTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeTest, EncodesAndDecodes) {
    const EscapeCase& c = GetParam();
    EXPECT_EQ(EncodeProgramInfoValue(c.code), c.encoded);
    EXPECT_EQ(DecodeProgramInfoValue(c.encoded), c.decoded);
    const std::string encoded = EncodeProgramInfoValue(c.code);
    EXPECT_EQ(encoded.find_first_of("= \t"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Values, EscapeTest,
    ::testing::Values(EscapeCase{"Empty", "", "", ""},
                      EscapeCase{"Plain", "Foo(x)", "Foo(x)", "Foo(x)"},
                      EscapeCase{"Assignment", "x = 1", "x\\b{EQU}\\b1", "x = 1"},
                      EscapeCase{"TabInFront", "\tx = 1", "\\tx\\b{EQU}\\b1", "  x = 1"},
                      EscapeCase{"SeveralEquals", "a==b", "a{EQU}{EQU}b", "a==b"},
                      EscapeCase{"BackslashKept", "s\\n", "s\\n", "s\\n"},
                      EscapeCase{"BackslashBeforeSpace", "a\\ b", "a\\\\bb", "a\\ b"},
                      EscapeCase{"LiteralBackslashB", "x\\by", "x\\by", "x y"},
                      EscapeCase{"LiteralEquMarker", "{EQU}", "{EQU}", "="},
                      EscapeCase{"OnlyWhitespace", " \t ", "\\b\\t\\b", "    "},
                      EscapeCase{"HighBytes", "a\xE4\xFF=", "a\xE4\xFF{EQU}", "a\xE4\xFF="}),
    [](const auto& info) { return std::string(info.param.name); });

LineOfCode MakeLine(int file, int line, std::string code,
                    std::vector<std::pair<int, std::string>> instructions) {
    LineOfCode result;
    result.SourceFileId = file;
    result.LineNumber = line;
    result.Code = std::move(code);
    for (const auto& [scope, text] : instructions) {
        testing::AddStatement(result, text, scope);
    }
    return result;
}

TEST(WriteProgramInfoTest, WritesWholeLayout) {
    ProgramInfo program;
    program.Path = "C:\\my progs\\a=b.pb";
    program.IsExecutable = true;
    program.SourceFileIds.Set("C:\\my progs\\a=b.pb", 1);
    program.SourceFileIds.Set("C:\\inc\\z.pbi", 2);
    program.ScopeIds.Set(kMainScopeName, 1);
    program.ScopeIds.Set("Foo", 2);
    program.LinesOfCode.push_back(MakeLine(1, 1, "a = 1 : b = 2", {{1, "a = 1 "}, {1, " b = 2"}}));
    program.LinesOfCode.push_back(MakeLine(2, 7, "", {{0, ""}}));
    program.LinesOfCode.back().Instructions.front().BlockKey = "1.1.1"; // never written

    const std::string expected = "Path = C:\\my progs\\a=b.pb\r\n"
                                 "\r\n"
                                 "SourceFileIds = 2\r\n"
                                 "SourceFileId.1 = C:\\my progs\\a=b.pb\r\n"
                                 "SourceFileId.2 = C:\\inc\\z.pbi\r\n"
                                 "\r\n"
                                 "ScopeIds = 2\r\n"
                                 "ScopeId.1 = ***main***\r\n"
                                 "ScopeId.2 = Foo\r\n"
                                 "\r\n"
                                 "LinesOfCode = 2\r\n"
                                 "LineOfCode.1.SourceFileId = 1\r\n"
                                 "LineOfCode.1.LineNumber = 1\r\n"
                                 "LineOfCode.1.Code = a\\b{EQU}\\b1\\b:\\bb\\b{EQU}\\b2\r\n"
                                 "LineOfCode.1.Instructions = 2\r\n"
                                 "LineOfCode.1.Instruction.1.ScopeId = 1\r\n"
                                 "LineOfCode.1.Instruction.1.Code = a\\b{EQU}\\b1\\b\r\n"
                                 "LineOfCode.1.Instruction.2.ScopeId = 1\r\n"
                                 "LineOfCode.1.Instruction.2.Code = \\bb\\b{EQU}\\b2\r\n"
                                 "LineOfCode.2.SourceFileId = 2\r\n"
                                 "LineOfCode.2.LineNumber = 7\r\n"
                                 "LineOfCode.2.Code = \r\n"
                                 "LineOfCode.2.Instructions = 1\r\n"
                                 "LineOfCode.2.Instruction.1.ScopeId = 0\r\n"
                                 "LineOfCode.2.Instruction.1.Code = \r\n";
    EXPECT_EQ(WriteProgramInfo(program), expected);
}

TEST(WriteProgramInfoTest, EmptyProgramEndsWithZeroLinesOfCode) {
    ProgramInfo program;
    program.Path = "empty.pb";
    program.SourceFileIds.Set("/x/empty.pb", 1);
    program.ScopeIds.Set(kMainScopeName, 1);
    const std::string text = WriteProgramInfo(program);
    const std::string tail = "\r\n\r\nLinesOfCode = 0\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(WriteProgramInfoTest, TablesFollowInsertionOrderAndSameLinesGiveSameBlocks) {
    ProgramInfo first;
    first.Path = "p.pb";
    first.SourceFileIds.Set("b", 2);
    first.SourceFileIds.Set("a", 1);
    first.ScopeIds.Set("Zed", 3);
    first.ScopeIds.Set(kMainScopeName, 1);
    first.LinesOfCode.push_back(MakeLine(1, 3, "x", {{1, "x"}}));
    ProgramInfo second = first;
    second.SourceFileIds.Clear();
    second.SourceFileIds.Set("a", 1);
    second.SourceFileIds.Set("b", 2);

    const std::string a = WriteProgramInfo(first);
    const std::string b = WriteProgramInfo(second);
    EXPECT_LT(a.find("SourceFileId.2 = b"), a.find("SourceFileId.1 = a"));
    EXPECT_LT(b.find("SourceFileId.1 = a"), b.find("SourceFileId.2 = b"));
    EXPECT_LT(a.find("ScopeId.3 = Zed"), a.find("ScopeId.1 = ***main***"));
    const auto blocks = [](const std::string& text) {
        return text.substr(text.find("LinesOfCode"));
    };
    EXPECT_EQ(blocks(a), blocks(b));
}

TEST(WriteProgramInfoTest, EveryLineEndsWithCrLfAndHasOneSeparator) {
    ProgramInfo program;
    program.Path = "p q.pb";
    program.SourceFileIds.Set("p q.pb", 1);
    program.ScopeIds.Set(kMainScopeName, 1);
    for (int i = 1; i <= 12; ++i) {
        program.LinesOfCode.push_back(
            MakeLine(1, i, "\tv" + std::to_string(i) + " = a = b", {{1, "v = a = b"}, {1, ""}}));
    }
    const std::string text = WriteProgramInfo(program);
    std::size_t start = 0;
    int lines = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "unterminated last line";
        const std::string line = text.substr(start, end - start);
        EXPECT_EQ(line.find('\r'), std::string::npos);
        EXPECT_EQ(line.find('\n'), std::string::npos);
        if (!line.empty()) {
            const auto separator = line.find(" = ");
            ASSERT_NE(separator, std::string::npos) << line;
            if (line.rfind("Path", 0) != 0) {
                EXPECT_EQ(line.find('=', separator + 2), std::string::npos) << line;
            }
        }
        ++lines;
        start = end + 2;
    }
    // Path, empty, count + 1 file, empty, count + 1 scope, empty, LinesOfCode; then per line
    // four lines and two per instruction.
    EXPECT_EQ(lines, 2 + 2 + 1 + 2 + 1 + 1 + 12 * (4 + 2 * 2));
}

// The layout written as plainly as it reads: text joined line by line, the escaping by three
// replacements. The writer must give the same bytes for any program, also one whose blocks
// cross the pieces it writes out and whose lines hold many statements or long code.
std::string ReferenceProgramInfo(const ProgramInfo& program) {
    const auto escape = [](std::string_view code) {
        return ReplaceAll(ReplaceAll(ReplaceAll(code, "=", "{EQU}"), " ", "\\b"), "\t", "\\t");
    };
    std::string text = "Path = " + program.Path + "\r\n\r\n";
    text += "SourceFileIds = " + std::to_string(program.SourceFileIds.Size()) + "\r\n";
    for (const auto& [path, id] : program.SourceFileIds) {
        text += "SourceFileId." + std::to_string(id) + " = " + path + "\r\n";
    }
    text += "\r\nScopeIds = " + std::to_string(program.ScopeIds.Size()) + "\r\n";
    for (const auto& [name, id] : program.ScopeIds) {
        text += "ScopeId." + std::to_string(id) + " = " + name + "\r\n";
    }
    text += "\r\nLinesOfCode = " + std::to_string(program.LinesOfCode.size()) + "\r\n";
    for (std::size_t n = 1; n <= program.LinesOfCode.size(); ++n) {
        const LineOfCode& line = program.LinesOfCode[n - 1];
        const std::string key = "LineOfCode." + std::to_string(n);
        text += key + ".SourceFileId = " + std::to_string(line.SourceFileId) + "\r\n";
        text += key + ".LineNumber = " + std::to_string(line.LineNumber) + "\r\n";
        text += key + ".Code = " + escape(line.Code) + "\r\n";
        text += key + ".Instructions = " + std::to_string(line.Instructions.size()) + "\r\n";
        for (std::size_t m = 1; m <= line.Instructions.size(); ++m) {
            const Instruction& instruction = line.Instructions[m - 1];
            const std::string instructionKey = key + ".Instruction." + std::to_string(m);
            text += instructionKey + ".ScopeId = " + std::to_string(instruction.ScopeId) + "\r\n";
            text += instructionKey + ".Code = " + escape(line.TextOf(instruction)) + "\r\n";
        }
    }
    return text;
}

TEST(WriteProgramInfoTest, SameBytesAsAPlainWriterOnRandomPrograms) {
    const std::vector<std::string> pieces = {"a",   "=",     " ",    "\t", "Foo(x)", ":",
                                             "\\b", "{EQU}", "\xE4", "If", ";",      "\"s = t\""};
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        ProgramInfo program;
        program.Path = "C:\\p " + std::to_string(round) + ".pb";
        program.SourceFileIds.Set(program.Path, 1);
        program.ScopeIds.Set(kMainScopeName, 1);
        program.ScopeIds.Set("Foo", -2147483647 - 1);
        const int lines = static_cast<int>(random() % 3000);
        for (int n = 1; n <= lines; ++n) {
            LineOfCode& line = program.LinesOfCode.emplace_back();
            line.SourceFileId = static_cast<int>(random() % 5) - 1;
            line.LineNumber = random() % 50 == 0 ? 2147483647 : n;
            // Now and then a line far longer than a written piece.
            const std::size_t count = random() % 400 == 0 ? 200000 : random() % 12;
            std::string code;
            for (std::size_t i = 0; i < count; ++i) {
                code += pieces[random() % pieces.size()];
            }
            line.Code = code;
            // Whole-line statements, pieces, and none.
            std::size_t start = 0;
            const int statements = static_cast<int>(random() % 4);
            for (int m = 0; m < statements; ++m) {
                const std::size_t end = m + 1 == statements
                                            ? line.Code.size()
                                            : start + random() % (line.Code.size() - start + 1);
                line.AddInstruction(start, end - start).ScopeId = static_cast<int>(random() % 3);
                start = end;
            }
        }
        ASSERT_EQ(WriteProgramInfo(program), ReferenceProgramInfo(program)) << round;
    }
}

} // namespace
} // namespace tickscope
