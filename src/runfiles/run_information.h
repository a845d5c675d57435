#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tickscope {

// Run-information file (.tkr): "[PRE-PROGRAMINFOS]", the embedded program information, two
// empty lines, "[POST-PROGRAMINFOS]" and "ProcessId = <id>", every line ended by CR LF.
inline constexpr const char* kPreProgramInfosGroup = "PRE-PROGRAMINFOS";
inline constexpr const char* kPostProgramInfosGroup = "POST-PROGRAMINFOS";
std::string EncodeRunInformation(std::string_view programInformation, std::int64_t processId);

// The folder of every run below a home folder: <home>Tickscope<separator>.
std::string RunFolder(const std::string& homeFolder);

// A run's base name in its folder: "<date seconds>-<milliseconds>".
std::string RunBaseName(std::int64_t dateSeconds, std::int64_t milliseconds);

// Path of a run's entry log: the ".tkr" extension replaced by ".tkl" (appended when the
// name has no ".tkr" extension).
std::string EntryLogPath(const std::string& runFileName);

} // namespace tickscope
