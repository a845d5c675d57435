#include "analysis/attribution.h"

#include "analysis/wrapping_math.h"

#include <algorithm>
#include <limits>
#include <string>

namespace tickscope {
namespace {

// File ids and line numbers below these limits are looked up in flat arrays.
constexpr std::int32_t kDenseFileIds = 1 << 12;
constexpr std::int32_t kDenseLineNumbers = 1 << 20;

// Two 32-bit values as one hash key: (file id, line number), (caller line node, callee
// scope id), (line node, opening), (past opening, callee scope id).
std::uint64_t PairKey(std::int32_t high, std::int32_t low) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) |
           static_cast<std::uint32_t>(low);
}

} // namespace

const std::vector<std::int32_t>* RunAnalysis::InvocationsOf(std::int32_t lineId) const {
    if (lineId < 0 || lineId > lineCount_) {
        return nullptr;
    }
    const std::int32_t slot = invocationSlots_[static_cast<std::size_t>(lineId)];
    return slot < 0 ? nullptr : &invocations_[static_cast<std::size_t>(slot)].Members;
}

void RunAnalysis::Reset(const std::vector<LineOfCode>& lines) {
    threads_.clear();
    threadStates_.clear();
    threadSlots_.Clear();
    lastThreadSlot_ = -1;
    lineIds_.Clear();
    lineIdsByFile_.clear();
    invocations_.clear();
    invocationWork_ = 0;
    invocationAllowance_ = baseInvocationWork_;
    invocationsComplete_ = true;
    flatBytesLeft_ = flatTableBudget_;
    lineCount_ = static_cast<std::int32_t>(
        std::min<std::size_t>(lines.size(), std::numeric_limits<std::int32_t>::max() - 1));

    // A file gets a flat array by line number only when the array is in proportion to the
    // lines it holds (a stray large line number does not size it) and fits the budget.
    struct FileShape {
        std::int32_t Lines = 0;
        std::int32_t HighestLine = -1;
    };
    std::vector<FileShape> files;
    const auto denseFile = [&](std::int32_t fileId) {
        return fileId >= 0 && fileId < kDenseFileIds && fileId < 16 * lineCount_ + 64;
    };
    for (std::int32_t index = 0; index < lineCount_; ++index) {
        const LineOfCode& line = lines[static_cast<std::size_t>(index)];
        if (denseFile(line.SourceFileId) && line.LineNumber >= 0 &&
            line.LineNumber < kDenseLineNumbers) {
            if (files.size() <= static_cast<std::size_t>(line.SourceFileId)) {
                files.resize(static_cast<std::size_t>(line.SourceFileId) + 1);
            }
            FileShape& shape = files[static_cast<std::size_t>(line.SourceFileId)];
            ++shape.Lines;
            shape.HighestLine = std::max(shape.HighestLine, line.LineNumber);
        }
    }
    lineIdsByFile_.resize(files.size());
    for (std::size_t fileId = 0; fileId < files.size(); ++fileId) {
        const FileShape& shape = files[fileId];
        const std::size_t entries = static_cast<std::size_t>(shape.HighestLine) + 1;
        const std::size_t bytes = entries * sizeof(std::int32_t);
        if (shape.Lines > 0 && entries <= 8 * static_cast<std::size_t>(shape.Lines) + 1024 &&
            bytes <= flatBytesLeft_) {
            flatBytesLeft_ -= bytes;
            lineIdsByFile_[fileId].assign(entries, 0);
        }
    }
    for (std::int32_t index = 0; index < lineCount_; ++index) {
        const LineOfCode& line = lines[static_cast<std::size_t>(index)];
        const std::int32_t fileId = line.SourceFileId;
        const std::int32_t lineNumber = line.LineNumber;
        if (fileId >= 0 && static_cast<std::size_t>(fileId) < lineIdsByFile_.size() &&
            lineNumber >= 0 &&
            static_cast<std::size_t>(lineNumber) < lineIdsByFile_[fileId].size()) {
            lineIdsByFile_[static_cast<std::size_t>(fileId)][static_cast<std::size_t>(lineNumber)] =
                index + 1;
        } else {
            *lineIds_.Insert(PairKey(fileId, lineNumber)).first = index + 1;
        }
    }
    invocationSlots_.assign(static_cast<std::size_t>(lineCount_) + 1, -1);
    lineProcedures_.assign(static_cast<std::size_t>(lineCount_) + 1, 0);
    for (std::int32_t index = 0; index < lineCount_; ++index) {
        const LineOfCode& line = lines[static_cast<std::size_t>(index)];
        if (!line.Instructions.empty()) {
            lineProcedures_[static_cast<std::size_t>(index) + 1] =
                line.Instructions.front().ScopeId;
        }
    }
}

