// Entries per second through RunRecorder on one thread, and records per second through the
// entry-log reader, both against a run in a fresh temporary folder.
#include "common/temp_folder.h"
#include "runfiles/entry_log_reader.h"
#include "runfiles/entry_record.h"
#include "runfiles/run_recorder.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using tickscope::testing::TempFolder;

void BM_RecorderEntries(benchmark::State& state) {
    TempFolder folder;
    tickscope::RunRecorder recorder(folder.Folder(), "[Program]\r\n");
    if (!recorder.Begin()) {
        state.SkipWithError("cannot begin a run");
        return;
    }
    std::int32_t line = 0;
    for (auto _ : state) {
        recorder.AddStartEntry(1, line, 1, false, 4096);
        recorder.AddStopEntry(1, line, 1, false, 4096);
        line = (line + 1) & 1023;
    }
    recorder.End();
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_RecorderEntries)->Unit(benchmark::kNanosecond)->Iterations(2000000);

void BM_ReadBinaryLog(benchmark::State& state) {
    TempFolder folder;
    constexpr std::int64_t kEntries = 4000000;
    std::string log;
    {
        tickscope::RunRecorder recorder(folder.Folder(), "");
        recorder.Begin();
        for (std::int64_t i = 0; i < kEntries; i += 2) {
            recorder.AddStartEntry(1, static_cast<std::int32_t>(i & 1023), 1, false, 64);
            recorder.AddStopEntry(1, static_cast<std::int32_t>(i & 1023), 1, false, 64);
        }
        recorder.End();
        log = recorder.BaseName() + ".tkl";
    }
    for (auto _ : state) {
        tickscope::EntryLogReader reader;
        reader.Open(log);
        tickscope::EntryRecord record;
        std::int64_t sum = 0;
        while (reader.Next(record)) {
            sum += record.LineNumber;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_ReadBinaryLog)->Unit(benchmark::kMillisecond);

} // namespace
