#pragma once

#include "source/code_text.h"
#include "source/id_table.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tickscope {

inline constexpr int kMainScopeId = 1;
inline constexpr const char* kMainScopeName = "***main***";

// One statement of a line. Its text is a piece of the line's code, kept as a place in it
// rather than a copy: most lines are one statement, and a copy would double the program.
struct Instruction {
    std::uint32_t CodeStart = 0;
    std::uint32_t CodeLength = 0;
    int ScopeId = 0;      // 0 inside declarative blocks
    std::string BlockKey; // InstructionKey of the opener this closes or continues, or ""
    int InstructionNumber = 0;
};

// One source line.
struct LineOfCode {
    int SourceFileId = 0;
    int LineNumber = 0;
    CodeText Code;
    std::vector<Instruction> Instructions;

    std::string_view TextOf(const Instruction& instruction) const {
        return std::string_view(Code).substr(instruction.CodeStart, instruction.CodeLength);
    }
    // Appends a statement of the given text, which must be a piece of Code at `start`.
    Instruction& AddInstruction(std::size_t start, std::size_t length);
};

// One program: every file it includes, flattened in compile order.
struct ProgramInfo {
    std::string Path;
    bool IsExecutable = false;
    bool IsSharedDll = false;
    IdTable SourceFileIds; // resolved path -> source file id
    IdTable ScopeIds;      // scope name -> scope id
    std::vector<LineOfCode> LinesOfCode;
    // The source files as the loader read them, which the lines' texts point into.
    std::vector<std::shared_ptr<const std::string>> SourceTexts;
};

// "<file>.<line>.<instruction>", the name of one instruction throughout build mode.
std::string InstructionKey(int sourceFileId, int lineNumber, int instructionNumber);
std::string InstructionKey(const LineOfCode& line, const Instruction& instruction);

struct InstructionKeyParts {
    int SourceFileId = 0;
    int LineNumber = 0;
    int InstructionNumber = 0;
};
// Splits a key at its points; a missing or empty field gives 0.
InstructionKeyParts SplitInstructionKey(const std::string& key);

} // namespace tickscope
