#include "analysis/execution_stream.h"

#include "analysis/wrapping_math.h"

#include <algorithm>
#include <limits>

namespace tickscope {

LineIdLookup::LineIdLookup(const std::vector<LineOfCode>& lines) {
    const std::size_t count =
        std::min<std::size_t>(lines.size(), std::numeric_limits<std::int32_t>::max() - 1);
    for (std::size_t index = 0; index < count; ++index) {
        *ids_.Insert(Key(lines[index].SourceFileId, lines[index].LineNumber)).first =
            static_cast<std::int32_t>(index + 1);
    }
}

ExecutionStream::ExecutionStream(const std::vector<LineOfCode>& lines, ExecutionListener& listener)
    : lineIds_(lines), listener_(listener) {}

std::int32_t ExecutionStream::FindThread(std::int64_t threadId) {
    if (lastThread_ >= 0 && threadIds_[static_cast<std::size_t>(lastThread_)] == threadId) {
        return lastThread_;
    }
    const std::int32_t* slot = threadSlots_.Find(static_cast<std::uint64_t>(threadId));
    if (slot == nullptr) {
        return -1;
    }
    lastThread_ = *slot;
    return *slot;
}

std::int32_t ExecutionStream::AddThread(std::int64_t threadId, std::int32_t lineId) {
    const auto thread = static_cast<std::int32_t>(threads_.size());
    threads_.emplace_back();
    threadIds_.push_back(threadId);
    *threadSlots_.Insert(static_cast<std::uint64_t>(threadId)).first = thread;
    lastThread_ = thread;
    listener_.OnThread(thread, threadId, lineId);
    return thread;
}

std::int32_t ExecutionStream::LineSlotOf(ThreadState& thread, std::int32_t lineId, bool create) {
    if (!create) {
        const std::int32_t* found = thread.Slots.Find(static_cast<std::uint32_t>(lineId));
        return found == nullptr ? -1 : *found;
    }
    const auto [slot, inserted] = thread.Slots.Insert(static_cast<std::uint32_t>(lineId));
    if (inserted) {
        *slot = static_cast<std::int32_t>(thread.Lines.size());
        thread.Lines.emplace_back().LineId = lineId;
    }
    return *slot;
}

std::int32_t ExecutionStream::NewHandle() {
    if (freeHandle_ >= 0) {
        const std::int32_t handle = freeHandle_;
        freeHandle_ = handles_[static_cast<std::size_t>(handle)].NextFree;
        return handle;
    }
    handles_.emplace_back();
    return static_cast<std::int32_t>(handles_.size() - 1);
}

void ExecutionStream::Start(std::int32_t thread, std::int32_t lineId, const EntryRecord& entry) {
    ThreadState& state = threads_[static_cast<std::size_t>(thread)];
    const std::int32_t slot = LineSlotOf(state, lineId, true);
    // The parent: the newest open line but this one.
    std::int32_t parentLine = state.NewestOpen;
    if (parentLine == slot) {
        parentLine = state.Lines[static_cast<std::size_t>(slot)].OpenPrevious;
    }
    ExecutionStart start;
    start.Thread = thread;
    start.LineId = lineId;
    start.Nanos = entry.Nanos;
    start.Parent = parentLine < 0 ? -1 : state.Lines[static_cast<std::size_t>(parentLine)].Opener;

    const PendingKey key{(static_cast<std::uint64_t>(static_cast<std::uint32_t>(lineId)) << 8) |
                             static_cast<std::uint8_t>(entry.InstructionNumber),
                         static_cast<std::uint64_t>(entry.Stackframe)};
    const auto [pending, inserted] = state.Pending.Insert(key);
    if (inserted) {
        *pending = NewHandle();
    }
    start.Execution = *pending;
    start.Replaces = !inserted;
    handles_[static_cast<std::size_t>(start.Execution)].StartNanos = entry.Nanos;

    LineSlot& line = state.Lines[static_cast<std::size_t>(slot)];
    if (!line.Open) {
        line.Open = true;
        line.OpenPrevious = state.NewestOpen;
        line.OpenNext = -1;
        if (state.NewestOpen >= 0) {
            state.Lines[static_cast<std::size_t>(state.NewestOpen)].OpenNext = slot;
        }
        state.NewestOpen = slot;
        line.Opener = start.Execution;
        start.OpensLine = true;
    }
    listener_.OnStart(start);
}

void ExecutionStream::Stop(std::int32_t thread, std::int32_t lineId, const EntryRecord& entry) {
    ThreadState& state = threads_[static_cast<std::size_t>(thread)];
    const std::int32_t slot = LineSlotOf(state, lineId, false);
    if (slot < 0 || !state.Lines[static_cast<std::size_t>(slot)].Open) {
        return;
    }
    LineSlot& line = state.Lines[static_cast<std::size_t>(slot)];
    line.Open = false;
    if (state.NewestOpen == slot) {
        state.NewestOpen = line.OpenPrevious;
    } else {
        state.Lines[static_cast<std::size_t>(line.OpenNext)].OpenPrevious = line.OpenPrevious;
    }
    if (line.OpenPrevious >= 0) {
        state.Lines[static_cast<std::size_t>(line.OpenPrevious)].OpenNext = line.OpenNext;
    }

    const PendingKey key{(static_cast<std::uint64_t>(static_cast<std::uint32_t>(lineId)) << 8) |
                             static_cast<std::uint8_t>(entry.InstructionNumber),
                         static_cast<std::uint64_t>(entry.Stackframe)};
    const std::int32_t* pending = state.Pending.Find(key);
    if (pending == nullptr) {
        return;
    }
    const std::int32_t handle = *pending;
    state.Pending.Erase(key);
    Handle& record = handles_[static_cast<std::size_t>(handle)];
    const std::int64_t duration =
        WrappingAbsolute(WrappingSubtract(entry.Nanos, record.StartNanos));
    record.NextFree = freeHandle_;
    freeHandle_ = handle;
    listener_.OnStop(thread, handle, entry.Nanos, duration);
}

void ExecutionStream::Feed(const EntryRecord& entry) {
    if (entry.StartOrStop != kStartEntry && entry.StartOrStop != kStopEntry) {
        return;
    }
    const std::int32_t lineId = lineIds_.Find(entry.FileId, entry.LineNumber);
    std::int32_t thread = FindThread(entry.ThreadId);
    if (entry.StartOrStop == kStartEntry) {
        if (thread < 0) {
            thread = AddThread(entry.ThreadId, lineId);
        }
        listener_.OnTime(thread, entry.Nanos);
        Start(thread, lineId, entry);
    } else if (thread >= 0) {
        listener_.OnTime(thread, entry.Nanos);
        Stop(thread, lineId, entry);
    }
}

} // namespace tickscope
