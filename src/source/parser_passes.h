#pragma once

#include "source/program_info.h"

#include <string>
#include <string_view>
#include <vector>

namespace tickscope {

// Joins continued lines: a line ending in an operator or comma becomes a comment line and
// its text is carried into the next line of LinesOfCode.
void RunContinuationPass(ProgramInfo& program);

// True when the code (comment stripped, spaces trimmed) ends in "+", ",", "|" or one of
// the word operators And, Or, XOr after a space or ")".
bool LineContinues(std::string_view code);

// Splits every line into its instructions at statement colons, keeping label colons.
void RunSplittingPass(ProgramInfo& program);

// Replaces the line's instructions by the pieces of its Code.
void SplitLine(LineOfCode& line);

// Assigns scopes and block keys, registers procedures and detects shared DLLs.
void RunScopePass(ProgramInfo& program);

// The keys of the blocks opened and not yet closed. Each scope pass has its own stack, so
// unbalanced source in one load cannot leave keys behind for the next.
class BlockStack {
  public:
    void PushBlockKey(const std::string& key) { keys_.push_back(key); }
    // The top key, removed; "" (stack unchanged) when empty.
    std::string PopBlockKey() {
        if (keys_.empty()) {
            return {};
        }
        std::string key = std::move(keys_.back());
        keys_.pop_back();
        return key;
    }
    std::size_t Size() const { return keys_.size(); }

  private:
    std::vector<std::string> keys_;
};

} // namespace tickscope
