#include "instrument/instrumenter.h"

#include "instrument/instruction_rules.h"
#include "runfiles/program_info_file.h"
#include "source/text_utils.h"

#include <vector>

namespace tickscope {

namespace {

bool HasScope(const ProgramInfo& program, std::string_view lowerName) {
    for (const auto& [name, id] : program.ScopeIds) {
        if (LowerAscii(name) == lowerName) {
            return true;
        }
    }
    return false;
}

bool IsProcedureHead(std::string_view element, std::string_view lowerName) {
    return ContainsIgnoringAsciiCase(element, "proceduredll") &&
           ContainsIgnoringAsciiCase(element, lowerName);
}

// Produces the output of the program line by line. The shared DLL's entry points are
// placed as the lines pass: tickscope_End() before the EndProcedure that follows the
// DetachProcess head, the start of recording after the AttachProcess head, and generated
// one-line procedures before the first line where the program has none. The last line's
// output is held back until the end, when tickscope_End() is appended to it if no call
// was placed elsewhere.
class OutputGenerator {
  public:
    OutputGenerator(const ProgramInfo& program, const InstrumentOptions& options)
        : program_(program), context_{options.ProbesForX86, program.IsSharedDll} {
        if (program.IsSharedDll) {
            findDetachEnd_ = HasScope(program, "detachprocess");
            findAttachHead_ = HasScope(program, "attachprocess");
        }
    }

    // The completed runtime text that stands before the program.
    std::string Runtime(const InstrumentOptions& options) const {
        std::string runtime = options.MonitoringRuntimeText;
        if (program_.IsExecutable) {
            runtime += "tickscope_InitHiresTiming()\ntickscope_Begin()\n";
        }
        return ReplaceAll(runtime, kTempFolderPlaceholder, options.TempFolder);
    }

    // Calls take(line index, output) for every line in order; a program without lines gives
    // its elements once with index -1.
    template <typename Take> void Generate(Take take) {
        const std::vector<LineOfCode>& lines = program_.LinesOfCode;
        LineOutput current;
        LineOutput held;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            current.Clear();
            for (const Instruction& instruction : lines[i].Instructions) {
                AppendInstructionOutput(lines[i], instruction, context_, current, endInserted_);
            }
            if (i == 0) {
                PlaceGeneratedEntryPoints(current);
            }
            PlaceEntryPointCalls(current);
            if (i > 0) {
                take(static_cast<std::ptrdiff_t>(i) - 1, held);
            }
            std::swap(current, held);
        }
        if (lines.empty()) {
            PlaceGeneratedEntryPoints(held);
        }
        if (!endInserted_) {
            held.Append(kEndCall);
        }
        take(static_cast<std::ptrdiff_t>(lines.size()) - 1, held);
    }

  private:
    void PlaceGeneratedEntryPoints(LineOutput& first) {
        if (!program_.IsSharedDll) {
            return;
        }
        if (!findDetachEnd_) {
            first.Insert(0,
                         "ProcedureDLL DetachProcess(Instance) : tickscope_End() : EndProcedure");
            endInserted_ = true;
        }
        if (!findAttachHead_) {
            first.Insert(0, "ProcedureDLL AttachProcess(Instance) : "
                            "tickscope_InitHiresTiming() : tickscope_Begin() : EndProcedure");
        }
    }

    void PlaceEntryPointCalls(LineOutput& elements) {
        if (findDetachEnd_) {
            for (std::size_t i = 0; i < elements.Count(); ++i) {
                if (detachHeadSeen_ &&
                    ContainsIgnoringAsciiCase(elements.Element(i), "endprocedure")) {
                    elements.Insert(i, kEndCall);
                    endInserted_ = true;
                    findDetachEnd_ = false;
                    break;
                }
                if (IsProcedureHead(elements.Element(i), "detachprocess")) {
                    detachHeadSeen_ = true;
                }
            }
        }
        if (findAttachHead_) {
            for (std::size_t i = 0; i < elements.Count(); ++i) {
                if (IsProcedureHead(elements.Element(i), "attachprocess")) {
                    elements.Insert(i + 1, "tickscope_InitHiresTiming() : tickscope_Begin()");
                    findAttachHead_ = false;
                    break;
                }
            }
        }
    }

    const ProgramInfo& program_;
    RuleContext context_;
    bool endInserted_ = false;
    bool findDetachEnd_ = false;
    bool detachHeadSeen_ = false;
    bool findAttachHead_ = false;
};

} // namespace

void WriteInstrumentedProgram(const ProgramInfo& program, const InstrumentOptions& options,
                              TextSink& sink) {
    // Lines are gathered into pieces of about 256 KB, which a file sink writes without a copy.
    constexpr std::size_t kPiece = std::size_t{256} << 10;
    OutputGenerator generator(program, options);
    std::string piece = generator.Runtime(options);
    piece.reserve(kPiece + 4096);
    generator.Generate([&](std::ptrdiff_t, const LineOutput& output) {
        piece += output.Text();
        if (piece.size() >= kPiece) {
            sink.Write(piece);
            piece.clear();
        }
    });
    piece += "\r\n";
    sink.Write(piece);
}

InstrumentedTexts InstrumentProgram(const ProgramInfo& program, const InstrumentOptions& options) {
    InstrumentedTexts texts;
    texts.LineOutputs.resize(program.LinesOfCode.size());
    texts.ProgramInfo = WriteProgramInfo(program);
    OutputGenerator generator(program, options);
    texts.Program = generator.Runtime(options);
    generator.Generate([&](std::ptrdiff_t index, const LineOutput& output) {
        texts.Program += output.Text();
        if (index >= 0) {
            texts.LineOutputs[static_cast<std::size_t>(index)] = output.Elements();
        }
    });
    texts.Program += "\r\n";
    return texts;
}

} // namespace tickscope
