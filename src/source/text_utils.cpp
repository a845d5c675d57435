#include "source/text_utils.h"

#include <cstdint>

namespace tickscope {

namespace {

// A plain loop over the one or two characters trimmed; the library's search calls memchr
// once per byte of text.
bool IsOneOf(char c, std::string_view characters) {
    for (const char candidate : characters) {
        if (c == candidate) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string_view Trim(std::string_view text, std::string_view characters) {
    std::size_t first = 0;
    std::size_t end = text.size();
    while (first < end && IsOneOf(text[first], characters)) {
        ++first;
    }
    while (end > first && IsOneOf(text[end - 1], characters)) {
        --end;
    }
    return text.substr(first, end - first);
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string result;
    if (from.empty()) {
        return std::string(text);
    }
    result.reserve(text.size());
    std::size_t pos = 0;
    while (true) {
        const auto hit = text.find(from, pos);
        if (hit == std::string_view::npos) {
            result.append(text.substr(pos));
            return result;
        }
        result.append(text.substr(pos, hit - pos));
        result.append(to);
        pos = hit + from.size();
    }
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::int64_t ParseInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    // Unsigned arithmetic wraps instead of overflowing.
    std::uint64_t value = 0;
    if (i < text.size() && text[i] == '$') {
        for (++i; i < text.size(); ++i) {
            const char c = text[i];
            int digit;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                digit = c - 'A' + 10;
            } else {
                break;
            }
            value = value * 16 + static_cast<std::uint64_t>(digit);
        }
        return static_cast<std::int64_t>(value);
    }
    if (i < text.size() && text[i] == '%') {
        for (++i; i < text.size() && (text[i] == '0' || text[i] == '1'); ++i) {
            value = value * 2 + static_cast<std::uint64_t>(text[i] - '0');
        }
        return static_cast<std::int64_t>(value);
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    return static_cast<std::int64_t>(negative ? (~value + 1) : value);
}

std::int32_t ParseInteger32(std::string_view text) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(ParseInteger(text)));
}

std::int64_t ParseKeyIndex(std::string_view digits) {
    if (digits.empty() || digits.size() > 9 || digits.front() == '0') {
        return -1;
    }
    std::int64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<std::int32_t> ParseDecimalInt32(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::string_view digits = text.substr(negative ? 1 : 0);
    if (digits.empty() || digits.size() > 10) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    value = negative ? -value : value;
    if (value < INT32_MIN || value > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

} // namespace tickscope
