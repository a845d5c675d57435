#pragma once

#include "common/temp_folder.h"
#include "source/program_info.h"
#include "source/source_loader.h"

#include <unistd.h>

#include <map>
#include <string>
#include <vector>

namespace tickscope::testing {

// Loads a file as the outermost call does.
inline ProgramInfo Load(const std::string& path, const std::string& includePath = "") {
    ProgramInfo program;
    LoadSource(path, includePath, program);
    return program;
}

// Lines joined with CR LF, as the IDE writes them.
inline std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

// The key under which a file id is stored, or "" when no key holds it.
inline std::string KeyOfId(const ProgramInfo& program, int id) {
    for (const auto& [key, value] : program.SourceFileIds) {
        if (value == id) {
            return key;
        }
    }
    return {};
}

// Every line as "<file>:<line>", the file named relative to `folder` (the "#<id>" that tells
// a re-opened file apart is dropped), so expectations read like the source they describe.
inline std::vector<std::string> LineOrigins(const ProgramInfo& program, const std::string& folder) {
    std::map<int, std::string> names;
    for (const auto& [key, value] : program.SourceFileIds) {
        std::string name = key.substr(0, key.find('#'));
        if (name.rfind(folder, 0) == 0) {
            name = name.substr(folder.size());
        }
        names[value] = name;
    }
    std::vector<std::string> origins;
    for (const LineOfCode& line : program.LinesOfCode) {
        const auto found = names.find(line.SourceFileId);
        const std::string name = found == names.end() ? "?" : found->second;
        origins.push_back(name + ":" + std::to_string(line.LineNumber));
    }
    return origins;
}

inline std::vector<std::string> Codes(const ProgramInfo& program) {
    std::vector<std::string> codes;
    for (const LineOfCode& line : program.LinesOfCode) {
        codes.emplace_back(line.Code);
    }
    return codes;
}

// Changes the working folder for the lifetime of the object.
class WorkingFolder {
  public:
    explicit WorkingFolder(const std::string& folder) {
        char buffer[4096];
        if (::getcwd(buffer, sizeof buffer) != nullptr) {
            previous_ = buffer;
        }
        if (::chdir(folder.c_str()) != 0) {
            std::abort();
        }
    }
    ~WorkingFolder() {
        if (!previous_.empty() && ::chdir(previous_.c_str()) != 0) {
            std::abort();
        }
    }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

  private:
    std::string previous_;
};

} // namespace tickscope::testing
