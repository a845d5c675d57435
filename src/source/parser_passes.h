#pragma once

#include "source/program_info.h"

#include <string>
#include <string_view>
#include <vector>

namespace tickscope {

// The continuation, splitting and scope passes in one walk over the lines, with the same
// result as running them one after the other: each pass visits the lines in order and
// changes no earlier line, and a line is final for the next pass once the continuation pass
// has visited it. One walk reads each line while it is still in the cache.
void RunParserPasses(ProgramInfo& program);

// Joins continued lines: a line ending in an operator or comma becomes a comment line and
// its text is carried into the next line of LinesOfCode.
void RunContinuationPass(ProgramInfo& program);
// The same for line i: its text goes into line i + 1 when it continues.
void ContinueLine(std::vector<LineOfCode>& lines, std::size_t i);

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

// The scope pass line by line: Visit every line in order, then Finish.
class ScopePass {
  public:
    explicit ScopePass(ProgramInfo& program);
    void Visit(LineOfCode& line);
    void Finish();

  private:
    ProgramInfo& program_;
    BlockStack blocks_;
    int currentScope_ = kMainScopeId;
};

} // namespace tickscope
