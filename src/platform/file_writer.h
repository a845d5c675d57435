#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tickscope::platform {

// Who may read a file the writer creates.
enum class FileAccess {
    Private, // the owner only (0600 on POSIX)
    Default, // as the umask says for a new file; an existing file keeps its own mode
};

// Writes a file as a stream of pieces without holding it whole: into a temporary file with
// a short name beside it (".tks-<8 hex digits of the file's name>-<6 characters>"), which
// Commit renames over the file, so that the file is either left as it was or holds exactly
// what was written. Temporary files of this writer that an earlier, killed run left beside
// the same file are removed when it opens. When the folder refuses new files but the file
// itself is writable, and the options allow it, the file is written in place instead (not
// atomic). Paths that exist but are no regular file (a device, a pipe) are refused.
class FileWriter {
  public:
    struct Options {
        FileAccess Access = FileAccess::Default;
        bool InPlaceWhenFolderRefuses = false;
    };

    FileWriter() = default;
    ~FileWriter(); // abandons a file that was not committed
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    // Starts writing `path`; false (with the reason in Error) when it cannot.
    bool Open(const std::string& path, const Options& options);
    // Appends bytes; false once any write has failed.
    bool Write(std::string_view bytes);
    // Writes out what is buffered and puts the file in place; false with the reason in Error.
    bool Commit();
    // Removes what was written (the file keeps its earlier content, unless written in place).
    void Abandon();

    // Why the writer failed, as the system says it ("No space left on device").
    const std::string& Error() const { return error_; }
    bool InPlace() const { return inPlace_; }

  private:
    bool WriteOut(std::string_view bytes);
    bool Flush();
    bool Fail(int error);

    std::string path_;
    std::string temporary_;
    std::string buffer_;
    std::string error_;
    std::intptr_t handle_ = -1; // a descriptor (POSIX) or a HANDLE (Windows)
    bool inPlace_ = false;
    bool failed_ = false;
};

// The start of the temporary names FileWriter gives for a file of this name (the name alone,
// without its folder): ".tks-" and 8 hexadecimal digits of its hash, then "-".
std::string TemporaryNamePrefix(const std::string& fileName);

// Writes the whole content through a FileWriter with default access; false on failure.
bool WriteFileAtomically(const std::string& path, const std::string& content);

} // namespace tickscope::platform
