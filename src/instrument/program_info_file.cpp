#include "instrument/program_info_file.h"

#include "source/text_utils.h"

namespace tickscope {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void AppendLine(std::string& out, std::string_view key, std::string_view value) {
    out += key;
    out += " = ";
    out += value;
    out += kLineEnd;
}

void AppendLine(std::string& out, std::string_view key, long long value) {
    AppendLine(out, key, std::to_string(value));
}

} // namespace

std::string EncodeProgramInfoValue(std::string_view code) {
    std::string result;
    result.reserve(code.size() + code.size() / 4);
    for (const char c : code) {
        switch (c) {
        case '=':
            result += "{EQU}";
            break;
        case ' ':
            result += "\\b";
            break;
        case '\t':
            result += "\\t";
            break;
        default:
            result += c;
        }
    }
    return result;
}

std::string DecodeProgramInfoValue(std::string_view value) {
    std::string result = ReplaceAll(value, "{EQU}", "=");
    result = ReplaceAll(result, "\\b", " ");
    return ReplaceAll(result, "\\t", "  ");
}

std::string WriteProgramInfo(const ProgramInfo& program) {
    std::string out;
    std::size_t estimate = 256;
    for (const LineOfCode& line : program.LinesOfCode) {
        estimate += 96 + line.Code.size() * 2 + line.Instructions.size() * 96;
    }
    out.reserve(estimate);

    AppendLine(out, "Path", program.Path);
    out += kLineEnd;
    AppendLine(out, "SourceFileIds", static_cast<long long>(program.SourceFileIds.Size()));
    for (const auto& [path, id] : program.SourceFileIds) {
        AppendLine(out, "SourceFileId." + std::to_string(id), path);
    }
    out += kLineEnd;
    AppendLine(out, "ScopeIds", static_cast<long long>(program.ScopeIds.Size()));
    for (const auto& [name, id] : program.ScopeIds) {
        AppendLine(out, "ScopeId." + std::to_string(id), name);
    }
    out += kLineEnd;
    AppendLine(out, "LinesOfCode", static_cast<long long>(program.LinesOfCode.size()));

    std::string prefix;
    long long n = 0;
    for (const LineOfCode& line : program.LinesOfCode) {
        prefix = "LineOfCode." + std::to_string(++n);
        AppendLine(out, prefix + ".SourceFileId", line.SourceFileId);
        AppendLine(out, prefix + ".LineNumber", line.LineNumber);
        AppendLine(out, prefix + ".Code", EncodeProgramInfoValue(line.Code));
        AppendLine(out, prefix + ".Instructions", static_cast<long long>(line.Instructions.size()));
        long long m = 0;
        for (const Instruction& instruction : line.Instructions) {
            const std::string instructionPrefix = prefix + ".Instruction." + std::to_string(++m);
            AppendLine(out, instructionPrefix + ".ScopeId", instruction.ScopeId);
            AppendLine(out, instructionPrefix + ".Code", EncodeProgramInfoValue(instruction.Code));
        }
    }
    return out;
}

} // namespace tickscope
