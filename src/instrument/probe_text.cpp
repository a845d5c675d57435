#include "instrument/probe_text.h"

#include <charconv>

namespace tickscope {

namespace {

void AppendNumber(std::string& text, int value) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text.append(digits, result.ptr);
}

} // namespace

std::string ProbeText(ProbeKind kind, int sourceFileId, int lineNumber, int instructionNumber,
                      bool overrideStackframe, bool probesForX86) {
    std::string text;
    text.reserve(probesForX86 ? 96 : 64);
    if (probesForX86) {
        text += "! pushf\n! pushad\n";
    }
    text += kind == ProbeKind::Start ? "tickscope_AddStartEntry(" : "tickscope_AddStopEntry(";
    AppendNumber(text, sourceFileId);
    text += ", ";
    AppendNumber(text, lineNumber);
    text += ", ";
    AppendNumber(text, instructionNumber);
    text += overrideStackframe ? ", #True" : ", #False";
    text += probesForX86 ? ")\n! popad\n! popf" : ")";
    return text;
}

} // namespace tickscope
