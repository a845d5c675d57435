#include "common/scoped_environment.h"
#include "startup/startup.h"

#include "instrument/runtime_text.h"
#include "tickscope_version.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace tickscope {
namespace {

using testing::ScopedEnvironment;

TEST(TitleNamesX64Ide, OnlyTheMarkerBeforeTheFirstDashCounts) {
    struct Case {
        const char* title;
        bool x64;
    };
    const Case cases[] = {
        {"PureBasic 6.10 LTS (x64) - C:\\src\\game.pb", true},
        {"PureBasic 6.10 LTS (x86) - C:\\src\\game.pb", false},
        {"PureBasic 6.10 LTS (x64) ", true},                 // no dash: the whole title
        {"PureBasic 6.10 LTS - C:\\src\\ (x64) .pb", false}, // only after the dash
        {"PureBasic 6.10 LTS (x64)- game.pb", false},        // no space after
        {"PureBasic 6.10 LTS(x64) - game.pb", false},        // no space before
        {"PureBasic (X64) - game.pb", false},                // letter case counts
        {"- PureBasic (x64) ", false},                       // dash first: empty head
        {" (x64) ", true},
        {"(x64)", false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TitleNamesX64Ide(c.title), c.x64) << '"' << c.title << '"';
    }
}

TEST(DetectProbesForX86, HandleVariableDecidesWhetherTheTitleIsRead) {
    struct Case {
        std::optional<std::string> variable;
        std::string title;
        bool expectRead;
        std::int64_t expectHandle;
        bool expectX86;
    };
    const Case cases[] = {
        {std::nullopt, "PureBasic (x64) - a.pb", false, 0, true},
        {"", "PureBasic (x64) - a.pb", false, 0, true},
        {"window", "PureBasic (x64) - a.pb", false, 0, true},
        {"0", "PureBasic (x64) - a.pb", false, 0, true},
        {"1234", "PureBasic (x64) - a.pb", true, 1234, false},
        {"1234", "PureBasic (x86) - a.pb", true, 1234, true},
        {" 77abc", "PureBasic (x64) - a.pb", true, 77, false},
        {"5", "", true, 5, true}, // a window that no longer exists has no title
        // Only 1023 characters of the title are read.
        {"5", std::string(1016, 'a') + " (x64) ", true, 5, false},
        {"5", std::string(1017, 'a') + " (x64) ", true, 5, true},
    };
    for (const Case& c : cases) {
        ScopedEnvironment environment("PB_TOOL_MainWindow", c.variable);
        bool read = false;
        std::int64_t handle = -1;
        const bool x86 = DetectProbesForX86([&](std::int64_t h) {
            read = true;
            handle = h;
            return c.title;
        });
        const std::string label = c.variable ? "\"" + *c.variable + "\"" : "unset";
        EXPECT_EQ(read, c.expectRead) << label;
        if (c.expectRead) {
            EXPECT_EQ(handle, c.expectHandle) << label;
        }
        EXPECT_EQ(x86, c.expectX86) << label;
    }
}

TEST(DetectProbesForX86, UnsetEmptyOrNonNumericKeepsX86WithTheRealWindowLookup) {
    for (const std::optional<std::string>& value :
         {std::optional<std::string>{}, std::optional<std::string>{""},
          std::optional<std::string>{"not a number"}}) {
        ScopedEnvironment environment("PB_TOOL_MainWindow", value);
        EXPECT_TRUE(DetectProbesForX86());
    }
}

TEST(ChooseMode, FirstParameterAloneDecides) {
    EXPECT_EQ(ChooseMode(""), Mode::Analysis);
    EXPECT_EQ(ChooseMode("a.pb"), Mode::Build);
    EXPECT_EQ(ChooseMode(" "), Mode::Build);
}

struct DispatchCase {
    std::vector<std::string> parameters;
    Mode mode;
    std::string source;
    std::string target;
};

TEST(RunTickscope, RunsExactlyOneModeWithItsParameters) {
    ScopedEnvironment environment("PB_TOOL_MainWindow", std::nullopt);
    const DispatchCase cases[] = {
        {{}, Mode::Analysis, "", ""},
        {{""}, Mode::Analysis, "", ""},
        {{"", "out.pb"}, Mode::Analysis, "", "out.pb"},
        {{"in.pb"}, Mode::Build, "in.pb", ""},
        {{"in.pb", "out.pb"}, Mode::Build, "in.pb", "out.pb"},
        {{"in.pb", "out.pb", "ignored"}, Mode::Build, "in.pb", "out.pb"},
        {{"", "", "ignored"}, Mode::Analysis, "", ""},
    };
    for (const DispatchCase& c : cases) {
        int builds = 0;
        int analyses = 0;
        StartupState seen;
        ModeRunners runners;
        runners.Build = [&](const StartupState& state) {
            ++builds;
            seen = state;
        };
        runners.Analysis = [&](const StartupState& state) {
            ++analyses;
            seen = state;
        };
        const std::string label = std::to_string(c.parameters.size()) + " parameter(s), first \"" +
                                  (c.parameters.empty() ? "" : c.parameters[0]) + "\"";
        EXPECT_EQ(RunTickscope(c.parameters, runners), 0) << label;
        EXPECT_EQ(builds, c.mode == Mode::Build ? 1 : 0) << label;
        EXPECT_EQ(analyses, c.mode == Mode::Analysis ? 1 : 0) << label;
        EXPECT_EQ(seen.SourcePath, c.source) << label;
        EXPECT_EQ(seen.TargetPath, c.target) << label;
        EXPECT_EQ(seen.MonitoringRuntimeText, MonitoringRuntimeText()) << label;
        EXPECT_FALSE(seen.MonitoringRuntimeText.empty()) << label;
        EXPECT_TRUE(seen.ProbesForX86) << label;
    }
}

TEST(RunTickscope, RuntimeTextIsTheSameInBothModes) {
    ScopedEnvironment environment("PB_TOOL_MainWindow", "12345");
    std::string buildText;
    std::string analysisText;
    ModeRunners runners;
    runners.Build = [&](const StartupState& state) { buildText = state.MonitoringRuntimeText; };
    runners.Analysis = [&](const StartupState& state) {
        analysisText = state.MonitoringRuntimeText;
    };
    RunTickscope({"in.pb", "out.pb"}, runners);
    RunTickscope({}, runners);
    EXPECT_EQ(buildText.size(), MonitoringRuntimeText().size());
    EXPECT_EQ(buildText, analysisText);
}

TEST(RunTickscope, HelpAndVersionAloneArePrintedInsteadOfAMode) {
    ScopedEnvironment environment("PB_TOOL_MainWindow", std::nullopt);
    struct Case {
        std::vector<std::string> Parameters;
        std::string Printed; // a part of the text; empty: a mode runs
        Mode ModeRun = Mode::Analysis;
    };
    const Case cases[] = {
        {{"--help"}, "usage: tickscope "},
        {{"--help"}, "\"%FILE\" \"%COMPILEFILE\""},
        {{"--version"}, std::string("tickscope ") + kTickscopeVersion + "\n"},
        // Anything else keeps the choice of mode: these name a source file.
        {{"--help", "out.pb"}, "", Mode::Build},
        {{"--version", ""}, "", Mode::Build},
        {{"-h"}, "", Mode::Build},
        {{"--HELP"}, "", Mode::Build},
        {{"--help "}, "", Mode::Build},
        {{"", "--help"}, "", Mode::Analysis},
    };
    for (const Case& c : cases) {
        std::string printed;
        int modes = 0;
        std::optional<Mode> ran;
        ModeRunners runners;
        runners.Build = [&](const StartupState&) {
            ++modes;
            ran = Mode::Build;
        };
        runners.Analysis = [&](const StartupState&) {
            ++modes;
            ran = Mode::Analysis;
        };
        runners.Print = [&](const std::string& text) { printed += text; };
        const std::string label =
            "\"" + c.Parameters[0] + "\", " + std::to_string(c.Parameters.size()) + " parameter(s)";
        EXPECT_EQ(RunTickscope(c.Parameters, runners), 0) << label;
        if (c.Printed.empty()) {
            EXPECT_EQ(printed, "") << label;
            EXPECT_EQ(modes, 1) << label;
            EXPECT_EQ(ran, c.ModeRun) << label;
        } else {
            EXPECT_NE(printed.find(c.Printed), std::string::npos) << label << "\n" << printed;
            EXPECT_EQ(modes, 0) << label;
        }
    }
}

TEST(RunTickscope, MissingRunnerStillExitsWithZero) {
    EXPECT_EQ(RunTickscope({"in.pb"}, ModeRunners{}), 0);
    EXPECT_EQ(RunTickscope({}, ModeRunners{}), 0);
}

} // namespace
} // namespace tickscope
