#pragma once

// Runs tickscope-report as a process, as a user's shell would.

#include "common/temp_folder.h"

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tickscope::testing {

struct ProcessResult {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

inline std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// A shell command's standard output (stdin, stderr as the command sets them) and exit code.
inline ProcessResult RunShellCommand(const std::string& command) {
    ProcessResult result;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        return result;
    }
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.Out.append(buffer, got);
    }
    const int status = ::pclose(pipe);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// tickscope-report with the arguments, HOME set to `home`, stdin empty, within `seconds`
// (a tool that hangs is stopped and gives exit code 124). `redirect` replaces the capture
// of standard output, e.g. "> /dev/full" or ">&-".
inline ProcessResult RunReportTool(const std::vector<std::string>& args, const std::string& home,
                                   const std::string& redirect = {}, int seconds = 60) {
    TempFolder scratch;
    std::string command = "HOME=" + ShellQuote(home) + " timeout " + std::to_string(seconds) + " " +
                          ShellQuote(TICKSCOPE_REPORT_BINARY);
    for (const auto& arg : args) {
        command += " " + ShellQuote(arg);
    }
    command += " 2>" + ShellQuote(scratch.File("err")) + " </dev/null";
    if (!redirect.empty()) {
        command += " " + redirect;
    }
    ProcessResult result = RunShellCommand(command);
    result.Err = ReadFileBytes(scratch.File("err"));
    return result;
}

} // namespace tickscope::testing
