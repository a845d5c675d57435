// Loading a large generated program: reading every file with its includes, joining
// continued lines, splitting instructions and assigning scopes.

#include "generated_program.h"

#include "source/source_loader.h"

#include <benchmark/benchmark.h>

namespace {

void BM_LoadSource(benchmark::State& state) {
    const tickscope::bench::GeneratedProgramFolder folder(static_cast<std::size_t>(state.range(0)));
    const tickscope::bench::GeneratedProgram& generated = folder.Program();
    std::size_t lines = 0;
    for (auto _ : state) {
        tickscope::ProgramInfo program;
        tickscope::LoadSource(generated.MainPath, "", program);
        lines = program.LinesOfCode.size();
        benchmark::DoNotOptimize(program.LinesOfCode.data());
    }
    if (lines != generated.LineCount) {
        state.SkipWithError("the loaded program has not the generated number of lines");
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines));
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["files"] = static_cast<double>(generated.FileCount);
}
BENCHMARK(BM_LoadSource)->Arg(200'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

} // namespace
