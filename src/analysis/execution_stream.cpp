#include "analysis/execution_stream.h"

#include "analysis/wrapping_math.h"

#include <algorithm>
#include <limits>

namespace tickscope {

namespace {

// File ids below this may get a flat array.
constexpr std::int32_t kFlatFileIds = 1 << 12;

} // namespace

LineIdLookup::LineIdLookup(const std::vector<LineOfCode>& lines) {
    const std::size_t count =
        std::min<std::size_t>(lines.size(), std::numeric_limits<std::int32_t>::max() - 1);
    // Per small file id: its lines and its largest line number (-1 for a negative one,
    // which keeps the file in the hash table).
    struct Shape {
        std::size_t Lines = 0;
        std::int64_t Highest = 0;
        bool Negative = false;
    };
    std::vector<Shape> shapes;
    for (std::size_t index = 0; index < count; ++index) {
        const LineOfCode& line = lines[index];
        if (line.SourceFileId >= 0 && line.SourceFileId < kFlatFileIds) {
            if (shapes.size() <= static_cast<std::size_t>(line.SourceFileId)) {
                shapes.resize(static_cast<std::size_t>(line.SourceFileId) + 1);
            }
            Shape& shape = shapes[static_cast<std::size_t>(line.SourceFileId)];
            ++shape.Lines;
            shape.Highest = std::max<std::int64_t>(shape.Highest, line.LineNumber);
            shape.Negative = shape.Negative || line.LineNumber < 0;
        }
    }
    byFile_.resize(shapes.size());
    for (std::size_t file = 0; file < shapes.size(); ++file) {
        const Shape& shape = shapes[file];
        if (shape.Lines > 0 && !shape.Negative &&
            static_cast<std::size_t>(shape.Highest) < 8 * shape.Lines + 1024) {
            byFile_[file].assign(static_cast<std::size_t>(shape.Highest) + 1, 0);
        }
    }
    for (std::size_t index = 0; index < count; ++index) {
        const LineOfCode& line = lines[index];
        const auto id = static_cast<std::int32_t>(index + 1);
        if (static_cast<std::uint32_t>(line.SourceFileId) < byFile_.size() &&
            !byFile_[static_cast<std::size_t>(line.SourceFileId)].empty()) {
            // Every line of a file with a flat array is in it.
            byFile_[static_cast<std::size_t>(line.SourceFileId)]
                   [static_cast<std::size_t>(line.LineNumber)] = id;
        } else {
            *ids_.Insert(Key(line.SourceFileId, line.LineNumber)).first = id;
        }
    }
}

ExecutionStream::ExecutionStream(const std::vector<LineOfCode>& lines, ExecutionListener& listener)
    : lineIds_(lines), lineCount_(lines.size()), listener_(listener) {}

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
    ThreadState& state = threads_.emplace_back();
    const std::size_t bytes = (lineCount_ + 1) * sizeof(std::int32_t);
    if (bytes <= flatBytesLeft_) {
        flatBytesLeft_ -= bytes;
        state.DenseSlots.assign(lineCount_ + 1, -1);
    }
    threadIds_.push_back(threadId);
    *threadSlots_.Insert(static_cast<std::uint64_t>(threadId)).first = thread;
    lastThread_ = thread;
    listener_.OnThread(thread, threadId, lineId);
    return thread;
}

std::int32_t ExecutionStream::LineSlotOf(ThreadState& thread, std::int32_t lineId, bool create) {
    if (!thread.DenseSlots.empty()) {
        std::int32_t& slot = thread.DenseSlots[static_cast<std::size_t>(lineId)];
        if (slot < 0 && create) {
            slot = static_cast<std::int32_t>(thread.Lines.size());
            thread.Lines.emplace_back().LineId = lineId;
        }
        return slot;
    }
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
    LineSlot& line = state.Lines[static_cast<std::size_t>(slot)];
    // The parent: the newest open line but this one.
    std::int32_t parentLine = state.NewestOpen;
    if (parentLine == slot) {
        parentLine = line.OpenPrevious;
    }
    ExecutionStart start;
    start.Thread = thread;
    start.LineId = lineId;
    start.Nanos = entry.Nanos;
    start.Parent = parentLine < 0 ? -1 : state.Lines[static_cast<std::size_t>(parentLine)].Opener;

    // A second start with the same key takes over the waiting one's handle.
    if (line.HasPending && line.PendingInstruction == entry.InstructionNumber &&
        line.PendingStackframe == entry.Stackframe) {
        start.Execution = line.PendingHandle;
        start.Replaces = true;
    } else {
        const auto key = PendingKey::Of(lineId, entry);
        const std::int32_t* waiting = state.Pending.Size() != 0 ? state.Pending.Find(key) : nullptr;
        if (waiting != nullptr) {
            start.Execution = *waiting;
            start.Replaces = true;
        } else {
            start.Execution = NewHandle();
            if (!line.HasPending) {
                line.HasPending = true;
                line.PendingInstruction = entry.InstructionNumber;
                line.PendingStackframe = entry.Stackframe;
                line.PendingHandle = start.Execution;
            } else {
                *state.Pending.Insert(key).first = start.Execution;
            }
        }
    }
    handles_[static_cast<std::size_t>(start.Execution)].StartNanos = entry.Nanos;

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

std::int32_t ExecutionStream::TakePending(ThreadState& thread, LineSlot& line,
                                          const EntryRecord& entry) {
    if (line.HasPending && line.PendingInstruction == entry.InstructionNumber &&
        line.PendingStackframe == entry.Stackframe) {
        line.HasPending = false;
        return line.PendingHandle;
    }
    if (thread.Pending.Size() == 0) {
        return -1;
    }
    const auto key = PendingKey::Of(line.LineId, entry);
    const std::int32_t* waiting = thread.Pending.Find(key);
    if (waiting == nullptr) {
        return -1;
    }
    const std::int32_t handle = *waiting;
    thread.Pending.Erase(key);
    return handle;
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

    const std::int32_t handle = TakePending(state, line, entry);
    if (handle < 0) {
        return;
    }
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
