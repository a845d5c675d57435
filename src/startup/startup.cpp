#include "startup/startup.h"

#include "instrument/runtime_text.h"
#include "platform/platform.h"
#include "source/label_patterns.h"
#include "source/text_utils.h"

namespace tickscope {

Mode ChooseMode(const std::string& sourcePath) {
    return sourcePath.empty() ? Mode::Analysis : Mode::Build;
}

bool TitleNamesX64Ide(std::string_view title) {
    const auto dash = title.find('-');
    const std::string_view head = title.substr(0, dash);
    return head.find(" (x64) ") != std::string_view::npos;
}

bool DetectProbesForX86() {
    const std::int64_t handle = ParseInteger(platform::EnvironmentVariable("PB_TOOL_MainWindow"));
    if (handle == 0) {
        return true;
    }
    return !TitleNamesX64Ide(platform::WindowTitle(handle));
}

int RunTickscope(const std::vector<std::string>& parameters, const ModeRunners& runners) {
    StartupState state;
    if (!parameters.empty()) {
        state.SourcePath = parameters[0];
    }
    if (parameters.size() > 1) {
        state.TargetPath = parameters[1];
    }
    LabelPatterns::Get(); // compiled once, before either mode runs
    const Mode mode = ChooseMode(state.SourcePath);
    state.MonitoringRuntimeText = MonitoringRuntimeText();
    state.ProbesForX86 = DetectProbesForX86();
    if (mode == Mode::Build) {
        if (runners.Build) {
            runners.Build(state);
        }
    } else if (runners.Analysis) {
        runners.Analysis(state);
    }
    return 0;
}

} // namespace tickscope
