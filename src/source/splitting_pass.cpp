#include "source/label_patterns.h"
#include "source/line_scanning.h"
#include "source/parser_passes.h"

#include <cstddef>

namespace tickscope {

void SplitLine(LineOfCode& line) {
    line.Instructions.clear();
    const std::string_view code = line.Code;
    if (!HasStatementColon(code)) {
        line.Instructions.reserve(1);
        line.AddInstruction(0, code.size());
        return;
    }
    const LabelPatterns& patterns = LabelPatterns::Get();
    // Colons are looked for in the mask, so those in literals and the comment never split;
    // the pieces themselves are cut from the line.
    const std::string& masked = MaskLineCached(code);
    std::size_t start = 0;
    for (std::size_t colon = masked.find(':'); colon != std::string::npos;
         colon = masked.find(':', start)) {
        const std::string_view piece = code.substr(start, colon - start + 1);
        // A label keeps its colon; a statement separator does not.
        const bool label = patterns.MatchesEither(piece);
        line.AddInstruction(start, label ? piece.size() : piece.size() - 1);
        start = colon + 1;
    }
    line.AddInstruction(start, code.size() - start);
}

void RunSplittingPass(ProgramInfo& program) {
    for (LineOfCode& line : program.LinesOfCode) {
        SplitLine(line);
    }
}

} // namespace tickscope
