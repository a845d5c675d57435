#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tickscope {

// Process-wide state prepared before either mode runs.
struct StartupState {
    std::string SourcePath;
    std::string TargetPath;
    bool ProbesForX86 = true;
    std::string MonitoringRuntimeText;
};

enum class Mode { Build, Analysis };

// Build mode when the first parameter is non-empty; the second plays no part.
Mode ChooseMode(const std::string& sourcePath);

// Whether a window title names a 64-bit IDE: the part before the first "-" holds " (x64) ".
bool TitleNamesX64Ide(std::string_view title);

// Reads PB_TOOL_MainWindow and the title of that window; true keeps the x86 probe form.
bool DetectProbesForX86();
// The same with the window-title lookup passed in; it is asked only for a non-zero handle.
bool DetectProbesForX86(const std::function<std::string(std::int64_t)>& windowTitle);

// "--help" or "--version" as the only parameter: the text to print instead of running a
// mode (no source file is named so, and the IDE never passes them alone). Nothing for any
// other parameters, which keep the choice of mode as it is.
std::optional<std::string> InformationRequested(const std::vector<std::string>& parameters);

// The two modes, filled by the tool's entry; tests pass their own. `Print` writes the help
// or the version text.
struct ModeRunners {
    std::function<void(const StartupState&)> Build;
    std::function<void(const StartupState&)> Analysis;
    std::function<void(const std::string&)> Print;
};

// Runs start-up with the program parameters (without the program name): prints the help or
// the version text when that alone is asked for, or runs exactly one mode; returns the
// process exit code, which is always 0.
int RunTickscope(const std::vector<std::string>& parameters, const ModeRunners& runners);

} // namespace tickscope
