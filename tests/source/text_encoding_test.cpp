#include "source/text_encoding.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <string>
#include <vector>

namespace tickscope {
namespace {

TEST(TextEncodingTest, ValidUtf8PassesOtherBytesAreWindows1252) {
    struct Case {
        std::string Name;
        std::string Bytes;
        bool Valid;
        std::string Utf8;
    };
    const std::vector<Case> cases = {
        {"ascii", "x = 1 ; plain", true, "x = 1 ; plain"},
        {"empty", "", true, ""},
        {"nul kept", std::string("a\0b", 3), true, std::string("a\0b", 3)},
        {"utf-8 french", "\xC3\xA9t\xC3\xA9 na\xC3\xAFve", true, "\xC3\xA9t\xC3\xA9 na\xC3\xAFve"},
        {"utf-8 euro and emoji", "\xE2\x82\xAC \xF0\x9F\x98\x80", true,
         "\xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"byte-order mark", "\xEF\xBB\xBF; x", true, "\xEF\xBB\xBF; x"},
        {"windows-1252 german", "f\xFCr gr\xF6\xDF", false, "f\xC3\xBCr gr\xC3\xB6\xC3\x9F"},
        {"windows-1252 specials", "\x80\x85\x93x\x94\x9F", false,
         "\xE2\x82\xAC\xE2\x80\xA6\xE2\x80\x9Cx\xE2\x80\x9D\xC5\xB8"},
        {"undefined bytes are C1 controls", "\x81\x8D\x8F\x90\x9D", false,
         "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
        // One bad sequence makes the whole text Windows-1252, its valid UTF-8 included.
        {"mixed", "\xC3\xA9 caf\xE9", false, "\xC3\x83\xC2\xA9 caf\xC3\xA9"},
        {"cut sequence", "caf\xC3", false, "caf\xC3\x83"},
        {"overlong slash", "\xC0\xAF", false, "\xC3\x80\xC2\xAF"},
        {"surrogate", "\xED\xA0\x80", false, "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", false, "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
        {"lone continuation", "\x80", false, "\xE2\x82\xAC"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsValidUtf8(c.Bytes), c.Valid) << c.Name;
        EXPECT_EQ(TextAsUtf8(c.Bytes), c.Utf8) << c.Name;
        EXPECT_TRUE(IsValidUtf8(TextAsUtf8(c.Bytes))) << c.Name;
    }
}

// The system's converter is the reference for every byte that Windows-1252 defines.
TEST(TextEncodingTest, EveryDefinedByteAgreesWithTheSystemConverter) {
    const iconv_t converter = iconv_open("UTF-8", "WINDOWS-1252");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        GTEST_SKIP() << "no WINDOWS-1252 converter on this system";
    }
    int compared = 0;
    for (int value = 0x01; value <= 0xFF; ++value) {
        char in = static_cast<char>(value);
        char out[8] = {};
        char* inPointer = &in;
        char* outPointer = out;
        std::size_t inLeft = 1;
        std::size_t outLeft = sizeof out;
        if (iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft) == std::size_t(-1)) {
            continue; // undefined in the code page
        }
        ++compared;
        const std::string expected(out, sizeof out - outLeft);
        EXPECT_EQ(Windows1252ToUtf8(std::string(1, in)), expected) << "byte " << value;
    }
    iconv_close(converter);
    EXPECT_EQ(compared, 255 - 5);
}

} // namespace
} // namespace tickscope
