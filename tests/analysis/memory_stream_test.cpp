#include "analysis/memory_stream.h"

#include "common/temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tickscope {
namespace {

struct LinesCase {
    std::string Name;
    std::string Bytes;
    std::vector<std::string> Lines;
};

class ReadMemoryLineTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(ReadMemoryLineTest, SplitsLikeTheAnalyzer) {
    const LinesCase& c = GetParam();
    MemoryTextStream stream(c.Bytes);
    std::vector<std::string> lines;
    while (!stream.AtEnd() && lines.size() <= c.Lines.size()) {
        lines.emplace_back(stream.ReadMemoryLine());
    }
    EXPECT_EQ(lines, c.Lines);
    EXPECT_TRUE(stream.AtEnd());
    EXPECT_EQ(stream.ReadMemoryLine(), ""); // reading past the end stays harmless
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Terminators, ReadMemoryLineTest,
    ::testing::Values(LinesCase{"CrLf", "a\r\nbc\r\n", {"a", "bc"}},
                      LinesCase{"LfOnly", "a\nbc\n", {"a", "bc"}},
                      LinesCase{"LastLineUnterminated", "a\r\nbc", {"a", "bc"}},
                      LinesCase{"LoneCrSwallowsNextByte", "ab\rXcd\r\n", {"ab", "cd"}},
                      LinesCase{"CrCrCountsAsOnePair", "a\r\rb\n", {"a", "b"}},
                      LinesCase{"CrAsLastByte", "ab\r", {"ab"}},
                      LinesCase{"LoneCrThenLf", "a\r\n\nb", {"a", "", "b"}},
                      LinesCase{"EmptyLines", "\n\r\n\n", {"", "", ""}},
                      LinesCase{"CutAtZeroByte", "ab\0cd\nef\0\n"s, {"ab", "ef"}},
                      LinesCase{"ZeroAtStart", "\0x\ny"s, {"", "y"}}, LinesCase{"Nothing", "", {}}),
    [](const auto& info) { return info.param.Name; });

struct MarkCase {
    std::string Name;
    std::string Bytes;
    bool Skip;
    std::optional<std::string> Expected;
};

class ReadWholeFileTest : public ::testing::TestWithParam<MarkCase> {};

TEST_P(ReadWholeFileTest, SkipsTheMarkWhenAsked) {
    const MarkCase& c = GetParam();
    testing::TempFolder folder;
    const std::string path = folder.Write("file.tkr", c.Bytes);
    EXPECT_EQ(ReadWholeFile(path, c.Skip), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Marks, ReadWholeFileTest,
                         ::testing::Values(MarkCase{"Plain", "abc\r\n", true, "abc\r\n"},
                                           MarkCase{"Utf8", "\xEF\xBB\xBFx=1", true, "x=1"},
                                           MarkCase{"Utf8Kept", "\xEF\xBB\xBFx", false,
                                                    "\xEF\xBB\xBFx"},
                                           MarkCase{"Utf16Le", "\xFF\xFEx", true, "x"},
                                           MarkCase{"Utf16Be", "\xFE\xFFx", true, "x"},
                                           MarkCase{"Utf32Le", "\xFF\xFE\0\0x"s, true, "x"},
                                           MarkCase{"Utf32Be", "\0\0\xFE\xFFx"s, true, "x"},
                                           MarkCase{"HalfMark", "\xEF\xBBx", true, "\xEF\xBBx"},
                                           MarkCase{"OnlyMark", "\xEF\xBB\xBF", true, std::nullopt},
                                           MarkCase{"Empty", "", true, std::nullopt},
                                           MarkCase{"EmptyNoSkip", "", false, std::nullopt},
                                           MarkCase{"ZeroBytesKept", "a\0b"s, true, "a\0b"s}),
                         [](const auto& info) { return info.param.Name; });

TEST(ReadWholeFileTest, UnreadablePathsGiveNothing) {
    testing::TempFolder folder;
    EXPECT_EQ(ReadWholeFile(folder.File("missing"), true), std::nullopt);
    EXPECT_EQ(ReadWholeFile(folder.Folder(), true), std::nullopt);
    EXPECT_EQ(ReadWholeFile("", true), std::nullopt);
    const std::string path = folder.Write("x", "data");
    EXPECT_EQ(ReadWholeFile(path + std::string("\0", 1), true), std::nullopt);
}

TEST(ReadWholeFileTest, ReadsFilesLargerThanOneStep) {
    testing::TempFolder folder;
    std::string bytes;
    for (int i = 0; i < (3 << 20) + 17; ++i) {
        bytes.push_back(static_cast<char>(i * 31));
    }
    bytes[0] = 'x'; // no mark
    const std::string path = folder.Write("big", bytes);
    const auto read = ReadWholeFile(path, true);
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(*read == bytes);
}

} // namespace
} // namespace tickscope
