#include "analysis/run_loading.h"

#include "analysis/id_names.h"
#include "platform/platform.h"
#include "runfiles/entry_log_reader.h"
#include "runfiles/program_info_reader.h"
#include "runfiles/run_information.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <span>
#include <vector>

namespace tickscope {

namespace {

// Entries decoded and attributed per step: small enough to stay in the fastest caches, and
// for a small log at most a two-thousandth of it, so progress still moves in visible steps.
constexpr std::size_t kEntryBatch = 512;
std::size_t EntryBatchFor(std::int64_t logBytes) {
    const std::int64_t entries = logBytes / static_cast<std::int64_t>(kEntryRecordSize);
    return static_cast<std::size_t>(
        std::clamp<std::int64_t>(entries / 2000, 1, static_cast<std::int64_t>(kEntryBatch)));
}

// Sends progress to the sink, but only when the value moved by a visible amount (a
// thousandth of the maximum), so that millions of entries cost millions of comparisons,
// not millions of redraws.
class ProgressThrottle {
  public:
    explicit ProgressThrottle(ProgressSink& sink) : sink_(sink) {}

    void Open(const std::string& text, std::int64_t maximum) {
        granularity_ = std::max<std::int64_t>(1, maximum / 1000);
        last_ = 0;
        sink_.ShowProgress(0, text, maximum);
    }
    void Update(std::int64_t value) {
        const std::int64_t moved = value > last_ ? value - last_ : last_ - value;
        if (moved >= granularity_) {
            last_ = value;
            sink_.ShowProgress(value, std::string(), -1);
        }
    }
    void Announce(std::int64_t value, const std::string& text) {
        last_ = value;
        sink_.ShowProgress(value, text, -1);
    }

  private:
    ProgressSink& sink_;
    std::int64_t granularity_ = 1;
    std::int64_t last_ = 0;
};

// The scope of each thread's first line: the first name of that line's first instruction's
// scope in the table's order.
std::vector<ThreadInfo> NameThreads(const ProgramInfo& program, const RunAnalysis& analysis) {
    const IdNames names(program);
    std::vector<ThreadInfo> threads;
    threads.reserve(analysis.Threads().size());
    for (const ThreadNode& thread : analysis.Threads()) {
        ThreadInfo& info = threads.emplace_back();
        info.ThreadId = thread.ThreadId;
        if (thread.Lines.empty()) {
            continue;
        }
        const std::int32_t lineId = thread.Lines.front().LineId;
        if (lineId >= 1 && static_cast<std::size_t>(lineId) <= program.LinesOfCode.size()) {
            const LineOfCode& line = program.LinesOfCode[static_cast<std::size_t>(lineId - 1)];
            if (!line.Instructions.empty()) {
                info.Scope = names.ScopeName(line.Instructions.front().ScopeId);
            }
        }
    }
    return threads;
}

// The program information of the run file into `program`; `linesKnown(count)` once the
// number of lines is known, `lineBuilt()` after each line.
template <class LinesKnown, class LineBuilt>
void ReadProgram(const RunRecord& record, ProgramInfo& program, LinesKnown linesKnown,
                 LineBuilt lineBuilt) {
    RunHeader header;
    header.Path = record.Path;
    header.LineCount = record.LineCount;
    header.SourceFileCount = record.SourceFileCount;
    header.ScopeCount = record.ScopeCount;
    ProgramInfoReader reader;
    reader.CollectLines(record.FileName, record.LineCount);
    reader.ReadTables(header, program);
    const std::int64_t lineCount = reader.LineCount(record.LineCount);
    program.LinesOfCode.reserve(static_cast<std::size_t>(lineCount));
    linesKnown(lineCount);
    for (std::int64_t n = 1; n <= lineCount; ++n) {
        program.LinesOfCode.push_back(reader.BuildLine(n));
        lineBuilt();
    }
}

void Load(LoadedRun& run, const RunRecord& record, ProgressSink& progress, std::int64_t runSize,
          std::int64_t runBytes) {
    run.Record = record;
    ProgramInfo& program = run.Program;
    const std::string logPath = EntryLogPath(record.FileName);

    ProgressThrottle throttle(progress);
    // Progress covers the run-information file in one equal step per line.
    double done = 0.0;
    throttle.Open("Loading sourcecode ...", runBytes);
    double step = 0.0;
    ReadProgram(
        record, program,
        [&](std::int64_t lineCount) {
            step = static_cast<double>(runSize) / static_cast<double>(lineCount);
        },
        [&] {
            done += step;
            throttle.Update(std::llround(done));
        });
    throttle.Announce(std::llround(done), "Loading profiledata ...");

    // Entries, streamed into the attribution a batch at a time.
    ResetAttribution(run.Analysis, program.LinesOfCode);
    EntryLogReader reader;
    if (reader.Open(logPath)) {
        std::vector<EntryRecord> batch(EntryBatchFor(runBytes - runSize));
        while (const std::size_t count = reader.NextBatch(batch)) {
            AttributeEntries(run.Analysis, std::span(batch).first(count));
            throttle.Update(runSize + reader.Position());
        }
        reader.Close();
    }

    run.Threads = NameThreads(program, run.Analysis);
}

} // namespace

ProgramInfo LoadRunProgram(const RunRecord& record) {
    ProgramInfo program;
    ReadProgram(
        record, program, [](std::int64_t) {}, [] {});
    return program;
}

LoadedRun LoadRun(const RunRecord& record, ProgressSink& progress) {
    const std::int64_t runSize = std::max<std::int64_t>(0, platform::FileSize(record.FileName));
    const std::int64_t logSize =
        std::max<std::int64_t>(0, platform::FileSize(EntryLogPath(record.FileName)));
    const std::int64_t runBytes = runSize + logSize;
    LoadedRun run;
    try {
        Load(run, record, progress, runSize, runBytes);
    } catch (const std::exception&) { // std::bad_alloc, std::length_error: no memory for it
        run = LoadedRun();
        run.Record = record;
        run.Failure = "there is not enough memory for it";
    }
    progress.ShowProgress(runBytes, std::string(), -1);
    return run;
}

std::string LoadFailureMessage(const LoadedRun& run) {
    if (run.Failure.empty()) {
        return {};
    }
    return "The run of " + ProgramName(run.Record) + " started " +
           FormatTimestamp(run.Record.Timestamp) + " cannot be loaded: " + run.Failure + ".";
}

std::string IncompleteInvocationsMessage(const LoadedRun& run) {
    if (run.Analysis.InvocationsComplete()) {
        return {};
    }
    return "The run of " + ProgramName(run.Record) + " started " +
           FormatTimestamp(run.Record.Timestamp) +
           " opens more nested lines than Tickscope follows: the actions on implicit "
           "invocations and \"Remove calls\" use only part of them. Every figure is exact.";
}

} // namespace tickscope
