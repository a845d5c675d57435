#pragma once

#include "source/program_info.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tickscope {

// The header keys of a run-information file's PRE-PROGRAMINFOS group, as the run catalogue
// lists them: defaults (empty, 0) for keys that are absent or a file that cannot be read.
struct RunHeader {
    std::string Path;                 // "Path": the profiled program's top-level file
    std::int32_t LineCount = 0;       // "LinesOfCode"
    std::int32_t SourceFileCount = 0; // "SourceFileIds"
    std::int32_t ScopeCount = 0;      // "ScopeIds"
};
RunHeader ReadRunHeader(const std::string& runFile);

// Reads the program information back from a run-information file, in the steps in which the
// analyzer loads a run (so that it can report progress between them). Counts come from the
// header; a count that runs far beyond the indexes present in the file is taken as corrupt
// and cut to the highest index present.
class ProgramInfoReader {
  public:
    // SourceFileIds and ScopeIds: the value of "SourceFileId.<i>" (and "ScopeId.<i>") gets
    // id i, for i from 1 to the count (an absent key reads as the empty text).
    void ReadTables(const std::string& runFile, const RunHeader& header, ProgramInfo& program);

    // Gathers every "LineOfCode." line of the file in one pass (a later line with the same
    // key wins). A file that cannot be read gives no lines.
    void CollectLines(const std::string& runFile);
    // How many lines to build for the declared count.
    std::int64_t LineCount(std::int32_t declared) const;
    // Line n (from 1): absent keys read as empty, non-numbers as 0.
    LineOfCode BuildLine(std::int64_t n) const;

  private:
    const std::string& Value(const std::string& key) const;
    void NoteIndexes(std::string_view key);

    std::unordered_map<std::string, std::string> values_;
    std::int64_t highestLine_ = 0;
    std::unordered_map<std::int64_t, std::int64_t> highestInstruction_; // line -> index
};

} // namespace tickscope
