#include "runfiles/memory_stream.h"

namespace tickscope {

std::string_view MemoryTextStream::ReadMemoryLine() {
    if (AtEnd()) {
        return {};
    }
    const std::size_t start = position_;
    std::size_t cursor = position_;
    std::size_t terminator = 0;
    const char* data = bytes_.data();
    const std::size_t size = bytes_.size();
    std::size_t zero = std::string_view::npos; // the first NUL, which ends the text
    while (cursor < size) {
        const char c = data[cursor];
        // One test passes the bytes that are no line end and no NUL.
        if (static_cast<unsigned char>(c) <= '\r') {
            if (c == '\r') {
                cursor += 2;
                terminator = 2;
                break;
            }
            if (c == '\n') {
                cursor += 1;
                terminator = 1;
                break;
            }
            if (c == '\0' && zero == std::string_view::npos) {
                zero = cursor - start;
            }
        }
        ++cursor;
    }
    position_ = cursor;
    const std::string_view line(data + start, cursor - start - terminator);
    return zero == std::string_view::npos ? line : line.substr(0, zero);
}

} // namespace tickscope
