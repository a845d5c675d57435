// Instruments every file of the corpus of real programs and checks the written texts
// against the loaded model: every line listed once per reading, numbered as in its file.
#include "instrument/instruction_rules.h"
#include "instrument/instrumenter.h"
#include "runfiles/program_info_file.h"
#include "source/source_loader.h"
#include "source/text_utils.h"

#include "common/corpus.h"
#include "common/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tickscope {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> CorpusFiles() {
    return tickscope::testing::PureBasicFiles(TICKSCOPE_CORPUS_DIR);
}

// Lines of a file as the loader counts them: CR, LF or CR LF end a line; a last line
// without terminator counts.
int PhysicalLineCount(const std::string& bytes) {
    int lines = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            ++lines;
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
        }
    }
    if (!bytes.empty() && bytes.back() != '\r' && bytes.back() != '\n') {
        ++lines;
    }
    return lines;
}

std::vector<std::string> SplitCrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<unterminated>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

void CheckProgram(const std::string& path) {
    SCOPED_TRACE(path);
    ProgramInfo program;
    LoadSource(path, "", program);
    InstrumentOptions options;
    options.ProbesForX86 = false;
    options.MonitoringRuntimeText = "RUNTIME {tickscope.tempfolder}\n";
    options.TempFolder = "/t/";
    const InstrumentedTexts texts = InstrumentProgram(program, options);

    // The program information lists every line, blocks numbered 1..n in list order.
    const std::vector<std::string> info = SplitCrLfLines(texts.ProgramInfo);
    const std::size_t n = program.LinesOfCode.size();
    const auto header = std::find(info.begin(), info.end(), "LinesOfCode = " + std::to_string(n));
    ASSERT_NE(header, info.end());
    auto next = header + 1;
    const auto take = [&](const std::string& key) -> std::string {
        if (next == info.end() || !StartsWith(*next, key + " = ")) {
            ADD_FAILURE() << "expected " << key << ", found "
                          << (next == info.end() ? "end" : *next);
            return {};
        }
        return (next++)->substr(key.size() + 3);
    };
    for (std::size_t i = 0; i < n; ++i) {
        const LineOfCode& line = program.LinesOfCode[i];
        const std::string prefix = "LineOfCode." + std::to_string(i + 1);
        ASSERT_EQ(take(prefix + ".SourceFileId"), std::to_string(line.SourceFileId));
        ASSERT_EQ(take(prefix + ".LineNumber"), std::to_string(line.LineNumber));
        const std::string code = take(prefix + ".Code");
        EXPECT_EQ(code.find_first_of("= \t"), std::string::npos);
        if (line.Code.find("\\b") == std::string::npos &&
            line.Code.find("\\t") == std::string::npos &&
            line.Code.find("{EQU}") == std::string::npos) {
            EXPECT_EQ(DecodeProgramInfoValue(code), ReplaceAll(line.Code, "\t", "  "));
        }
        ASSERT_EQ(take(prefix + ".Instructions"), std::to_string(line.Instructions.size()));
        for (std::size_t m = 0; m < line.Instructions.size(); ++m) {
            const std::string instruction = prefix + ".Instruction." + std::to_string(m + 1);
            ASSERT_EQ(take(instruction + ".ScopeId"), std::to_string(line.Instructions[m].ScopeId));
            take(instruction + ".Code");
        }
    }
    EXPECT_EQ(next, info.end());

    // Each file's lines appear in runs 1..k, k being the file's own line count.
    std::map<int, std::string> pathOfId;
    for (const auto& [file, id] : program.SourceFileIds) {
        pathOfId[id] = file;
    }
    std::map<int, int> expectedNext;
    for (const LineOfCode& line : program.LinesOfCode) {
        ASSERT_TRUE(pathOfId.count(line.SourceFileId)) << line.SourceFileId;
        int& expected = expectedNext[line.SourceFileId];
        if (line.LineNumber == 1) {
            EXPECT_TRUE(expected == 0 || expected == PhysicalLineCount(testing::ReadFileBytes(
                                                         pathOfId[line.SourceFileId])) +
                                                         1)
                << "file " << line.SourceFileId << " restarted early at " << expected;
            expected = 1;
        }
        EXPECT_EQ(line.LineNumber, expected) << "file " << line.SourceFileId;
        expected = line.LineNumber + 1;
    }
    for (const auto& [id, nextNumber] : expectedNext) {
        EXPECT_EQ(nextNumber - 1, PhysicalLineCount(testing::ReadFileBytes(pathOfId[id])))
            << pathOfId[id];
    }

    // The program text: runtime first, every instruction's text in its line's output.
    EXPECT_TRUE(StartsWith(texts.Program, "RUNTIME /t/\n"));
    EXPECT_TRUE(EndsWith(texts.Program, "\n\r\n"));
    std::size_t elements = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const LineOfCode& line = program.LinesOfCode[i];
        const std::vector<std::string>& output = texts.LineOutputs[i];
        elements += output.size();
        for (const Instruction& instruction : line.Instructions) {
            const std::string code(line.TextOf(instruction));
            ASSERT_EQ(MatchingRule(code), MatchingRuleByScan(code)) << code;
            const bool present =
                std::find(output.begin(), output.end(), code) != output.end() ||
                std::find(output.begin(), output.end(), ";" + code) != output.end();
            EXPECT_TRUE(present) << line.SourceFileId << ":" << line.LineNumber << " " << code;
        }
    }
    EXPECT_GE(elements, n);
    const auto starts = [&](const std::string& what) {
        std::size_t count = 0;
        for (auto at = texts.Program.find(what); at != std::string::npos;
             at = texts.Program.find(what, at + 1)) {
            ++count;
        }
        return count;
    };
    EXPECT_GE(starts("tickscope_AddStartEntry("), 1u);
    EXPECT_GE(starts("tickscope_End()"), 1u);
}

TEST(CorpusInstrumentTest, EveryFileInstrumentsWithEveryLineListed) {
    const std::vector<std::string> files = CorpusFiles();
    if (files.empty()) {
        GTEST_SKIP() << "corpus folder not found: " << TICKSCOPE_CORPUS_DIR;
    }
    for (const std::string& file : files) {
        CheckProgram(file);
    }
    EXPECT_GE(files.size(), 10u);
}

} // namespace
} // namespace tickscope
