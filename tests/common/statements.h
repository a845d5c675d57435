#pragma once

#include "source/program_info.h"

#include <string>
#include <string_view>

namespace tickscope::testing {

// Adds a statement to a line as the splitting pass would: the first place of `text` in the
// line's code after the statements before it, or, when the code lacks it, `text` appended
// behind a colon. Numbers it after the statements before it.
inline Instruction& AddStatement(LineOfCode& line, std::string_view text, int scopeId = 0,
                                 std::string blockKey = {}) {
    const std::size_t from = line.Instructions.empty() ? 0
                                                       : line.Instructions.back().CodeStart +
                                                             line.Instructions.back().CodeLength;
    std::size_t at = std::string_view(line.Code).find(text, from);
    if (at == std::string_view::npos) {
        std::string code(line.Code);
        if (!code.empty()) {
            code += ':';
        }
        at = code.size();
        code += text;
        line.Code = code;
    }
    Instruction& added = line.AddInstruction(at, text.size());
    added.ScopeId = scopeId;
    added.BlockKey = std::move(blockKey);
    return added;
}

} // namespace tickscope::testing