std::int32_t RunAnalysis::ThreadSlot(std::int64_t threadId, bool create) {
    if (lastThreadSlot_ >= 0 && threadStates_[lastThreadSlot_].ThreadId == threadId) {
        return lastThreadSlot_;
    }
    const auto key = static_cast<std::uint64_t>(threadId);
    if (const std::int32_t* slot = threadSlots_.Find(key)) {
        lastThreadSlot_ = *slot;
        return *slot;
    }
    if (!create) {
        return -1;
    }
    const auto slot = static_cast<std::int32_t>(threads_.size());
    ThreadNode& node = threads_.emplace_back();
    node.ThreadId = static_cast<std::int32_t>(static_cast<std::uint32_t>(threadId));
    ThreadState& state = threadStates_.emplace_back();
    state.ThreadId = threadId;
    const std::size_t ids = static_cast<std::size_t>(lineCount_) + 1;
    if (flatBytesLeft_ >= ids * sizeof(std::int32_t)) {
        flatBytesLeft_ -= ids * sizeof(std::int32_t);
        state.DenseLineNodes.assign(ids, -1);
    }
    *threadSlots_.Insert(key).first = slot;
    lastThreadSlot_ = slot;
    return slot;
}

std::int32_t RunAnalysis::LineIdOf(std::int32_t fileId, std::int32_t lineNumber) const {
    if (fileId >= 0 && static_cast<std::size_t>(fileId) < lineIdsByFile_.size() &&
        lineNumber >= 0 && lineNumber < kDenseLineNumbers) {
        const std::vector<std::int32_t>& byLine = lineIdsByFile_[static_cast<std::size_t>(fileId)];
        if (!byLine.empty()) {
            // A file with a flat array has all its line numbers below the limit in it.
            return static_cast<std::size_t>(lineNumber) < byLine.size()
                       ? byLine[static_cast<std::size_t>(lineNumber)]
                       : 0;
        }
    }
    const std::int32_t* found = lineIds_.Find(PairKey(fileId, lineNumber));
    return found == nullptr ? 0 : *found;
}

std::int32_t RunAnalysis::FindLineNode(const ThreadState& thread, std::int32_t lineId) {
    if (!thread.DenseLineNodes.empty()) {
        return thread.DenseLineNodes[static_cast<std::size_t>(lineId)];
    }
    const std::int32_t* found = thread.LineNodes.Find(static_cast<std::uint32_t>(lineId));
    return found == nullptr ? -1 : *found;
}

void RunAnalysis::SetLineNode(ThreadState& thread, std::int32_t lineId, std::int32_t lineNode) {
    if (!thread.DenseLineNodes.empty()) {
        thread.DenseLineNodes[static_cast<std::size_t>(lineId)] = lineNode;
    } else {
        *thread.LineNodes.Insert(static_cast<std::uint32_t>(lineId)).first = lineNode;
    }
}

void RunAnalysis::PrepareToAdd(InvocationSet& set) {
    if (!set.Bits.empty() || !set.Members.empty()) {
        return; // prepared with its first member
    }
    const std::size_t words = (static_cast<std::size_t>(lineCount_) + 64) / 64;
    if (flatBytesLeft_ >= words * sizeof(std::uint64_t)) {
        flatBytesLeft_ -= words * sizeof(std::uint64_t);
        set.Bits.assign(words, 0);
    }
}

namespace {

std::uint64_t OpeningKey(std::int32_t lineNode, std::uint32_t opening) {
    return PairKey(lineNode, static_cast<std::int32_t>(opening));
}

} // namespace

