// LoadSource on a small tree of files with arbitrary contents that include each other. The
// input gives two to four files; marker bytes in them become include directives naming the
// others (or themselves). The loaded program is checked against the files: every line once
// per opening with its own text, in depth-first order, and the passes run as on those lines.

#include "../fuzz_support.h"

#include "source/line_scanning.h"
#include "source/parser_passes.h"
#include "source/program_info.h"
#include "source/source_loader.h"
#include "source/source_reader.h"

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using tickscope::fuzz::InputReader;
using tickscope::fuzz::Show;

const char* const kNames[] = {"main.pb", "inc/a.pbi", "b c.pbi", "inc/d.pbi"};

// Marker bytes and the directive each stands for.
std::string Expand(std::string_view raw, const std::string& folder) {
    std::string text;
    for (const char c : raw) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0xF0 && b <= 0xF3) {
            text += std::string("IncludeFile \"") + kNames[b - 0xF0] + "\"";
        } else if (b >= 0xF4 && b <= 0xF7) {
            text += std::string("XIncludeFile \"") + kNames[b - 0xF4] + "\"";
        } else if (b == 0xF8) {
            text += "IncludePath \"inc\"";
        } else if (b == 0xF9) {
            text += "IncludeFile \"missing.pbi\"";
        } else if (b == 0xFA) {
            text += "XIncludeFile \"" + folder + kNames[3] + "\"";
        } else if (b == 0xFB) {
            text += "IncludePath \"" + folder + "\"";
        } else {
            text += c;
        }
    }
    return text;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    tickscope::LineSplitter splitter(text);
    std::string_view line;
    while (splitter.Next(line)) {
        lines.emplace_back(line);
    }
    return lines;
}

// Which of the written files a SourceFileIds key names; a key may carry a "#<id>" suffix
// when the same path was opened more than once.
int FileOfKey(std::string key, const std::vector<std::string>& paths) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::error_code error;
        for (std::size_t f = 0; f < paths.size(); ++f) {
            if (std::filesystem::equivalent(key, paths[f], error)) {
                return static_cast<int>(f);
            }
        }
        const std::size_t hash = key.rfind('#');
        if (hash == std::string::npos) {
            break;
        }
        key.resize(hash);
    }
    return -1;
}

