#pragma once

#include "platform/text_sink.h"
#include "source/program_info.h"

#include <string>
#include <string_view>

namespace tickscope {

// Escapes a code value for the program-information file: "=" becomes "{EQU}", a space
// "\b" and a tab "\t", so the value holds none of them. Backslashes are left alone.
std::string EncodeProgramInfoValue(std::string_view code);

// Reverses the escaping as far as it can: "{EQU}" becomes "=", "\b" one space and "\t"
// two spaces (tabs do not come back).
std::string DecodeProgramInfoValue(std::string_view value);

// The program-information file ("tickscope.src") of a program: key = value lines, each
// ended by CR LF. Source files and scopes come in the tables' iteration order. Written into
// a sink in pieces of about 256 KB, or returned whole.
void WriteProgramInfo(const ProgramInfo& program, TextSink& sink);
std::string WriteProgramInfo(const ProgramInfo& program);

} // namespace tickscope
