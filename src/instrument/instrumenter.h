#pragma once

#include "platform/text_sink.h"
#include "source/program_info.h"

#include <string>
#include <vector>

namespace tickscope {

struct InstrumentOptions {
    bool ProbesForX86 = true;
    std::string MonitoringRuntimeText;
    std::string TempFolder; // where tickscope.src is written; ends with the path separator
};

struct InstrumentedTexts {
    std::string ProgramInfo;                           // the content of tickscope.src
    std::string Program;                               // the probed program for the target path
    std::vector<std::vector<std::string>> LineOutputs; // each line's output, as LinesOfCode
};

inline constexpr const char* kProgramInfoFileName = "tickscope.src";
inline constexpr const char* kTempFolderPlaceholder = "{tickscope.tempfolder}";

// Writes the probed program text into the sink: the completed runtime text, then the output
// of every line by the instruction rules, with tickscope_End() and, for a shared DLL, the
// entry points in place. Keeps nothing but one line's output at a time.
void WriteInstrumentedProgram(const ProgramInfo& program, const InstrumentOptions& options,
                              TextSink& sink);

// The same, keeping every line's output, and the program-information text beside it.
// Touches no files.
InstrumentedTexts InstrumentProgram(const ProgramInfo& program, const InstrumentOptions& options);

} // namespace tickscope
