#include "analysis/timeline.h"

#include "analysis/wrapping_math.h"

#include <algorithm>
#include <utility>

namespace tickscope {

std::vector<std::int32_t> LineProcedures(const std::vector<LineOfCode>& lines) {
    std::vector<std::int32_t> procedures(lines.size() + 1, 0);
    for (std::size_t index = 0; index < lines.size(); ++index) {
        if (!lines[index].Instructions.empty()) {
            procedures[index + 1] = lines[index].Instructions.front().ScopeId;
        }
    }
    return procedures;
}

bool ThreadFilter::Wants(std::int64_t threadId) const {
    if (!Ids) {
        return true;
    }
    const auto id = static_cast<std::int32_t>(static_cast<std::uint32_t>(threadId));
    return std::find(Ids->begin(), Ids->end(), id) != Ids->end();
}

TimelineBuilder::TimelineBuilder(const std::vector<LineOfCode>& lines, TimelineOptions options,
                                 TimelineWriter& writer)
    : procedures_(LineProcedures(lines)), options_(std::move(options)), writer_(writer) {}

std::int32_t& TimelineBuilder::PositionOf(std::int32_t execution) {
    const auto index = static_cast<std::size_t>(execution);
    if (index >= positions_.size()) {
        positions_.resize(std::max(index + 1, positions_.size() * 2), -1);
    }
    return positions_[index];
}

void TimelineBuilder::OnThread(std::int32_t thread, std::int64_t threadId,
                               std::int32_t firstLineId) {
    threads_.resize(static_cast<std::size_t>(thread) + 1);
    ThreadTimeline& timeline = threads_[static_cast<std::size_t>(thread)];
    timeline.Wanted = options_.Threads.Wants(threadId);
    if (timeline.Wanted) {
        writer_.BeginThread(thread, threadId, firstLineId);
    }
}

void TimelineBuilder::OnTime(std::int32_t thread, std::int64_t nanos) {
    if (!haveOrigin_) {
        haveOrigin_ = true;
        origin_ = nanos;
    }
    ThreadTimeline& timeline = threads_[static_cast<std::size_t>(thread)];
    if (!timeline.Wanted) {
        return;
    }
    const std::int64_t relative = WrappingSubtract(nanos, origin_);
    timeline.Clock = std::max(timeline.Clock, relative);
    // With a minimum length, a frame is written as soon as it has lasted that long.
    if (options_.MinNanos > 0) {
        std::size_t aged = timeline.Written;
        while (aged < timeline.Stack.size() && LongEnough(timeline, timeline.Stack[aged])) {
            ++aged;
        }
        if (aged > timeline.Written) {
            OpenUpTo(timeline, thread, aged - 1);
        }
    }
}

bool TimelineBuilder::LongEnough(const ThreadTimeline& timeline, const Frame& frame) const {
    return timeline.Clock - frame.Start >= options_.MinNanos;
}

void TimelineBuilder::OpenUpTo(ThreadTimeline& timeline, std::int32_t thread,
                               std::size_t position) {
    for (; timeline.Written <= position; ++timeline.Written) {
        Frame& frame = timeline.Stack[timeline.Written];
        if (options_.Frames == FrameKind::Line) {
            writer_.Open(thread, frame.LineId, frame.Start);
            continue;
        }
        frame.Shown = timeline.Written == 0 ||
                      timeline.Stack[timeline.Written - 1].Procedure != frame.Procedure;
        if (frame.Shown) {
            writer_.Open(thread, frame.Procedure, frame.Start);
        }
    }
}

void TimelineBuilder::CloseTop(ThreadTimeline& timeline, std::int32_t thread) {
    const Frame& frame = timeline.Stack.back();
    if (timeline.Stack.size() <= timeline.Written) {
        if (options_.Frames == FrameKind::Line) {
            writer_.Close(thread, frame.LineId, timeline.Clock);
        } else if (frame.Shown) {
            writer_.Close(thread, frame.Procedure, timeline.Clock);
        }
        timeline.Written = timeline.Stack.size() - 1;
    }
    PositionOf(frame.Execution) = -1;
    timeline.Stack.pop_back();
}

void TimelineBuilder::Cut(ThreadTimeline& timeline, std::int32_t thread, std::size_t from) {
    while (timeline.Stack.size() > from) {
        CloseTop(timeline, thread);
    }
}

void TimelineBuilder::OnStart(const ExecutionStart& start) {
    ThreadTimeline& timeline = threads_[static_cast<std::size_t>(start.Thread)];
    if (!timeline.Wanted) {
        return;
    }
    std::int32_t& position = PositionOf(start.Execution);
    if (start.Replaces && position >= 0) {
        Cut(timeline, start.Thread, static_cast<std::size_t>(position));
    }
    Frame frame;
    frame.Execution = start.Execution;
    frame.LineId = start.LineId;
    frame.Procedure = static_cast<std::size_t>(start.LineId) < procedures_.size()
                          ? procedures_[static_cast<std::size_t>(start.LineId)]
                          : 0;
    frame.Start = timeline.Clock;
    PositionOf(start.Execution) = static_cast<std::int32_t>(timeline.Stack.size());
    timeline.Stack.push_back(frame);
}

void TimelineBuilder::OnStop(std::int32_t thread, std::int32_t execution, std::int64_t,
                             std::int64_t) {
    ThreadTimeline& timeline = threads_[static_cast<std::size_t>(thread)];
    if (!timeline.Wanted) {
        return;
    }
    const std::int32_t position = PositionOf(execution);
    if (position < 0) {
        return; // cut earlier
    }
    Cut(timeline, thread, static_cast<std::size_t>(position) + 1);
    if (timeline.Written <= static_cast<std::size_t>(position) &&
        LongEnough(timeline, timeline.Stack.back())) {
        OpenUpTo(timeline, thread, static_cast<std::size_t>(position));
    }
    CloseTop(timeline, thread);
}

void TimelineBuilder::Finish() {
    for (std::size_t index = 0; index < threads_.size(); ++index) {
        ThreadTimeline& timeline = threads_[index];
        if (!timeline.Wanted) {
            continue;
        }
        const auto thread = static_cast<std::int32_t>(index);
        // Executions that never stopped end at the thread's last time stamp.
        for (std::size_t top = timeline.Stack.size(); top > timeline.Written; --top) {
            if (LongEnough(timeline, timeline.Stack[top - 1])) {
                OpenUpTo(timeline, thread, top - 1);
                break;
            }
        }
        Cut(timeline, thread, 0);
        writer_.EndThread(thread, timeline.Clock);
    }
}

} // namespace tickscope
