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

void RunContinuationPass(ProgramInfo& program) {
    auto& lines = program.LinesOfCode;
    std::string head;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string& code = lines[i].Code;
        if (!LineContinues(code)) {
            continue;
        }
        const int comment = CommentPosition(code);
        head.assign(code, 0, comment > 0 ? static_cast<std::size_t>(comment - 1) : code.size());
        code.insert(0, "; ");
        // The joined text goes into the next line, which the loop visits next, so a chain
        // of continued lines collapses into its last line.
        if (i + 1 < lines.size()) {
            std::string& next = lines[i + 1].Code;
            head.push_back(' ');
            next.insert(0, head);
        }
    }
}

} // namespace tickscope
