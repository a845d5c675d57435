#include "runfiles/memory_stream.h"

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
                      LinesCase{"ZeroAtStart", "\0x\ny"s, {"", "y"}},
                      LinesCase{"FirstOfTwoZeros", "a\0b\0c\nd"s, {"a", "d"}},
                      LinesCase{"ZeroBeforeCr", "ab\0\r\nc\0"s, {"ab", "c"}},
                      LinesCase{"ControlBytesBelowCrStayInTheLine",
                                "a\tb\x0b\x0c\x01\nc",
                                {"a\tb\x0b\x0c\x01", "c"}},
                      LinesCase{"Nothing", "", {}}),
    [](const auto& info) { return info.param.Name; });

} // namespace
} // namespace tickscope
