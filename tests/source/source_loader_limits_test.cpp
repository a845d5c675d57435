#include "loader_test_support.h"

#include "source/source_loader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace tickscope {
namespace {

using namespace std::string_literals;
using testing::Codes;
using testing::LineOrigins;
using testing::Lines;
using testing::Load;
using testing::TempFolder;

void ExpectNumberedLinesWithInstructions(const ProgramInfo& program) {
    for (const LineOfCode& line : program.LinesOfCode) {
        ASSERT_FALSE(line.Instructions.empty());
        ASSERT_GE(line.LineNumber, 1);
        ASSERT_GE(line.SourceFileId, 1);
    }
}

TEST(LoadSourceLimitsTest, DeepIncludeChains) {
    for (const int depth : {1000, 5000}) {
        TempFolder folder;
        // Each file includes the next; the last one includes the first again.
        for (int i = 0; i < depth; ++i) {
            const std::string next = i + 1 < depth ? "f" + std::to_string(i + 1) + ".pbi" : "f0.pb";
            const std::string name = i == 0 ? "f0.pb" : "f" + std::to_string(i) + ".pbi";
            folder.Write(name, Lines({"IncludeFile \"" + next + "\"", "v = " + std::to_string(i)}));
        }
        const ProgramInfo program = Load(folder.File("f0.pb"));
        ASSERT_EQ(program.LinesOfCode.size(), static_cast<std::size_t>(2 * depth));
        ASSERT_EQ(program.SourceFileIds.Size(), static_cast<std::size_t>(depth));
        for (int i = 0; i < depth; ++i) {
            const LineOfCode& down = program.LinesOfCode[static_cast<std::size_t>(i)];
            const LineOfCode& up = program.LinesOfCode[static_cast<std::size_t>(2 * depth - 1 - i)];
            ASSERT_EQ(down.SourceFileId, i + 1);
            ASSERT_EQ(down.LineNumber, 1);
            ASSERT_EQ(up.SourceFileId, i + 1);
            ASSERT_EQ(up.LineNumber, 2);
            ASSERT_EQ(up.Code, "v = " + std::to_string(i));
        }
        ExpectNumberedLinesWithInstructions(program);
    }
}

TEST(LoadSourceLimitsTest, ThousandsOfIncludesOfOneFile) {
    constexpr int kIncludes = 20000;
    TempFolder folder;
    folder.Write("small.pbi", Lines({"a = 1", "b = 2"}));
    folder.Write("once.pbi", Lines({"c = 3"}));
    std::vector<std::string> main;
    for (int i = 0; i < kIncludes; ++i) {
        main.push_back("IncludeFile \"small.pbi\"");
        main.push_back("XIncludeFile \"once.pbi\"");
    }
    folder.Write("main.pb", Lines(main));
    const auto start = std::chrono::steady_clock::now();
    const ProgramInfo program = Load(folder.File("main.pb"));
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Linear work takes well under a second; a search over all fingerprints per include, or
    // over all keys per id, takes minutes.
    EXPECT_LT(seconds, 30.0);
    EXPECT_EQ(program.LinesOfCode.size(), static_cast<std::size_t>(4 * kIncludes + 1));
    EXPECT_EQ(program.SourceFileIds.Size(), static_cast<std::size_t>(kIncludes + 2));
    const std::string small = folder.File("small.pbi");
    EXPECT_EQ(program.SourceFileIds.Get(small), 2);
    EXPECT_EQ(program.SourceFileIds.Get(folder.File("once.pbi")), 3);
    EXPECT_EQ(program.SourceFileIds.Get(small + "#4"), 4);
    EXPECT_EQ(program.SourceFileIds.Get(small + "#" + std::to_string(kIncludes + 2)),
              kIncludes + 2);
    std::vector<bool> used(kIncludes + 3, false);
    for (const auto& [key, id] : program.SourceFileIds) {
        ASSERT_GT(id, 0);
        ASSERT_LE(id, kIncludes + 2);
        ASSERT_FALSE(used[static_cast<std::size_t>(id)]) << key;
        used[static_cast<std::size_t>(id)] = true;
    }
}

TEST(LoadSourceLimitsTest, TenMegabyteLine) {
    TempFolder folder;
    std::string line = "x$ = \"";
    while (line.size() < 10'000'000) {
        line += "some text with a ; and a : inside ";
    }
    line += "\" ; comment";
    folder.Write("big.pbi", "\xEF\xBB\xBF" + line + "\r\n");
    const std::string main = folder.Write("main.pb", Lines({"XIncludeFile \"big.pbi\"", "y = 1"}));
    const ProgramInfo program = Load(main);
    ASSERT_EQ(program.LinesOfCode.size(), 3u);
    EXPECT_EQ(program.LinesOfCode[1].Code, line);
    EXPECT_EQ(program.LinesOfCode[1].SourceFileId, 2);
    EXPECT_EQ(program.LinesOfCode[2].Code, "y = 1");
    ExpectNumberedLinesWithInstructions(program);
}

// Number of lines in text cut at CR, LF and CR LF, counted without the splitter.
std::size_t CountLines(const std::string& text) {
    std::size_t count = 0;
    bool pending = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            ++count;
            pending = false;
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            pending = true;
        }
    }
    return count + (pending ? 1 : 0);
}

