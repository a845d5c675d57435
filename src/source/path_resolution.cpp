#include "source/path_resolution.h"

#include "platform/platform.h"

namespace tickscope {

namespace {

char SeparatorOf(PathStyle style) {
    return style == PathStyle::Windows ? '\\' : '/';
}

bool IsAbsoluteName(std::string_view fileName, PathStyle style) {
    if (fileName.find(':') != std::string_view::npos) {
        return true;
    }
    return style == PathStyle::Posix && !fileName.empty() && fileName.front() == '/';
}

bool IsRootedFolder(std::string_view folder, PathStyle style) {
    if (folder.find(':') != std::string_view::npos) {
        return true;
    }
    if (folder.empty()) {
        return false;
    }
    return folder.front() == '/' || (style == PathStyle::Windows && folder.front() == '\\');
}

} // namespace

PathStyle NativePathStyle() {
    return platform::PathSeparator() == '\\' ? PathStyle::Windows : PathStyle::Posix;
}

std::string PathPart(std::string_view fileName) {
    const auto last = fileName.find_last_of("\\/");
    if (last == std::string_view::npos) {
        return {};
    }
    return std::string(fileName.substr(0, last + 1));
}

std::string IncludePathFromDirective(std::string_view folder, std::string_view folderOfFile,
                                     PathStyle style) {
    if (IsRootedFolder(folder, style)) {
        return std::string(folder);
    }
    std::string result(folderOfFile);
    result.append(folder);
    return result;
}

std::string CollapseSeparators(std::string_view path, PathStyle style) {
    const char separator = SeparatorOf(style);
    std::string result;
    result.reserve(path.size());
    std::size_t start = 0;
    if (style == PathStyle::Windows && path.size() >= 2 && path[0] == separator &&
        path[1] == separator) {
        // "\\server\share": the two leading backslashes are part of the name.
        result.append(2, separator);
        start = 2;
        while (start < path.size() && path[start] == separator) {
            ++start;
        }
    }
    const std::size_t prefixLength = result.size();
    // One linear pass gives the same text as collapsing pairs until none is left.
    for (std::size_t i = start; i < path.size(); ++i) {
        const char c = path[i];
        if (c == separator && result.size() > prefixLength && result.back() == separator) {
            continue;
        }
        result += c;
    }
    return result;
}

ResolvedInclude ResolveInclude(std::string_view fileName, std::string_view includePath,
                               PathStyle style) {
    ResolvedInclude resolved;
    if (includePath.empty()) {
        resolved.IncludePath = PathPart(fileName);
        resolved.PathToOpen = std::string(fileName);
        return resolved;
    }
    resolved.IncludePath = std::string(includePath);
    if (IsAbsoluteName(fileName, style)) {
        resolved.PathToOpen = std::string(fileName);
        return resolved;
    }
    std::string joined;
    joined.reserve(includePath.size() + 1 + fileName.size());
    joined.append(includePath);
    joined += SeparatorOf(style);
    joined.append(fileName);
    resolved.PathToOpen = CollapseSeparators(joined, style);
    return resolved;
}

} // namespace tickscope
