#include "instrument/probe_text.h"

#include "source/text_utils.h"

#include <algorithm>
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
    AppendProbeText(text, kind, sourceFileId, lineNumber, instructionNumber, overrideStackframe,
                    probesForX86);
    return text;
}

void AppendProbeText(std::string& text, ProbeKind kind, int sourceFileId, int lineNumber,
                     int instructionNumber, bool overrideStackframe, bool probesForX86) {
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
}

std::optional<ProbeCall> ParseProbeText(std::string_view element) {
    for (const ProbeKind kind : {ProbeKind::Start, ProbeKind::Stop}) {
        const std::string_view name =
            kind == ProbeKind::Start ? "tickscope_AddStartEntry(" : "tickscope_AddStopEntry(";
        const auto at = element.find(name);
        if (at == std::string_view::npos) {
            continue;
        }
        std::string_view rest = element.substr(at + name.size());
        int numbers[3] = {};
        for (int& number : numbers) {
            number = ParseInteger32(rest);
            rest = rest.substr(std::min(rest.find(',') + 1, rest.size()));
        }
        return ProbeCall{kind, numbers[0], numbers[1], numbers[2],
                         rest.find("#True") != std::string_view::npos};
    }
    return std::nullopt;
}

} // namespace tickscope
