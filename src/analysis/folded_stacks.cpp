#include "analysis/folded_stacks.h"

#include "analysis/wrapping_math.h"

#include <utility>

namespace tickscope {

FoldedStacks::FoldedStacks(const std::vector<LineOfCode>& lines, FrameKind frames,
                           ThreadFilter threads)
    : procedures_(LineProcedures(lines)), frames_(frames), filter_(std::move(threads)), nodes_(1) {}

void FoldedStacks::OnThread(std::int32_t thread, std::int64_t threadId, std::int32_t) {
    wanted_.resize(static_cast<std::size_t>(thread) + 1);
    wanted_[static_cast<std::size_t>(thread)] = filter_.Wants(threadId);
}

FoldedStacks::Waiting& FoldedStacks::WaitingOf(std::int32_t execution) {
    const auto index = static_cast<std::size_t>(execution);
    if (index >= waiting_.size()) {
        waiting_.resize(std::max(index + 1, waiting_.size() * 2));
    }
    return waiting_[index];
}

std::int32_t FoldedStacks::Child(std::int32_t parent, std::int32_t frame) {
    const Node& above = nodes_[static_cast<std::size_t>(parent)];
    if (frames_ == FrameKind::Procedure && parent != 0 && above.Frame == frame) {
        return parent; // the same procedure goes on
    }
    if (above.Depth >= kMaxDepth) {
        return parent;
    }
    const auto [child, inserted] =
        children_.Insert((static_cast<std::uint64_t>(static_cast<std::uint32_t>(parent)) << 32) |
                         static_cast<std::uint32_t>(frame));
    if (inserted) {
        *child = static_cast<std::int32_t>(nodes_.size());
        nodes_.push_back({parent, frame, above.Depth + 1, 0});
    }
    return *child;
}

void FoldedStacks::OnStart(const ExecutionStart& start) {
    Waiting& waiting = WaitingOf(start.Execution);
    if (!wanted_[static_cast<std::size_t>(start.Thread)]) {
        waiting.Own = -1;
        return;
    }
    waiting.Parent = start.Parent >= 0 ? WaitingOf(start.Parent).Opening : 0;
    const std::int32_t frame = frames_ == FrameKind::Line
                                   ? start.LineId
                                   : (static_cast<std::size_t>(start.LineId) < procedures_.size()
                                          ? procedures_[static_cast<std::size_t>(start.LineId)]
                                          : 0);
    waiting.Own = Child(waiting.Parent, frame);
    if (start.OpensLine) {
        waiting.Opening = waiting.Own;
    }
}

void FoldedStacks::OnStop(std::int32_t, std::int32_t execution, std::int64_t,
                          std::int64_t duration) {
    const Waiting& waiting = WaitingOf(execution);
    if (waiting.Own < 0) {
        return;
    }
    Node& own = nodes_[static_cast<std::size_t>(waiting.Own)];
    own.Nanos = WrappingAdd(own.Nanos, duration);
    if (waiting.Parent != 0) {
        Node& parent = nodes_[static_cast<std::size_t>(waiting.Parent)];
        parent.Nanos = WrappingSubtract(parent.Nanos, duration);
    }
}

void FoldedStacks::ForEachStack(const std::function<void(const std::vector<std::int32_t>& frames,
                                                         std::int64_t nanos)>& visit) const {
    // Children of each node in the order they were made (node indices grow with time).
    std::vector<std::int32_t> firstChild(nodes_.size() + 1, 0);
    for (std::size_t node = 1; node < nodes_.size(); ++node) {
        ++firstChild[static_cast<std::size_t>(nodes_[node].Parent) + 1];
    }
    for (std::size_t node = 1; node <= nodes_.size(); ++node) {
        firstChild[node] += firstChild[node - 1];
    }
    std::vector<std::int32_t> children(nodes_.size());
    std::vector<std::int32_t> filled(firstChild.begin(), firstChild.end() - 1);
    for (std::size_t node = 1; node < nodes_.size(); ++node) {
        const auto parent = static_cast<std::size_t>(nodes_[node].Parent);
        children[static_cast<std::size_t>(filled[parent]++)] = static_cast<std::int32_t>(node);
    }

    std::vector<std::int32_t> frames;
    // Depth first: per level, the node and the next child to visit.
    std::vector<std::pair<std::int32_t, std::int32_t>> path{{0, firstChild[0]}};
    while (!path.empty()) {
        auto& [node, next] = path.back();
        if (next == firstChild[static_cast<std::size_t>(node) + 1]) {
            path.pop_back();
            if (!frames.empty()) {
                frames.pop_back();
            }
            continue;
        }
        const std::int32_t child = children[static_cast<std::size_t>(next++)];
        const Node& entered = nodes_[static_cast<std::size_t>(child)];
        frames.push_back(entered.Frame);
        if (entered.Nanos > 0) {
            visit(frames, entered.Nanos);
        }
        path.emplace_back(child, firstChild[static_cast<std::size_t>(child)]);
    }
}

} // namespace tickscope
