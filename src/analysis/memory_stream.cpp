#include "analysis/memory_stream.h"

#include "platform/platform.h"
#include "source/source_reader.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

namespace tickscope {

std::optional<std::string> ReadWholeFile(const std::string& path, bool skipByteOrderMark) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    try {
        // Read in growing steps rather than trusting a size taken before the read.
        constexpr std::size_t kStep = 1 << 20;
        std::size_t used = 0;
        const std::int64_t expected = platform::FileSize(path);
        if (expected > 0) {
            bytes.reserve(static_cast<std::size_t>(expected) + kStep);
        }
        while (true) {
            bytes.resize(used + kStep);
            const std::size_t got = std::fread(bytes.data() + used, 1, kStep, file.get());
            used += got;
            if (got < kStep) {
                break;
            }
        }
        bytes.resize(used);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (std::ferror(file.get())) {
        return std::nullopt;
    }
    if (skipByteOrderMark) {
        bytes.erase(0, ByteOrderMarkLength(bytes));
    }
    if (bytes.empty()) {
        return std::nullopt;
    }
    return bytes;
}

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
