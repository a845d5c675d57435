#pragma once

#include <string>

namespace tickscope {

enum class ProbeKind { Start, Stop };

// One probe element: the call of tickscope_AddStartEntry or tickscope_AddStopEntry with the
// three numbers and the stack-frame override. The x86 form saves and restores the flags
// and registers around the call on lines of their own (joined by LF in one element).
std::string ProbeText(ProbeKind kind, int sourceFileId, int lineNumber, int instructionNumber,
                      bool overrideStackframe, bool probesForX86);

} // namespace tickscope
