// Attribution of a recorded run read from its entry log: entries per second, and the memory
// the analysis holds, which must not grow with the number of entries.
#include "analysis/attribution.h"
#include "cached_run.h"
#include "resident_memory.h"
#include "runfiles/entry_log_reader.h"
#include "runfiles/entry_record.h"
#include "runfiles/run_information.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <span>
#include <unistd.h>

namespace {

using namespace tickscope;

using tickscope::testing::TempFolder;

using bench::ResidentMegabytes;

// Reads the log as the loader does, a batch of records at a time.
template <typename Batch> bool ForEachBatch(const std::string& path, Batch&& batch) {
    EntryLogReader reader;
    if (!reader.Open(path)) {
        return false;
    }
    std::vector<EntryRecord> records(512);
    while (const std::size_t count = reader.NextBatch(records)) {
        batch(std::span<const EntryRecord>(records).first(count));
    }
    return true;
}

void BM_AttributeEntryLog(benchmark::State& state) {
    const bench::GeneratedRun& run = bench::CachedGeneratedRun(state.range(0));
    if (!run.Written) {
        state.SkipWithError("cannot write the run");
        return;
    }
    std::int64_t entries = 0;
    double growth = 0;
    for (auto _ : state) {
        const double before = ResidentMegabytes();
        RunAnalysis analysis;
        ResetAttribution(analysis, run.Program.LinesOfCode);
        if (!ForEachBatch(run.EntryLogPath, [&](std::span<const EntryRecord> batch) {
                AttributeEntries(analysis, batch);
                entries += static_cast<std::int64_t>(batch.size());
            })) {
            state.SkipWithError("cannot open the entry log");
            return;
        }
        growth = ResidentMegabytes() - before;
        benchmark::DoNotOptimize(analysis.Threads().data());
    }
    state.SetItemsProcessed(entries);
    state.counters["entries/s"] =
        benchmark::Counter(static_cast<double>(entries), benchmark::Counter::kIsRate);
    state.counters["analysis_MB"] = growth;
}
BENCHMARK(BM_AttributeEntryLog)
    ->Arg(2000000)
    ->Arg(20000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same entries decoded into memory first: attribution alone.
void BM_AttributeInMemory(benchmark::State& state) {
    const bench::GeneratedRun& run = bench::CachedGeneratedRun(2000000);
    std::vector<EntryRecord> records;
    EntryLogReader reader;
    reader.Open(run.EntryLogPath);
    for (EntryRecord entry; reader.Next(entry);) {
        records.push_back(entry);
    }
    std::int64_t entries = 0;
    for (auto _ : state) {
        RunAnalysis analysis;
        ResetAttribution(analysis, run.Program.LinesOfCode);
        AttributeEntries(analysis, records);
        entries += static_cast<std::int64_t>(records.size());
        benchmark::DoNotOptimize(analysis.Threads().data());
    }
    state.counters["entries/s"] =
        benchmark::Counter(static_cast<double>(entries), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AttributeInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading the log without attributing: the floor for the two above.
void BM_ReadEntryLogOnly(benchmark::State& state) {
    const bench::GeneratedRun& run = bench::CachedGeneratedRun(20000000);
    std::int64_t entries = 0;
    for (auto _ : state) {
        std::int64_t sum = 0;
        ForEachBatch(run.EntryLogPath, [&](std::span<const EntryRecord> batch) {
            for (const EntryRecord& entry : batch) {
                sum += entry.Nanos;
            }
            entries += static_cast<std::int64_t>(batch.size());
        });
        benchmark::DoNotOptimize(sum);
    }
    state.counters["entries/s"] =
        benchmark::Counter(static_cast<double>(entries), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadEntryLogOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
