#pragma once

#include "source/program_info.h"

#include <string>

namespace tickscope {

struct InstrumentOptions {
    bool ProbesForX86 = true;
    std::string MonitoringRuntimeText;
    std::string TempFolder; // where tickscope.src is written; ends with the path separator
};

struct InstrumentedTexts {
    std::string ProgramInfo; // the content of tickscope.src
    std::string Program;     // the probed program for the target path
};

inline constexpr const char* kProgramInfoFileName = "tickscope.src";
inline constexpr const char* kTempFolderPlaceholder = "{tickscope.tempfolder}";

// Rewrites a loaded program: fills every line's OutputLines by the instruction rules, places
// tickscope_End() and the DLL entry points, and returns the program-information text and the
// complete program text (runtime first). Touches no files.
InstrumentedTexts InstrumentProgram(ProgramInfo& program, const InstrumentOptions& options);

} // namespace tickscope
