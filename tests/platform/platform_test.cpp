#include "common/scoped_environment.h"
#include "platform/file_writer.h"
#include "platform/platform.h"

#include "common/temp_folder.h"
#include "platform_portable_cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tickscope {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;
namespace fs = std::filesystem;

using testing::ScopedEnvironment;

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(PlatformFolders, HomeAndTempEndWithASeparator) {
    struct Case {
        std::optional<std::string> value;
        std::string home;
        std::string temp;
    };
    const Case cases[] = {
        {"/home/ada", "/home/ada/", "/home/ada/"},
        {"/home/ada/", "/home/ada/", "/home/ada/"},
        {"relative", "relative/", "relative/"},
        {"", "/", "/tmp/"},
        {std::nullopt, "/", "/tmp/"},
    };
    for (const Case& c : cases) {
        ScopedEnvironment home("HOME", c.value);
        ScopedEnvironment tmp("TMPDIR", c.value);
        const std::string label = c.value ? *c.value : "unset";
        EXPECT_EQ(platform::HomeFolder(), c.home) << label;
        EXPECT_EQ(platform::TempFolder(), c.temp) << label;
    }
    EXPECT_EQ(platform::PathSeparator(), '/');
}

TEST(PlatformEnvironment, VariablesAndWindowTitle) {
    {
        ScopedEnvironment set("TICKSCOPE_TEST_VARIABLE", "a=b c");
        EXPECT_EQ(platform::EnvironmentVariable("TICKSCOPE_TEST_VARIABLE"), "a=b c");
    }
    EXPECT_EQ(platform::EnvironmentVariable("TICKSCOPE_TEST_VARIABLE"), "");
    EXPECT_EQ(platform::WindowTitle(12345), "") << "no IDE windows here";
}

TEST(PlatformRealPath, ResolvesDotsAndLinksAndRejectsMissingNames) {
    TempFolder folder;
    const std::string file = folder.Write("sub/file.pb", "x");
    const std::string canonical = fs::canonical(file).string();
    fs::create_symlink(file, folder.File("link.pb"));
    fs::create_symlink(folder.File("nowhere.pb"), folder.File("dangling.pb"));

    struct Case {
        std::string path;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {file, canonical},
        {folder.File("sub/../sub/./file.pb"), canonical},
        {folder.File("link.pb"), canonical},
        {folder.File("missing.pb"), std::nullopt},
        {folder.File("dangling.pb"), std::nullopt},
        {file + std::string("\0.bak", 5), std::nullopt}, // must not resolve `file`
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::RealPath(c.path), c.expected) << c.path;
    }
}

TEST(PlatformListFolder, FiltersBySuffixAndReportsMissingFolders) {
    TempFolder folder;
    for (const char* name : {"1700000000-1.tkr", "1700000000-1.tkl", "b.tkr", "c.tkr.bak", "tkr"}) {
        folder.Write(name, "");
    }
    struct Case {
        std::string suffix;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {".tkr", {"1700000000-1.tkr", "b.tkr"}},
        {".tkl", {"1700000000-1.tkl"}},
        {"", {"1700000000-1.tkl", "1700000000-1.tkr", "b.tkr", "c.tkr.bak", "tkr"}},
        {".none", {}},
        {"a-very-long-suffix-longer-than-any-name.tkr", {}},
    };
    for (const Case& c : cases) {
        const auto names = platform::ListFolder(folder.Folder(), c.suffix);
        ASSERT_TRUE(names.has_value()) << c.suffix;
        EXPECT_EQ(Sorted(*names), c.names) << '"' << c.suffix << '"';
    }
    EXPECT_FALSE(platform::ListFolder(folder.File("missing"), ".tkr").has_value());
    EXPECT_FALSE(platform::ListFolder(folder.Folder() + std::string("\0x", 2), "").has_value());
}

TEST(PlatformFileSize, SizesAndFailures) {
    TempFolder folder;
    EXPECT_EQ(platform::FileSize(folder.Write("empty", "")), 0);
    EXPECT_EQ(platform::FileSize(folder.Write("five", std::string("ab\0cd", 5))), 5);
    EXPECT_EQ(platform::FileSize(folder.File("missing")), -1);
    EXPECT_EQ(platform::FileSize(folder.File("five") + std::string("\0", 1)), -1);
}

TEST(PlatformWriteFileAtomically, ReadOnlyFolderLeavesTheTargetUnchanged) {
    TempFolder folder;
    const std::string existing = folder.Write("keep.pb", "original");
    if (::geteuid() == 0) {
        GTEST_SKIP() << "running as root: folder permissions are not enforced";
    }
    fs::permissions(folder.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(platform::WriteFileAtomically(existing, "changed"));
    fs::permissions(folder.Path(), fs::perms::owner_all);
    EXPECT_EQ(ReadFileBytes(existing), "original");
    EXPECT_EQ(platform::ListFolder(folder.Folder(), "").value(),
              std::vector<std::string>{"keep.pb"});
}

TEST(PlatformLocalDateSeconds, FollowsTheLocalTimeZone) {
    struct Case {
        const char* zone;
        std::int64_t offset;
    };
    const Case cases[] = {{"UTC0", 0}, {"EAST-3", 3 * 3600}, {"WEST+5:30", -(5 * 3600 + 1800)}};
    for (const Case& c : cases) {
        ScopedEnvironment zone("TZ", std::string(c.zone));
        const std::int64_t before = static_cast<std::int64_t>(std::time(nullptr));
        const std::int64_t local = platform::LocalDateSeconds();
        const std::int64_t after = static_cast<std::int64_t>(std::time(nullptr));
        EXPECT_GE(local, before + c.offset) << c.zone;
        EXPECT_LE(local, after + c.offset) << c.zone;
    }
}

TEST(PlatformIds, ProcessAndThreadIds) {
    EXPECT_EQ(platform::CurrentProcessId(), static_cast<std::int64_t>(::getpid()));
    const std::int64_t mine = platform::CurrentThreadId();
    EXPECT_EQ(platform::CurrentThreadId(), mine) << "stable within a thread";
    std::int64_t other = mine;
    std::thread([&other] { other = platform::CurrentThreadId(); }).join();
    EXPECT_NE(other, mine);
    EXPECT_NE(other, 0);
}

TEST(PlatformIds, ForkedChildSeesItsOwnThreadId) {
    const std::int64_t parent = platform::CurrentThreadId(); // kept by this thread
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child's only thread has the id of the child process.
        const bool own = platform::CurrentThreadId() == static_cast<std::int64_t>(::getpid());
        ::_exit(own && platform::CurrentThreadId() != parent ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child reported its parent's thread id";
}

} // namespace
} // namespace tickscope
