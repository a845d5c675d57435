#pragma once

#include "analysis/flat_hash_map.h"
#include "runfiles/entry_record.h"
#include "source/program_info.h"

#include <cstdint>
#include <vector>

namespace tickscope {

struct InstructionFigures {
    std::int32_t InstructionNumber = 0;
    std::int64_t Hits = 0;
    std::int64_t TotalNanos = 0;
    std::int64_t MaxNanos = 0;
    std::int64_t MinNanos = 0; // 0: no duration recorded yet
};

struct ThreadLineNode {
    std::int32_t LineId = 0;
    std::vector<InstructionFigures> Instructions; // in order of first start
};

struct ThreadNode {
    std::int32_t ThreadId = 0;         // low 32 bits of the entry's thread id
    std::vector<ThreadLineNode> Lines; // in order of first start in this thread
};

// The attribution result of one loaded run: per-thread, per-line, per-instruction figures
// and the invocations of every line. Internal pairing tables are private.
class RunAnalysis {
  public:
    const std::vector<ThreadNode>& Threads() const { return threads_; }
    // LineIds started in the same thread while `lineId` was open; nullptr when the line
    // never stopped while open (no key), an empty list when it had none.
    const std::vector<std::int32_t>* InvocationsOf(std::int32_t lineId) const;
    // False when the run opened more nested lines than the invocations can follow within
    // their work allowance (a few dozen steps per entry): the invocations then hold only
    // what was found until then. Every other figure stays exact.
    bool InvocationsComplete() const { return invocationsComplete_; }
    // Number of lines of code the line ids were taken from (ids run from 1 to this).
    std::int32_t LineCount() const { return lineCount_; }

    // Memory that flat lookup arrays (per thread and per invocation set) may take from the
    // next reset on; beyond it hash tables are used. Results are the same either way.
    void SetFlatTableBudget(std::size_t bytes) { flatTableBudget_ = bytes; }
    // The work allowance of the invocations from the next reset on: `base` steps, and
    // `perEntry` more for every entry (tests shrink it to reach its end with few entries).
    void SetInvocationWorkAllowance(std::uint64_t base, std::uint64_t perEntry) {
        baseInvocationWork_ = base;
        invocationWorkPerEntry_ = perEntry;
    }
    // What of that budget this run's flat arrays took.
    std::size_t FlatTableBytes() const { return flatTableBudget_ - flatBytesLeft_; }

  private:
    friend void ResetAttribution(RunAnalysis& analysis, const std::vector<LineOfCode>& lines);
    friend void AttributeEntry(RunAnalysis& analysis, const EntryRecord& entry);

    // Per 64-bit thread: the lines it started, which of them are open, and the executions
    // waiting for their stop. Lines are kept in a list ordered by their latest opening, so
    // the lines started while a line was open are exactly those opened after it.
    struct LineState {
        std::int32_t LineId = 0;
        bool Open = false;
        std::int32_t Previous = -1; // neighbours in opening order
        std::int32_t Next = -1;
        std::int32_t LastInstruction = 0; // index of the instruction figures used last
        // One waiting execution of this line is kept here; further ones with other keys
        // wait in the thread's table. A key is in one of the two places, never in both.
        bool HasPending = false;
        std::int8_t PendingInstruction = 0;
        std::int32_t PendingFigures = 0; // index into the line node's instructions
        std::int64_t PendingStackframe = 0;
        std::int64_t PendingNanos = 0;
    };
    struct PendingKey {
        std::uint64_t LineAndInstruction = 0;
        std::uint64_t Stackframe = 0;
        bool operator==(const PendingKey&) const = default;
    };
    struct PendingKeyHasher {
        std::uint64_t operator()(const PendingKey& key) const {
            return key.LineAndInstruction * 0xFF51AFD7ED558CCDULL ^ key.Stackframe;
        }
    };
    struct PendingStart {
        std::int64_t Nanos = 0;
        std::int32_t Instruction = 0;
    };
    struct ThreadState {
        std::int64_t ThreadId = 0;
        // LineId -> index of the line node: a flat array by LineId while the budget for
        // such arrays lasts (the usual case), a hash table for threads beyond it.
        std::vector<std::int32_t> DenseLineNodes;
        FlatHashMap<std::uint32_t, std::int32_t, IntegerHasher> LineNodes;
        std::vector<LineState> Lines; // parallel to the node's Lines
        std::int32_t Newest = -1;     // last line of the opening order
        FlatHashMap<PendingKey, PendingStart, PendingKeyHasher> Pending;
    };
    // Members are deduplicated through a bitmap by LineId while the budget for flat
    // tables lasts, through a hash set beyond it.
    struct InvocationSet {
        std::vector<std::int32_t> Members;
        std::vector<std::uint64_t> Bits;
        FlatHashMap<std::uint32_t, bool, IntegerHasher> Seen;
    };

    void Reset(const std::vector<LineOfCode>& lines);
    void Attribute(const EntryRecord& entry);
    void Start(const EntryRecord& entry, std::int32_t lineId);
    void Stop(const EntryRecord& entry, std::int32_t lineId);
    std::int32_t ThreadSlot(std::int64_t threadId, bool create);
    std::int32_t LineIdOf(std::int32_t fileId, std::int32_t lineNumber) const;
    static std::int32_t FindLineNode(const ThreadState& thread, std::int32_t lineId);
    static void SetLineNode(ThreadState& thread, std::int32_t lineId, std::int32_t lineNode);
    void Close(ThreadState& thread, std::int32_t lineNode);
    InvocationSet& InvocationsFor(std::int32_t lineId);
    void PrepareToAdd(InvocationSet& set);

    std::vector<ThreadNode> threads_;
    std::vector<ThreadState> threadStates_; // parallel to threads_
    FlatHashMap<std::uint64_t, std::int32_t, IntegerHasher> threadSlots_;
    std::int32_t lastThreadSlot_ = -1;
    // (file, line) -> LineId: flat arrays by line number for small file ids and line
    // numbers, a hash table for the rest.
    std::vector<std::vector<std::int32_t>> lineIdsByFile_;
    FlatHashMap<std::uint64_t, std::int32_t, IntegerHasher> lineIds_;
    std::uint64_t baseInvocationWork_ = std::uint64_t{1} << 22;
    std::uint64_t invocationWorkPerEntry_ = 32;
    std::uint64_t invocationWork_ = 0;
    std::uint64_t invocationAllowance_ = baseInvocationWork_;
    bool invocationsComplete_ = true;
    std::size_t flatTableBudget_ = std::size_t{64} << 20;
    std::size_t flatBytesLeft_ = 0; // what remains of the budget in this run
    // By LineId, -1 when the line has no key; a fresh analysis knows only line id 0.
    std::vector<std::int32_t> invocationSlots_ = std::vector<std::int32_t>(1, -1);
    std::vector<InvocationSet> invocations_;
    std::int32_t lineCount_ = 0;
};

// Empties the result and the tables, and maps the source file id and line number of every
// line of code to its LineId (position + 1; the last of equal lines wins).
void ResetAttribution(RunAnalysis& analysis, const std::vector<LineOfCode>& lines);

// Feeds one entry record, in file order.
void AttributeEntry(RunAnalysis& analysis, const EntryRecord& entry);

} // namespace tickscope
