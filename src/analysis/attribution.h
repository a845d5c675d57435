#pragma once

#include "analysis/flat_hash_map.h"
#include "analysis/pending_key.h"
#include "runfiles/entry_record.h"
#include "source/program_info.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tickscope {

struct InstructionFigures {
    std::int32_t InstructionNumber = 0;
    std::int64_t Hits = 0;
    std::int64_t TotalNanos = 0;
    std::int64_t MaxNanos = 0;
    std::int64_t MinNanos = 0; // 0: no duration recorded yet
};

// An execution's parent is the line of its thread that was opened most recently of those
// open at its start, not counting its own line; it may have none.
struct ThreadLineNode {
    std::int32_t LineId = 0;
    std::vector<InstructionFigures> Instructions; // in order of first start
    // Durations of the counted executions whose parent was this line.
    std::int64_t ChildNanos = 0;
    // Durations of the counted executions of this line whose parent is not a line of the
    // same procedure (no parent counts as another procedure); 0 for a line of no procedure.
    // A procedure's total is the sum of these over its lines.
    std::int64_t EnteringNanos = 0;
};

// Calls from one line into one procedure, in one thread: counted executions of the
// procedure's lines whose parent was that line, the line being of another procedure.
struct CallFigures {
    std::int32_t CallerLineId = 0;
    std::int32_t CalleeScopeId = 0;
    // Openings of the caller line that were the parent of at least one of them: the
    // statement x = Foo(1) + Foo(2) calls Foo once.
    std::int64_t Calls = 0;
    std::int64_t InclusiveNanos = 0; // their durations
};

struct ThreadNode {
    std::int32_t ThreadId = 0;         // low 32 bits of the entry's thread id
    std::vector<ThreadLineNode> Lines; // in order of first start in this thread
    // Durations of the counted executions without a parent: the thread's run time.
    std::int64_t RootNanos = 0;
    std::vector<CallFigures> Calls; // in order of the first counted call
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
    // The procedure of a line: the scope id of its first instruction; 0 (no procedure) for
    // scope 0, a line without instructions, line id 0 and ids out of range.
    std::int32_t ProcedureOf(std::int32_t lineId) const {
        return lineId > 0 && lineId <= lineCount_
                   ? lineProcedures_[static_cast<std::size_t>(lineId)]
                   : 0;
    }

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
    friend void AttributeEntries(RunAnalysis& analysis, std::span<const EntryRecord> entries);

