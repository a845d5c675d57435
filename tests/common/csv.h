#pragma once

#include <string>
#include <vector>

namespace tickscope::testing {

// The records of an RFC 4180 text as the report tool writes it (LF after every record;
// quoted fields may hold "," '"' and LF), the header included.
inline std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            records.back().push_back(field);
            field.clear();
        } else if (c == '\n') {
            records.back().push_back(field);
            field.clear();
            records.emplace_back();
        } else {
            field += c;
        }
    }
    records.pop_back(); // after the last LF
    return records;
}

} // namespace tickscope::testing
