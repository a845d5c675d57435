#include "source/source_loader.h"

#include "platform/file_reading.h"
#include "platform/platform.h"
#include "source/line_scanning.h"
#include "source/parser_passes.h"
#include "source/path_resolution.h"
#include "source/source_reader.h"
#include "source/text_utils.h"

#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace tickscope {

namespace {

using SharedBytes = std::shared_ptr<const std::string>;

// A path as this load found it: its bytes, read once, and which content they are. Paths of
// the same content share one copy of the bytes.
struct KnownFile {
    SharedBytes Bytes;  // none when the file cannot be read
    int ContentId = -2; // -2 not yet known; -1 for every unreadable file
};

// The stack's record of one file being read. It must not move while it is read (the loader
// keeps these in a deque and only adds or removes at the end).
struct OpenFile {
    OpenFile(SharedBytes bytes, int fileId, std::string includePath, std::string realPath,
             std::string folder, std::string includedBy)
        : Bytes(std::move(bytes)),
          Lines(std::string_view(*Bytes).substr(ByteOrderMarkLength(*Bytes))), FileId(fileId),
          IncludePath(std::move(includePath)), RealPath(std::move(realPath)),
          Folder(std::move(folder)), IncludedBy(std::move(includedBy)) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    SharedBytes Bytes; // the lines are views into them
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
    // For letters, setting bit 5 is lower-casing, and no other byte becomes a letter by it.
    constexpr std::string_view kWord = "include";
    for (std::size_t i = 0; i + kWord.size() <= line.size(); ++i) {
        if ((line[i] | 0x20) != 'i') {
            continue;
        }
        std::size_t j = 1;
        while (j < kWord.size() && (line[i + j] | 0x20) == kWord[j]) {
            ++j;
        }
        if (j == kWord.size()) {
            return true;
        }
    }
    return false;
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
            if (program_.LinesOfCode.size() + lines_.size() >= limits_.MaxLines) {
                Stop("grows beyond " + std::to_string(limits_.MaxLines) + " lines",
                     WhileReading(file));
                return finalIncludePath;
            }
            if (textBytes_ > limits_.MaxTextBytes) {
                Stop("grows beyond " + SizeText(limits_.MaxTextBytes) + " of text",
                     WhileReading(file));
                return finalIncludePath;
            }
            lines_.push_back({line, file.FileId, ++file.LineNumber});
            FollowDirective(line, file);
        }
        // All lines are known now: the program takes them in one allocation, and keeps the
        // files' bytes that their texts point into.
        program_.LinesOfCode.reserve(program_.LinesOfCode.size() + lines_.size());
        for (const ReadLine& read : lines_) {
            LineOfCode& added = program_.LinesOfCode.emplace_back();
            added.SourceFileId = read.FileId;
            added.LineNumber = read.LineNumber;
            added.Code = CodeText::Borrowed(read.Text);
        }
        for (SharedBytes& bytes : readBytes_) {
            program_.SourceTexts.push_back(std::move(bytes));
        }
        return finalIncludePath;
    }

  private:
    // A line as read, a view into its file's bytes, until the program takes it.
    struct ReadLine {
        std::string_view Text;
        int FileId;
        int LineNumber;
    };

    // The program grew beyond the limits while `file` was read: nothing of it is kept.
    void Stop(const std::string& what, const std::string& where) {
        details_.Failure = "the program " + what + " " + where;
        files_.clear();
        lines_ = {};
        readBytes_ = {};
        program_.LinesOfCode = {};
    }

    static std::string WhileReading(const OpenFile& file) {
        return "while " + FileNameOf(file.RealPath) + " is read" +
               (file.IncludedBy.empty() ? std::string() : ", included by " + file.IncludedBy);
    }

    // A path's file, read the first time this load names it.
    KnownFile& Read(const std::string& path) {
        auto [it, added] = known_.try_emplace(path);
        if (added) {
            if (std::optional<std::string> bytes = platform::ReadWholeFile(path)) {
                it->second.Bytes = std::make_shared<const std::string>(std::move(*bytes));
            }
        }
        return it->second;
    }

    // Which content a file holds: files with the same bytes are the same content, however
    // they are named. The bytes are hashed once per path and compared only on equal hashes;
    // a path whose content is known already gives up its copy for the first one.
    int ContentId(KnownFile& file) {
        if (file.ContentId != -2) {
            return file.ContentId;
        }
        if (!file.Bytes) {
            return file.ContentId = -1;
        }
        const std::uint64_t hash = ContentHash(*file.Bytes, hashSeed_);
        for (auto [it, end] = contentsByHash_.equal_range(hash); it != end; ++it) {
            const SharedBytes& known = contents_[static_cast<std::size_t>(it->second)];
            if (*known == *file.Bytes) {
                file.Bytes = known;
                return file.ContentId = it->second;
            }
        }
        file.ContentId = static_cast<int>(contents_.size());
        contents_.push_back(file.Bytes);
        contentsByHash_.emplace(hash, file.ContentId);
        return file.ContentId;
    }

    // Opens a file and puts it on the stack. Returns the include path that a file which
    // cannot be opened hands back to its includer.
    std::string Enter(const std::string& fileName, const std::string& includePath) {
        ResolvedInclude resolved = ResolveInclude(fileName, includePath, style_);
        details_.NamedFiles.push_back(resolved.PathToOpen);
        std::string handedBack = resolved.IncludePath;
        if (const KnownFile& file = Read(resolved.PathToOpen); file.Bytes) {
            Push(std::move(resolved), file.Bytes, {});
        }
        return handedBack;
    }

    void Push(ResolvedInclude resolved, SharedBytes bytes, std::string includedBy) {
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
        // A path opened again keeps its first entry; the new one is told apart by its id.
        program_.SourceFileIds.AddUnique(resolved.PathToOpen, fileId);
        std::string folder = PathPart(resolved.PathToOpen);
        if (readBytesKnown_.insert(bytes.get()).second) {
            readBytes_.push_back(bytes); // the program keeps them for its lines' texts
        }
        files_.emplace_back(std::move(bytes), fileId, std::move(resolved.IncludePath),
                            std::move(realPath), std::move(folder), std::move(includedBy));
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
        KnownFile& included = Read(resolved.PathToOpen);
        // Files are recognised by content: a copy under another name counts as taken in, and
        // so do all files that cannot be read once one of them was named.
        const bool seen = !includedContents_.insert(ContentId(included)).second;
        if (directive == Directive::XIncludeFile && seen) {
            return;
        }
        // The includer continues with the include path of the included file, whether or not
        // that file could be read.
        file.IncludePath = resolved.IncludePath;
        if (included.Bytes) {
            Push(std::move(resolved), included.Bytes,
                 FileNameOf(file.RealPath) + " line " + std::to_string(file.LineNumber));
        }
    }

    ProgramInfo& program_;
    PathStyle style_;
    LoadDetails& details_;
    const LoadLimits& limits_;
    std::uint64_t textBytes_ = 0;
    std::uint64_t inclusions_ = 0;
    std::unordered_map<std::string, KnownFile> known_; // by path as resolved
    std::vector<SharedBytes> contents_;                // bytes of each content id
    std::unordered_multimap<std::uint64_t, int> contentsByHash_;
    std::deque<OpenFile> files_;
    std::vector<SharedBytes> readBytes_; // of every file taken in, once each
    std::unordered_set<const std::string*> readBytesKnown_;
    std::vector<ReadLine> lines_;
    std::unordered_set<std::string> openRealPaths_;
    std::unordered_set<int> includedContents_;
    // Different in every load (the clock and where the load lives), and never fails.
    const std::uint64_t hashSeed_ =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        reinterpret_cast<std::uintptr_t>(this);
};

} // namespace

std::string LoadSource(const std::string& fileName, const std::string& includePath,
                       ProgramInfo& program) {
    LoadDetails details;
    return LoadSource(fileName, includePath, program, details);
}

std::string LoadSource(const std::string& fileName, const std::string& includePath,
                       ProgramInfo& program, LoadDetails& details, const LoadLimits& limits) {
    std::string finalIncludePath;
    {
        // What the load read and does not keep goes with it.
        SourceLoad load(program, NativePathStyle(), details, limits);
        finalIncludePath = load.Run(fileName, includePath);
    }
    program.Path = fileName;
    if (!details.Failure.empty()) {
        return finalIncludePath;
    }
    RunParserPasses(program);
    return finalIncludePath;
}

std::string FileFingerprint(const std::string& path) {
    const std::optional<std::string> bytes = platform::ReadWholeFile(path);
    return bytes ? Md5Hex(*bytes) : std::string();
}

} // namespace tickscope
