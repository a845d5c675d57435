#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// Everything the operating system provides goes through these functions. Each has a
// POSIX implementation (platform_posix.cpp) and a Windows one (platform_windows.cpp).
namespace tickscope::platform {

// "\" on Windows, "/" elsewhere.
char PathSeparator();

// The user's home folder, ending with the path separator ($HOME; Windows: the profile).
std::string HomeFolder();

// The temporary folder, ending with the path separator ($TMPDIR or /tmp; Windows: the
// long-name form of the temp path).
std::string TempFolder();

// A file for scratch data of this process, open for reading and writing, in the temporary
// folder, and removed when it is closed or the process ends; nullptr when none can be made.
// (std::tmpfile would not do: on Windows it writes into the root of the drive.)
std::FILE* OpenScratchFile();

// The title of the window with this handle (at most 1023 characters); empty on platforms
// without such windows or when the handle names no window.
std::string WindowTitle(std::int64_t handle);

// Value of an environment variable, empty when unset.
std::string EnvironmentVariable(const std::string& name);

// Whether a graphical display is there to show windows on: on POSIX the X or Wayland server
// that DISPLAY or WAYLAND_DISPLAY names must accept a connection.
bool HasDisplay();

// The canonical absolute path of an existing file (links, "." and ".." resolved);
// nothing when the file does not exist or the name holds a NUL byte.
std::optional<std::string> RealPath(const std::string& path);

// Names (not paths) of the entries of a folder whose name ends with `suffix`, in the order
// the listing returns them; nothing when the folder cannot be examined.
std::optional<std::vector<std::string>> ListFolder(const std::string& folder,
                                                   const std::string& suffix);

// Size of a file in bytes, -1 when it cannot be examined.
std::int64_t FileSize(const std::string& path);

// The folder for this user's build files below the temporary folder (ending with the
// separator): on POSIX "<temp>tickscope-<uid>/", created with mode 0700 and refused
// unless it is a real folder that belongs to the user (another user could have made it in a
// shared /tmp); on Windows the temporary folder itself, which is the user's own. Nothing
// when it cannot be had; `why` then says why.
std::optional<std::string> PrivateBuildFolder(const std::string& tempFolder, std::string& why);

// Why a file cannot be read whole, in words for the user ("it does not exist").
std::string ReadProblem(const std::string& path, std::uint64_t limit);

// The writes of this process fail instead of ending it when a file grows past the size
// limit (SIGXFSZ ignored), so that temporary files are removed. Nothing on Windows.
void IgnoreFileSizeLimitSignal();

// Creates one folder (its parent must exist); true when it exists as a folder afterwards.
bool CreateFolder(const std::string& path);

// The current local date and time as seconds since 1970-01-01 00:00:00 local time, the
// way the language's Date() counts (the run files are named by it).
std::int64_t LocalDateSeconds();

// Process and thread ids, as the recorder writes them into run files.
std::int64_t CurrentProcessId();
std::int64_t CurrentThreadId();

} // namespace tickscope::platform
