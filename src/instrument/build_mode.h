#pragma once

#include "platform/requesters.h"

#include <string>

namespace tickscope {

struct BuildSettings {
    std::string SourcePath;
    std::string TargetPath;
    bool ProbesForX86 = true;
    std::string MonitoringRuntimeText;
    std::string TempFolder; // ends with the path separator; tickscope.src goes here
};

// Build mode: asks the question, loads the program, writes tickscope.src into the
// temporary folder and the instrumented program to the target path.
void RunBuildMode(const BuildSettings& settings, Requesters& requesters);

} // namespace tickscope
