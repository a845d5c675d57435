#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace tickscope::testing {

// Paths of every *.pb and *.pbi file below `root`, sorted; empty when the folder is missing.
inline std::vector<std::string> PureBasicFiles(const std::filesystem::path& root) {
    std::vector<std::string> files;
    std::error_code error;
    if (!std::filesystem::is_directory(root, error)) {
        return files;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root, error)) {
        const std::string extension = entry.path().extension().string();
        if (entry.is_regular_file() && (extension == ".pb" || extension == ".pbi")) {
            files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The LF-separated lines of a file, each without a trailing CR.
inline std::vector<std::string> FileLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream file(path, std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

} // namespace tickscope::testing