    // Per 64-bit thread: the lines it started, which of them are open, and the executions
    // waiting for their stop. Lines are kept in a list ordered by their latest opening, so
    // the lines started while a line was open are exactly those opened after it; the open
    // ones are also linked in that order among themselves, and the newest of them is the
    // parent of the next start.
    struct Parent {
        std::int32_t Line = -1; // line node, -1 for no parent
        // Which opening of that line, counted from 1 (after 2^32 openings of one line the
        // count starts again: calls are told apart by these 32 bits).
        std::uint32_t Opening = 0;
    };
    // The place of a line in the opening order, apart from the rest for a fast walk.
    struct OrderLink {
        std::int32_t LineId = 0;
        std::int32_t Previous = -1;
        std::int32_t Next = -1;
    };
    // One cache line per line of a thread.
    struct alignas(64) LineState {
        std::int32_t LineId = 0;
        std::int32_t Procedure = 0;     // scope id, 0 for none
        std::int32_t OpenPrevious = -1; // neighbours among the open lines
        std::int32_t OpenNext = -1;
        // The latest opening, and how many executions that started with it as their parent
        // are neither counted nor replaced by a second start yet.
        std::uint32_t Opening = 0;
        std::uint32_t Waiting = 0;
        std::int32_t LastCall = -1; // the call figures this line counted last
        bool Open = false;
        bool HasPending = false;
        std::int8_t PendingInstruction = 0;
        // The instruction figures used last (index and number), so that a start of the same
        // instruction again does not read the line node's figures; none before the first.
        std::uint8_t LastInstruction = 0;
        std::int8_t LastInstructionNumber = 0;
        bool HasLastInstruction = false;
        // One waiting execution of this line is kept here; further ones with other keys
        // wait in the thread's table. A key is in one of the two places, never in both.
        std::uint8_t PendingFigures = 0; // index into the line node's instructions
        std::int64_t PendingStackframe = 0;
        std::int64_t PendingNanos = 0;
        Parent PendingParent;
    };
    static_assert(sizeof(LineState) == 64, "one cache line per line of a thread");
    struct PendingStart {
        std::int64_t Nanos = 0;
        std::int32_t Instruction = 0;
        Parent From;
    };
    // An earlier opening of a line that executions still wait on after the line opened
    // again, with the procedures counted as called from it since then. (Before then a call
    // figures' LastOpening tells.) Only out-of-order stops leave such openings.
    struct PastOpening {
        std::uint32_t Waiting = 0;
        std::vector<std::int32_t> Callees; // also in the thread's PastCallees
    };
    struct ThreadState {
        std::int64_t ThreadId = 0;
        // LineId -> index of the line node: a flat array by LineId while the budget for
        // such arrays lasts (the usual case), a hash table for threads beyond it.
        std::vector<std::int32_t> DenseLineNodes;
        FlatHashMap<std::uint32_t, std::int32_t, IntegerHasher> LineNodes;
        std::vector<LineState> Lines; // parallel to the node's Lines
        std::vector<OrderLink> Order; // parallel to the node's Lines
        std::int32_t Newest = -1;     // last line of the opening order
        std::int32_t NewestOpen = -1; // last open line of the opening order
        FlatHashMap<PendingKey, PendingStart, PendingKeyHasher> Pending;
        // (caller line node, callee scope id) -> index of the call figures, and per call
        // figures the latest opening of the caller that was counted as a call.
        FlatHashMap<std::uint64_t, std::int32_t, IntegerHasher> CallIndex;
        std::vector<std::uint32_t> LastOpenings; // parallel to the node's Calls
        // (line node, opening) -> index into PastOpenings; free entries in FreeOpenings.
        FlatHashMap<std::uint64_t, std::int32_t, IntegerHasher> PastIndex;
        std::vector<PastOpening> PastOpenings;
        std::vector<std::int32_t> FreeOpenings;
        // (index into PastOpenings, callee scope id) of every past opening's callees.
        FlatHashMap<std::uint64_t, bool, IntegerHasher> PastCallees;
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
    void Close(ThreadState& thread, std::int32_t lineNode, std::int32_t lineId);
    // Takes the line out of the open lines.
    static void CloseOpenLine(ThreadState& thread, LineState& state, std::int32_t lineNode);
    static Parent ParentOf(const ThreadState& thread, std::int32_t lineNode);
    static void Open(ThreadState& thread, std::int32_t lineNode);
    static void KeepPastOpening(ThreadState& thread, std::int32_t lineNode);
    // The index of the past opening the parent is, -1 when it is none.
    static std::int32_t FindPastOpening(const ThreadState& thread, const Parent& parent);
    // False when the procedure was counted as called from that opening already.
    static bool AddPastCallee(ThreadState& thread, std::int32_t past, std::int32_t procedure);
    static void StopWaiting(ThreadState& thread, const Parent& parent);
    static void Replace(ThreadState& thread, Parent& waiting, const Parent& parent);
    static void Count(ThreadState& thread, ThreadNode& node, std::int32_t lineNode,
                      const Parent& parent, std::int64_t duration);
    static void CountCall(ThreadState& thread, ThreadNode& node, std::int32_t procedure,
                          const Parent& parent, std::int64_t duration);
    static std::int32_t AddCallFigures(ThreadState& thread, ThreadNode& node, std::int32_t caller,
                                       std::int32_t procedure);
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
    // By LineId: the procedure (scope id) of the line, 0 for none.
    std::vector<std::int32_t> lineProcedures_ = std::vector<std::int32_t>(1, 0);
};

// Empties the result and the tables, and maps the source file id and line number of every
// line of code to its LineId (position + 1; the last of equal lines wins).
void ResetAttribution(RunAnalysis& analysis, const std::vector<LineOfCode>& lines);

// Feeds one entry record, in file order.
void AttributeEntry(RunAnalysis& analysis, const EntryRecord& entry);
// Feeds the next entry records, in file order: the same as one AttributeEntry per record,
// with the whole per-entry path compiled into one loop.
void AttributeEntries(RunAnalysis& analysis, std::span<const EntryRecord> entries);

} // namespace tickscope
