#include "platform/file_reading.h"

#include <filesystem>
#include <new>
#include <system_error>

namespace tickscope::platform {

FileHandle OpenRegularFile(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        return nullptr;
    }
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::is_regular_file(status)) {
        return nullptr;
    }
    return FileHandle(std::fopen(path.c_str(), "rb"));
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::uint64_t limit) {
    const FileHandle file = OpenRegularFile(path);
    if (!file) {
        return std::nullopt;
    }
    std::error_code error;
    const std::uintmax_t expected = std::filesystem::file_size(path, error);
    if (!error && expected >= limit) {
        return std::nullopt;
    }
    std::string content;
    try {
        // Read until the end even if the file grew since its size was taken; pseudo-files
        // report a size of 0 and may never end (/proc/self/pagemap), hence the limit.
        std::size_t used = 0;
        content.resize(error || expected == 0 ? 4096 : static_cast<std::size_t>(expected) + 1);
        while (true) {
            const std::size_t got =
                std::fread(content.data() + used, 1, content.size() - used, file.get());
            used += got;
            if (used < content.size()) {
                if (std::ferror(file.get())) {
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
