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
    while (cursor < size) {
        const char c = data[cursor];
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
        ++cursor;
    }
    position_ = cursor;
    std::string_view line(data + start, cursor - start - terminator);
    const auto zero = line.find('\0');
    return zero == std::string_view::npos ? line : line.substr(0, zero);
}

} // namespace tickscope