inline RunAnalysis::Parent RunAnalysis::ParentOf(const ThreadState& thread, std::int32_t lineNode) {
    std::int32_t line = thread.NewestOpen;
    if (line == lineNode) {
        line = thread.Lines[static_cast<std::size_t>(lineNode)].OpenPrevious;
    }
    if (line < 0) {
        return {};
    }
    return {line, thread.Lines[static_cast<std::size_t>(line)].Opening};
}

inline void RunAnalysis::Open(ThreadState& thread, std::int32_t lineNode) {
    LineState& state = thread.Lines[static_cast<std::size_t>(lineNode)];
    // Opening a line makes it an invocation of every line open in this thread; it moves to
    // the end of the opening order.
    if (thread.Newest != lineNode) {
        OrderLink& link = thread.Order[static_cast<std::size_t>(lineNode)];
        if (link.Previous >= 0) {
            thread.Order[static_cast<std::size_t>(link.Previous)].Next = link.Next;
        }
        if (link.Next >= 0) {
            thread.Order[static_cast<std::size_t>(link.Next)].Previous = link.Previous;
        }
        link.Previous = thread.Newest;
        link.Next = -1;
        if (thread.Newest >= 0) {
            thread.Order[static_cast<std::size_t>(thread.Newest)].Next = lineNode;
        }
        thread.Newest = lineNode;
    }
    state.OpenPrevious = thread.NewestOpen;
    state.OpenNext = -1;
    if (thread.NewestOpen >= 0) {
        thread.Lines[static_cast<std::size_t>(thread.NewestOpen)].OpenNext = lineNode;
    }
    thread.NewestOpen = lineNode;
    if (state.Waiting != 0) {
        KeepPastOpening(thread, lineNode);
    }
    ++state.Opening;
    state.Open = true;
}

void RunAnalysis::KeepPastOpening(ThreadState& thread, std::int32_t lineNode) {
    LineState& line = thread.Lines[static_cast<std::size_t>(lineNode)];
    std::int32_t index;
    if (!thread.FreeOpenings.empty()) {
        index = thread.FreeOpenings.back();
        thread.FreeOpenings.pop_back();
    } else {
        index = static_cast<std::int32_t>(thread.PastOpenings.size());
        thread.PastOpenings.emplace_back();
    }
    thread.PastOpenings[static_cast<std::size_t>(index)].Waiting = line.Waiting;
    *thread.PastIndex.Insert(OpeningKey(lineNode, line.Opening)).first = index;
    line.Waiting = 0;
}

std::int32_t RunAnalysis::FindPastOpening(const ThreadState& thread, const Parent& parent) {
    if (thread.PastIndex.Size() == 0) {
        return -1;
    }
    const std::int32_t* index = thread.PastIndex.Find(OpeningKey(parent.Line, parent.Opening));
    return index == nullptr ? -1 : *index;
}

bool RunAnalysis::AddPastCallee(ThreadState& thread, std::int32_t past, std::int32_t procedure) {
    const bool added = thread.PastCallees.Insert(PairKey(past, procedure)).second;
    if (added) {
        thread.PastOpenings[static_cast<std::size_t>(past)].Callees.push_back(procedure);
    }
    return added;
}

void RunAnalysis::StopWaiting(ThreadState& thread, const Parent& parent) {
    if (parent.Line < 0) {
        return;
    }
    LineState& line = thread.Lines[static_cast<std::size_t>(parent.Line)];
    if (line.Opening == parent.Opening) {
        --line.Waiting;
        return;
    }
    const std::int32_t index = FindPastOpening(thread, parent);
    if (index < 0) {
        return;
    }
    PastOpening& past = thread.PastOpenings[static_cast<std::size_t>(index)];
    if (--past.Waiting == 0) {
        for (const std::int32_t callee : past.Callees) {
            thread.PastCallees.Erase(PairKey(index, callee));
        }
        past.Callees.clear();
        thread.PastIndex.Erase(OpeningKey(parent.Line, parent.Opening));
        thread.FreeOpenings.push_back(index);
    }
}

void RunAnalysis::Replace(ThreadState& thread, Parent& waiting, const Parent& parent) {
    StopWaiting(thread, waiting);
    if (parent.Line >= 0) {
        ++thread.Lines[static_cast<std::size_t>(parent.Line)].Waiting;
    }
    waiting = parent;
}

