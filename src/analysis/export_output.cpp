#include "analysis/export_output.h"

namespace tickscope {

std::size_t MicrosecondsText(std::int64_t nanos, char* buffer) {
    const bool negative = nanos < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(nanos) : static_cast<std::uint64_t>(nanos);
    char* out = buffer;
    if (negative) {
        *out++ = '-';
    }
    out = std::to_chars(out, out + 24, magnitude / 1000).ptr;
    const auto fraction = static_cast<unsigned>(magnitude % 1000);
    *out++ = '.';
    *out++ = static_cast<char>('0' + fraction / 100);
    *out++ = static_cast<char>('0' + fraction / 10 % 10);
    *out++ = static_cast<char>('0' + fraction % 10);
    return static_cast<std::size_t>(out - buffer);
}

} // namespace tickscope
