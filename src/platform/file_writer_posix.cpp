#include "platform/file_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tickscope::platform {

namespace {

constexpr std::size_t kBufferSize = std::size_t{256} << 10;

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The temporary names of one file share a prefix: ".tks-" and 8 hexadecimal digits of the
// FNV-1a hash of its name. The name itself may be as long as the system allows.
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

// Removes what a killed earlier run left: ".tks-<hash>-XXXXXX" beside the same file.
void RemoveLeftovers(const std::string& folder, const std::string& prefix) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) {
            ::unlink((folder + name).c_str());
        }
    }
    ::closedir(dir);
}

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

FileWriter::~FileWriter() {
    Abandon();
}

bool FileWriter::Fail(int error) {
    if (!failed_) {
        failed_ = true;
        error_ = std::strerror(error);
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
        return Fail(ENOENT);
    }
    // The rename would replace whatever stands at `path`: never a device, pipe or socket.
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        return Fail(S_ISDIR(existing.st_mode) ? EISDIR : EINVAL);
    }
    const std::string folder = FolderOf(path);
    const std::string prefix = TemporaryNamePrefix(NameOf(path));
    RemoveLeftovers(folder, prefix);
    std::string pattern = folder + prefix + "XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        const int error = errno;
        // A folder that takes no new files: the file itself may still be writable.
        if (options.InPlaceWhenFolderRefuses && exists &&
            (error == EACCES || error == EPERM || error == EROFS) &&
            ::access(path.c_str(), W_OK) == 0) {
            const int inPlace = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            if (inPlace >= 0) {
                handle_ = inPlace;
                inPlace_ = true;
                buffer_.reserve(kBufferSize);
                return true;
            }
        }
        return Fail(error);
    }
    handle_ = fd;
    temporary_ = pattern;
    const mode_t mode = options.Access == FileAccess::Private ? 0600
                        : exists                              ? existing.st_mode & 07777
                                                              : 0666 & ~CurrentUmask();
    if (::fchmod(fd, mode) != 0) {
        const int error = errno;
        Abandon();
        return Fail(error);
    }
    buffer_.reserve(kBufferSize);
    return true;
}

bool FileWriter::WriteOut(std::string_view bytes) {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(static_cast<int>(handle_), data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return Fail(written < 0 ? errno : ENOSPC);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
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
        return Fail(EBADF); // never opened
    }
    if (failed_) {
        Abandon();
        return false;
    }
    const bool flushed = Flush();
    // No fsync: the rename keeps readers from ever seeing a partial file, and the written
    // files are build artifacts that the compiler reads at once.
    const int fd = static_cast<int>(handle_);
    handle_ = -1;
    if (::close(fd) != 0 && flushed) {
        Fail(errno);
    }
    if (failed_) {
        Abandon();
        return false;
    }
    if (!inPlace_ && ::rename(temporary_.c_str(), path_.c_str()) != 0) {
        Fail(errno);
        Abandon();
        return false;
    }
    temporary_.clear();
    return true;
}

void FileWriter::Abandon() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    buffer_.clear();
}

bool WriteFileAtomically(const std::string& path, const std::string& content) {
    FileWriter writer;
    return writer.Open(path, {}) && writer.Write(content) && writer.Commit();
}

} // namespace tickscope::platform
