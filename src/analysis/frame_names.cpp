#include "analysis/frame_names.h"

#include "analysis/run_catalogue.h"
#include "source/text_encoding.h"
#include "source/text_utils.h"

#include <algorithm>

namespace tickscope {

std::string LabelText(std::string_view bytes) {
    std::string text = TextAsUtf8(bytes);
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = ' ';
        }
    }
    return text;
}

namespace {

// Cut after `limit` bytes, at a character boundary of the UTF-8 text.
std::string CutUtf8(std::string text, std::size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    text.resize(end);
    return text.append("\xE2\x80\xA6"); // an ellipsis
}

} // namespace

FrameNames::FrameNames(const ProgramInfo& program, FrameKind kind)
    : program_(program), kind_(kind), ids_(program) {
    if (kind_ == FrameKind::Procedure) {
        for (std::size_t index = program.LinesOfCode.size(); index > 0; --index) {
            const LineOfCode& line = program.LinesOfCode[index - 1];
            if (!line.Instructions.empty()) {
                firstLines_[line.Instructions.front().ScopeId] = static_cast<std::int32_t>(index);
            }
        }
    }
}

const LineOfCode* FrameNames::LineOf(std::int32_t frame) const {
    std::int32_t lineId = frame;
    if (kind_ == FrameKind::Procedure) {
        const auto found = firstLines_.find(frame);
        lineId = found == firstLines_.end() ? 0 : found->second;
    }
    if (lineId < 1 || static_cast<std::size_t>(lineId) > program_.LinesOfCode.size()) {
        return nullptr;
    }
    return &program_.LinesOfCode[static_cast<std::size_t>(lineId) - 1];
}

std::string FrameNames::MakeName(std::int32_t frame) const {
    if (kind_ == FrameKind::Procedure) {
        if (frame == 0) {
            return "(no procedure)";
        }
        const std::string& name = ids_.ScopeName(frame);
        if (!name.empty()) {
            return LabelText(name);
        }
        std::string unnamed("(scope "); // appended: GCC 12 -O3 warns on "literal" + string
        return unnamed.append(std::to_string(frame)).append(")");
    }
    const LineOfCode* line = LineOf(frame);
    if (line == nullptr) {
        return "(line not in the program)";
    }
    std::string file(PathFileName(ids_.FilePath(line->SourceFileId)));
    if (file.empty()) {
        file.assign("file ").append(std::to_string(line->SourceFileId));
    }
    std::string name = LabelText(file);
    name.append(":").append(std::to_string(line->LineNumber));
    const std::string code = LabelText(Trim(line->Code, " \t"));
    if (!code.empty()) {
        name.append(" ").append(CutUtf8(code, kMaxCodeBytes));
    }
    return name;
}

const std::string& FrameNames::Name(std::int32_t frame) {
    const auto found = names_.find(frame);
    if (found != names_.end()) {
        return found->second;
    }
    return names_.emplace(frame, MakeName(frame)).first->second;
}

std::string FrameNames::FilePath(std::int32_t frame) const {
    const LineOfCode* line = LineOf(frame);
    return line == nullptr ? std::string() : LabelText(ids_.FilePath(line->SourceFileId));
}

std::int32_t FrameNames::LineNumber(std::int32_t frame) const {
    const LineOfCode* line = LineOf(frame);
    return line == nullptr ? 0 : line->LineNumber;
}

} // namespace tickscope
