#include "runfiles/program_info_file.h"

#include "source/text_utils.h"

#include <charconv>

namespace tickscope {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void AppendNumber(std::string& out, long long value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void AppendLine(std::string& out, std::string_view key, std::string_view value) {
    out += key;
    out += " = ";
    out += value;
    out += kLineEnd;
}

void AppendLine(std::string& out, std::string_view key, long long value) {
    out += key;
    out += " = ";
    AppendNumber(out, value);
    out += kLineEnd;
}

void AppendEncoded(std::string& out, std::string_view code) {
    for (const char c : code) {
        switch (c) {
        case '=':
            out += "{EQU}";
            break;
        case ' ':
            out += "\\b";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
}

// "LineOfCode.<n>" + field + " = ", the start of every line of a line's block.
void AppendLineKey(std::string& out, std::string_view lineKey, std::string_view field) {
    out += lineKey;
    out += field;
    out += " = ";
}

} // namespace

std::string EncodeProgramInfoValue(std::string_view code) {
    std::string result;
    result.reserve(code.size() + code.size() / 4);
    AppendEncoded(result, code);
    return result;
}

std::string DecodeProgramInfoValue(std::string_view value) {
    std::string result = ReplaceAll(value, "{EQU}", "=");
    result = ReplaceAll(result, "\\b", " ");
    return ReplaceAll(result, "\\t", "  ");
}

void WriteProgramInfo(const ProgramInfo& program, TextSink& sink) {
    constexpr std::size_t kChunk = std::size_t{256} << 10;
    std::string out;
    out.reserve(kChunk + 4096);
    const auto flushIfFull = [&] {
        if (out.size() >= kChunk) {
            sink.Write(out);
            out.clear();
        }
    };

    AppendLine(out, "Path", program.Path);
    out += kLineEnd;
    AppendLine(out, "SourceFileIds", static_cast<long long>(program.SourceFileIds.Size()));
    for (const auto& [path, id] : program.SourceFileIds) {
        AppendLine(out, "SourceFileId." + std::to_string(id), path);
        flushIfFull();
    }
    out += kLineEnd;
    AppendLine(out, "ScopeIds", static_cast<long long>(program.ScopeIds.Size()));
    for (const auto& [name, id] : program.ScopeIds) {
        AppendLine(out, "ScopeId." + std::to_string(id), name);
        flushIfFull();
    }
    out += kLineEnd;
    AppendLine(out, "LinesOfCode", static_cast<long long>(program.LinesOfCode.size()));

    // Written piece by piece: temporary key strings would cost more than the copying.
    std::string lineKey;
    std::string instructionKey;
    long long n = 0;
    for (const LineOfCode& line : program.LinesOfCode) {
        lineKey.assign("LineOfCode.");
        AppendNumber(lineKey, ++n);
        AppendLineKey(out, lineKey, ".SourceFileId");
        AppendNumber(out, line.SourceFileId);
        out += kLineEnd;
        AppendLineKey(out, lineKey, ".LineNumber");
        AppendNumber(out, line.LineNumber);
        out += kLineEnd;
        AppendLineKey(out, lineKey, ".Code");
        AppendEncoded(out, line.Code);
        out += kLineEnd;
        AppendLineKey(out, lineKey, ".Instructions");
        AppendNumber(out, static_cast<long long>(line.Instructions.size()));
        out += kLineEnd;
        long long m = 0;
        for (const Instruction& instruction : line.Instructions) {
            instructionKey.assign(lineKey);
            instructionKey += ".Instruction.";
            AppendNumber(instructionKey, ++m);
            AppendLineKey(out, instructionKey, ".ScopeId");
            AppendNumber(out, instruction.ScopeId);
            out += kLineEnd;
            AppendLineKey(out, instructionKey, ".Code");
            AppendEncoded(out, line.TextOf(instruction));
            out += kLineEnd;
        }
        flushIfFull();
    }
    sink.Write(out);
}

std::string WriteProgramInfo(const ProgramInfo& program) {
    StringSink sink;
    WriteProgramInfo(program, sink);
    return std::move(sink.Text);
}

} // namespace tickscope
