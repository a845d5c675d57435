#include "startup/startup.h"

#include "instrument/runtime_text.h"
#include "platform/platform.h"
#include "source/label_patterns.h"
#include "source/text_utils.h"
#include "tickscope_version.h"

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

constexpr const char* kHelp =
    "usage: tickscope                  open the analyzer on the runs in ~/Tickscope\n"
    "       tickscope SOURCE TARGET    build mode: write SOURCE with monitoring code to TARGET\n"
    "       tickscope --help | --version\n"
    "\n"
    "Tickscope is a line-level profiler for PureBasic programs. Add it to the PureBasic IDE\n"
    "as a tool run before compiling, with the arguments \"%FILE\" \"%COMPILEFILE\"; it asks\n"
    "whether to add the monitoring code. Every run of a program built so writes its figures\n"
    "into ~/Tickscope; start tickscope without parameters to look at them.\n"
    "tickscope-report prints the same figures without a window. See tickscope(1).\n";
} // namespace

std::optional<std::string> InformationRequested(const std::vector<std::string>& parameters) {
    if (parameters.size() != 1) {
        return std::nullopt;
    }
    if (parameters[0] == "--help") {
        return std::string(kHelp);
    }
    if (parameters[0] == "--version") {
        return std::string("tickscope ") + kTickscopeVersion + "\n";
    }
    return std::nullopt;
}

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
    if (const std::optional<std::string> text = InformationRequested(parameters)) {
        if (runners.Print) {
            runners.Print(*text);
        }
        return 0;
    }
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
