#include "platform/file_reading.h"

#include "common/temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

namespace tickscope::platform {
namespace {

using namespace std::string_literals;

TEST(ReadWholeFileTest, ReadsExactBytes) {
    testing::TempFolder folder;
    std::string bytes;
    for (int i = 0; i < 3'000'000; ++i) {
        bytes += static_cast<char>((i * 131) % 256);
    }
    const std::string cases[] = {"", "x", "a\r\nb\0c\rd"s, "\xEF\xBB\xBFkept", bytes};
    int index = 0;
    for (const std::string& content : cases) {
        const std::string path = folder.Write("file" + std::to_string(index++) + ".pb", content);
        const auto read = ReadWholeFile(path);
        ASSERT_TRUE(read.has_value()) << path;
        EXPECT_EQ(*read, content) << path;
    }
}

TEST(ReadWholeFileTest, NamesThatAreNoReadableRegularFile) {
    testing::TempFolder folder;
    const std::string existing = folder.Write("main.pb", "x = 1\n");
    std::filesystem::create_directories(folder.Path() / "folder.pbi");
    const std::string fifo = folder.File("pipe.pbi");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string cases[] = {
        "",
        folder.File("missing.pb"),
        folder.File("folder.pbi"),
        folder.Folder(),
        fifo,                 // opening it for reading would wait for a writer
        existing + "\0.bak"s, // a C string would name the existing file
        "\0"s + existing,
        folder.File("main.pb/inner.pb"),
    };
    for (const std::string& name : cases) {
        EXPECT_FALSE(ReadWholeFile(name).has_value()) << name;
        EXPECT_FALSE(OpenRegularFile(name).has_value()) << name;
    }
    EXPECT_TRUE(ReadWholeFile(existing).has_value());
    const auto opened = OpenRegularFile(existing);
    ASSERT_TRUE(opened.has_value());
    EXPECT_EQ(opened->Size, 6u);
}

TEST(ReadWholeFileTest, FilesAtTheLimitOrBeyondAreNotRead) {
    testing::TempFolder folder;
    const std::string path = folder.Write("run.tkr", std::string(1000, 'x'));
    EXPECT_EQ(ReadWholeFile(path, 1001).value_or(""), std::string(1000, 'x'));
    EXPECT_FALSE(ReadWholeFile(path, 1000).has_value());
    EXPECT_FALSE(ReadWholeFile(path, 10).has_value());
    // A pseudo-file reports size 0 and has content: the limit still holds while reading.
    if (std::filesystem::exists("/proc/self/status")) {
        EXPECT_FALSE(ReadWholeFile("/proc/self/status", 16).has_value());
        EXPECT_TRUE(ReadWholeFile("/proc/self/status").has_value());
    }
}

TEST(ReadWholeFileTest, ReadsUpToTheSizeWhenOpenedIfAsked) {
    testing::TempFolder folder;
    const std::string path = folder.Write("run.tkr", "0123456789");
    EXPECT_EQ(ReadWholeFile(path, kDefaultReadLimit, ReadExtent::SizeWhenOpened), "0123456789");
    EXPECT_EQ(ReadWholeFile(path, 10, ReadExtent::SizeWhenOpened), std::nullopt);
    if (std::filesystem::exists("/proc/self/status")) {
        // A pseudo-file: size 0 when opened, content when read to its end.
        EXPECT_EQ(ReadWholeFile("/proc/self/status", kDefaultReadLimit, ReadExtent::SizeWhenOpened),
                  "");
    }
}

} // namespace
} // namespace tickscope::platform
