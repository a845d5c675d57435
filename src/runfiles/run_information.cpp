#include "runfiles/run_information.h"

#include "platform/platform.h"
#include "source/text_utils.h"

namespace tickscope {

std::string EncodeRunInformation(std::string_view programInformation, std::int64_t processId) {
    std::string text;
    text.reserve(programInformation.size() + 80);
    text += '[';
    text += kPreProgramInfosGroup;
    text += "]\r\n";
    text += programInformation;
    text += "\r\n"; // ends the embedded text's last line: the first empty line
    text += "\r\n"; // the second empty line
    text += '[';
    text += kPostProgramInfosGroup;
    text += "]\r\n";
    text += "ProcessId = ";
    text += std::to_string(processId);
    text += "\r\n";
    return text;
}

std::string RunFolder(const std::string& homeFolder) {
    return homeFolder + "Tickscope" + platform::PathSeparator();
}

std::string RunBaseName(std::int64_t dateSeconds, std::int64_t milliseconds) {
    return std::to_string(dateSeconds) + "-" + std::to_string(milliseconds);
}

std::string EntryLogPath(const std::string& runFileName) {
    if (EndsWith(runFileName, ".tkr")) {
        return runFileName.substr(0, runFileName.size() - 4) + ".tkl";
    }
    return runFileName + ".tkl";
}

} // namespace tickscope