std::int32_t RunAnalysis::AddCallFigures(ThreadState& thread, ThreadNode& node, std::int32_t caller,
                                         std::int32_t procedure) {
    LineState& line = thread.Lines[static_cast<std::size_t>(caller)];
    const auto [index, inserted] = thread.CallIndex.Insert(PairKey(caller, procedure));
    if (inserted) {
        *index = static_cast<std::int32_t>(node.Calls.size());
        node.Calls.push_back({line.LineId, procedure, 0, 0});
        thread.LastOpenings.push_back(0);
    }
    line.LastCall = *index;
    return *index;
}

inline void RunAnalysis::CountCall(ThreadState& thread, ThreadNode& node, std::int32_t procedure,
                                   const Parent& parent, std::int64_t duration) {
    const LineState& caller = thread.Lines[static_cast<std::size_t>(parent.Line)];
    std::int32_t call = caller.LastCall;
    if (call < 0 || node.Calls[static_cast<std::size_t>(call)].CalleeScopeId != procedure) {
        call = AddCallFigures(thread, node, parent.Line, procedure);
    }
    CallFigures& figures = node.Calls[static_cast<std::size_t>(call)];
    figures.InclusiveNanos = WrappingAdd(figures.InclusiveNanos, duration);
    // A call is one opening of the caller. Whether this one was counted already: for the
    // latest opening the last one counted tells; an earlier opening that executions still
    // wait on keeps what was counted after it stopped being the latest.
    std::uint32_t& last = thread.LastOpenings[static_cast<std::size_t>(call)];
    bool first = last != parent.Opening;
    if (caller.Opening == parent.Opening) {
        if (first && last != 0) {
            if (const std::int32_t past = FindPastOpening(thread, {parent.Line, last}); past >= 0) {
                AddPastCallee(thread, past, procedure);
            }
        }
        last = parent.Opening;
    } else if (first) {
        const std::int32_t past = FindPastOpening(thread, parent);
        first = past < 0 || AddPastCallee(thread, past, procedure);
    }
    if (first) {
        figures.Calls = WrappingAdd(figures.Calls, 1);
    }
}

inline void RunAnalysis::Count(ThreadState& thread, ThreadNode& node, std::int32_t lineNode,
                               const Parent& parent, std::int64_t duration) {
    ThreadLineNode& counted = node.Lines[static_cast<std::size_t>(lineNode)];
    const std::int32_t procedure = thread.Lines[static_cast<std::size_t>(lineNode)].Procedure;
    if (parent.Line < 0) {
        node.RootNanos = WrappingAdd(node.RootNanos, duration);
        if (procedure != 0) {
            counted.EnteringNanos = WrappingAdd(counted.EnteringNanos, duration);
        }
        return;
    }
    LineState& caller = thread.Lines[static_cast<std::size_t>(parent.Line)];
    ThreadLineNode& callerNode = node.Lines[static_cast<std::size_t>(parent.Line)];
    callerNode.ChildNanos = WrappingAdd(callerNode.ChildNanos, duration);
    if (procedure != 0) {
        const std::int32_t callerProcedure = caller.Procedure;
        if (callerProcedure != procedure) {
            counted.EnteringNanos = WrappingAdd(counted.EnteringNanos, duration);
            if (callerProcedure != 0) {
                CountCall(thread, node, procedure, parent, duration);
            }
        }
    }
    if (caller.Opening == parent.Opening) {
        --caller.Waiting;
    } else {
        StopWaiting(thread, parent);
    }
}

