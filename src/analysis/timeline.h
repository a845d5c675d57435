#pragma once

#include "analysis/execution_stream.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tickscope {

// What one frame of a timeline or a stack stands for.
enum class FrameKind {
    Procedure, // the procedure of a line (scope id; 0 for a line of no procedure)
    Line,      // the line itself (LineId; 0 for entries that name no line)
};

// The procedure of every line, by LineId: the scope of its first instruction, 0 for none
// (and for LineId 0).
std::vector<std::int32_t> LineProcedures(const std::vector<LineOfCode>& lines);

// Which threads an export follows: all, or those whose id (low 32 bits) is listed.
struct ThreadFilter {
    std::optional<std::vector<std::int32_t>> Ids;
    bool Wants(std::int64_t threadId) const;
};

// Receives the frames of each thread as they open and close: properly nested within a
// thread, and in time order within a thread (threads interleave as the entries do). Times
// are nanoseconds since the run's first entry.
class TimelineWriter {
  public:
    virtual ~TimelineWriter() = default;
    virtual void BeginThread(std::int32_t thread, std::int64_t threadId,
                             std::int32_t firstLineId) = 0;
    virtual void Open(std::int32_t thread, std::int32_t frame, std::int64_t nanos) = 0;
    virtual void Close(std::int32_t thread, std::int32_t frame, std::int64_t nanos) = 0;
    // After the last entry, once per thread in the order of BeginThread; `nanos` is the
    // thread's last time stamp.
    virtual void EndThread(std::int32_t thread, std::int64_t nanos) = 0;
};

struct TimelineOptions {
    FrameKind Frames = FrameKind::Procedure;
    // Executions shorter than this are left out; their time stays in their parent.
    std::int64_t MinNanos = 0;
    ThreadFilter Threads;
};

// Turns the executions into frames of a timeline, per thread a stack of the executions
// that have started and not stopped, in the order of their start:
// - An execution shows from its start to its stop. One that never stops closes at its
//   thread's last time stamp.
// - A frame is written once something in it is written or it ends long enough (an
//   execution replaced by a second start before that leaves no trace).
// - An execution that stops, or is replaced, while executions started after it are still
//   running ends those with it: they are cut at that time and not shown further (a run
//   whose probes nest never does this).
// - Procedures: an execution shows as its line's procedure when the execution below it in
//   the stack is of another procedure (or there is none); otherwise it is part of the frame
//   below (a procedure calling itself stays one frame).
// - Times are made relative to the first entry and never run backwards within a thread (a
//   time stamp earlier than the thread's latest counts as the latest).
// Work per entry is constant on average: every execution enters and leaves the stack once.
class TimelineBuilder final : public ExecutionListener {
  public:
    TimelineBuilder(const std::vector<LineOfCode>& lines, TimelineOptions options,
                    TimelineWriter& writer);

    void OnThread(std::int32_t thread, std::int64_t threadId, std::int32_t firstLineId) override;
    void OnTime(std::int32_t thread, std::int64_t nanos) override;
    void OnStart(const ExecutionStart& start) override;
    void OnStop(std::int32_t thread, std::int32_t execution, std::int64_t nanos,
                std::int64_t duration) override;

    // Closes what is still open, thread by thread; call once after the last entry.
    void Finish();

  private:
    struct Frame {
        std::int32_t Execution = 0;
        std::int32_t LineId = 0;
        std::int32_t Procedure = 0;
        std::int64_t Start = 0;
        bool Shown = false; // procedures: this execution opened a procedure frame
    };
    struct ThreadTimeline {
        bool Wanted = false;
        std::vector<Frame> Stack;
        std::size_t Written = 0; // the frames Stack[0, Written) have been opened
        std::int64_t Clock = 0;  // the thread's latest time
    };

    void OpenUpTo(ThreadTimeline& timeline, std::int32_t thread, std::size_t position);
    void CloseTop(ThreadTimeline& timeline, std::int32_t thread);
    void Cut(ThreadTimeline& timeline, std::int32_t thread, std::size_t from);
    bool LongEnough(const ThreadTimeline& timeline, const Frame& frame) const;
    std::int32_t& PositionOf(std::int32_t execution);

    std::vector<std::int32_t> procedures_; // by LineId
    TimelineOptions options_;
    TimelineWriter& writer_;
    std::vector<ThreadTimeline> threads_;
    std::vector<std::int32_t> positions_; // by execution handle: place in its stack, or -1
    bool haveOrigin_ = false;
    std::int64_t origin_ = 0;
};

} // namespace tickscope
