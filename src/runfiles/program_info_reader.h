#pragma once

#include "source/program_info.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tickscope {

// The header keys of a run-information file's PRE-PROGRAMINFOS group, as the run catalogue
// lists them: defaults (empty, 0) for keys that are absent or a file that cannot be read.
struct RunHeader {
    std::string Path;                 // "Path": the profiled program's top-level file
    std::int32_t LineCount = 0;       // "LinesOfCode"
    std::int32_t SourceFileCount = 0; // "SourceFileIds"
    std::int32_t ScopeCount = 0;      // "ScopeIds"
};

// Reads only the header: the keys before the first line of code, within the first 64 MiB,
// so that a damaged or huge file costs little more than a valid one.
RunHeader ReadRunHeader(const std::string& runFile);

// A count the file declares, bounded by the entries it holds: up to twice the entries
// present (and 16 more) the missing ones are built empty, as a file cut short needs; a
// larger count is taken as corrupt and cut to the entries present. Work and memory so stay
// in proportion to the file whatever its counts say.
std::int64_t BoundedCount(std::int64_t declared, std::int64_t present);

// Reads the program information back from a run-information file, in the steps in which the
// analyzer loads a run (so that it can report progress between them).
class ProgramInfoReader {
  public:
    // Reads the file once and notes where the value of every "LineOfCode." key stands (a
    // later line with the same key wins). A file that cannot be read gives no lines.
    // `declaredLines` (the header's count) only sizes the room for them in advance.
    void CollectLines(const std::string& runFile, std::int64_t declaredLines = 0);

    // From the file CollectLines read: SourceFileIds and ScopeIds, where the value of
    // "SourceFileId.<i>" (and "ScopeId.<i>") gets id i, for i from 1 to the bounded count
    // (an absent key reads as the empty text).
    void ReadTables(const RunHeader& header, ProgramInfo& program) const;
    // How many lines to build for the declared count.
    std::int64_t LineCount(std::int32_t declared) const;
    // Line n (from 1): absent keys read as empty, non-numbers as 0. The instructions get
    // their scope ids (their code is not kept: nothing in the analysis reads it).
    LineOfCode BuildLine(std::int64_t n) const;

  private:
    // Where the values of the keys stand in the file's bytes.
    struct InstructionValues {
        std::string_view ScopeId;
        bool HasScopeId = false;
        bool Present = false; // some key of the instruction was seen
    };
    struct LineValues {
        std::string_view SourceFileId, LineNumber, Code, Instructions;
        // Instructions 1, 2, ... as they come; others (out of order) in sparseInstructions_.
        std::vector<InstructionValues> DenseInstructions;
        std::int64_t DistinctInstructions = 0;
    };

    std::int64_t SlotOf(std::int64_t n) const; // -1 for a line not seen
    LineValues* LineSlot(std::int64_t n, bool create);
    const LineValues* FindLine(std::int64_t n) const;
    void Note(std::string_view key, std::string_view value);
    void NoteInstruction(LineValues& line, std::int64_t slot, std::int64_t m,
                         std::string_view field, std::string_view value);
    std::string_view InstructionScopeId(const LineValues& line, std::int64_t slot,
                                        std::int64_t m) const;

    std::string bytes_; // the file, which the values point into
    std::vector<LineValues> lines_;
    std::vector<std::int64_t> slotsByLine_; // [n - 1] -> index into lines_, or -1
    std::unordered_map<std::int64_t, std::int64_t> lineSlots_; // n -> index, for the far n
    std::int64_t lastLine_ = -1;                               // the last n looked up
    std::int64_t lastSlot_ = -1;
    std::unordered_map<std::uint64_t, InstructionValues> sparseInstructions_; // (slot, m)
};

} // namespace tickscope