TEST(LoadSourceLimitsTest, BinaryGarbageIsReadAsText) {
    for (const unsigned seed : {1u, 2u, 3u}) {
        std::mt19937 random(seed);
        std::string garbage = "x";
        for (int i = 0; i < 1'000'000; ++i) {
            garbage += static_cast<char>(random() & 0xFF);
        }
        TempFolder folder;
        folder.Write("garbage.pbi", garbage);
        const ProgramInfo included =
            Load(folder.Write("main.pb", Lines({"IncludeFile \"garbage.pbi\""})));
        EXPECT_EQ(included.LinesOfCode.size(), CountLines(garbage) + 1) << seed;
        ExpectNumberedLinesWithInstructions(included);
        const ProgramInfo top = Load(folder.File("garbage.pbi"));
        EXPECT_EQ(top.LinesOfCode.size(), CountLines(garbage)) << seed;
        int expectedNumber = 0;
        for (const LineOfCode& line : top.LinesOfCode) {
            ASSERT_EQ(line.LineNumber, ++expectedNumber);
        }
    }
}

TEST(LoadSourceLimitsTest, NamesThatOpenNoFile) {
    TempFolder folder;
    folder.Write("inc.pbi", Lines({"x = 1"}));
    std::filesystem::create_directories(folder.Path() / "folder.pbi");
    ASSERT_EQ(::mkfifo(folder.File("pipe.pbi").c_str(), 0600), 0);
    const std::string directives[] = {
        "IncludeFile \"folder.pbi\"",
        "XIncludeFile \"folder.pbi\"",
        "IncludeFile \"pipe.pbi\"",       // a pipe would block a reader
        "IncludeFile \"inc.pbi\0.txt\""s, // a C string would name inc.pbi
        "XIncludeFile \"missing.pbi\"",
        "IncludeFile \"\"",
        "IncludeFile",
    };
    for (const std::string& directive : directives) {
        const std::string main = folder.Write("main.pb", Lines({directive, "y = 1"}));
        const ProgramInfo program = Load(main);
        EXPECT_EQ(Codes(program), (std::vector<std::string>{directive, "y = 1"})) << directive;
        EXPECT_EQ(program.SourceFileIds.Size(), 1u) << directive;
    }
}

TEST(LoadSourceLimitsTest, TopLevelNameHoldingNul) {
    TempFolder folder;
    const std::string main = folder.Write("main.pb", Lines({"x = 1"}));
    const std::string name = main + "\0.bak"s;
    const ProgramInfo program = Load(name);
    EXPECT_TRUE(program.LinesOfCode.empty());
    EXPECT_TRUE(program.SourceFileIds.Empty());
    EXPECT_EQ(program.Path, name);
    EXPECT_EQ(program.ScopeIds.Get(kMainScopeName), kMainScopeId);
}

