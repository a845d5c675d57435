// The program information written by build mode reads back from a run file as it was, except
// for what the escaping cannot keep (a tab comes back as two blanks).
#include "runfiles/program_info_reader.h"

#include "common/statements.h"
#include "common/temp_folder.h"
#include "runfiles/program_info_file.h"
#include "runfiles/run_information.h"
#include "source/text_utils.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace tickscope {
namespace {

ProgramInfo SmallProgram() {
    ProgramInfo program;
    program.Path = "C:\\My Programs\\main=1.pb";
    program.SourceFileIds.Set("C:\\My Programs\\main=1.pb", 1);
    program.SourceFileIds.Set("C:\\My Programs\\inc.pbi", 2);
    program.ScopeIds.Set("***main***", 1);
    program.ScopeIds.Set("Foo", 2);
    const struct {
        int File, Line;
        std::string Code;
        std::vector<std::pair<int, std::string>> Instructions; // scope, code
    } lines[] = {
        {1, 1, "Procedure Foo()", {{2, "Procedure Foo()"}}},
        {1, 2, "\tx = 1 : y = x", {{2, "x = 1"}, {2, "y = x"}}},
        {1, 3, "", {}},
        {2, 7, "EndProcedure ; a = b", {{0, "EndProcedure ; a = b"}}},
    };
    for (const auto& line : lines) {
        LineOfCode& added = program.LinesOfCode.emplace_back();
        added.SourceFileId = line.File;
        added.LineNumber = line.Line;
        added.Code = line.Code;
        for (const auto& [scope, code] : line.Instructions) {
            testing::AddStatement(added, code, scope);
        }
    }
    return program;
}

TEST(ProgramInfoReaderTest, ReadsBackWhatTheWriterWrote) {
    const ProgramInfo written = SmallProgram();
    testing::TempFolder folder;
    const std::string run = folder.Write("Tickscope/1700000000-1.tkr",
                                         EncodeRunInformation(WriteProgramInfo(written), 4242));

    const RunHeader header = ReadRunHeader(run);
    EXPECT_EQ(header.Path, written.Path);
    EXPECT_EQ(header.LineCount, 4);
    EXPECT_EQ(header.SourceFileCount, 2);
    EXPECT_EQ(header.ScopeCount, 2);

    ProgramInfo read;
    ProgramInfoReader reader;
    reader.CollectLines(run, header.LineCount);
    reader.ReadTables(header, read);
    ASSERT_EQ(reader.LineCount(header.LineCount), 4);
    for (std::int64_t n = 1; n <= 4; ++n) {
        read.LinesOfCode.push_back(reader.BuildLine(n));
    }
    EXPECT_EQ(read.SourceFileIds.Entries(), written.SourceFileIds.Entries());
    EXPECT_EQ(read.ScopeIds.Entries(), written.ScopeIds.Entries());
    ASSERT_EQ(read.LinesOfCode.size(), written.LinesOfCode.size());
    for (std::size_t i = 0; i < written.LinesOfCode.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(i + 1));
        const LineOfCode& a = written.LinesOfCode[i];
        const LineOfCode& b = read.LinesOfCode[i];
        EXPECT_EQ(b.SourceFileId, a.SourceFileId);
        EXPECT_EQ(b.LineNumber, a.LineNumber);
        EXPECT_EQ(b.Code, ReplaceAll(a.Code, "\t", "  "));
        ASSERT_EQ(b.Instructions.size(), a.Instructions.size());
        for (std::size_t m = 0; m < a.Instructions.size(); ++m) {
            EXPECT_EQ(b.Instructions[m].ScopeId, a.Instructions[m].ScopeId);
        }
    }
}

TEST(ProgramInfoReaderTest, FilesThatCannotBeReadGiveDefaults) {
    testing::TempFolder folder;
    for (const std::string& path : {folder.File("missing.tkr"), folder.Folder(), std::string()}) {
        const RunHeader header = ReadRunHeader(path);
        EXPECT_EQ(header.Path, "");
        EXPECT_EQ(header.LineCount, 0);
        ProgramInfoReader reader;
        reader.CollectLines(path);
        EXPECT_EQ(reader.LineCount(3), 3) << "a count near the keys present stands";
        EXPECT_EQ(reader.BuildLine(1).Code, "");
    }
}

// Lines are found by their number whether it stands near the lines present (indexed
// directly) or far beyond them (as only a damaged file has it), in any order, and a repeated
// key keeps its last value.
TEST(ProgramInfoReaderTest, LinesByNumberNearAndFar) {
    const std::vector<std::pair<std::int64_t, std::string>> keys = {
        {3, "c"},      {1, "a"},     {900000000, "far"},       {2, "b"},
        {40, "forty"}, {1, "again"}, {900000000, "far again"}, {7, "seven"}};
    std::string text = "[PRE-PROGRAMINFOS]\r\nLinesOfCode = 8\r\n";
    for (const auto& [n, code] : keys) {
        text += "LineOfCode." + std::to_string(n) + ".Code = " + code + "\r\n";
    }
    testing::TempFolder folder;
    const std::string run = folder.Write("Tickscope/1700000000-1.tkr", text);
    for (const std::int64_t declared : {0, 8, 1000000}) {
        SCOPED_TRACE(declared);
        ProgramInfoReader reader;
        reader.CollectLines(run, declared);
        EXPECT_EQ(reader.LineCount(8), 8);
        const std::vector<std::pair<std::int64_t, std::string>> expected = {
            {1, "again"},
            {2, "b"},
            {3, "c"},
            {4, ""},
            {7, "seven"},
            {40, "forty"},
            {900000000, "far again"},
            {900000001, ""},
            {0, ""},
            {-1, ""}};
        for (const auto& [n, code] : expected) {
            EXPECT_EQ(reader.BuildLine(n).Code, code) << n;
        }
    }
}

} // namespace
} // namespace tickscope
