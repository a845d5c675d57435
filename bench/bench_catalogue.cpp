// Cataloguing a run folder of 10,000 runs (the analyzer does this once at start), with ten
// programs and with every run its own program. Each run-information file holds the program
// information of a three-line program.
#include "analysis/run_catalogue.h"
#include "common/temp_folder.h"
#include "runfiles/run_information.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string ProgramInformation(const std::string& path) {
    std::string text = "Path = " + path + "\r\n\r\nSourceFileIds = 1\r\nSourceFileId.1 = " + path +
                       "\r\n\r\nScopeIds = 1\r\nScopeId.1 = ***main***\r\n\r\nLinesOfCode = 3\r\n";
    for (int n = 1; n <= 3; ++n) {
        const std::string prefix = "LineOfCode." + std::to_string(n);
        text += prefix + ".SourceFileId = 1\r\n" + prefix + ".LineNumber = " + std::to_string(n) +
                "\r\n" + prefix + ".Code = x\\b{EQU}\\b1\r\n" + prefix + ".Instructions = 1\r\n" +
                prefix + ".Instruction.1.ScopeId = 1\r\n" + prefix +
                ".Instruction.1.Code = x\\b{EQU}\\b1\r\n";
    }
    return text;
}

// A home folder with `runs` run-information files, removed at the end.
class RunFolder {
  public:
    RunFolder(int runs, int programs) : home_(scratch_.Path()) {
        std::filesystem::create_directories(home_ / "Tickscope");
        for (int i = 0; i < runs; ++i) {
            const long long timestamp = 1600000000LL + (i * 7919LL) % runs;
            const std::string name = std::to_string(timestamp) + "-" + std::to_string(i) + ".tkr";
            std::ofstream out(home_ / "Tickscope" / name, std::ios::binary);
            out << tickscope::EncodeRunInformation(
                ProgramInformation("C:\\p\\program" + std::to_string(i % programs) + ".pb"), i);
        }
    }
    std::string Home() const { return scratch_.Folder(); }

  private:
    tickscope::testing::TempFolder scratch_;
    std::filesystem::path home_;
};

void BM_BuildRunCatalogue(benchmark::State& state) {
    const RunFolder folder(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        tickscope::RunCatalogue catalogue;
        if (!tickscope::BuildRunCatalogue(folder.Home(), catalogue)) {
            state.SkipWithError("run folder cannot be examined");
            break;
        }
        benchmark::DoNotOptimize(catalogue);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildRunCatalogue)
    ->Args({10000, 10})
    ->Args({10000, 10000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
