#include "platform/file_writer.h"

// windows.h must come first.
// clang-format off
#include <windows.h>
// clang-format on

#include <cstdio>

namespace tickscope::platform {

namespace {

constexpr std::size_t kBufferSize = std::size_t{256} << 10;

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".\\") : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string TemporaryNamePrefix(const std::string& name) {
    std::uint32_t hash = 2166136261u;
    for (const char c : name) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    char text[16];
    std::snprintf(text, sizeof text, ".tks-%08x-", hash);
    return text;
}

namespace {

void RemoveLeftovers(const std::string& folder, const std::string& prefix) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + prefix + "??????").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        DeleteFileA((folder + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::string Describe(DWORD error) {
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == '.' || message.back() == ' ')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : message;
}

HANDLE Handle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

FileWriter::~FileWriter() {
    Abandon();
}

bool FileWriter::Fail(int error) {
    if (!failed_) {
        failed_ = true;
        error_ = Describe(static_cast<DWORD>(error));
    }
    return false;
}

bool FileWriter::Open(const std::string& path, const Options& options) {
    Abandon();
    failed_ = false;
    error_.clear();
    inPlace_ = false;
    path_ = path;
    if (path.empty() || path.find('\0') != std::string::npos) {
        return Fail(ERROR_INVALID_NAME);
    }
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
        return Fail(ERROR_DIRECTORY);
    }
    const std::string folder = FolderOf(path);
    const std::string prefix = TemporaryNamePrefix(NameOf(path));
    RemoveLeftovers(folder, prefix);
    temporary_ = folder + prefix + std::to_string(GetCurrentProcessId() % 1000000);
    HANDLE file = CreateFileA(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        temporary_.clear();
        if (options.InPlaceWhenFolderRefuses && exists && error == ERROR_ACCESS_DENIED) {
            file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                handle_ = reinterpret_cast<std::intptr_t>(file);
                inPlace_ = true;
                return true;
            }
        }
        return Fail(static_cast<int>(error));
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    buffer_.reserve(kBufferSize);
    return true;
}

bool FileWriter::WriteOut(std::string_view bytes) {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        DWORD written = 0;
        const DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
        if (!WriteFile(Handle(handle_), data, chunk, &written, nullptr) || written == 0) {
            return Fail(static_cast<int>(GetLastError()));
        }
        data += written;
        left -= written;
    }
    return true;
}

bool FileWriter::Flush() {
    const bool written = WriteOut(buffer_);
    buffer_.clear();
    return written;
}

bool FileWriter::Write(std::string_view bytes) {
    if (failed_ || handle_ < 0) {
        return false;
    }
    if (buffer_.size() + bytes.size() > kBufferSize && !Flush()) {
        return false;
    }
    if (bytes.size() >= kBufferSize) {
        return WriteOut(bytes); // large pieces go out as they are, without a copy
    }
    buffer_.append(bytes);
    return true;
}

bool FileWriter::Commit() {
    if (handle_ < 0) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (failed_) {
        Abandon();
        return false;
    }
    const bool flushed = Flush();
    const HANDLE file = Handle(handle_);
    handle_ = -1;
    if (!CloseHandle(file) && flushed) {
        Fail(static_cast<int>(GetLastError()));
    }
    if (failed_) {
        Abandon();
        return false;
    }
    if (!inPlace_ && !MoveFileExA(temporary_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        Fail(static_cast<int>(GetLastError()));
        Abandon();
        return false;
    }
    temporary_.clear();
    return true;
}

void FileWriter::Abandon() {
    if (handle_ >= 0) {
        CloseHandle(Handle(handle_));
        handle_ = -1;
    }
    if (!temporary_.empty()) {
        DeleteFileA(temporary_.c_str());
        temporary_.clear();
    }
    buffer_.clear();
}

bool WriteFileAtomically(const std::string& path, const std::string& content) {
    FileWriter writer;
    return writer.Open(path, {}) && writer.Write(content) && writer.Commit();
}

} // namespace tickscope::platform