void RunAnalysis::Start(const EntryRecord& entry, std::int32_t lineId) {
    const std::int32_t slot = ThreadSlot(entry.ThreadId, true);
    ThreadState& thread = threadStates_[static_cast<std::size_t>(slot)];
    ThreadNode& node = threads_[static_cast<std::size_t>(slot)];

    std::int32_t lineNode = FindLineNode(thread, lineId);
    if (lineNode < 0) {
        lineNode = static_cast<std::int32_t>(node.Lines.size());
        SetLineNode(thread, lineId, lineNode);
        node.Lines.emplace_back().LineId = lineId;
        LineState& added = thread.Lines.emplace_back();
        added.LineId = lineId;
        added.Procedure = lineProcedures_[static_cast<std::size_t>(lineId)];
        thread.Order.emplace_back().LineId = lineId;
    }
    LineState& state = thread.Lines[static_cast<std::size_t>(lineNode)];
    // The stop reads the figures of the instruction; fetching them now overlaps the wait
    // for memory with the work of the start (nothing here waits for it).
    __builtin_prefetch(node.Lines[static_cast<std::size_t>(lineNode)].Instructions.data() +
                           state.LastInstruction,
                       1);
    const Parent parent = ParentOf(thread, lineNode);
    if (!state.Open) {
        Open(thread, lineNode);
    }

    const std::int32_t instructionNumber = entry.InstructionNumber;
    std::int32_t instruction = state.LastInstruction; // below 256: one per instruction number
    if (!state.HasLastInstruction || state.LastInstructionNumber != entry.InstructionNumber) {
        std::vector<InstructionFigures>& figures =
            node.Lines[static_cast<std::size_t>(lineNode)].Instructions;
        instruction = -1;
        for (std::size_t i = 0; i < figures.size(); ++i) {
            if (figures[i].InstructionNumber == instructionNumber) {
                instruction = static_cast<std::int32_t>(i);
                break;
            }
        }
        if (instruction < 0) {
            instruction = static_cast<std::int32_t>(figures.size());
            figures.emplace_back().InstructionNumber = instructionNumber;
        }
        state.LastInstruction = static_cast<std::uint8_t>(instruction);
        state.LastInstructionNumber = entry.InstructionNumber;
        state.HasLastInstruction = true;
    }

    // A second start before the stop replaces the first one's time and parent.
    const PendingKey key = PendingKey::Of(lineId, entry);
    if (state.HasPending && state.PendingInstruction == entry.InstructionNumber &&
        state.PendingStackframe == entry.Stackframe) {
        state.PendingNanos = entry.Nanos;
        Replace(thread, state.PendingParent, parent);
        return;
    }
    if (thread.Pending.Size() != 0) {
        if (PendingStart* waiting = thread.Pending.Find(key)) {
            waiting->Nanos = entry.Nanos;
            Replace(thread, waiting->From, parent);
            return;
        }
    }
    if (parent.Line >= 0) {
        ++thread.Lines[static_cast<std::size_t>(parent.Line)].Waiting;
    }
    if (!state.HasPending) {
        state.HasPending = true;
        state.PendingInstruction = entry.InstructionNumber;
        state.PendingStackframe = entry.Stackframe;
        state.PendingNanos = entry.Nanos;
        state.PendingFigures = static_cast<std::uint8_t>(instruction);
        state.PendingParent = parent;
        return;
    }
    PendingStart& pending = *thread.Pending.Insert(key).first;
    pending.Nanos = entry.Nanos;
    pending.Instruction = instruction;
    pending.From = parent;
}

void RunAnalysis::Close(ThreadState& thread, std::int32_t lineNode, std::int32_t lineId) {
    LineState& state = thread.Lines[static_cast<std::size_t>(lineNode)];
    std::int32_t& slot = invocationSlots_[static_cast<std::size_t>(lineId)];
    if (slot < 0) { // the line has a key from its first stop on
        slot = static_cast<std::int32_t>(invocations_.size());
        invocations_.emplace_back();
    }
    // Every line opened after this one (while it stayed open) was started during it. The
    // walk costs work in proportion to those lines; beyond the allowance, which grows with
    // the entries, invocations are no longer followed. A set gets its bitmap (or hash set)
    // with its first member: most lines never invoke anything, and the usual line, the
    // newest, has nothing to walk and leaves its set alone.
    if (thread.Newest == lineNode || !invocationsComplete_) {
        CloseOpenLine(thread, state, lineNode);
        return;
    }
    InvocationSet& set = invocations_[static_cast<std::size_t>(slot)];
    PrepareToAdd(set);
    for (std::int32_t i = thread.Newest; i != lineNode && i >= 0 && invocationsComplete_;
         i = thread.Order[static_cast<std::size_t>(i)].Previous) {
        if (++invocationWork_ > invocationAllowance_) {
            invocationsComplete_ = false;
            break;
        }
        const std::int32_t member = thread.Order[static_cast<std::size_t>(i)].LineId;
        bool added;
        if (!set.Bits.empty()) {
            std::uint64_t& word = set.Bits[static_cast<std::size_t>(member) / 64];
            const std::uint64_t bit = std::uint64_t{1} << (member % 64);
            added = (word & bit) == 0;
            word |= bit;
        } else {
            added = set.Seen.Insert(static_cast<std::uint32_t>(member)).second;
        }
        if (added) {
            set.Members.push_back(member);
        }
    }
    CloseOpenLine(thread, state, lineNode);
}

