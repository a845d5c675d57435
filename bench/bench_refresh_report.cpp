// One report refresh of a 100,000-line run: figures, heat colours and procedure marks of
// every row, then the bird's view picture.
#include "analysis/attribution.h"
#include "analysis/birds_view.h"
#include "analysis/report_values.h"
#include "generated_run.h"

#include <benchmark/benchmark.h>

namespace {

using namespace tickscope;

constexpr int kRows = 100000;

// A loaded run of about 100,000 lines: every line executed a few times by the first
// thread, every third line also by a second one.
struct LoadedRun {
    AnalyzerLists Lists;
    RunAnalysis Analysis;

    LoadedRun() {
        const ProgramInfo program = bench::detail::MakeProgram((kRows - 200) / 30);
        bench::FillReport(Lists.ReportList, program);
        ResetAttribution(Analysis, Lists.ReportList);
        std::uint64_t random = 12345;
        for (const LineOfCode& line : program.LinesOfCode) {
            for (std::int64_t thread : {1, 2}) {
                if (thread == 2 && line.LineNumber % 3 != 0) {
                    continue;
                }
                for (int i = 0; i < 1 + line.LineNumber % 4; ++i) {
                    random = random * 6364136223846793005ULL + 1442695040888963407ULL;
                    EntryRecord entry;
                    entry.ThreadId = thread;
                    entry.FileId = line.SourceFileId;
                    entry.LineNumber = line.LineNumber;
                    entry.InstructionNumber = 1;
                    entry.StartOrStop = kStartEntry;
                    entry.Nanos = 0;
                    AttributeEntry(Analysis, entry);
                    entry.StartOrStop = kStopEntry;
                    entry.Nanos = static_cast<std::int64_t>((random >> 33) % 5000000);
                    AttributeEntry(Analysis, entry);
                }
            }
        }
        for (const ThreadNode& thread : Analysis.Threads()) {
            Lists.ThreadList.AddRow({"", std::to_string(thread.ThreadId), ""}).Checked = true;
        }
        for (std::size_t r = 0; r < Lists.ReportList.RowCount(); r += 7) {
            Lists.ReportList.Rows[r].Checked = false; // some unchecked lines
        }
    }
};

LoadedRun& Run() {
    static LoadedRun run;
    return run;
}

void BM_RefreshReport(benchmark::State& state) {
    LoadedRun& run = Run();
    BirdsViewPicture picture;
    for (auto _ : state) {
        RefreshReportValues(run.Lists, run.Analysis, 0, 0);
        DrawBirdsView(picture, run.Lists.ReportList, 18, 424);
        benchmark::DoNotOptimize(picture.Pixels.data());
    }
    state.counters["rows"] = static_cast<double>(run.Lists.ReportList.RowCount());
}
BENCHMARK(BM_RefreshReport)->Unit(benchmark::kMillisecond);

void BM_RefreshReportValuesOnly(benchmark::State& state) {
    LoadedRun& run = Run();
    for (auto _ : state) {
        RefreshReportValues(run.Lists, run.Analysis, 0, 0);
        benchmark::DoNotOptimize(run.Lists.ReportList.Rows.data());
    }
}
BENCHMARK(BM_RefreshReportValuesOnly)->Unit(benchmark::kMillisecond);

void BM_DrawBirdsViewOnly(benchmark::State& state) {
    LoadedRun& run = Run();
    RefreshReportValues(run.Lists, run.Analysis, 0, 0);
    BirdsViewPicture picture;
    for (auto _ : state) {
        DrawBirdsView(picture, run.Lists.ReportList, 18, 424);
        benchmark::DoNotOptimize(picture.Pixels.data());
    }
}
BENCHMARK(BM_DrawBirdsViewOnly)->Unit(benchmark::kMillisecond);

} // namespace