// The load of a program whose include cannot be read, as "<lines>/<files>" of each load.
std::string LoadWithUnreadableFiles(const TempFolder& folder) {
    const ProgramInfo withUnreadableInclude = Load(folder.File("main.pb"));
    std::string result = std::to_string(withUnreadableInclude.LinesOfCode.size()) + "/" +
                         std::to_string(withUnreadableInclude.SourceFileIds.Size());
    const ProgramInfo unreadableMain = Load(folder.File("locked.pb"));
    result += " " + std::to_string(unreadableMain.LinesOfCode.size()) + "/" +
              std::to_string(unreadableMain.SourceFileIds.Size());
    return result;
}

TEST(LoadSourceLimitsTest, UnreadableFileSkipped) {
    TempFolder folder;
    const std::string inc = folder.Write("inc.pbi", Lines({"x = 1"}));
    folder.Write("main.pb", Lines({"IncludeFile \"inc.pbi\"", "y = 1"}));
    const std::string locked = folder.Write("locked.pb", Lines({"z = 1"}));
    ASSERT_EQ(::chmod(inc.c_str(), 0), 0);
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    const std::string expected = "2/1 0/0";
    if (::geteuid() != 0) {
        EXPECT_EQ(LoadWithUnreadableFiles(folder), expected);
        return;
    }
    // Permissions do not stop root: load as an unprivileged user in a child process.
    ASSERT_EQ(::chmod(folder.Path().c_str(), 0777), 0);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeEnds[0]);
        std::string result = "setuid failed";
        if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
            result = LoadWithUnreadableFiles(folder);
        }
        const ssize_t written = ::write(pipeEnds[1], result.data(), result.size());
        ::_exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    std::string result;
    char buffer[256];
    ssize_t got;
    while ((got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        result.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(result, expected);
}

TEST(LoadSourceLimitsTest, EmptyFilesGetIdsAndShareOneFingerprint) {
    TempFolder folder;
    folder.Write("empty1.pbi", "");
    folder.Write("empty2.pbi", "");
    const ProgramInfo program = Load(folder.Write(
        "main.pb", Lines({"XIncludeFile \"empty1.pbi\"", "XIncludeFile \"empty2.pbi\"", "z"})));
    EXPECT_EQ(LineOrigins(program, folder.Folder()),
              (std::vector<std::string>{"main.pb:1", "main.pb:2", "main.pb:3"}));
    EXPECT_EQ(program.SourceFileIds.Get(folder.File("empty1.pbi")), 2);
    EXPECT_EQ(program.SourceFileIds.Size(), 2u);
}

TEST(LoadSourceLimitsTest, AProgramBeyondTheLimitsIsNotLoaded) {
    TempFolder folder;
    // main.pb includes a.pbi twice and b.pbi once; a.pbi holds 3 lines of 10 characters.
    const std::string main =
        folder.Write("main.pb", Lines({"IncludeFile \"a.pbi\"", "IncludeFile \"a.pbi\"",
                                       "XIncludeFile \"b.pbi\"", "XIncludeFile \"gone.pbi\""}));
    folder.Write("a.pbi", Lines({"x = 123456", "y = 123456", "z = 123456"}));
    folder.Write("b.pbi", Lines({"b"}));
    struct Case {
        const char* Name;
        LoadLimits Limits;
        std::string Failure;
    };
    const std::vector<Case> cases = {
        {"within every limit", {11, 1000, 3}, ""},
        {"one line too many",
         {10, 1000, 3},
         "the program grows beyond 10 lines while main.pb is read"},
        {"too much text",
         {100, 40, 3},
         "the program grows beyond 40 bytes of text while a.pbi is read, included by main.pb "
         "line 1"},
        {"one inclusion too many",
         {100, 1000, 2},
         "the program takes in files more than 2 times at main.pb line 3, while main.pb is read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ProgramInfo program;
        LoadDetails details;
        LoadSource(main, "", program, details, c.Limits);
        EXPECT_EQ(details.Failure, c.Failure);
        EXPECT_EQ(program.LinesOfCode.size(), c.Failure.empty() ? 11u : 0u);
        // Every file a directive named, read or not.
        ASSERT_EQ(details.NamedFiles.size(), c.Failure.empty() ? 5u : details.NamedFiles.size());
        EXPECT_EQ(details.NamedFiles.front(), main);
        if (c.Failure.empty()) {
            EXPECT_EQ(details.NamedFiles.back(), folder.File("gone.pbi"));
        }
    }
}

} // namespace
} // namespace tickscope
