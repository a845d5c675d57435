#include "source/program_info.h"

#include "source/text_utils.h"

namespace tickscope {

Instruction& LineOfCode::AddInstruction(std::size_t start, std::size_t length) {
    Instruction& added = Instructions.emplace_back();
    added.CodeStart = static_cast<std::uint32_t>(start);
    added.CodeLength = static_cast<std::uint32_t>(length);
    added.InstructionNumber = static_cast<int>(Instructions.size());
    return added;
}

std::string InstructionKey(int sourceFileId, int lineNumber, int instructionNumber) {
    std::string key = std::to_string(sourceFileId);
    key += '.';
    key += std::to_string(lineNumber);
    key += '.';
    key += std::to_string(instructionNumber);
    return key;
}

std::string InstructionKey(const LineOfCode& line, const Instruction& instruction) {
    return InstructionKey(line.SourceFileId, line.LineNumber, instruction.InstructionNumber);
}

InstructionKeyParts SplitInstructionKey(const std::string& key) {
    InstructionKeyParts parts;
    const auto first = key.find('.');
    parts.SourceFileId = ParseInteger32(std::string_view(key).substr(0, first));
    if (first == std::string::npos) {
        return parts;
    }
    const auto second = key.find('.', first + 1);
    parts.LineNumber = ParseInteger32(std::string_view(key).substr(first + 1, second - first - 1));
    if (second == std::string::npos) {
        return parts;
    }
    const auto third = key.find('.', second + 1);
    parts.InstructionNumber =
        ParseInteger32(std::string_view(key).substr(second + 1, third - second - 1));
    return parts;
}

} // namespace tickscope
