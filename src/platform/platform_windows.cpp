#include "platform/file_reading.h"
#include "platform/platform.h"

// windows.h must come first: shlobj.h relies on its declarations.
// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include <cstdlib>
#include <io.h>

namespace tickscope::platform {

namespace {

bool HoldsNul(const std::string& path) {
    return path.find('\0') != std::string::npos;
}

std::string WithTrailingSeparator(std::string folder) {
    if (folder.empty() || folder.back() != '\\') {
        folder += '\\';
    }
    return folder;
}

bool EndsWithIgnoringCase(const std::string& name, const std::string& suffix) {
    if (name.size() < suffix.size()) {
        return false;
    }
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    const std::size_t offset = name.size() - suffix.size();
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (lower(name[offset + i]) != lower(suffix[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

char PathSeparator() {
    return '\\';
}

std::string HomeFolder() {
    char buffer[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, 0, buffer))) {
        return WithTrailingSeparator(buffer);
    }
    return WithTrailingSeparator(EnvironmentVariable("USERPROFILE"));
}

std::string TempFolder() {
    char shortPath[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(MAX_PATH + 1, shortPath);
    if (length == 0 || length > MAX_PATH) {
        return "C:\\";
    }
    char longPath[MAX_PATH + 1] = {};
    const DWORD longLength = GetLongPathNameA(shortPath, longPath, MAX_PATH + 1);
    if (longLength == 0 || longLength > MAX_PATH) {
        return WithTrailingSeparator(shortPath);
    }
    return WithTrailingSeparator(longPath);
}

std::string WindowTitle(std::int64_t handle) {
    char buffer[1024] = {};
    HWND window = reinterpret_cast<HWND>(static_cast<std::intptr_t>(handle));
    if (!IsWindow(window)) {
        return {};
    }
    const int length = GetWindowTextA(window, buffer, static_cast<int>(sizeof(buffer)));
    return std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::string EnvironmentVariable(const std::string& name) {
    const DWORD needed = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (needed == 0) {
        return {};
    }
    std::string value(needed, '\0');
    const DWORD length = GetEnvironmentVariableA(name.c_str(), value.data(), needed);
    value.resize(length);
    return value;
}

bool HasDisplay() {
    return true;
}

std::optional<std::string> RealPath(const std::string& path) {
    if (path.empty() || HoldsNul(path)) {
        return std::nullopt;
    }
    HANDLE file =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    char buffer[32768] = {};
    const DWORD length =
        GetFinalPathNameByHandleA(file, buffer, sizeof(buffer), FILE_NAME_NORMALIZED);
    CloseHandle(file);
    if (length == 0 || length >= sizeof(buffer)) {
        return std::nullopt;
    }
    // The system names the file in its long-path form, "\\?\C:\..." or
    // "\\?\UNC\server\share\...": give the plain form that every other path has.
    std::string real(buffer, length);
    if (real.rfind("\\\\?\\UNC\\", 0) == 0) {
        return "\\\\" + real.substr(8);
    }
    if (real.rfind("\\\\?\\", 0) == 0) {
        return real.substr(4);
    }
    return real;
}

std::optional<std::vector<std::string>> ListFolder(const std::string& folder,
                                                   const std::string& suffix) {
    if (HoldsNul(folder)) {
        return std::nullopt;
    }
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((WithTrailingSeparator(folder) + "*" + suffix).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) {
            return std::vector<std::string>{};
        }
        return std::nullopt;
    }
    // The wildcard also matches short 8.3 names ("*.tkr" finds "a.tkrx"), so filter again,
    // ignoring letter case like the file system does.
    std::vector<std::string> names;
    do {
        const std::string name = data.cFileName;
        if (EndsWithIgnoringCase(name, suffix) && name != "." && name != "..") {
            names.push_back(name);
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

std::int64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (HoldsNul(path) || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::optional<std::string> PrivateBuildFolder(const std::string& tempFolder, std::string&) {
    return WithTrailingSeparator(tempFolder); // the user's own temporary folder
}

std::string ReadProblem(const std::string& path, std::uint64_t limit) {
    if (path.empty()) {
        return "no file was named";
    }
    if (HoldsNul(path)) {
        return "its name holds a zero byte";
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return "it does not exist";
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        return "it is a folder";
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) {
        return "it is not a regular file";
    }
    const std::uint64_t size =
        (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (size >= limit) {
        return "it is larger than " + std::to_string(limit >> 20) + " MB";
    }
    return "it could not be read";
}

void IgnoreFileSizeLimitSignal() {}

std::optional<OpenedFile> OpenRegularFile(const std::string& path) {
    if (path.empty() || HoldsNul(path)) {
        return std::nullopt;
    }
    // Only disk files: a named pipe or a device (CON, NUL) is refused before it is opened.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_DEVICE)) {
        return std::nullopt;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return std::nullopt;
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    LARGE_INTEGER size;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &size)) {
        std::fclose(file);
        return std::nullopt;
    }
    return OpenedFile{FileHandle(file), static_cast<std::uint64_t>(size.QuadPart)};
}

bool CreateFolder(const std::string& path) {
    if (path.empty() || HoldsNul(path)) {
        return false;
    }
    CreateDirectoryA(path.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::int64_t LocalDateSeconds() {
    SYSTEMTIME local;
    GetLocalTime(&local);
    FILETIME asFileTime;
    if (!SystemTimeToFileTime(&local, &asFileTime)) {
        return 0;
    }
    const std::int64_t ticks =
        (static_cast<std::int64_t>(asFileTime.dwHighDateTime) << 32) | asFileTime.dwLowDateTime;
    constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
    return ticks / 10000000 - kSecondsFrom1601To1970;
}

std::int64_t CurrentProcessId() {
    return static_cast<std::int64_t>(GetCurrentProcessId());
}

std::int64_t CurrentThreadId() {
    return static_cast<std::int64_t>(GetCurrentThreadId());
}

} // namespace tickscope::platform
