#include "instrument/build_mode.h"

#include "instrument/instrumenter.h"
#include "platform/platform.h"
#include "source/source_loader.h"

#include <optional>

namespace tickscope {

namespace {

constexpr const char* kQuestionText = "Build executable with Tickscope monitoring-code?";

// Whether `path` names one of the files the program was read from (the source file as
// passed, or any file it included). Such a file must never be overwritten.
bool NamesSourceFile(const std::string& path, const ProgramInfo& program,
                     const std::string& sourcePath) {
    const std::optional<std::string> target = platform::RealPath(path);
    if (!target) {
        return false;
    }
    if (platform::RealPath(sourcePath) == target) {
        return true;
    }
    for (const auto& [file, id] : program.SourceFileIds) {
        if (platform::RealPath(file) == target) {
            return true;
        }
    }
    return false;
}

// Writes the whole content or nothing; a file that cannot be written is skipped silently.
void WriteOutput(const std::string& path, const std::string& content, const ProgramInfo& program,
                 const std::string& sourcePath) {
    if (NamesSourceFile(path, program, sourcePath)) {
        return;
    }
    platform::WriteFileAtomically(path, content);
}

} // namespace

void RunBuildMode(const BuildSettings& settings, Requesters& requesters) {
    if (!requesters.AskYesNo(kTickscopeTitle, kQuestionText)) {
        return;
    }
    ProgramInfo program;
    LoadSource(settings.SourcePath, "", program);

    InstrumentOptions options;
    options.ProbesForX86 = settings.ProbesForX86;
    options.MonitoringRuntimeText = settings.MonitoringRuntimeText;
    options.TempFolder = settings.TempFolder;
    const InstrumentedTexts texts = InstrumentProgram(program, options);

    WriteOutput(settings.TempFolder + kProgramInfoFileName, texts.ProgramInfo, program,
                settings.SourcePath);
    WriteOutput(settings.TargetPath, texts.Program, program, settings.SourcePath);
}

} // namespace tickscope
