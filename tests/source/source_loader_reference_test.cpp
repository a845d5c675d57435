// Random include graphs loaded by LoadSource and by a plain recursive reading of the same
// rules, which must agree line for line.

#include "loader_test_support.h"
#include "platform/file_reading.h"

#include "platform/platform.h"
#include "source/line_scanning.h"
#include "source/path_resolution.h"
#include "source/source_reader.h"
#include "source/text_utils.h"

#include <gtest/gtest.h>

#include <iostream>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace tickscope {
namespace {

using testing::TempFolder;

// The loading rules written as directly as possible: recursion, fingerprints kept as one
// text of "*<md5>*" entries, the include path handed back by every call.
class ReferenceLoader {
  public:
    std::vector<std::string> origins;               // "<key>:<line>"
    std::vector<std::pair<std::string, int>> files; // key -> id

    std::string Load(const std::string& name, std::string includePath) {
        const ResolvedInclude resolved = ResolveInclude(name, includePath, PathStyle::Posix);
        includePath = resolved.IncludePath;
        const auto bytes = platform::ReadWholeFile(resolved.PathToOpen);
        const std::string real = platform::RealPath(resolved.PathToOpen).value_or("");
        if (!bytes || open_.count(real)) {
            return includePath;
        }
        open_.insert(real);
        const int id = static_cast<int>(files.size()) + 1;
        std::string key = resolved.PathToOpen;
        for (const auto& [existing, value] : files) {
            if (existing == key) {
                key += "#" + std::to_string(id);
            }
        }
        files.emplace_back(key, id);
        const std::string text = bytes->substr(ByteOrderMarkLength(*bytes));
        std::vector<std::string> lines;
        std::string current;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' || text[i] == '\n') {
                lines.push_back(current);
                current.clear();
                if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                    ++i;
                }
            } else {
                current += text[i];
            }
        }
        if (!current.empty()) {
            lines.push_back(current);
        }
        for (std::size_t n = 0; n < lines.size(); ++n) {
            const std::string& line = lines[n];
            origins.push_back(key + ":" + std::to_string(n + 1));
            const int pathAt = FindKeyword(line, "includepath");
            const int fileAt = pathAt ? 0 : FindKeyword(line, "includefile");
            const int xFileAt = pathAt || fileAt ? 0 : FindKeyword(line, "xincludefile");
            const int at = pathAt ? pathAt : fileAt ? fileAt : xFileAt;
            if (at == 0) {
                continue;
            }
            const std::string argument =
                ReplaceAll(TokenField(TokenizeLine(line.substr(at - 1)), 2), "\"", "");
            if (pathAt) {
                includePath = IncludePathFromDirective(argument, PathPart(resolved.PathToOpen),
                                                       PathStyle::Posix);
                continue;
            }
            const auto included = platform::ReadWholeFile(
                ResolveInclude(argument, includePath, PathStyle::Posix).PathToOpen);
            const std::string entry = "*" + (included ? Md5Hex(*included) : "") + "*";
            if (xFileAt && fingerprints_.find(entry) != std::string::npos) {
                continue;
            }
            fingerprints_ += entry;
            includePath = Load(argument, includePath);
        }
        open_.erase(real);
        return includePath;
    }

  private:
    std::set<std::string> open_;
    std::string fingerprints_;
};

std::string RandomLine(std::mt19937& random, const std::string& folder) {
    static const char* const kNames[] = {"f1.pbi",   "f2.pbi",      "f3.pbi", "f4.pbi",
                                         "copy.pbi", "missing.pbi", "main.pb"};
    const std::string name = kNames[random() % std::size(kNames)];
    switch (random() % 8) {
    case 0:
    case 7:
        return "IncludeFile \"" + name + "\"";
    case 1:
    case 2:
        return "XIncludeFile \"" + name + "\"";
    case 3:
        return random() % 2 ? "IncludePath \"" + folder + "sub\"" : "IncludePath \"..\"";
    case 4:
        return "a = 1 : XIncludeFile \"" + name + "\" ; note";
    default:
        return "v = " + std::to_string(random() % 3);
    }
}

TEST(LoadSourceReferenceTest, RandomIncludeGraphsMatchRecursiveReading) {
    int deepGraphs = 0;    // three files or more opened
    int reopenedFiles = 0; // a path opened twice
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        TempFolder folder;
        const std::string f = folder.Folder();
        std::string copied;
        for (const std::string& dir : {std::string(), std::string("sub/")}) {
            for (const std::string name : {"main.pb", "f1.pbi", "f2.pbi", "f3.pbi", "f4.pbi"}) {
                std::vector<std::string> lines(random() % 7);
                for (std::string& line : lines) {
                    line = RandomLine(random, f);
                }
                const std::string text = testing::Lines(lines);
                folder.Write(dir + name, text);
                if (name == "f2.pbi") {
                    copied = text;
                }
            }
            // Same bytes as an earlier file under another name.
            folder.Write(dir + "copy.pbi", copied);
        }
        ReferenceLoader reference;
        reference.Load(f + "main.pb", "");
        const ProgramInfo program = testing::Load(f + "main.pb");
        std::vector<std::string> origins;
        for (const LineOfCode& line : program.LinesOfCode) {
            origins.push_back(testing::KeyOfId(program, line.SourceFileId) + ":" +
                              std::to_string(line.LineNumber));
        }
        ASSERT_EQ(origins, reference.origins) << "seed " << seed;
        ASSERT_EQ(program.SourceFileIds.Entries(), reference.files) << "seed " << seed;
        deepGraphs += program.SourceFileIds.Size() >= 3 ? 1 : 0;
        for (const auto& [key, id] : program.SourceFileIds) {
            reopenedFiles += key.find('#') != std::string::npos ? 1 : 0;
        }
    }
    // The graphs exercise nesting and repeated includes, not only single files.
    EXPECT_GT(deepGraphs, 50);
    EXPECT_GT(reopenedFiles, 50);
    std::cout << deepGraphs << " deep graphs, " << reopenedFiles << " reopened files\n";
}

} // namespace
} // namespace tickscope
