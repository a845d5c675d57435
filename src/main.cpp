// The tool's entry: wires start-up to the two modes and to the platform's requesters.
#include "instrument/build_mode.h"
#include "platform/platform.h"
#include "platform/requesters.h"
#include "startup/startup.h"
#include "ui/analyzer_app.h"
#include "ui/qt_requesters.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

int main(int argc, char** argv) {
    std::vector<std::string> parameters;
    for (int i = 1; i < argc; ++i) {
        parameters.emplace_back(argv[i]);
    }

    tickscope::ModeRunners runners;
    runners.Build = [&](const tickscope::StartupState& state) {
        tickscope::BuildSettings settings;
        settings.SourcePath = state.SourcePath;
        settings.TargetPath = state.TargetPath;
        settings.ProbesForX86 = state.ProbesForX86;
        settings.MonitoringRuntimeText = state.MonitoringRuntimeText;
        settings.TempFolder = tickscope::platform::TempFolder();
        // Both files are written: the process ends without freeing the program.
        const auto exitWhenWritten = [] {
            std::fflush(nullptr);
            std::_Exit(0);
        };
        if (tickscope::platform::HasDisplay()) {
            QApplication app(argc, argv);
            tickscope::QtRequesters requesters(nullptr);
            tickscope::RunBuildMode(settings, requesters, exitWhenWritten);
        } else {
            tickscope::TerminalRequesters requesters(std::cin, std::cerr);
            tickscope::RunBuildMode(settings, requesters, exitWhenWritten);
        }
    };
    runners.Analysis = [&](const tickscope::StartupState&) {
        // Without a screen there is no window to analyse in; say so and end normally.
        if (!tickscope::platform::HasDisplay() &&
            tickscope::platform::EnvironmentVariable("QT_QPA_PLATFORM").empty()) {
            std::cerr << "Tickscope: the analyzer needs a display to open its window.\n";
            return;
        }
        QApplication app(argc, argv);
        tickscope::RunAnalyzer(tickscope::platform::HomeFolder());
    };
    runners.Print = [](const std::string& text) {
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
    };
    return tickscope::RunTickscope(parameters, runners);
}
