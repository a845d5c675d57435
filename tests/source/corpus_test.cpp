#include "common/corpus.h"
#include "loader_test_support.h"

#include "source/line_scanning.h"
#include "source/source_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tickscope {
namespace {

std::vector<std::string> CorpusSources() {
    return testing::PureBasicFiles(TICKSCOPE_CORPUS_DIR);
}

// Lines of a file as the loader cuts them, counted without the loader.
std::size_t LinesInFile(const std::string& path) {
    const std::string bytes = testing::ReadFileBytes(path);
    const std::string_view text = std::string_view(bytes).substr(ByteOrderMarkLength(bytes));
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
            ++count;
        }
    }
    const bool unterminated = !text.empty() && text.back() != '\n' && text.back() != '\r';
    return count + (unterminated ? 1 : 0);
}

bool HoldsIncludeDirective(std::string_view code) {
    return FindKeyword(code, "includefile") > 0 || FindKeyword(code, "xincludefile") > 0;
}

// Checks that the lines are in depth-first compile order: every file's lines are numbered
// 1, 2, 3, ... in list order, a file's first line follows a directive line of the file that
// includes it, and a file resumes only after the files it included are done.
void ExpectCompileOrder(const ProgramInfo& program, const std::string& source) {
    std::vector<int> open;         // ids of the files being read, innermost last
    std::map<int, int> lastNumber; // id -> last line number seen
    std::set<int> finished;
    const LineOfCode* previous = nullptr;
    for (const LineOfCode& line : program.LinesOfCode) {
        const int id = line.SourceFileId;
        if (!lastNumber.count(id)) {
            ASSERT_FALSE(finished.count(id)) << source;
            ASSERT_EQ(line.LineNumber, 1) << source << ": first line of file " << id;
            if (previous != nullptr) {
                ASSERT_TRUE(HoldsIncludeDirective(previous->Code))
                    << source << ": file " << id << " follows " << previous->Code;
            } else {
                ASSERT_EQ(id, 1) << source;
            }
            open.push_back(id);
        } else {
            const auto found = std::find(open.begin(), open.end(), id);
            ASSERT_NE(found, open.end()) << source << ": file " << id << " resumed after its end";
            for (auto it = found + 1; it != open.end(); ++it) {
                finished.insert(*it);
            }
            open.erase(found + 1, open.end());
            ASSERT_EQ(line.LineNumber, lastNumber[id] + 1) << source << ": file " << id;
        }
        lastNumber[id] = line.LineNumber;
        previous = &line;
    }
}

TEST(CorpusTest, LoadedProgramsKeepTheModelInvariants) {
    const std::vector<std::string> sources = CorpusSources();
    if (sources.empty()) {
        GTEST_SKIP() << "no PureBasic corpus at " << TICKSCOPE_CORPUS_DIR;
    }
    std::size_t includedFiles = 0;
    for (const std::string& source : sources) {
        SCOPED_TRACE(source);
        const ProgramInfo program = testing::Load(source);
        ASSERT_FALSE(program.LinesOfCode.empty());
        EXPECT_EQ(program.Path, source);
        EXPECT_EQ(program.SourceFileIds.Get(source), 1);
        EXPECT_EQ(program.ScopeIds.Get(kMainScopeName), kMainScopeId);
        EXPECT_FALSE(program.IsExecutable && program.IsSharedDll);
        EXPECT_NE(program.IsExecutable, program.IsSharedDll);

        std::set<int> fileIds;
        for (const auto& [key, id] : program.SourceFileIds) {
            EXPECT_TRUE(fileIds.insert(id).second) << "id " << id << " twice, at " << key;
        }
        std::set<int> scopeIds;
        for (const auto& [name, id] : program.ScopeIds) {
            EXPECT_NE(id, 0) << name;
            scopeIds.insert(id);
        }
        std::map<int, int> lastLineOfFile;
        for (const LineOfCode& line : program.LinesOfCode) {
            ASSERT_TRUE(fileIds.count(line.SourceFileId)) << line.Code;
            ASSERT_FALSE(line.Instructions.empty()) << line.Code;
            for (const Instruction& instruction : line.Instructions) {
                ASSERT_TRUE(instruction.ScopeId == 0 || scopeIds.count(instruction.ScopeId))
                    << line.TextOf(instruction);
            }
            lastLineOfFile[line.SourceFileId] = line.LineNumber;
        }
        // Every file was read to its end.
        for (const auto& [key, id] : program.SourceFileIds) {
            const std::string path = key.substr(0, key.find('#'));
            const auto last = lastLineOfFile.find(id);
            EXPECT_EQ(last == lastLineOfFile.end() ? 0u : static_cast<std::size_t>(last->second),
                      LinesInFile(path))
                << path;
        }
        ExpectCompileOrder(program, source);
        includedFiles += program.SourceFileIds.Size() - 1;
    }
    // Includes between the corpus files are resolved, not merely skipped.
    EXPECT_GT(includedFiles, 0u);
}

TEST(CorpusTest, LoadingTwiceGivesTheSameProgram) {
    const std::vector<std::string> sources = CorpusSources();
    if (sources.empty()) {
        GTEST_SKIP() << "no PureBasic corpus at " << TICKSCOPE_CORPUS_DIR;
    }
    for (const std::string& source : sources) {
        SCOPED_TRACE(source);
        const ProgramInfo first = testing::Load(source);
        const ProgramInfo second = testing::Load(source);
        ASSERT_EQ(second.LinesOfCode.size(), first.LinesOfCode.size());
        EXPECT_EQ(second.SourceFileIds.Entries(), first.SourceFileIds.Entries());
        EXPECT_EQ(second.ScopeIds.Entries(), first.ScopeIds.Entries());
        EXPECT_EQ(second.IsSharedDll, first.IsSharedDll);
        for (std::size_t i = 0; i < first.LinesOfCode.size(); ++i) {
            const LineOfCode& a = first.LinesOfCode[i];
            const LineOfCode& b = second.LinesOfCode[i];
            ASSERT_EQ(b.Code, a.Code);
            ASSERT_EQ(b.Instructions.size(), a.Instructions.size()) << a.Code;
            for (std::size_t k = 0; k < a.Instructions.size(); ++k) {
                ASSERT_EQ(b.TextOf(b.Instructions[k]), a.TextOf(a.Instructions[k]));
                ASSERT_EQ(b.Instructions[k].ScopeId, a.Instructions[k].ScopeId) << a.Code;
                ASSERT_EQ(b.Instructions[k].BlockKey, a.Instructions[k].BlockKey) << a.Code;
            }
        }
    }
}

} // namespace
} // namespace tickscope
