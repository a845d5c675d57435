#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace tickscope::platform {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// A regular file open for reading in binary mode, and its size when it was opened.
struct OpenedFile {
    FileHandle File;
    std::uint64_t Size = 0;
};

// Opens a regular file for reading without waiting on it. Nothing when the name holds a NUL
// byte or names no regular file (after links): a pipe could block for ever, a folder has no
// content, and a device such as /dev/zero never ends. Implemented per system.
std::optional<OpenedFile> OpenRegularFile(const std::string& path);

// Files at least this large are not read whole (no source file or run file comes near).
inline constexpr std::uint64_t kDefaultReadLimit = std::uint64_t{1} << 28;
// A file that reports a size of 0 yet has content is a pseudo-file (/proc): it is read up to
// this much at most, as making such content can be slow (/proc/self/pagemap of a large
// process) and no source is one.
inline constexpr std::uint64_t kPseudoFileReadLimit = std::uint64_t{1} << 20;

// How far ReadWholeFile reads: to the end of the file (a pseudo-file reports size 0 and
// still has content), or only the size the file had when opened (a run file that grows
// while it is read is not followed).
enum class ReadExtent { ToEnd, SizeWhenOpened };

// The whole content of a regular file (see OpenRegularFile). Nothing when the file cannot
// be read, when it holds `limit` bytes or more (a pseudo-file: kPseudoFileReadLimit), or
// when there is no memory for it: an allocation failure never escapes.
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         std::uint64_t limit = kDefaultReadLimit,
                                         ReadExtent extent = ReadExtent::ToEnd);

} // namespace tickscope::platform
