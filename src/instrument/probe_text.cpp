#include "instrument/probe_text.h"

namespace tickscope {

std::string ProbeText(ProbeKind kind, int sourceFileId, int lineNumber, int instructionNumber,
                      bool overrideStackframe, bool probesForX86) {
    std::string text;
    text.reserve(96);
    if (probesForX86) {
        text += "! pushf\n! pushad\n";
    }
    text += kind == ProbeKind::Start ? "tickscope_AddStartEntry(" : "tickscope_AddStopEntry(";
    text += std::to_string(sourceFileId);
    text += ", ";
    text += std::to_string(lineNumber);
    text += ", ";
    text += std::to_string(instructionNumber);
    text += overrideStackframe ? ", #True" : ", #False";
    text += probesForX86 ? ")\n! popad\n! popf" : ")";
    return text;
}

} // namespace tickscope
