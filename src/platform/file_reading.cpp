#include "platform/file_reading.h"

#include <algorithm>
#include <new>

namespace tickscope::platform {

std::optional<std::string> ReadWholeFile(const std::string& path, std::uint64_t limit,
                                         ReadExtent extent) {
    const std::optional<OpenedFile> opened = OpenRegularFile(path);
    if (!opened) {
        return std::nullopt;
    }
    std::FILE* file = opened->File.get();
    const std::uint64_t expected = opened->Size;
    if (expected >= limit) {
        return std::nullopt;
    }
    std::string content;
    try {
        if (extent == ReadExtent::SizeWhenOpened) {
            content.resize(static_cast<std::size_t>(expected));
            const std::size_t got = std::fread(content.data(), 1, content.size(), file);
            if (std::ferror(file)) {
                return std::nullopt;
            }
            content.resize(got); // a file that shrank meanwhile gives what was left
            return content;
        }
        // Read until the end even if the file grew since its size was taken; pseudo-files
        // report a size of 0 and may never end (/proc/self/pagemap), hence the limit.
        if (expected == 0) {
            limit = std::min(limit, kPseudoFileReadLimit);
        }
        std::size_t used = 0;
        content.resize(expected == 0 ? 4096 : static_cast<std::size_t>(expected) + 1);
        while (true) {
            const std::size_t got =
                std::fread(content.data() + used, 1, content.size() - used, file);
            used += got;
            if (used < content.size()) {
                if (std::ferror(file)) {
                    return std::nullopt;
                }
                break;
            }
            if (content.size() >= limit) {
                return std::nullopt;
            }
            content.resize(content.size() * 2);
        }
        if (used >= limit) {
            return std::nullopt;
        }
        content.resize(used);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return content;
}

} // namespace tickscope::platform
