#pragma once

#include <string>
#include <string_view>

namespace tickscope {

// Text is single-byte; letter case is ASCII only: A-Z and a-z, nothing is re-encoded. These
// are the project's one set of case helpers (here at the bottom, for every layer).

constexpr char LowerAsciiChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline void LowerAsciiInPlace(std::string& text) {
    for (char& c : text) {
        c = LowerAsciiChar(c);
    }
}

inline std::string LowerAscii(std::string_view text) {
    std::string result(text);
    LowerAsciiInPlace(result);
    return result;
}

// Whether `text` contains `lowerNeedle` (which must be lower case) when the letters A-Z
// of `text` are taken as lower case.
constexpr bool ContainsIgnoringAsciiCase(std::string_view text, std::string_view lowerNeedle) {
    if (lowerNeedle.size() > text.size()) {
        return false;
    }
    const std::size_t last = text.size() - lowerNeedle.size();
    for (std::size_t i = 0; i <= last; ++i) {
        std::size_t j = 0;
        while (j < lowerNeedle.size() && LowerAsciiChar(text[i + j]) == lowerNeedle[j]) {
            ++j;
        }
        if (j == lowerNeedle.size()) {
            return true;
        }
    }
    return false;
}

} // namespace tickscope
