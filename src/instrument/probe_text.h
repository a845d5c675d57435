#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace tickscope {

enum class ProbeKind { Start, Stop };

// One probe element: the call of tickscope_AddStartEntry or tickscope_AddStopEntry with the
// three numbers and the stack-frame override. The x86 form saves and restores the flags
// and registers around the call on lines of their own (joined by LF in one element).
std::string ProbeText(ProbeKind kind, int sourceFileId, int lineNumber, int instructionNumber,
                      bool overrideStackframe, bool probesForX86);
// The same, appended to `out`.
void AppendProbeText(std::string& out, ProbeKind kind, int sourceFileId, int lineNumber,
                     int instructionNumber, bool overrideStackframe, bool probesForX86);

// The numbers a probe element carries.
struct ProbeCall {
    ProbeKind Kind = ProbeKind::Start;
    int SourceFileId = 0;
    int LineNumber = 0;
    int InstructionNumber = 0;
    bool OverrideStackframe = false;
    auto operator<=>(const ProbeCall&) const = default;
};

// The inverse of ProbeText: the call an element of the instrumented text holds (in either
// form), nothing for an element without a probe.
std::optional<ProbeCall> ParseProbeText(std::string_view element);

} // namespace tickscope
