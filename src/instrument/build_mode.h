#pragma once

#include "platform/requesters.h"

#include <functional>
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
// `whenWritten` is called once both files are written, while the program is still in
// memory: the tool's entry ends the process there, since freeing a large program takes
// longer than the system does. Without it the program is freed.
void RunBuildMode(const BuildSettings& settings, Requesters& requesters,
                  const std::function<void()>& whenWritten = {});

} // namespace tickscope
