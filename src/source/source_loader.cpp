#include "source/source_loader.h"

#include "platform/file_reading.h"
#include "platform/platform.h"
#include "source/line_scanning.h"
#include "source/parser_passes.h"
#include "source/path_resolution.h"
#include "source/source_reader.h"
#include "source/text_utils.h"

#include <deque>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace tickscope {

namespace {

// One file being read. Its lines are views into `Bytes`, so the record must not move
// while it is read (the loader keeps these in a deque and only adds or removes at the end).
// The bytes of a file being read; a file included again while it is read shares them.
struct FileContent {
    std::string Bytes;
};
using SharedContent = std::shared_ptr<FileContent>;

struct OpenFile {
    OpenFile(SharedContent content, int fileId, std::string includePath, std::string realPath,
             std::string folder, std::string includedBy)
        : Content(std::move(content)),
          Lines(std::string_view(Content->Bytes).substr(ByteOrderMarkLength(Content->Bytes))),
          FileId(fileId), IncludePath(std::move(includePath)), RealPath(std::move(realPath)),
          Folder(std::move(folder)), IncludedBy(std::move(includedBy)) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    SharedContent Content;
    LineSplitter Lines;
    int FileId;
    int LineNumber = 0;
    std::string IncludePath; // changed by "includepath" and by the files this one includes
    std::string RealPath;
    std::string Folder;     // folder part of the path the file was opened by
    std::string IncludedBy; // the directive that took it in, for messages
};

std::string SizeText(std::uint64_t bytes) {
    return bytes >= (1u << 20) ? std::to_string(bytes >> 20) + " MB"
                               : std::to_string(bytes) + " bytes";
}

std::string FileNameOf(std::string_view path) {
    const auto slash = path.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

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
    SourceLoad(ProgramInfo& program, PathStyle style, LoadDetails& details,
               const LoadLimits& limits)
        : program_(program), style_(style), details_(details), limits_(limits) {}

    std::string Run(const std::string& fileName, const std::string& includePath) {
        std::string finalIncludePath = Enter(fileName, includePath);
        while (!files_.empty()) {
            OpenFile& file = files_.back();
            std::string_view line;
            if (!file.Lines.Next(line)) {
                finalIncludePath = Leave();
                continue;
            }
            textBytes_ += line.size();
            if (program_.LinesOfCode.size() >= limits_.MaxLines) {
                Stop("grows beyond " + std::to_string(limits_.MaxLines) + " lines",
                     WhileReading(file));
                return finalIncludePath;
            }
            if (textBytes_ > limits_.MaxTextBytes) {
                Stop("grows beyond " + SizeText(limits_.MaxTextBytes) + " of text",
                     WhileReading(file));
                return finalIncludePath;
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
    // The program grew beyond the limits while `file` was read: nothing of it is kept.
    // The program grew beyond the limits while `file` was read: nothing of it is kept.
    void Stop(const std::string& what, const std::string& where) {
        details_.Failure = "the program " + what + " " + where;
        files_.clear();
        program_.LinesOfCode = {};
    }

    static std::string WhileReading(const OpenFile& file) {
        return "while " + FileNameOf(file.RealPath) + " is read" +
               (file.IncludedBy.empty() ? std::string() : ", included by " + file.IncludedBy);
    }

    // The content of a file: shared with the reading of it that is still open (a file
    // included again while it is read), otherwise read anew; freed when no longer read.
    SharedContent Read(const std::string& path) {
        if (SharedContent open = openContents_[path].lock()) {
            return open;
        }
        SharedContent content;
        if (std::optional<std::string> bytes = platform::ReadWholeFile(path)) {
            content = std::make_shared<FileContent>(FileContent{std::move(*bytes)});
        }
        openContents_[path] = content;
        return content;
    }

    // The fingerprint of a file (empty when it cannot be read), hashed once per load.
    const std::string& Fingerprint(const std::string& path, SharedContent& content) {
        const auto known = fingerprints_.find(path);
        if (known != fingerprints_.end()) {
            return known->second;
        }
        content = Read(path);
        return fingerprints_.emplace(path, content ? Md5Hex(content->Bytes) : std::string())
            .first->second;
    }

    // Opens a file and puts it on the stack. Returns the include path that a file which
    // cannot be opened hands back to its includer.
    std::string Enter(const std::string& fileName, const std::string& includePath) {
        ResolvedInclude resolved = ResolveInclude(fileName, includePath, style_);
        details_.NamedFiles.push_back(resolved.PathToOpen);
        std::string handedBack = resolved.IncludePath;
        if (SharedContent content = Read(resolved.PathToOpen)) {
            Push(std::move(resolved), std::move(content), {});
        }
        return handedBack;
    }

    void Push(ResolvedInclude resolved, SharedContent content, std::string includedBy) {
        std::string realPath =
            platform::RealPath(resolved.PathToOpen).value_or(resolved.PathToOpen);
        // A file already being read further up would include itself without end.
        if (openRealPaths_.count(realPath) != 0) {
            return;
        }
        if (!files_.empty() && ++inclusions_ > limits_.MaxInclusions) {
            const OpenFile& file = files_.back();
            Stop("takes in files more than " + std::to_string(limits_.MaxInclusions) + " times",
                 "at " + FileNameOf(file.RealPath) + " line " + std::to_string(file.LineNumber) +
                     ", " + WhileReading(file));
            return;
        }
        openRealPaths_.insert(realPath);
        const int fileId = static_cast<int>(program_.SourceFileIds.Size()) + 1;
        program_.SourceFileIds.Set(KeyForNewFile(resolved.PathToOpen, fileId), fileId);
        std::string folder = PathPart(resolved.PathToOpen);
        files_.emplace_back(std::move(content), fileId, std::move(resolved.IncludePath),
                            std::move(realPath), std::move(folder), std::move(includedBy));
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
        details_.NamedFiles.push_back(resolved.PathToOpen);
        SharedContent content;
        const std::string& fingerprint = Fingerprint(resolved.PathToOpen, content);
        // Files are recognised by content: a copy under another name counts as taken in.
        const bool seen = !includedFingerprints_.insert(fingerprint).second;
        if (directive == Directive::XIncludeFile && seen) {
            return;
        }
        // The includer continues with the include path of the included file, whether or not
        // that file could be read.
        file.IncludePath = resolved.IncludePath;
        if (!fingerprint.empty() && !content) {
            content = Read(resolved.PathToOpen);
        }
        if (content) {
            Push(std::move(resolved), content,
                 FileNameOf(file.RealPath) + " line " + std::to_string(file.LineNumber));
        }
    }

    ProgramInfo& program_;
    PathStyle style_;
    LoadDetails& details_;
    const LoadLimits& limits_;
    std::uint64_t textBytes_ = 0;
    std::uint64_t inclusions_ = 0;
    std::unordered_map<std::string, std::weak_ptr<FileContent>> openContents_; // by path
    std::unordered_map<std::string, std::string> fingerprints_;                // by path
    std::deque<OpenFile> files_;
    std::unordered_set<std::string> openRealPaths_;
    std::unordered_set<std::string> includedFingerprints_;
};

} // namespace

std::string LoadSource(const std::string& fileName, const std::string& includePath,
                       ProgramInfo& program) {
    LoadDetails details;
    return LoadSource(fileName, includePath, program, details);
}

std::string LoadSource(const std::string& fileName, const std::string& includePath,
                       ProgramInfo& program, LoadDetails& details, const LoadLimits& limits) {
    SourceLoad load(program, NativePathStyle(), details, limits);
    std::string finalIncludePath = load.Run(fileName, includePath);
    program.Path = fileName;
    if (!details.Failure.empty()) {
        return finalIncludePath;
    }
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
