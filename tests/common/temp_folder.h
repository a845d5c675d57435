#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <system_error>

namespace tickscope::testing {

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    TempFolder() {
#ifdef _WIN32
        // No mkdtemp: a random name, taken only when the folder did not exist yet.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto candidate = std::filesystem::temp_directory_path() /
                                   ("tickscope-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {
                path_ = candidate;
            }
        }
        if (path_.empty()) {
            std::abort();
        }
#else
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tickscope-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
#endif
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const {
        return path_;
    }
    // Path of a file in the folder, as text with a trailing separator for folders.
    std::string File(const std::string& name) const {
        return (path_ / name).string();
    }
    std::string Folder() const {
        return path_.string() + static_cast<char>(std::filesystem::path::preferred_separator);
    }

    // Writes bytes to a file in the folder (creating sub-folders) and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        const auto file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary);
        out << bytes;
        return file.string();
    }

  private:
    std::filesystem::path path_;
};

inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every regular file below a folder with its bytes, by path relative to the folder.
inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
        if (entry.is_regular_file()) {
            files[std::filesystem::relative(entry.path(), folder).string()] =
                ReadFileBytes(entry.path().string());
        }
    }
    return files;
}

} // namespace tickscope::testing
