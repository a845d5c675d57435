// One report refresh of a 100,000-line run: the figures, then their texts, heat colours and
// procedure marks in every row, then the bird's view picture.
#include "analysis/attribution.h"
#include "analysis/report_figures.h"
#include "generated_run.h"
#include "ui/birds_view.h"
#include "ui/report_presenter.h"

#include <benchmark/benchmark.h>

namespace {

using namespace tickscope;

constexpr int kRows = 100000;

// A loaded run of about 100,000 lines: every line executed a few times by the first
// thread, every third line also by a second one.
struct ShownRun {
    AnalyzerLists Lists;
    LoadedRun Run;
    RunAnalysis& Analysis = Run.Analysis;

    ShownRun() {
        Run.Program = bench::detail::MakeProgram((kRows - 200) / 30);
        const ProgramInfo& program = Run.Program;
        ResetAttribution(Analysis, program.LinesOfCode);
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
            Run.Threads.push_back({thread.ThreadId, ""});
        }
        ShowLoadedRun(Lists, Run);
        for (std::size_t r = 0; r < Lists.ReportList.RowCount(); r += 7) {
            Lists.ReportList.Rows[r].Checked = false; // some unchecked lines
        }
    }
};

ShownRun& Run() {
    static ShownRun run;
    return run;
}

ReportFigures Figures(const ShownRun& run) {
    return ComputeReportFigures(run.Analysis, ThreadChecksOf(run.Lists.ThreadList),
                                LineChecksOf(run.Lists.ReportList), TimeMode::All, {});
}

// What the window's refresh does with the figures.
void ShowFigures(ShownRun& run, std::vector<RowHeat>& heats) {
    const ReportFigures figures = Figures(run);
    ShowReportFigures(run.Lists.ReportList, figures);
    heats = RowHeats(figures);
}

void BM_RefreshReport(benchmark::State& state) {
    ShownRun& run = Run();
    BirdsViewPicture picture;
    std::vector<RowHeat> heats;
    for (auto _ : state) {
        ShowFigures(run, heats);
        DrawBirdsView(picture, heats, 18, 424);
        benchmark::DoNotOptimize(picture.Pixels.data());
    }
    state.counters["rows"] = static_cast<double>(run.Lists.ReportList.RowCount());
}
BENCHMARK(BM_RefreshReport)->Unit(benchmark::kMillisecond);

void BM_ReportFiguresOnly(benchmark::State& state) {
    ShownRun& run = Run();
    for (auto _ : state) {
        const ReportFigures figures = Figures(run);
        benchmark::DoNotOptimize(figures.Lines.data());
    }
}
BENCHMARK(BM_ReportFiguresOnly)->Unit(benchmark::kMillisecond);

void BM_FiguresIntoCells(benchmark::State& state) {
    ShownRun& run = Run();
    std::vector<RowHeat> heats;
    for (auto _ : state) {
        ShowFigures(run, heats);
        benchmark::DoNotOptimize(run.Lists.ReportList.Rows.data());
    }
}
BENCHMARK(BM_FiguresIntoCells)->Unit(benchmark::kMillisecond);

void BM_DrawBirdsViewOnly(benchmark::State& state) {
    ShownRun& run = Run();
    std::vector<RowHeat> heats;
    ShowFigures(run, heats);
    BirdsViewPicture picture;
    for (auto _ : state) {
        DrawBirdsView(picture, heats, 18, 424);
        benchmark::DoNotOptimize(picture.Pixels.data());
    }
}
BENCHMARK(BM_DrawBirdsViewOnly)->Unit(benchmark::kMillisecond);

} // namespace
