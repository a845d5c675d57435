// Throughput of the line scanning helpers and the parser passes over the PureBasic corpus.
#include "common/corpus.h"
#include "source/keyword_set.h"
#include "source/line_scanning.h"
#include "source/parser_passes.h"
#include "source/scope_keywords.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace tickscope;

// Every line of every *.pb and *.pbi file below the corpus folder, without terminators.
const std::vector<std::string>& CorpusLines() {
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> result;
        for (const std::string& path : testing::PureBasicFiles(TICKSCOPE_CORPUS_DIR)) {
            const std::vector<std::string> fileLines = testing::FileLines(path);
            result.insert(result.end(), fileLines.begin(), fileLines.end());
        }
        return result;
    }();
    return lines;
}

// The bytes of those lines, for the benchmarks' byte rates.
std::int64_t CorpusBytes() {
    std::int64_t bytes = 0;
    for (const auto& line : CorpusLines()) {
        bytes += static_cast<std::int64_t>(line.size());
    }
    return bytes;
}

bool SkipWithoutCorpus(benchmark::State& state) {
    if (CorpusLines().empty()) {
        state.SkipWithError("no PureBasic corpus at " TICKSCOPE_CORPUS_DIR);
        return true;
    }
    return false;
}

void BM_LineHelpers(benchmark::State& state) {
    if (SkipWithoutCorpus(state)) {
        return;
    }
    const auto& lines = CorpusLines();
    for (auto _ : state) {
        for (const auto& line : lines) {
            benchmark::DoNotOptimize(CommentPosition(line));
            benchmark::DoNotOptimize(StripComment(line));
            benchmark::DoNotOptimize(MaskLine(line));
            benchmark::DoNotOptimize(HasStatementColon(line));
            benchmark::DoNotOptimize(TokenizeLine(line));
            benchmark::DoNotOptimize(FindKeyword(line, "if"));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
}
BENCHMARK(BM_LineHelpers);

// Forty keywords asked one after the other about each line, as the instrumenter does.
void BM_FindKeyword40PerLine(benchmark::State& state) {
    if (SkipWithoutCorpus(state)) {
        return;
    }
    std::vector<std::string_view> keywords;
    for (const auto& entry : kScopeKeywords) {
        keywords.push_back(entry.Keyword);
    }
    keywords.push_back("includefile");
    keywords.push_back("xincludefile");
    const auto& lines = CorpusLines();
    for (auto _ : state) {
        for (const auto& line : lines) {
            for (const auto keyword : keywords) {
                benchmark::DoNotOptimize(FindKeyword(line, keyword));
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
    state.counters["keywords_per_line"] = static_cast<double>(keywords.size());
}
BENCHMARK(BM_FindKeyword40PerLine);

// The scope keyword group of every line, as the scope pass asks it of each statement.
void BM_ClassifyInstruction(benchmark::State& state) {
    if (SkipWithoutCorpus(state)) {
        return;
    }
    const auto& lines = CorpusLines();
    const std::int64_t bytes = CorpusBytes();
    for (auto _ : state) {
        for (const auto& line : lines) {
            benchmark::DoNotOptimize(ClassifyInstruction(line));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_ClassifyInstruction);

// The scan alone that spares most statements the keyword searches.
void BM_KeywordScan(benchmark::State& state) {
    if (SkipWithoutCorpus(state)) {
        return;
    }
    KeywordSet keywords;
    for (const auto& entry : kScopeKeywords) {
        keywords.Add(entry.Keyword);
    }
    const auto& lines = CorpusLines();
    const std::int64_t bytes = CorpusBytes();
    for (auto _ : state) {
        for (const auto& line : lines) {
            benchmark::DoNotOptimize(keywords.Scan(line));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_KeywordScan);

ProgramInfo CorpusProgram() {
    ProgramInfo program;
    int number = 0;
    for (const auto& code : CorpusLines()) {
        LineOfCode line;
        line.SourceFileId = 1;
        line.LineNumber = ++number;
        line.Code = code;
        program.LinesOfCode.push_back(std::move(line));
    }
    return program;
}

// The three passes of a load over all lines, in the one walk a load makes (building the
// line list is not timed).
void BM_ParserPasses(benchmark::State& state) {
    if (SkipWithoutCorpus(state)) {
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        ProgramInfo program = CorpusProgram();
        state.ResumeTiming();
        RunParserPasses(program);
        benchmark::DoNotOptimize(program.ScopeIds.Size());
        state.PauseTiming();
        program = ProgramInfo();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(CorpusLines().size()));
}
BENCHMARK(BM_ParserPasses)->Unit(benchmark::kMillisecond);

void BM_ScopePassOnly(benchmark::State& state) {
    if (SkipWithoutCorpus(state)) {
        return;
    }
    ProgramInfo split = CorpusProgram();
    RunContinuationPass(split);
    RunSplittingPass(split);
    for (auto _ : state) {
        state.PauseTiming();
        ProgramInfo program = split;
        program.ScopeIds.Clear();
        state.ResumeTiming();
        RunScopePass(program);
        benchmark::DoNotOptimize(program.ScopeIds.Size());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(CorpusLines().size()));
}
BENCHMARK(BM_ScopePassOnly)->Unit(benchmark::kMillisecond);

} // namespace
