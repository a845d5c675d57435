#include "source/source_loader.h"

#include "platform/file_reading.h"
#include "platform/platform.h"
#include "source/line_scanning.h"
#include "source/parser_passes.h"
#include "source/path_resolution.h"
#include "source/source_reader.h"
#include "source/text_utils.h"

#include <deque>
#include <optional>
#include <unordered_set>
#include <utility>

namespace tickscope {

namespace {

// One file being read. Its lines are views into `Bytes`, so the record must not move
// while it is read (the loader keeps these in a deque and only adds or removes at the end).
struct OpenFile {
    OpenFile(std::string bytes, int fileId, std::string includePath, std::string realPath,
             std::string folder)
        : Bytes(std::move(bytes)),
          Lines(std::string_view(Bytes).substr(ByteOrderMarkLength(Bytes))), FileId(fileId),
          IncludePath(std::move(includePath)), RealPath(std::move(realPath)),
          Folder(std::move(folder)) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    std::string Bytes;
    LineSplitter Lines;
    int FileId;
    int LineNumber = 0;
    std::string IncludePath; // changed by "includepath" and by the files this one includes
    std::string RealPath;
    std::string Folder; // folder part of the path the file was opened by
};

enum class Directive { None, IncludePath, IncludeFile, XIncludeFile };

// All three directive keywords contain "include". The keyword search looks at the masked,
// lower-cased line, and masking never adds letters, so a line without "include" in any
// letter case cannot hold a directive; most lines are spared the search.
bool MayHoldDirective(std::string_view line) {
    return ContainsIgnoringAsciiCase(line, "include");
}

// The one load that a call of LoadSource runs. Files are read with an explicit stack
// instead of recursion, so deep include chains cost heap memory, not call stack.
class SourceLoad {
  public:
    SourceLoad(ProgramInfo& program, PathStyle style) : program_(program), style_(style) {}

    std::string Run(const std::string& fileName, const std::string& includePath) {
        std::string finalIncludePath = Enter(fileName, includePath);
        while (!files_.empty()) {
            OpenFile& file = files_.back();
            std::string_view line;
            if (!file.Lines.Next(line)) {
                finalIncludePath = Leave();
                continue;
            }
            ++file.LineNumber;
            LineOfCode& added = program_.LinesOfCode.emplace_back();
            added.SourceFileId = file.FileId;
            added.LineNumber = file.LineNumber;
            added.Code.assign(line);
            FollowDirective(line, file);
        }
        return finalIncludePath;
    }

  private:
    // Opens a file and puts it on the stack. Returns the include path that a file which
    // cannot be opened hands back to its includer.
    std::string Enter(const std::string& fileName, const std::string& includePath) {
        ResolvedInclude resolved = ResolveInclude(fileName, includePath, style_);
        std::string handedBack = resolved.IncludePath;
        std::optional<std::string> bytes = platform::ReadWholeFile(resolved.PathToOpen);
        if (bytes) {
            Push(std::move(resolved), std::move(*bytes));
        }
        return handedBack;
    }

    void Push(ResolvedInclude resolved, std::string bytes) {
        std::string realPath =
            platform::RealPath(resolved.PathToOpen).value_or(resolved.PathToOpen);
        // A file already being read further up would include itself without end.
        if (!openRealPaths_.insert(realPath).second) {
            return;
        }
        const int fileId = static_cast<int>(program_.SourceFileIds.Size()) + 1;
        program_.SourceFileIds.Set(KeyForNewFile(resolved.PathToOpen, fileId), fileId);
        std::string folder = PathPart(resolved.PathToOpen);
        files_.emplace_back(std::move(bytes), fileId, std::move(resolved.IncludePath),
                            std::move(realPath), std::move(folder));
    }

    // A path opened again keeps its first entry; the new one is told apart by its id, so
    // every id stays a value of the table.
    std::string KeyForNewFile(const std::string& path, int fileId) const {
        std::string key = path;
        while (program_.SourceFileIds.Contains(key)) {
            key += '#';
            key += std::to_string(fileId);
        }
        return key;
    }

    // Closes the file on top of the stack and hands its include path to its includer.
    std::string Leave() {
        std::string includePath = std::move(files_.back().IncludePath);
        openRealPaths_.erase(files_.back().RealPath);
        files_.pop_back();
        if (!files_.empty()) {
            files_.back().IncludePath = includePath;
        }
        return includePath;
    }

    void FollowDirective(std::string_view line, OpenFile& file) {
        if (!MayHoldDirective(line)) {
            return;
        }
        int position = 0;
        Directive directive = Directive::None;
        if ((position = FindKeyword(line, "includepath")) > 0) {
            directive = Directive::IncludePath;
        } else if ((position = FindKeyword(line, "includefile")) > 0) {
            directive = Directive::IncludeFile;
        } else if ((position = FindKeyword(line, "xincludefile")) > 0) {
            directive = Directive::XIncludeFile;
        } else {
            return;
        }
        std::string argument =
            TokenField(TokenizeLine(line.substr(static_cast<std::size_t>(position) - 1)), 2);
        std::erase(argument, '"');
        if (directive == Directive::IncludePath) {
            file.IncludePath = IncludePathFromDirective(argument, file.Folder, style_);
            return;
        }

        ResolvedInclude resolved = ResolveInclude(argument, file.IncludePath, style_);
        std::optional<std::string> bytes = platform::ReadWholeFile(resolved.PathToOpen);
        std::string fingerprint = bytes ? Md5Hex(*bytes) : std::string();
        // Files are recognised by content: a copy under another name counts as taken in.
        const bool seen = !includedFingerprints_.insert(std::move(fingerprint)).second;
        if (directive == Directive::XIncludeFile && seen) {
            return;
        }
        // The includer continues with the include path of the included file, whether or not
        // that file could be read.
        file.IncludePath = resolved.IncludePath;
        if (bytes) {
            Push(std::move(resolved), std::move(*bytes));
        }
    }

    ProgramInfo& program_;
    PathStyle style_;
    std::deque<OpenFile> files_;
    std::unordered_set<std::string> openRealPaths_;
    std::unordered_set<std::string> includedFingerprints_;
};

} // namespace

std::string LoadSource(const std::string& fileName, const std::string& includePath,
                       ProgramInfo& program) {
    SourceLoad load(program, NativePathStyle());
    std::string finalIncludePath = load.Run(fileName, includePath);
    program.Path = fileName;
    RunContinuationPass(program);
    RunSplittingPass(program);
    RunScopePass(program);
    return finalIncludePath;
}

std::string FileFingerprint(const std::string& path) {
    const std::optional<std::string> bytes = platform::ReadWholeFile(path);
    return bytes ? Md5Hex(*bytes) : std::string();
}

} // namespace tickscope