bool SameProgram(const tickscope::ProgramInfo& a, const tickscope::ProgramInfo& b) {
    if (a.Path != b.Path || a.IsExecutable != b.IsExecutable || a.IsSharedDll != b.IsSharedDll ||
        a.SourceFileIds.Entries() != b.SourceFileIds.Entries() ||
        a.ScopeIds.Entries() != b.ScopeIds.Entries() ||
        a.LinesOfCode.size() != b.LinesOfCode.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.LinesOfCode.size(); ++i) {
        const auto& x = a.LinesOfCode[i];
        const auto& y = b.LinesOfCode[i];
        if (x.SourceFileId != y.SourceFileId || x.LineNumber != y.LineNumber || x.Code != y.Code ||
            x.Instructions.size() != y.Instructions.size()) {
            return false;
        }
        for (std::size_t m = 0; m < x.Instructions.size(); ++m) {
            const auto& p = x.Instructions[m];
            const auto& q = y.Instructions[m];
            if (x.TextOf(p) != y.TextOf(q) || p.ScopeId != q.ScopeId || p.BlockKey != q.BlockKey ||
                p.InstructionNumber != q.InstructionNumber) {
                return false;
            }
        }
    }
    return true;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

// The bytes of the loaded lines as they stand in their files, before any pass joined them.
std::uint64_t TextBytes(const tickscope::ProgramInfo& program, const std::map<int, int>& fileOfId,
                        const std::vector<std::vector<std::string>>& fileLines) {
    std::uint64_t bytes = 0;
    for (const tickscope::LineOfCode& line : program.LinesOfCode) {
        const auto file = fileOfId.find(line.SourceFileId);
        if (file == fileOfId.end() || file->second < 0) {
            continue;
        }
        const auto& lines = fileLines[static_cast<std::size_t>(file->second)];
        if (line.LineNumber >= 1 && static_cast<std::size_t>(line.LineNumber) <= lines.size()) {
            bytes += lines[static_cast<std::size_t>(line.LineNumber) - 1].size();
        }
    }
    return bytes;
}

// A refused program is empty, and only a program beyond the limits is refused: loaded under
// limits sixteen times larger it fails again or exceeds one of the small ones.
void CheckRefusal(const tickscope::ProgramInfo& program, const std::vector<std::string>& paths,
                  const tickscope::LoadLimits& limits,
                  const std::vector<std::vector<std::string>>& fileLines) {
    FUZZ_CHECK(program.LinesOfCode.empty(), "a refused program keeps lines");
    tickscope::LoadLimits larger;
    larger.MaxLines = limits.MaxLines * 16;
    larger.MaxTextBytes = limits.MaxTextBytes * 16;
    larger.MaxInclusions = limits.MaxInclusions * 16;
    tickscope::ProgramInfo whole;
    tickscope::LoadDetails wholeDetails;
    tickscope::LoadSource(paths[0], "", whole, wholeDetails, larger);
    if (!wholeDetails.Failure.empty()) {
        return;
    }
    std::map<int, int> fileOfId;
    for (const auto& [key, id] : whole.SourceFileIds) {
        fileOfId[id] = FileOfKey(key, paths);
    }
    const bool beyond = whole.LinesOfCode.size() > limits.MaxLines ||
                        TextBytes(whole, fileOfId, fileLines) > limits.MaxTextBytes ||
                        whole.SourceFileIds.Size() - 1 > limits.MaxInclusions;
    FUZZ_CHECK(beyond, "refused a program within the limits: " +
                           std::to_string(whole.LinesOfCode.size()) + " lines");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    InputReader input(data, size);
    const std::uint8_t shape = input.Byte();
    const int fileCount = 2 + (shape & 0x7F) % 3;
    // A set high bit loads under small limits, so that include bombs reach them quickly.
    const bool smallLimits = (shape & 0x80) != 0;
    tickscope::LoadLimits limits;
    if (smallLimits) {
        const unsigned k = (shape >> 2) & 0x1F;
        limits.MaxLines = 2 + 6 * k;
        limits.MaxTextBytes = 16 + 40 * k;
        limits.MaxInclusions = 1 + k / 2;
    }
    const std::string_view rest = input.Rest();

    const auto& scratch = tickscope::fuzz::ScratchFolder::Get();
    scratch.Empty();
    const std::string folder = scratch.Path().string() + "/";
    std::vector<std::string> paths;
    std::vector<std::vector<std::string>> fileLines;
    std::size_t start = 0;
    for (int f = 0; f < fileCount; ++f) {
        std::size_t end = rest.find('\xFE', start);
        end = (end == std::string_view::npos || f == fileCount - 1) ? rest.size() : end;
        const std::string content =
            Expand(rest.substr(std::min(start, rest.size()), end - std::min(start, end)), folder);
        paths.push_back(scratch.Write(kNames[f], content));
        fileLines.push_back(
            SplitLines(std::string_view(content).substr(tickscope::fuzz::MarkLength(content))));
        start = end + 1;
    }

    tickscope::ProgramInfo program;
    tickscope::LoadDetails details;
    tickscope::LoadSource(paths[0], "", program, details, limits);
    FUZZ_CHECK(!details.NamedFiles.empty() && SameFile(details.NamedFiles[0], paths[0]),
               "the source file is not the first named file");
    if (!details.Failure.empty()) {
        CheckRefusal(program, paths, limits, fileLines);
        return 0;
    }
    FUZZ_CHECK(program.Path == paths[0], Show(program.Path));
    FUZZ_CHECK(program.LinesOfCode.size() <= limits.MaxLines, "more lines than the limit");

    // Ids 1..n, each naming one of the files; the top-level file is 1.
    std::map<int, int> fileOfId;
    for (const auto& [key, id] : program.SourceFileIds) {
        FUZZ_CHECK(id >= 1 && id <= static_cast<int>(program.SourceFileIds.Size()),
                   "id " + std::to_string(id));
        FUZZ_CHECK(fileOfId.count(id) == 0, "id " + std::to_string(id) + " given twice");
        fileOfId[id] = FileOfKey(key, paths);
        FUZZ_CHECK(fileOfId[id] >= 0, "key names no file: " + Show(key));
        // Every file read is among the named ones, which TARGET may never replace.
        bool named = false;
        for (const std::string& path : details.NamedFiles) {
            named = named || SameFile(path, paths[static_cast<std::size_t>(fileOfId[id])]);
        }
        FUZZ_CHECK(named, "a file read is not among the named files: " + Show(key));
    }
    FUZZ_CHECK(fileOfId.count(1) == 1 && fileOfId[1] == 0, "top-level file id");

    // Every opening contributes all its lines, numbered from 1, with their own text; the
    // lines of an included file follow a directive line; ids appear in increasing order.
    tickscope::ProgramInfo raw;
    std::map<int, int> nextLine;
    int highestSeen = 0;
    for (std::size_t i = 0; i < program.LinesOfCode.size(); ++i) {
        const tickscope::LineOfCode& line = program.LinesOfCode[i];
        const auto file = fileOfId.find(line.SourceFileId);
        FUZZ_CHECK(file != fileOfId.end(),
                   "line of unknown id " + std::to_string(line.SourceFileId));
        int& expectedLine = nextLine[line.SourceFileId];
        if (expectedLine == 0) {
            FUZZ_CHECK(line.SourceFileId > highestSeen, "ids out of order");
            highestSeen = line.SourceFileId;
            if (line.SourceFileId != 1) {
                FUZZ_CHECK(i > 0, "included lines before the includer");
                const std::string_view before = raw.LinesOfCode[i - 1].Code;
                FUZZ_CHECK(tickscope::FindKeyword(before, "includefile") > 0 ||
                               tickscope::FindKeyword(before, "xincludefile") > 0,
                           "lines of file " + std::to_string(line.SourceFileId) + " follow " +
                               Show(before));
            }
        }
        FUZZ_CHECK(line.LineNumber == ++expectedLine,
                   "line number " + std::to_string(line.LineNumber));
        const auto& lines = fileLines[static_cast<std::size_t>(file->second)];
        FUZZ_CHECK(static_cast<std::size_t>(line.LineNumber) <= lines.size(), "line past the end");
        tickscope::LineOfCode& copy = raw.LinesOfCode.emplace_back();
        copy.SourceFileId = line.SourceFileId;
        copy.LineNumber = line.LineNumber;
        copy.Code = lines[static_cast<std::size_t>(line.LineNumber) - 1];
        FUZZ_CHECK(!line.Instructions.empty(), "line without instructions");
    }
    for (const auto& [id, file] : fileOfId) {
        FUZZ_CHECK(nextLine[id] ==
                       static_cast<int>(fileLines[static_cast<std::size_t>(file)].size()),
                   "file " + std::to_string(id) + " read in part");
    }

    // The passes see exactly those lines.
    raw.Path = program.Path;
    raw.SourceFileIds = program.SourceFileIds;
    tickscope::RunContinuationPass(raw);
    tickscope::RunSplittingPass(raw);
    tickscope::RunScopePass(raw);
    FUZZ_CHECK(SameProgram(raw, program), "passes over the loaded lines differ");

    // A second load of the same files gives the same program: nothing is left over.
    tickscope::ProgramInfo again;
    tickscope::LoadSource(paths[0], "", again);
    FUZZ_CHECK(SameProgram(again, program), "a second load differs");
    if (smallLimits) {
        FUZZ_CHECK(program.SourceFileIds.Size() - 1 <= limits.MaxInclusions,
                   "more inclusions than the limit");
        FUZZ_CHECK(TextBytes(program, fileOfId, fileLines) <= limits.MaxTextBytes,
                   "more text than the limit");
    }
    return 0;
}
