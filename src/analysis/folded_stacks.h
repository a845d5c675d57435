#pragma once

#include "analysis/execution_stream.h"
#include "analysis/timeline.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace tickscope {

// The self time of every distinct stack, as a flame graph sums it: the counted executions
// (those the attribution counts; executions that never stopped are not), each on the stack
// of its parent line's opening plus its own frame, with its duration less the durations of
// the counted executions it was the parent of. So the self times of the stacks ending in a
// line add up to that line's self time (total less child time) and all of them to the run
// time, the time of the executions without a parent. Procedure frames: an execution of the
// same procedure as its parent adds no frame.
//
// Stacks deeper than kMaxDepth frames are kept at that depth: deeper executions count in
// the frame at the limit (a flame graph that deep is unreadable, and its text would grow
// with the square of the depth).
class FoldedStacks final : public ExecutionListener {
  public:
    static constexpr std::int32_t kMaxDepth = 512;

    FoldedStacks(const std::vector<LineOfCode>& lines, FrameKind frames, ThreadFilter threads);

    void OnThread(std::int32_t thread, std::int64_t threadId, std::int32_t firstLineId) override;
    void OnTime(std::int32_t, std::int64_t) override {}
    void OnStart(const ExecutionStart& start) override;
    void OnStop(std::int32_t thread, std::int32_t execution, std::int64_t nanos,
                std::int64_t duration) override;

    // Every stack with a self time above 0, root frame first, depth first in the order in
    // which the stacks first occurred.
    void ForEachStack(const std::function<void(const std::vector<std::int32_t>& frames,
                                               std::int64_t nanos)>& visit) const;

  private:
    struct Node {
        std::int32_t Parent = -1;
        std::int32_t Frame = 0;
        std::int32_t Depth = 0;
        std::int64_t Nanos = 0; // may go below 0 in a run whose children outlast their parent
    };
    struct Waiting {
        std::int32_t Own = -1;    // the execution's stack, -1: not followed
        std::int32_t Parent = 0;  // its parent's stack (the root node for none)
        std::int32_t Opening = 0; // the stack of the opening it made of its line
    };

    std::int32_t Child(std::int32_t parent, std::int32_t frame);
    Waiting& WaitingOf(std::int32_t execution);

    std::vector<std::int32_t> procedures_;
    FrameKind frames_;
    ThreadFilter filter_;
    std::vector<bool> wanted_; // by thread
    std::vector<Node> nodes_;  // node 0 is the root (no frame)
    FlatHashMap<std::uint64_t, std::int32_t, IntegerHasher> children_;
    std::vector<Waiting> waiting_; // by execution handle
};

} // namespace tickscope
