#pragma once

// Plain re-implementations of the line rules (comment position, masking, tokens, keyword
// search, label patterns, line cutting), written straight from their descriptions for the
// line scanning fuzz target to compare the real helpers with.

#include "source/line_scanning.h"
#include "source/text_utils.h"

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tickscope::fuzz::reference {

inline bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

inline int RefCommentPosition(std::string_view line) {
    char open = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (open != 0 && c == open) {
            open = 0;
        } else if (open == 0 && IsQuote(c)) {
            open = c;
        } else if (open == 0 && c == ';') {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

inline std::string RefMaskLine(std::string_view line) {
    std::string text(line);
    const int comment = RefCommentPosition(line);
    if (comment > 0) {
        for (std::size_t i = static_cast<std::size_t>(comment) - 1; i < text.size(); ++i) {
            text[i] = ';';
        }
    }
    std::string masked = text;
    char open = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (open != 0 && c == open) {
            open = 0;
        } else if (open == 0 && IsQuote(c)) {
            open = c;
        } else if (open != 0) {
            masked[i] = open;
        }
    }
    return masked;
}

inline std::string RefTokenizeLine(std::string_view line) {
    const std::string masked = RefMaskLine(line);
    std::string copy(line);
    for (std::size_t i = 0; i < masked.size(); ++i) {
        if (std::string_view(" :;()\t").find(masked[i]) != std::string_view::npos) {
            copy[i] = tickscope::kTokenSeparator;
        }
    }
    std::string collapsed;
    for (const char c : copy) {
        if (c == tickscope::kTokenSeparator && !collapsed.empty() &&
            collapsed.back() == tickscope::kTokenSeparator) {
            continue;
        }
        collapsed += c;
    }
    return collapsed;
}

inline std::string RefTokenField(const std::string& tokenized, int index) {
    int field = 1;
    std::string current;
    for (const char c : tokenized) {
        if (c == tickscope::kTokenSeparator) {
            if (field == index) {
                return current;
            }
            ++field;
            current.clear();
        } else {
            current += c;
        }
    }
    return field == index ? current : std::string();
}

// `s` is the lower-cased masked line.
inline int RefFindKeywordIn(std::string_view line, const std::string& s, const std::string& k) {
    const std::size_t n = k.size();
    if (line.size() < n || s.find(k) == std::string::npos) {
        return 0;
    }
    if (s == k) {
        return 1;
    }
    for (const char separator : std::string_view(" :;(\t.")) {
        if (s.starts_with(k + separator)) {
            return 1;
        }
    }
    for (const char separator : std::string_view(" :;\t.")) {
        if (s.ends_with(separator + k)) {
            return static_cast<int>(line.size() - n + 1);
        }
    }
    static constexpr std::array<std::pair<char, char>, 17> kPairs = {{
        {' ', ' '},
        {':', ' '},
        {'\t', ' '},
        {' ', ':'},
        {':', ':'},
        {'\t', ':'},
        {' ', ';'},
        {':', ';'},
        {'\t', ';'},
        {' ', '('},
        {':', '('},
        {'\t', '('},
        {' ', '\t'},
        {':', '\t'},
        {'\t', '\t'},
        {' ', '.'},
        {'\t', '.'},
    }};
    for (const auto& [before, after] : kPairs) {
        const std::size_t found = s.find(before + k + after);
        if (found != std::string::npos) {
            return static_cast<int>(found) + 2;
        }
    }
    return 0;
}

// A word character, or "!" / "@", then optional spaces and a colon, anywhere in the text.
inline bool RefMatchesLabel(std::string_view text, bool symbol) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool head = symbol ? (c == '!' || c == '@')
                                 : ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                    (c >= '0' && c <= '9') || c == '_');
        if (!head) {
            continue;
        }
        std::size_t j = i + 1;
        while (j < text.size() && text[j] == ' ') {
            ++j;
        }
        if (j < text.size() && text[j] == ':') {
            return true;
        }
    }
    return false;
}

inline std::vector<std::string> RefSplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string current;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        } else {
            current += c;
            ++i;
        }
    }
    if (!current.empty()) {
        lines.push_back(current);
    }
    return lines;
}

} // namespace tickscope::fuzz::reference
