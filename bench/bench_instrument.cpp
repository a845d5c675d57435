// Build mode on a large generated program: loading, the instruction rules, the program
// information, the assembled text and both file writes. Items are lines of code.

#include "generated_program.h"

#include "instrument/instrumenter.h"
#include "platform/file_writer.h"
#include "platform/platform.h"
#include "source/source_loader.h"

#include <benchmark/benchmark.h>

namespace {

tickscope::InstrumentOptions Options(const std::string& folder) {
    tickscope::InstrumentOptions options;
    options.ProbesForX86 = true; // the longer probe form
    options.MonitoringRuntimeText = "IncludeBinary \"{tickscope.tempfolder}tickscope.src\"\n";
    options.TempFolder = folder;
    return options;
}

void BM_BuildModeEndToEnd(benchmark::State& state) {
    const tickscope::bench::GeneratedProgramFolder folder(static_cast<std::size_t>(state.range(0)));
    const std::string out = folder.Folder().string() + "/";
    std::size_t lines = 0;
    std::size_t written = 0;
    for (auto _ : state) {
        tickscope::ProgramInfo program;
        tickscope::LoadSource(folder.Program().MainPath, "", program);
        const tickscope::InstrumentedTexts texts =
            tickscope::InstrumentProgram(program, Options(out));
        const bool ok =
            tickscope::platform::WriteFileAtomically(out + "tickscope.src", texts.ProgramInfo) &&
            tickscope::platform::WriteFileAtomically(out + "target.pb", texts.Program);
        if (!ok) {
            state.SkipWithError("cannot write the outputs");
            break;
        }
        lines = program.LinesOfCode.size();
        written = texts.ProgramInfo.size() + texts.Program.size();
    }
    if (lines != folder.Program().LineCount) {
        state.SkipWithError("the loaded program has not the generated number of lines");
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines));
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["MB_written"] = static_cast<double>(written) / 1e6;
}
BENCHMARK(BM_BuildModeEndToEnd)->Arg(200'000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The rewrite alone, on a program loaded once: rules, program information and assembly.
void BM_InstrumentLoadedProgram(benchmark::State& state) {
    const tickscope::bench::GeneratedProgramFolder folder(static_cast<std::size_t>(state.range(0)));
    tickscope::ProgramInfo program;
    tickscope::LoadSource(folder.Program().MainPath, "", program);
    const tickscope::InstrumentOptions options = Options("/tmp/");
    for (auto _ : state) {
        const tickscope::InstrumentedTexts texts = tickscope::InstrumentProgram(program, options);
        benchmark::DoNotOptimize(texts.Program.data());
    }
    state.SetItemsProcessed(state.iterations() *
                            static_cast<std::int64_t>(program.LinesOfCode.size()));
}
BENCHMARK(BM_InstrumentLoadedProgram)->Arg(200'000)->Unit(benchmark::kMillisecond);

} // namespace
