#include "platform/file_reading.h"
#include "platform/platform.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tickscope::platform {

namespace {

bool HoldsNul(const std::string& path) {
    return path.find('\0') != std::string::npos;
}

std::string WithTrailingSeparator(std::string folder) {
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

} // namespace

char PathSeparator() {
    return '/';
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    return WithTrailingSeparator(home && *home ? home : "/");
}

std::string TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return WithTrailingSeparator(tmp && *tmp ? tmp : "/tmp");
}

std::string WindowTitle(std::int64_t) {
    return {};
}

std::string EnvironmentVariable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

bool HasDisplay() {
    return !EnvironmentVariable("DISPLAY").empty() ||
           !EnvironmentVariable("WAYLAND_DISPLAY").empty();
}

std::optional<std::string> RealPath(const std::string& path) {
    if (path.empty() || HoldsNul(path)) {
        return std::nullopt;
    }
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) {
        return std::nullopt;
    }
    std::string result(resolved);
    std::free(resolved);
    return result;
}

std::optional<std::vector<std::string>> ListFolder(const std::string& folder,
                                                   const std::string& suffix) {
    if (HoldsNul(folder)) {
        return std::nullopt;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 && name != "." &&
            name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    return names;
}

std::int64_t FileSize(const std::string& path) {
    struct stat info {};
    if (HoldsNul(path) || ::stat(path.c_str(), &info) != 0) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_size);
}

bool WriteFileAtomically(const std::string& path, const std::string& content) {
    if (path.empty() || HoldsNul(path)) {
        return false;
    }
    // The rename would replace whatever stands at `path`: never a device, pipe or socket.
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        return false;
    }
    std::string pattern = path + ".tmp-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        return false;
    }
    const char* data = content.data();
    std::size_t left = content.size();
    bool ok = true;
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written <= 0) {
            ok = false;
            break;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    // No fsync: the rename keeps readers from ever seeing a partial file, and the written
    // files are build artifacts that the compiler reads at once; flushing 80 MB to disk
    // would double the time of a large build.
    if (ok) {
        ::fchmod(fd, 0644);
    }
    ok = (::close(fd) == 0) && ok;
    if (ok) {
        ok = ::rename(pattern.c_str(), path.c_str()) == 0;
    }
    if (!ok) {
        ::unlink(pattern.c_str());
    }
    return ok;
}

std::optional<OpenedFile> OpenRegularFile(const std::string& path) {
    if (path.empty() || HoldsNul(path)) {
        return std::nullopt;
    }
    // Not blocking: opening a pipe for reading would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        return std::nullopt;
    }
    return OpenedFile{FileHandle(file), static_cast<std::uint64_t>(info.st_size)};
}

bool CreateFolder(const std::string& path) {
    if (path.empty() || HoldsNul(path)) {
        return false;
    }
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::int64_t LocalDateSeconds() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!::localtime_r(&now, &local)) {
        return static_cast<std::int64_t>(now);
    }
    return static_cast<std::int64_t>(now) + static_cast<std::int64_t>(local.tm_gmtoff);
}

std::int64_t CurrentProcessId() {
    return static_cast<std::int64_t>(::getpid());
}

namespace {

// A thread's id never changes, but asking the kernel costs a system call per probe, so
// each thread keeps its answer. A forked child's thread gets a new id: the generation
// bump in the child invalidates every kept answer.
std::atomic<std::uint64_t> threadIdGeneration{1};

std::int64_t AskThreadId() {
#ifdef SYS_gettid
    return static_cast<std::int64_t>(::syscall(SYS_gettid));
#else
    return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(pthread_self()));
#endif
}

} // namespace

std::int64_t CurrentThreadId() {
    static const bool registered = [] {
        ::pthread_atfork(nullptr, nullptr, [] { threadIdGeneration.fetch_add(1); });
        return true;
    }();
    (void)registered;
    thread_local std::uint64_t keptGeneration = 0;
    thread_local std::int64_t keptId = 0;
    const std::uint64_t generation = threadIdGeneration.load(std::memory_order_relaxed);
    if (keptGeneration != generation) {
        keptId = AskThreadId();
        keptGeneration = generation;
    }
    return keptId;
}

} // namespace tickscope::platform
