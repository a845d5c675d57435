#pragma once

#include "analysis/export_output.h"
#include "analysis/run_catalogue.h"
#include "analysis/timeline.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tickscope {

// The exports that follow a run's executions in time, streamed from its entry log:
// - Speedscope: speedscope's file format, one evented profile per thread, frames shared.
// - Chrome: the Trace Event format (Perfetto, chrome://tracing): B and E events per thread,
//   times in microseconds with three decimals, thread names as metadata.
// - Folded: folded stacks for flame graphs, "frame;frame;frame nanoseconds" per stack, the
//   self time of the counted executions (see FoldedStacks).
enum class TimelineFormat { Speedscope, Chrome, Folded };

struct TimelineExport {
    TimelineFormat Format = TimelineFormat::Speedscope;
    TimelineOptions Timeline;
    std::string Creator; // "tickscope-report 1.0.0.139"
};

struct TimelineResult {
    // Why the export stopped short; empty when it was written whole (as far as the sink
    // accepted it: see ExportSink::Failed).
    std::string Failure;
    std::vector<std::int64_t> ThreadIds; // every thread of the run, in order of first start
};

// Writes the export of the run. Memory grows with the program, the threads and the
// executions open at once, not with the entries: speedscope's per-thread events wait in a
// temporary file until their thread's profile is written.
TimelineResult ExportTimeline(const RunRecord& record, const TimelineExport& options,
                              ExportSink& sink);

} // namespace tickscope
