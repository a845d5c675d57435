#include "instrument/instrumenter.h"

#include "instrument/instruction_rules.h"
#include "runfiles/program_info_file.h"
#include "source/text_utils.h"

#include <vector>

namespace tickscope {

namespace {

using OutputList = std::vector<std::string>;

// Where elements go that belong before the first or after the last line. A program without
// lines has no such slot; its elements then stand on their own lines after the runtime.
struct OutputSlots {
    ProgramInfo& Program;
    OutputList Standalone;

    OutputList& First() {
        return Program.LinesOfCode.empty() ? Standalone : Program.LinesOfCode.front().OutputLines;
    }
    OutputList& Last() {
        return Program.LinesOfCode.empty() ? Standalone : Program.LinesOfCode.back().OutputLines;
    }
};

bool HasScope(const ProgramInfo& program, std::string_view lowerName) {
    for (const auto& [name, id] : program.ScopeIds) {
        if (LowerAscii(name) == lowerName) {
            return true;
        }
    }
    return false;
}

// Puts tickscope_End() before the EndProcedure that follows the DetachProcess head.
bool InsertEndIntoDetach(ProgramInfo& program) {
    bool headSeen = false;
    for (LineOfCode& line : program.LinesOfCode) {
        OutputList& lines = line.OutputLines;
        for (auto it = lines.begin(); it != lines.end(); ++it) {
            const std::string& element = *it;
            if (headSeen && ContainsIgnoringAsciiCase(element, "endprocedure")) {
                lines.insert(it, kEndCall);
                return true;
            }
            if (ContainsIgnoringAsciiCase(element, "proceduredll") &&
                ContainsIgnoringAsciiCase(element, "detachprocess")) {
                headSeen = true;
            }
        }
    }
    return false;
}

// Puts the start of recording right after the AttachProcess head.
void InsertBeginIntoAttach(ProgramInfo& program) {
    for (LineOfCode& line : program.LinesOfCode) {
        OutputList& lines = line.OutputLines;
        for (auto it = lines.begin(); it != lines.end(); ++it) {
            if (ContainsIgnoringAsciiCase(*it, "proceduredll") &&
                ContainsIgnoringAsciiCase(*it, "attachprocess")) {
                lines.insert(it + 1, "tickscope_InitHiresTiming() : tickscope_Begin()");
                return;
            }
        }
    }
}

// A shared DLL starts recording when it is attached and ends it when it is detached.
void PlaceDllEntryPoints(OutputSlots& slots, bool& endInserted) {
    ProgramInfo& program = slots.Program;
    if (HasScope(program, "detachprocess")) {
        endInserted = InsertEndIntoDetach(program) || endInserted;
    } else {
        OutputList& first = slots.First();
        first.insert(first.begin(),
                     "ProcedureDLL DetachProcess(Instance) : tickscope_End() : EndProcedure");
        endInserted = true;
    }
    if (HasScope(program, "attachprocess")) {
        InsertBeginIntoAttach(program);
    } else {
        OutputList& first = slots.First();
        first.insert(first.begin(), "ProcedureDLL AttachProcess(Instance) : "
                                    "tickscope_InitHiresTiming() : tickscope_Begin() : "
                                    "EndProcedure");
    }
}

std::string AssembleProgram(const std::string& runtime, const ProgramInfo& program,
                            const OutputList& standalone) {
    std::size_t size = runtime.size() + 2;
    for (const LineOfCode& line : program.LinesOfCode) {
        for (const std::string& element : line.OutputLines) {
            size += element.size() + 1;
        }
    }
    for (const std::string& element : standalone) {
        size += element.size() + 1;
    }
    std::string text;
    text.reserve(size);
    text += runtime;
    for (const LineOfCode& line : program.LinesOfCode) {
        for (const std::string& element : line.OutputLines) {
            text += element;
            text += '\n';
        }
    }
    for (const std::string& element : standalone) {
        text += element;
        text += '\n';
    }
    text += "\r\n";
    return text;
}

} // namespace

InstrumentedTexts InstrumentProgram(ProgramInfo& program, const InstrumentOptions& options) {
    const RuleContext context{options.ProbesForX86, program.IsSharedDll};
    bool endInserted = false;
    for (LineOfCode& line : program.LinesOfCode) {
        line.OutputLines.clear();
        line.OutputLines.reserve(line.Instructions.size() * 3); // start, text, stop
        for (const Instruction& instruction : line.Instructions) {
            AppendInstructionOutput(line, instruction, context, line.OutputLines, endInserted);
        }
    }

    InstrumentedTexts texts;
    texts.ProgramInfo = WriteProgramInfo(program);

    OutputSlots slots{program, {}};
    std::string runtime = options.MonitoringRuntimeText;
    if (program.IsExecutable) {
        runtime += "tickscope_InitHiresTiming()\ntickscope_Begin()\n";
    } else if (program.IsSharedDll) {
        PlaceDllEntryPoints(slots, endInserted);
    }
    if (!endInserted) {
        slots.Last().emplace_back(kEndCall);
    }
    runtime = ReplaceAll(runtime, kTempFolderPlaceholder, options.TempFolder);

    texts.Program = AssembleProgram(runtime, program, slots.Standalone);
    return texts;
}

} // namespace tickscope
