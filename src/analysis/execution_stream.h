#pragma once

#include "analysis/flat_hash_map.h"
#include "analysis/pending_key.h"
#include "runfiles/entry_record.h"
#include "source/program_info.h"

#include <cstdint>
#include <vector>

namespace tickscope {

// The executions of a run, one entry at a time, for the exporters that follow the run in
// time (timelines, stacks). Entries are paired exactly as time attribution pairs them: per
// thread, line, instruction and stack frame (the occurrence key); a stop whose line is not
// open in its thread is ignored; a second start with the same key replaces the first; an
// execution's parent is the line of its thread opened most recently of those open at its
// start, not counting its own line. Nothing is kept per entry: memory grows with the
// threads, the lines they run and the executions waiting for their stop.
//
// Kept apart from the attribution's per-entry code, which is tuned for loading; both follow
// the same rules, and the tests compare the two.

// (source file id, line number) -> LineId (position + 1 in the lines of code; the last of
// equal lines wins; 0 for an entry that names no line).
// Files whose line numbers are in proportion to their lines get a flat array by line
// number; the rest is found in a hash table.
class LineIdLookup {
  public:
    explicit LineIdLookup(const std::vector<LineOfCode>& lines);
    std::int32_t Find(std::int32_t fileId, std::int32_t lineNumber) const {
        if (static_cast<std::uint32_t>(fileId) < byFile_.size()) {
            const std::vector<std::int32_t>& byLine = byFile_[static_cast<std::size_t>(fileId)];
            if (!byLine.empty()) {
                return static_cast<std::uint32_t>(lineNumber) < byLine.size()
                           ? byLine[static_cast<std::size_t>(lineNumber)]
                           : 0;
            }
        }
        const std::int32_t* found = ids_.Find(Key(fileId, lineNumber));
        return found == nullptr ? 0 : *found;
    }

  private:
    static std::uint64_t Key(std::int32_t fileId, std::int32_t lineNumber) {
        return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(fileId)) << 32) |
               static_cast<std::uint32_t>(lineNumber);
    }
    std::vector<std::vector<std::int32_t>> byFile_; // empty for files in the hash table
    FlatHashMap<std::uint64_t, std::int32_t, IntegerHasher> ids_;
};

// A start entry that began (or restarted) an execution.
struct ExecutionStart {
    std::int32_t Thread = 0;    // index of the thread, in the order of their first start
    std::int32_t Execution = 0; // its handle: valid until it stops, reused afterwards
    std::int32_t LineId = 0;
    std::int64_t Nanos = 0;
    // The execution that opened the parent line (the line's latest opening), -1 for none.
    std::int32_t Parent = -1;
    bool OpensLine = false; // its line was not open: this start opened it
    // A start with the same occurrence key was waiting: it is dropped, and this one takes
    // over its handle (the dropped start never becomes an execution).
    bool Replaces = false;
};

// Receives the executions as the entries come, in file order (so in time order within each
// thread, as far as the run's clock runs forward).
class ExecutionListener {
  public:
    virtual ~ExecutionListener() = default;
    // A thread's first start entry, before its OnStart. `threadId` is the entry's 64-bit id.
    virtual void OnThread(std::int32_t thread, std::int64_t threadId, std::int32_t firstLineId) = 0;
    // Every entry of a known thread, before what it causes: its time stamp.
    virtual void OnTime(std::int32_t thread, std::int64_t nanos) = 0;
    virtual void OnStart(const ExecutionStart& start) = 0;
    // A counted execution: its stop paired with its start. `duration` is the attribution's
    // (the absolute difference of the two time stamps).
    virtual void OnStop(std::int32_t thread, std::int32_t execution, std::int64_t nanos,
                        std::int64_t duration) = 0;
};

class ExecutionStream {
  public:
    ExecutionStream(const std::vector<LineOfCode>& lines, ExecutionListener& listener);

    void Feed(const EntryRecord& entry);

    // Memory that the threads' flat arrays by LineId may take (for threads that come
    // after); beyond it hash tables are used. The executions are the same either way.
    void SetFlatTableBudget(std::size_t bytes) { flatBytesLeft_ = bytes; }

    // Threads in the order of their first start: their 64-bit ids.
    const std::vector<std::int64_t>& ThreadIds() const { return threadIds_; }

  private:
    struct LineSlot {
        std::int32_t LineId = 0;
        std::int32_t OpenPrevious = -1; // neighbours among the open lines, by opening
        std::int32_t OpenNext = -1;
        std::int32_t Opener = -1; // the execution that opened it last
        bool Open = false;
        // One waiting execution of the line is kept here, further ones with other keys in
        // the thread's table; a key is in one of the two places.
        bool HasPending = false;
        std::int8_t PendingInstruction = 0;
        std::int32_t PendingHandle = -1;
        std::int64_t PendingStackframe = 0;
    };
    struct ThreadState {
        // LineId -> slot: a flat array while the budget for them lasts, else a hash table.
        std::vector<std::int32_t> DenseSlots;
        FlatHashMap<std::uint32_t, std::int32_t, IntegerHasher> Slots;
        std::vector<LineSlot> Lines;
        std::int32_t NewestOpen = -1;
        FlatHashMap<PendingKey, std::int32_t, PendingKeyHasher> Pending; // key -> handle
    };
    struct Handle {
        std::int64_t StartNanos = 0;
        std::int32_t NextFree = -1;
    };

    std::int32_t FindThread(std::int64_t threadId);
    std::int32_t AddThread(std::int64_t threadId, std::int32_t lineId);
    static std::int32_t LineSlotOf(ThreadState& thread, std::int32_t lineId, bool create);
    std::int32_t TakePending(ThreadState& thread, LineSlot& line, const EntryRecord& entry);
    void Start(std::int32_t thread, std::int32_t lineId, const EntryRecord& entry);
    void Stop(std::int32_t thread, std::int32_t lineId, const EntryRecord& entry);
    std::int32_t NewHandle();

    LineIdLookup lineIds_;
    std::size_t lineCount_;
    std::size_t flatBytesLeft_ = std::size_t{64} << 20; // for the threads' flat arrays
    ExecutionListener& listener_;
    std::vector<ThreadState> threads_;
    std::vector<std::int64_t> threadIds_;
    FlatHashMap<std::uint64_t, std::int32_t, IntegerHasher> threadSlots_;
    std::int32_t lastThread_ = -1;
    std::vector<Handle> handles_;
    std::int32_t freeHandle_ = -1;
};

} // namespace tickscope
