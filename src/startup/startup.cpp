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

namespace {
constexpr std::size_t kMaxWindowTitle = 1023;
} // namespace

bool DetectProbesForX86(const std::function<std::string(std::int64_t)>& windowTitle) {
    const std::int64_t handle = ParseInteger(platform::EnvironmentVariable("PB_TOOL_MainWindow"));
    if (handle == 0) {
        return true;
    }
    // The title is read into a 1024-character buffer: at most 1023 characters count.
    const std::string title = windowTitle(handle).substr(0, kMaxWindowTitle);
    return !TitleNamesX64Ide(title);
}

bool DetectProbesForX86() {
    return DetectProbesForX86(platform::WindowTitle);
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
