// Comparing two recorded runs against loading one: the comparison loads both runs one after
// the other (each reduced to its figures before the next is read) and matches their lines,
// so it should cost about twice one load, in the memory of one.
//
//   build/bench/bench_compare --benchmark_repetitions=5
//   (the same by the tool: make_generated_runs-style runs in a folder, then
//    /usr/bin/time -v tickscope-report --compare OLD.tkr NEW.tkr --format csv > /dev/null)
#include "analysis/progress.h"
#include "analysis/run_comparison.h"
#include "analysis/run_loading.h"
#include "cached_run.h"
#include "resident_memory.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <map>
#include <memory>
#include <unistd.h>

namespace {

using namespace tickscope;

using bench::ResidentMegabytes;

RunSummary Summary(const bench::GeneratedRun& run) {
    SilentProgress progress;
    LoadedRun loaded = LoadRun(CatalogueRunFile(run.RunInfoPath), progress);
    const ThreadChecks all(loaded.Threads.size(), true);
    return SummariseRun(std::move(loaded), all, TimeMode::All);
}

void BM_LoadRun(benchmark::State& state) {
    const bench::GeneratedRun& run = bench::CachedGeneratedRun(state.range(0), 1);
    if (!run.Written) {
        state.SkipWithError("cannot write the run");
        return;
    }
    for (auto _ : state) {
        SilentProgress progress;
        const LoadedRun loaded = LoadRun(CatalogueRunFile(run.RunInfoPath), progress);
        benchmark::DoNotOptimize(loaded.Analysis.Threads().data());
    }
}
BENCHMARK(BM_LoadRun)->Arg(2000000)->Arg(20000000)->Unit(benchmark::kMillisecond);

void BM_CompareRuns(benchmark::State& state) {
    const bench::GeneratedRun& older = bench::CachedGeneratedRun(state.range(0), 1);
    const bench::GeneratedRun& newer = bench::CachedGeneratedRun(state.range(0), 2);
    if (!older.Written || !newer.Written) {
        state.SkipWithError("cannot write the runs");
        return;
    }
    double growth = 0;
    for (auto _ : state) {
        const double before = ResidentMegabytes();
        const RunSummary oldSummary = Summary(older);
        const RunSummary newSummary = Summary(newer);
        const RunComparison comparison = CompareRuns(oldSummary, newSummary);
        growth = ResidentMegabytes() - before;
        benchmark::DoNotOptimize(comparison.Lines.data());
    }
    state.counters["kept_MB"] = growth;
}
BENCHMARK(BM_CompareRuns)->Arg(2000000)->Arg(20000000)->Unit(benchmark::kMillisecond);

} // namespace
