#include "runfiles/key_value_file.h"

#include "common/temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tickscope {
namespace {

struct Lookup {
    std::string Group;
    std::string Key;
    std::string Expected; // "<absent>" when the key must be missing
};

struct ParseCase {
    std::string Name;
    std::string Content;
    std::vector<Lookup> Lookups;
};

constexpr const char* kAbsent = "<absent>";

class KeyValueParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(KeyValueParseTest, ReadsKeysOfTheChosenGroup) {
    const ParseCase& c = GetParam();
    KeyValueFile file;
    file.Parse(c.Content);
    for (const Lookup& lookup : c.Lookups) {
        file.UseGroup(lookup.Group);
        SCOPED_TRACE("[" + lookup.Group + "] " + lookup.Key);
        EXPECT_EQ(file.ReadString(lookup.Key, kAbsent), lookup.Expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, KeyValueParseTest,
    ::testing::Values(
        ParseCase{
            "GroupsSeparateKeys",
            "[PRE-PROGRAMINFOS]\r\nPath = C:\\a.pb\r\n[POST-PROGRAMINFOS]\r\nProcessId = 12\r\n",
            {{"PRE-PROGRAMINFOS", "Path", "C:\\a.pb"},
             {"PRE-PROGRAMINFOS", "ProcessId", kAbsent},
             {"POST-PROGRAMINFOS", "ProcessId", "12"},
             {"POST-PROGRAMINFOS", "Path", kAbsent},
             {"OTHER", "Path", kAbsent}}},
        ParseCase{"SplitAtFirstSeparator",
                  "[G]\nCode = a = b\nSpaced =  x  \nEq = a=b\n",
                  {{"G", "Code", "a = b"}, {"G", "Spaced", " x  "}, {"G", "Eq", "a=b"}}},
        ParseCase{"EmptyValues",
                  "[G]\nEmpty = \nNoBlank =\nLineOfCode.1.Code = \r\n",
                  {{"G", "Empty", ""}, {"G", "NoBlank", ""}, {"G", "LineOfCode.1.Code", ""}}},
        ParseCase{"RepeatedKeyLastWins",
                  "[G]\nK = 1\nK = 2\n[H]\nK = 3\n[G]\nK = 4\n",
                  {{"G", "K", "4"}, {"H", "K", "3"}}},
        ParseCase{"LineEnds",
                  "[G]\rA = 1\rB = 2\r\nC = 3\nD = 4",
                  {{"G", "A", "1"}, {"G", "B", "2"}, {"G", "C", "3"}, {"G", "D", "4"}}},
        ParseCase{"OtherLinesIgnored",
                  "[G]\nnot a key\n=\n = orphan\n[broken\nK=V\nReal = yes\n",
                  {{"G", "Real", "yes"},
                   {"G", "K=V", kAbsent},
                   {"G", "not a key", kAbsent},
                   {"G", "", kAbsent},
                   {"broken", "Real", kAbsent}}},
        ParseCase{"ByteOrderMarkAndBlanksAroundKeysAndGroups",
                  "\xEF\xBB\xBF[G]\n  Key\t = v\n  [H]  \nK = w\n",
                  {{"G", "Key", "v"}, {"H", "K", "w"}}},
        ParseCase{
            "KeysBeforeAnyGroup", "Top = 1\n[G]\nTop = 2\n", {{"", "Top", "1"}, {"G", "Top", "2"}}},
        ParseCase{
            "KeysAreCaseSensitive",
            "[G]\nPath = a\npath = b\n",
            {{"G", "Path", "a"}, {"G", "path", "b"}, {"G", "PATH", kAbsent}},
        },
        ParseCase{"NoContent", "", {{"", "Path", kAbsent}}}),
    [](const auto& info) { return info.param.Name; });

TEST(KeyValueFileTest, FilterKeepsOnlyAcceptedKeys) {
    KeyValueFile file;
    file.Parse(
        "[G]\nKeep = 1\nDrop = 2\n[H]\nKeep = 3\n",
        [](std::string_view group, std::string_view key) { return group == "G" && key == "Keep"; });
    file.UseGroup("G");
    EXPECT_EQ(file.ReadString("Keep"), "1");
    EXPECT_FALSE(file.Has("Drop"));
    file.UseGroup("H");
    EXPECT_FALSE(file.Has("Keep"));
}

TEST(KeyValueFileTest, MissingFileAndFolderGiveNoKeys) {
    testing::TempFolder folder;
    KeyValueFile file;
    EXPECT_FALSE(file.Open(folder.File("missing.tkr")));
    EXPECT_FALSE(file.Open(folder.Folder()));
    EXPECT_FALSE(file.Open(std::string("a\0b", 3)));
    file.UseGroup("");
    EXPECT_EQ(file.ReadString("Path", "dflt"), "dflt");
}

// The reader works through a 1 MiB buffer: separators, line ends and keys that straddle
// the buffer boundary must read as if the file were one piece.
TEST(KeyValueFileTest, ReadsAcrossBufferBoundaries) {
    testing::TempFolder folder;
    constexpr std::size_t kBuffer = 1 << 20;
    // The CR of the first line lands from 8 bytes before the boundary to 1 byte after it,
    // so the CR LF pair and the next line's " = " each get split once.
    for (std::size_t crPosition = kBuffer - 8; crPosition <= kBuffer + 1; ++crPosition) {
        std::string content = "[G]\r\nPad = ";
        const std::size_t pad = crPosition - content.size();
        content.append(pad, 'p');
        content += "\r\nKey = value\r\n";
        const std::string path = folder.Write("boundary.txt", content);
        KeyValueFile file;
        ASSERT_TRUE(file.Open(path));
        file.UseGroup("G");
        SCOPED_TRACE(crPosition);
        EXPECT_EQ(file.ReadString("Key"), "value");
        EXPECT_EQ(file.ReadString("Pad").size(), pad);
        EXPECT_EQ(file.Group("G").size(), 2u);
    }
}

TEST(KeyValueFileTest, HugeLineIsReadOrSkipped) {
    testing::TempFolder folder;
    std::string content = "[G]\nBig = ";
    content.append(30u << 20, 'x');
    content += "\nAfter = 1\nLong";
    content.append(5u << 20, 'k');
    content += " = 2\n";
    const std::string path = folder.Write("huge.txt", content);

    KeyValueFile all;
    ASSERT_TRUE(all.Open(path));
    all.UseGroup("G");
    EXPECT_EQ(all.ReadString("Big").size(), 30u << 20);
    EXPECT_EQ(all.ReadString("After"), "1");

    KeyValueFile filtered;
    ASSERT_TRUE(
        filtered.Open(path, [](std::string_view, std::string_view key) { return key == "After"; }));
    filtered.UseGroup("G");
    EXPECT_FALSE(filtered.Has("Big"));
    EXPECT_EQ(filtered.ReadString("After"), "1");
    EXPECT_EQ(filtered.Group("G").size(), 1u);
}

} // namespace
} // namespace tickscope
