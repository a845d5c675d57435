#include "platform/file_reading.h"
#include "platform/platform.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <netdb.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
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

std::FILE* OpenScratchFile() {
    std::string name = TempFolder() + "tickscope-scratch-XXXXXX";
    const int descriptor = mkstemp(name.data());
    if (descriptor < 0) {
        return nullptr;
    }
    unlink(name.c_str()); // the file lives on while it is open
    std::FILE* file = fdopen(descriptor, "w+b");
    if (file == nullptr) {
        close(descriptor);
    }
    return file;
}

std::string WindowTitle(std::int64_t) {
    return {};
}

std::string EnvironmentVariable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

namespace {

// Whether something listens on the Unix socket at `path` (on Linux, a leading "@" names the
// abstract namespace).
bool AcceptsConnection(const std::string& path) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
    if (path[0] == '@') {
        address.sun_path[0] = '\0';
    } else {
        ++length; // the terminating zero of a path
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    ::close(fd);
    return connected;
}

// Whether a TCP server at host:port accepts a connection within two seconds.
bool AcceptsConnection(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return false;
    }
    bool connected = false;
    for (addrinfo* at = found; at != nullptr && !connected; at = at->ai_next) {
        const int fd = ::socket(at->ai_family, at->ai_socktype | SOCK_NONBLOCK, at->ai_protocol);
        if (fd < 0) {
            continue;
        }
        if (::connect(fd, at->ai_addr, at->ai_addrlen) == 0) {
            connected = true;
        } else if (errno == EINPROGRESS) {
            pollfd wait{fd, POLLOUT, 0};
            int error = 0;
            socklen_t size = sizeof error;
            connected = ::poll(&wait, 1, 2000) == 1 &&
                        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
        }
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return connected;
}

// The X server DISPLAY names ("[host]:number[.screen]"), if it accepts a connection.
bool XServerAnswers(const std::string& display) {
    const auto colon = display.rfind(':');
    if (colon == std::string::npos) {
        return false;
    }
    std::string host = display.substr(0, colon);
    const int number = std::atoi(display.c_str() + colon + 1);
    if (host.empty() || host == "unix") {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        return AcceptsConnection("@" + socket) || AcceptsConnection(socket);
    }
    if (host.rfind("/", 0) == 0) { // a socket path (as XQuartz writes it)
        return AcceptsConnection(display);
    }
    return AcceptsConnection(host, 6000 + number);
}

bool WaylandServerAnswers(const std::string& display) {
    if (!display.empty() && display[0] == '/') {
        return AcceptsConnection(display);
    }
    const std::string runtime = EnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.empty() && AcceptsConnection(runtime + "/" + display);
}

} // namespace

bool HasDisplay() {
    const std::string wayland = EnvironmentVariable("WAYLAND_DISPLAY");
    const std::string x = EnvironmentVariable("DISPLAY");
    return (!wayland.empty() && WaylandServerAnswers(wayland)) || (!x.empty() && XServerAnswers(x));
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

std::optional<std::string> PrivateBuildFolder(const std::string& tempFolder, std::string& why) {
    const std::string folder =
        WithTrailingSeparator(tempFolder) + "tickscope-" + std::to_string(::getuid());
    if (HoldsNul(folder)) {
        why = "its name holds a zero byte";
        return std::nullopt;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    if (!S_ISDIR(info.st_mode)) {
        why = "it is not a folder";
        return std::nullopt;
    }
    if (info.st_uid != ::getuid()) {
        why = "it belongs to another user";
        return std::nullopt;
    }
    if ((info.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) {
        why = "others may write into it";
        return std::nullopt;
    }
    return folder + "/";
}

std::string ReadProblem(const std::string& path, std::uint64_t limit) {
    struct stat info {};
    if (path.empty()) {
        return "no file was named";
    }
    if (HoldsNul(path)) {
        return "its name holds a zero byte";
    }
    if (::stat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? "it does not exist" : std::strerror(errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return "it is a folder";
    }
    if (!S_ISREG(info.st_mode)) {
        return "it is not a regular file";
    }
    if (static_cast<std::uint64_t>(info.st_size) >= limit) {
        return "it is larger than " + std::to_string(limit >> 20) + " MB";
    }
    if (::access(path.c_str(), R_OK) != 0) {
        return std::strerror(errno);
    }
    return "it could not be read";
}

void IgnoreFileSizeLimitSignal() {
    std::signal(SIGXFSZ, SIG_IGN);
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
