#include "source/source_reader.h"

#include "common/temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>
#include <string>
#include <vector>

namespace tickscope {
namespace {

using namespace std::string_literals;

std::vector<std::string> SplitAll(std::string_view text) {
    std::vector<std::string> lines;
    LineSplitter splitter(text);
    std::string_view line;
    while (splitter.Next(line)) {
        lines.emplace_back(line);
    }
    return lines;
}

TEST(LineSplitterTest, LineEndsAndLastLine) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r", {"a"}},
        {"\n", {""}},
        {"\r\n", {""}},
        {"\r", {""}},
        {"\n\n", {"", ""}},
        {"\r\r", {"", ""}},
        {"\r\n\r\n", {"", ""}},
        {"a\n\n", {"a", ""}},
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\r\n\nb\r", {"a", "", "b"}},
        {"x = 1 : y = 2\r\n; note\r\n", {"x = 1 : y = 2", "; note"}},
        {"nul\0inside\nnext"s, {"nul\0inside"s, "next"}},
        {"  \t \n", {"  \t "}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitAll(c.text), c.lines) << "text of " << c.text.size() << " bytes";
    }
}

TEST(LineSplitterTest, ManyLinesWithOnlyOneTerminatorKindStayLinear) {
    // Each kind of terminator is searched once per occurrence; a search over the whole rest
    // for every line would take hours here.
    for (const char terminator : {'\r', '\n'}) {
        const std::string text(2'000'000, terminator);
        std::size_t count = 0;
        LineSplitter splitter(text);
        std::string_view line;
        while (splitter.Next(line)) {
            ASSERT_TRUE(line.empty());
            ++count;
        }
        EXPECT_EQ(count, text.size());
        EXPECT_EQ(splitter.Remaining(), 0u);
    }
}

// Line ends looked for eight bytes at a time: every place in a word and in the tail.
TEST(LineSplitterTest, AgreesWithAPlainSplitterOnRandomTexts) {
    const auto reference = [](std::string_view text) {
        std::vector<std::string> lines;
        std::string current;
        bool open = false; // a line has started and not ended
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' || text[i] == '\n') {
                lines.push_back(current);
                current.clear();
                open = false;
                i += text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 1 : 0;
            } else {
                current += text[i];
                open = true;
            }
        }
        if (open) {
            lines.push_back(current);
        }
        return lines;
    };
    const std::string pieces[] = {"a", "\r", "\n", "\r\n", "bcdefghijklm", "\0"s, "\x8D\x8A"};
    std::mt19937 random(5);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (std::size_t i = random() % 16; i > 0; --i) {
            text += pieces[random() % std::size(pieces)];
        }
        ASSERT_EQ(SplitAll(text), reference(text)) << round;
    }
}

TEST(ByteOrderMarkTest, RecognisedMarks) {
    struct Case {
        std::string bytes;
        std::size_t length;
    };
    const Case cases[] = {
        {"", 0},
        {"abc", 0},
        {"\xEF\xBB\xBF", 3},
        {"\xEF\xBB\xBFx = 1", 3},
        {"\xEF\xBBx", 0},
        {"\xFF\xFEx\0"s, 2},
        {"\xFE\xFF\0x"s, 2},
        {"\xFF\xFE\0\0x\0\0\0"s, 4},
        {"\0\0\xFE\xFF\0\0\0x"s, 4},
        {"\0\0\xFE"s, 0},
        {"\xFF", 0},
        {"x\xEF\xBB\xBF", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ByteOrderMarkLength(c.bytes), c.length) << "bytes: " << c.bytes.size();
    }
}

TEST(Md5HexTest, ReferenceDigests) {
    // Test suite of RFC 1321, plus bytes that a C string would cut short.
    const std::pair<std::string, std::string> cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [input, digest] : cases) {
        EXPECT_EQ(Md5Hex(input), digest) << input;
    }
    EXPECT_NE(Md5Hex("a\0b"s), Md5Hex("a"));
    EXPECT_EQ(Md5Hex("a\0b"s).size(), 32u);
}

// Every byte and the length count, in the 8-byte words and in the tail, whatever the seed.
TEST(ContentHashTest, EveryByteAndTheLengthCount) {
    for (const std::uint64_t seed : {std::uint64_t{0}, std::uint64_t{0x123456789ABCDEF}}) {
        for (std::size_t size = 0; size <= 80; ++size) {
            const std::string bytes(size, 'a');
            const std::uint64_t hash = ContentHash(bytes, seed);
            EXPECT_EQ(ContentHash(std::string(bytes), seed), hash);
            EXPECT_NE(ContentHash(bytes + '\0', seed), hash) << size;
            for (std::size_t at = 0; at < size; ++at) {
                std::string changed = bytes;
                changed[at] = 'b';
                EXPECT_NE(ContentHash(changed, seed), hash) << size << " " << at;
            }
        }
    }
    EXPECT_NE(ContentHash("abc", 1), ContentHash("abc", 2));
}

} // namespace
} // namespace tickscope
