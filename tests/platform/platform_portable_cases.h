#pragma once

// Platform tests whose cases hold on every system; platform_test.cpp (POSIX) and
// platform_windows_test.cpp (Windows, under Wine) both run them.

#include "common/temp_folder.h"
#include "platform/file_writer.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace tickscope {
namespace {

inline std::vector<std::string> SortedNames(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(PlatformWriteFileAtomically, WritesExactBytesAndLeavesNoTemporaryFile) {
    testing::TempFolder folder;
    const std::string path = folder.File("target.pb");
    // A temporary file that an earlier, killed build left beside the target.
    folder.Write(platform::TemporaryNamePrefix("target.pb") + "123456", "stale");
    const std::string contents[] = {
        std::string("line 1\r\nline 2\n\0\xFF end", 20),
        "",
        std::string(3 << 20, 'x'),
        "short",
    };
    for (const std::string& content : contents) {
        ASSERT_TRUE(platform::WriteFileAtomically(path, content));
        EXPECT_EQ(testing::ReadFileBytes(path), content);
        EXPECT_EQ(platform::ListFolder(folder.Folder(), "").value(),
                  std::vector<std::string>{"target.pb"});
    }
}

TEST(PlatformWriteFileAtomically, FailsSafelyOnUnwritableOrUnnamablePaths) {
    testing::TempFolder folder;
    EXPECT_FALSE(platform::WriteFileAtomically("", "x"));
    EXPECT_FALSE(platform::WriteFileAtomically(folder.File("missing/target.pb"), "x"));
    const std::string existing = folder.Write("keep.pb", "original");
    EXPECT_FALSE(platform::WriteFileAtomically(existing + std::string("\0", 1), "changed"));
    EXPECT_EQ(testing::ReadFileBytes(existing), "original");

    // The rename onto a folder fails after the temporary file is written: it must go.
    folder.Write("folder/inner", "x");
    EXPECT_FALSE(platform::WriteFileAtomically(folder.File("folder"), "x"));
    EXPECT_EQ(testing::ReadFileBytes(folder.File("folder/inner")), "x");
    EXPECT_EQ(SortedNames(platform::ListFolder(folder.Folder(), "").value()),
              (std::vector<std::string>{"folder", "keep.pb"}));
}

TEST(PlatformCreateFolder, CreatesOnceAndRefusesImpossibleFolders) {
    testing::TempFolder folder;
    const std::string target = folder.File("Tickscope");
    EXPECT_TRUE(platform::CreateFolder(target));
    EXPECT_TRUE(std::filesystem::is_directory(target));
    EXPECT_TRUE(platform::CreateFolder(target)) << "an existing folder is fine";
    EXPECT_FALSE(platform::CreateFolder(folder.File("a/b"))) << "parent missing";
    EXPECT_FALSE(platform::CreateFolder(folder.Write("file", "x"))) << "a file is in the way";
    EXPECT_FALSE(platform::CreateFolder(target + std::string("\0x", 2)));
    EXPECT_FALSE(platform::CreateFolder(""));
}

} // namespace
} // namespace tickscope
