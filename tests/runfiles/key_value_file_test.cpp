#include "runfiles/key_value_file.h"

#include "common/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

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
    constexpr std::size_t kPadLines = 20; // lines are at most 64 KiB each
    // The CR of the last pad line lands from 8 bytes before the boundary to 1 byte after
    // it, so the CR LF pair and the next line's " = " each get split once.
    for (std::size_t crPosition = kBuffer - 8; crPosition <= kBuffer + 1; ++crPosition) {
        std::string content = "[G]\r\n";
        std::size_t lastPad = 0;
        for (std::size_t i = 0; i < kPadLines; ++i) {
            content += "Pad" + std::to_string(i) + " = ";
            const std::size_t left = crPosition - content.size();
            lastPad = i + 1 < kPadLines ? left / (kPadLines - i) : left;
            content.append(lastPad, 'p');
            if (i + 1 < kPadLines) {
                content += "\r\n";
            }
        }
        ASSERT_EQ(content.size(), crPosition);
        content += "\r\nKey = value\r\n";
        const std::string path = folder.Write("boundary.txt", content);
        KeyValueFile file;
        ASSERT_TRUE(file.Open(path));
        file.UseGroup("G");
        SCOPED_TRACE(crPosition);
        EXPECT_EQ(file.ReadString("Key"), "value");
        EXPECT_EQ(file.ReadString("Pad" + std::to_string(kPadLines - 1)).size(), lastPad);
        EXPECT_EQ(file.Group("G").size(), kPadLines + 1);
    }
}

// No key or value of a run file comes near 64 KiB: a longer line is dropped whole, whether
// its key is wanted or not, and costs no more memory than the limit.
TEST(KeyValueFileTest, LinesBeyondTheLimitAreDropped) {
    testing::TempFolder folder;
    constexpr std::size_t kLimit = KeyValueFile::kMaxLineLength;
    std::string content = "[G]\nBig = ";
    content.append(30u << 20, 'x');
    content += "\nAfter = 1\nLong";
    content.append(5u << 20, 'k');
    content += " = 2\nAtLimit = ";
    content.append(kLimit - std::string("AtLimit = ").size(), 'a');
    content += "\nOver = ";
    content.append(kLimit - std::string("Over = ").size() + 1, 'o');
    content += "\n[";
    content.append(kLimit, 'g');
    content += "]\nStill = G\n";
    const std::string path = folder.Write("huge.txt", content);

    KeyValueFile all;
    ASSERT_TRUE(all.Open(path));
    all.UseGroup("G");
    EXPECT_FALSE(all.Has("Big"));
    EXPECT_EQ(all.ReadString("After"), "1");
    EXPECT_EQ(all.ReadString("AtLimit").size(), kLimit - std::string("AtLimit = ").size());
    EXPECT_FALSE(all.Has("Over"));
    EXPECT_EQ(all.ReadString("Still"), "G") << "an over-long group line opens no group";
    EXPECT_EQ(all.Group("G").size(), 3u);

    KeyValueFile filtered;
    ASSERT_TRUE(
        filtered.Open(path, [](std::string_view, std::string_view key) { return key == "After"; }));
    filtered.UseGroup("G");
    EXPECT_FALSE(filtered.Has("Big"));
    EXPECT_EQ(filtered.ReadString("After"), "1");
    EXPECT_EQ(filtered.Group("G").size(), 1u);
}

TEST(KeyValueFileTest, ReadingStopsWhereAsked) {
    const std::string content = "[A]\nx = 1\ny = 2\n[B]\nz = 3\n";
    struct Case {
        const char* Name;
        KeyValueFile::ReadOptions Options;
        std::vector<std::string> Keys; // group.key of what was kept
    };
    const auto stopAtY = [](std::string_view group, std::string_view key) {
        return group == "A" && key == "y";
    };
    const auto stopInB = [](std::string_view group, std::string_view) { return group == "B"; };
    const std::vector<Case> cases = {
        {"everything", {}, {"A.x", "A.y", "B.z"}},
        {"stop before a key", {{}, stopAtY}, {"A.x"}},
        {"stop in a group", {{}, stopInB}, {"A.x", "A.y"}},
        {"at most 12 bytes", {{}, {}, 12}, {"A.x"}},
        {"at most 13 bytes: a line cut short still counts", {{}, {}, 13}, {"A.x", "A.y"}},
    };
    testing::TempFolder folder;
    const std::string path = folder.Write("stop.txt", content);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        for (const bool fromFile : {true, false}) {
            KeyValueFile file;
            if (fromFile) {
                ASSERT_TRUE(file.Open(path, c.Options));
            } else {
                file.Parse(content, c.Options);
            }
            std::vector<std::string> keys;
            for (const char* group : {"A", "B"}) {
                for (const auto& [key, value] : file.Group(group)) {
                    keys.push_back(std::string(group) + "." + key);
                }
            }
            std::sort(keys.begin(), keys.end());
            EXPECT_EQ(keys, c.Keys);
        }
    }
}

} // namespace
} // namespace tickscope
