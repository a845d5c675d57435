#include "source/label_patterns.h"
#include "source/line_scanning.h"
#include "source/parser_passes.h"

#include <cstddef>

namespace tickscope {

void SplitLine(LineOfCode& line) {
    line.Instructions.clear();
    const std::string& code = line.Code;
    auto append = [&line](std::string text) {
        Instruction instruction;
        instruction.Code = std::move(text);
        instruction.InstructionNumber = static_cast<int>(line.Instructions.size()) + 1;
        line.Instructions.push_back(std::move(instruction));
    };
    if (!HasStatementColon(code)) {
        append(code);
        return;
    }
    const LabelPatterns& patterns = LabelPatterns::Get();
    // Colons are looked for in the mask, so those in literals and the comment never split;
    // the pieces themselves are cut from the line.
    const std::string& masked = MaskLineCached(code);
    std::size_t start = 0;
    for (std::size_t colon = masked.find(':'); colon != std::string::npos;
         colon = masked.find(':', start)) {
        std::string piece = code.substr(start, colon - start + 1);
        // A label keeps its colon; a statement separator does not.
        if (!patterns.MatchesEither(piece)) {
            piece.pop_back();
        }
        append(std::move(piece));
        start = colon + 1;
    }
    append(code.substr(start));
}

void RunSplittingPass(ProgramInfo& program) {
    for (LineOfCode& line : program.LinesOfCode) {
        SplitLine(line);
    }
}

} // namespace tickscope