inline void RunAnalysis::CloseOpenLine(ThreadState& thread, LineState& state,
                                       std::int32_t lineNode) {
    if (thread.NewestOpen == lineNode) {
        thread.NewestOpen = state.OpenPrevious; // the usual case: the newest closes first
    } else {
        thread.Lines[static_cast<std::size_t>(state.OpenNext)].OpenPrevious = state.OpenPrevious;
        if (state.OpenPrevious >= 0) {
            thread.Lines[static_cast<std::size_t>(state.OpenPrevious)].OpenNext = state.OpenNext;
        }
    }
    state.Open = false; // its open neighbours are set again when it opens
}

void RunAnalysis::Stop(const EntryRecord& entry, std::int32_t lineId) {
    const std::int32_t slot = ThreadSlot(entry.ThreadId, false);
    if (slot < 0) {
        return;
    }
    ThreadState& thread = threadStates_[static_cast<std::size_t>(slot)];
    const std::int32_t lineNode = FindLineNode(thread, lineId);
    if (lineNode < 0 || !thread.Lines[static_cast<std::size_t>(lineNode)].Open) {
        return;
    }
    Close(thread, lineNode, lineId);

    const PendingKey key = PendingKey::Of(lineId, entry);
    LineState& state = thread.Lines[static_cast<std::size_t>(lineNode)];
    std::int64_t startNanos = 0;
    std::int32_t figuresIndex = 0;
    Parent parent;
    if (state.HasPending && state.PendingInstruction == entry.InstructionNumber &&
        state.PendingStackframe == entry.Stackframe) {
        startNanos = state.PendingNanos;
        figuresIndex = state.PendingFigures;
        parent = state.PendingParent;
        state.HasPending = false;
    } else {
        const PendingStart* pending =
            thread.Pending.Size() != 0 ? thread.Pending.Find(key) : nullptr;
        if (pending == nullptr) {
            return;
        }
        startNanos = pending->Nanos;
        figuresIndex = pending->Instruction;
        parent = pending->From;
        thread.Pending.Erase(key);
    }
    const std::int64_t duration = WrappingAbsolute(WrappingSubtract(entry.Nanos, startNanos));
    ThreadNode& node = threads_[static_cast<std::size_t>(slot)];
    InstructionFigures& figures = node.Lines[static_cast<std::size_t>(lineNode)]
                                      .Instructions[static_cast<std::size_t>(figuresIndex)];
    figures.Hits = WrappingAdd(figures.Hits, 1);
    figures.TotalNanos = WrappingAdd(figures.TotalNanos, duration);
    if (figures.MinNanos == 0 || duration < figures.MinNanos) {
        figures.MinNanos = duration;
    }
    if (duration > figures.MaxNanos) {
        figures.MaxNanos = duration;
    }
    Count(thread, node, lineNode, parent, duration);
}

void RunAnalysis::Attribute(const EntryRecord& entry) {
    invocationAllowance_ += invocationWorkPerEntry_;
    const std::int32_t lineId = LineIdOf(entry.FileId, entry.LineNumber);
    if (entry.StartOrStop == kStartEntry) {
        Start(entry, lineId);
    } else if (entry.StartOrStop == kStopEntry) {
        Stop(entry, lineId);
    }
}

void ResetAttribution(RunAnalysis& analysis, const std::vector<LineOfCode>& lines) {
    analysis.Reset(lines);
}

void AttributeEntry(RunAnalysis& analysis, const EntryRecord& entry) {
    analysis.Attribute(entry);
}

void AttributeEntries(RunAnalysis& analysis, std::span<const EntryRecord> entries) {
    for (const EntryRecord& entry : entries) {
        analysis.Attribute(entry);
    }
}

} // namespace tickscope
