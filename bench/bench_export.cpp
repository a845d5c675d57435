// The exports of a generated run (4 threads over 5,000 lines) against loading the same run:
// each export streams into a file in the scratch folder through stdio. The exports should
// take no more than twice the time of the load. Counters: output_MB (the file's size) and
// peak_MB (the process's peak resident memory: run one benchmark per process with
// --benchmark_filter to read it per export).
//   build/bench/bench_export --benchmark_filter='BM_LoadRun/20000000' --benchmark_repetitions=3
//   build/bench/bench_export --benchmark_filter='BM_Export/.*/20000000' --benchmark_repetitions=3
#include "analysis/callgrind_export.h"
#include "analysis/export_output.h"
#include "analysis/run_loading.h"
#include "analysis/run_profile.h"
#include "analysis/timeline_export.h"
#include "cached_run.h"
#include "common/temp_folder.h"
#include "resident_memory.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace {

using namespace tickscope;

using tickscope::testing::TempFolder;

TempFolder& Scratch() {
    static TempFolder folder;
    return folder;
}

// A file written through stdio, as the tool's output is.
class FileSink final : public ExportSink {
  public:
    explicit FileSink(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {}
    ~FileSink() override {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    void Write(std::string_view text) override {
        failed_ = failed_ || file_ == nullptr ||
                  std::fwrite(text.data(), 1, text.size(), file_) != text.size();
        bytes_ += static_cast<std::int64_t>(text.size());
    }
    bool Failed() const override { return failed_; }
    std::int64_t Bytes() const { return bytes_; }

  private:
    std::FILE* file_;
    bool failed_ = false;
    std::int64_t bytes_ = 0;
};

void BM_LoadRun(benchmark::State& state) {
    const bench::GeneratedRun& run = bench::CachedGeneratedRun(state.range(0));
    for (auto _ : state) {
        SilentProgress progress;
        const auto loaded =
            std::make_unique<LoadedRun>(LoadRun(CatalogueRunFile(run.RunInfoPath), progress));
        benchmark::DoNotOptimize(loaded->Analysis.Threads().data());
    }
    state.counters["entries/s"] = benchmark::Counter(static_cast<double>(state.range(0)) *
                                                         static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
    state.counters["peak_MB"] = bench::PeakMegabytes();
}
BENCHMARK(BM_LoadRun)->Arg(2000000)->Arg(20000000)->Unit(benchmark::kMillisecond)->UseRealTime();

void Export(benchmark::State& state,
            const std::function<void(const RunRecord&, ExportSink&)>& write) {
    const bench::GeneratedRun& run = bench::CachedGeneratedRun(state.range(0));
    const std::string output = Scratch().File("export");
    std::int64_t bytes = 0;
    for (auto _ : state) {
        FileSink sink(output);
        write(CatalogueRunFile(run.RunInfoPath), sink);
        bytes = sink.Bytes();
        if (sink.Failed()) {
            state.SkipWithError("cannot write the export");
            return;
        }
    }
    std::remove(output.c_str());
    state.counters["entries/s"] = benchmark::Counter(static_cast<double>(state.range(0)) *
                                                         static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
    state.counters["output_MB"] = static_cast<double>(bytes) / 1048576.0;
    state.counters["peak_MB"] = bench::PeakMegabytes();
}

void ExportCallgrind(const RunRecord& record, ExportSink& sink) {
    SilentProgress progress;
    const auto run = std::make_unique<LoadedRun>(LoadRun(record, progress));
    const ThreadChecks threads(run->Threads.size(), true);
    const RunProfile profile = ComputeRunProfile(run->Analysis, run->Program, threads);
    OutputBuffer out(sink);
    WriteCallgrind(*run, profile, "bench", out);
}

void ExportTimelineAs(const RunRecord& record, ExportSink& sink, TimelineFormat format,
                      FrameKind frames) {
    TimelineExport options;
    options.Format = format;
    options.Timeline.Frames = frames;
    ExportTimeline(record, options, sink);
}

void BM_Export(benchmark::State& state, const char* format, FrameKind frames) {
    const std::string name = format;
    if (name == "callgrind") {
        Export(state, ExportCallgrind);
        return;
    }
    const TimelineFormat timeline = name == "speedscope" ? TimelineFormat::Speedscope
                                    : name == "chrome"   ? TimelineFormat::Chrome
                                                         : TimelineFormat::Folded;
    Export(state, [&](const RunRecord& record, ExportSink& sink) {
        ExportTimelineAs(record, sink, timeline, frames);
    });
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
    benchmark->Arg(2000000)->Arg(20000000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK_CAPTURE(BM_Export, callgrind, "callgrind", FrameKind::Procedure)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Export, speedscope_procedure, "speedscope", FrameKind::Procedure)
    ->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Export, speedscope_line, "speedscope", FrameKind::Line)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Export, chrome_procedure, "chrome", FrameKind::Procedure)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Export, chrome_line, "chrome", FrameKind::Line)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Export, folded_procedure, "folded", FrameKind::Procedure)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Export, folded_line, "folded", FrameKind::Line)->Apply(Sizes);

} // namespace
