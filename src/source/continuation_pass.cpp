#include "source/line_scanning.h"
#include "source/parser_passes.h"
#include "source/text_utils.h"

#include <cstddef>

namespace tickscope {

namespace {

// True when `text` ends with `suffix` (lower case), comparing letters case-insensitively.
bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    const std::size_t offset = text.size() - suffix.size();
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (LowerAsciiChar(text[offset + i]) != suffix[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

bool LineContinues(std::string_view code) {
    const int comment = CommentPosition(code);
    std::string_view text = code;
    if (comment > 0) {
        text = text.substr(0, static_cast<std::size_t>(comment - 1));
    }
    // Only spaces are trimmed: a tab before a trailing comment stops the continuation.
    text = Trim(text, " ");
    // Every ending ends in one of these; most lines end otherwise.
    if (text.empty() ||
        std::string_view("+,|dr").find(LowerAsciiChar(text.back())) == std::string_view::npos) {
        return false;
    }
    static constexpr std::string_view kEndings[] = {
        "+", ",", "|", " and", ")and", " or", ")or", " xor", ")xor",
    };
    for (const std::string_view ending : kEndings) {
        if (EndsWithIgnoringCase(text, ending)) {
            return true;
        }
    }
    return false;
}

void ContinueLine(std::vector<LineOfCode>& lines, std::size_t i) {
    CodeText& code = lines[i].Code;
    if (!LineContinues(code)) {
        return;
    }
    const int comment = CommentPosition(code);
    std::string head(std::string_view(code).substr(
        0, comment > 0 ? static_cast<std::size_t>(comment - 1) : code.size()));
    code.Prepend("; ");
    // The joined text goes into the next line, which is visited next, so a chain of
    // continued lines collapses into its last line.
    if (i + 1 < lines.size()) {
        head.push_back(' ');
        lines[i + 1].Code.Prepend(head);
    }
}

void RunContinuationPass(ProgramInfo& program) {
    for (std::size_t i = 0; i < program.LinesOfCode.size(); ++i) {
        ContinueLine(program.LinesOfCode, i);
    }
}

} // namespace tickscope
