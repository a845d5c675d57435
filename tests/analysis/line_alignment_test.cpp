// The alignment of two versions of a file: hand-made cases whose pairs are worked out by
// hand, a plain dynamic-programming longest common subsequence on random sequences, and the
// bounded search on sequences that differ everywhere.
#include "analysis/line_alignment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace tickscope {
namespace {

std::vector<std::string_view> Views(const std::vector<std::string>& texts) {
    return {texts.begin(), texts.end()};
}

struct AlignmentCase {
    std::string Name;
    std::vector<std::string> Old;
    std::vector<std::string> New;
    std::vector<AlignedPair> Pairs;
};

class AlignmentCaseTest : public ::testing::TestWithParam<AlignmentCase> {};

TEST_P(AlignmentCaseTest, PairsTheCommonLines) {
    const AlignmentCase& c = GetParam();
    EXPECT_EQ(AlignCodeLines(Views(c.Old), Views(c.New)), c.Pairs);
}

INSTANTIATE_TEST_SUITE_P(
    HandMade, AlignmentCaseTest,
    ::testing::Values(
        AlignmentCase{"Same", {"a", "b", "c"}, {"a", "b", "c"}, {{0, 0}, {1, 1}, {2, 2}}},
        AlignmentCase{"BothEmpty", {}, {}, {}}, AlignmentCase{"OldEmpty", {}, {"a", "b"}, {}},
        AlignmentCase{"NewEmpty", {"a", "b"}, {}, {}},
        AlignmentCase{"NothingInCommon", {"a", "b"}, {"c", "d", "e"}, {}},
        AlignmentCase{"InsertedInTheMiddle",
                      {"a", "b", "c", "d"},
                      {"a", "b", "x", "y", "c", "d"},
                      {{0, 0}, {1, 1}, {2, 4}, {3, 5}}},
        AlignmentCase{"DeletedInTheMiddle",
                      {"a", "b", "x", "y", "c", "d"},
                      {"a", "b", "c", "d"},
                      {{0, 0}, {1, 1}, {4, 2}, {5, 3}}},
        AlignmentCase{
            "ChangedInTheMiddle", {"a", "b = 1", "c"}, {"a", "b = 2", "c"}, {{0, 0}, {2, 2}}},
        AlignmentCase{"InsertedAtBothEnds", {"m"}, {"a", "m", "z"}, {{0, 1}}},
        AlignmentCase{"BlanksAtTheEndsIgnored",
                      {"  x = 1", "\ty = 2 ", "z"},
                      {"x = 1", "    y = 2", "z\t"},
                      {{0, 0}, {1, 1}, {2, 2}}},
        AlignmentCase{"BlanksInsideCount", {"x = 1"}, {"x  = 1"}, {}},
        AlignmentCase{"LetterCaseCounts", {"Foo()"}, {"foo()"}, {}},
        // A block inserted between two alike blocks: the second "EndIf" can only pair with
        // the last one, after "y".
        AlignmentCase{"AlikeBlocks",
                      {"If a", "x", "EndIf", "If b", "y", "EndIf"},
                      {"If a", "x", "EndIf", "If c", "z", "EndIf", "If b", "y", "EndIf"},
                      {{0, 0}, {1, 1}, {2, 2}, {3, 6}, {4, 7}, {5, 8}}},
        // Edits in two places of one procedure at once.
        AlignmentCase{"TwoEdits",
                      {"Procedure P()", "a", "b", "c", "d", "e", "EndProcedure"},
                      {"Procedure P()", "a", "n", "c", "d", "EndProcedure"},
                      {{0, 0}, {1, 1}, {3, 3}, {4, 4}, {6, 5}}},
        // A line that moved: the longer common part stays paired.
        AlignmentCase{
            "MovedLine", {"m", "a", "b", "c"}, {"a", "b", "c", "m"}, {{1, 0}, {2, 1}, {3, 2}}}),
    [](const auto& info) { return info.param.Name; });

// The length of a longest common subsequence, by the textbook table.
std::size_t ReferenceLength(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    std::vector<std::vector<std::size_t>> table(a.size() + 1,
                                                std::vector<std::size_t>(b.size() + 1, 0));
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            table[i][j] = a[i - 1] == b[j - 1] ? table[i - 1][j - 1] + 1
                                               : std::max(table[i - 1][j], table[i][j - 1]);
        }
    }
    return table[a.size()][b.size()];
}

// The pairs ascend in both positions and pair equal texts.
void ExpectCommonSubsequence(const std::vector<std::string>& a, const std::vector<std::string>& b,
                             const std::vector<AlignedPair>& pairs) {
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        ASSERT_LT(pairs[k].first, a.size());
        ASSERT_LT(pairs[k].second, b.size());
        EXPECT_EQ(a[pairs[k].first], b[pairs[k].second]);
        if (k > 0) {
            EXPECT_LT(pairs[k - 1].first, pairs[k].first);
            EXPECT_LT(pairs[k - 1].second, pairs[k].second);
        }
    }
}

std::vector<std::string> RandomLines(std::mt19937& random, std::size_t count, int alphabet) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < count; ++i) {
        lines.push_back("line " + std::to_string(random() % static_cast<unsigned>(alphabet)));
    }
    return lines;
}

TEST(AlignmentReferenceTest, LongestOnRandomSequences) {
    std::mt19937 random(15);
    for (int round = 0; round < 300; ++round) {
        const int alphabet = 2 + round % 9;
        const auto a = RandomLines(random, random() % 70, alphabet);
        auto b = a;
        // Edits of every kind, or an unrelated sequence now and then.
        if (round % 7 == 0) {
            b = RandomLines(random, random() % 70, alphabet);
        } else {
            for (int edit = static_cast<int>(random() % 12); edit > 0; --edit) {
                const std::size_t at = b.empty() ? 0 : random() % b.size();
                switch (random() % 3) {
                case 0:
                    b.insert(b.begin() + static_cast<std::ptrdiff_t>(at),
                             "line " + std::to_string(random() % 20));
                    break;
                case 1:
                    if (!b.empty()) {
                        b.erase(b.begin() + static_cast<std::ptrdiff_t>(at));
                    }
                    break;
                default:
                    if (!b.empty()) {
                        b[at] = "line " + std::to_string(random() % 20);
                    }
                }
            }
        }
        const auto pairs = AlignSequences(Views(a), Views(b));
        ExpectCommonSubsequence(a, b, pairs);
        EXPECT_EQ(pairs.size(), ReferenceLength(a, b)) << "round " << round;
    }
}

TEST(AlignmentEffortTest, ABoundedSearchStillPairsCommonLinesInOrder) {
    std::mt19937 random(4);
    for (int round = 0; round < 100; ++round) {
        const auto a = RandomLines(random, 50 + random() % 150, 3);
        const auto b = RandomLines(random, 50 + random() % 150, 3);
        for (const std::size_t effort : {std::size_t{1}, std::size_t{2}, std::size_t{5}}) {
            const auto pairs = AlignSequences(Views(a), Views(b), effort);
            ExpectCommonSubsequence(a, b, pairs);
            EXPECT_LE(pairs.size(), ReferenceLength(a, b));
            EXPECT_GT(pairs.size(), 0u); // three texts in 50 lines: some pair is always found
        }
    }
}

TEST(AlignmentEffortTest, ABoundedSearchKeepsTheCommonEndsAndSmallEdits) {
    // A few edits in a long file need far fewer steps than the bound.
    std::vector<std::string> a;
    for (int i = 0; i < 20000; ++i) {
        a.push_back(i % 10 == 0 ? "EndIf" : "x + " + std::to_string(i));
    }
    std::vector<std::string> b = a;
    b.erase(b.begin() + 5000);
    b.insert(b.begin() + 12000, "new line");
    b[15000] = "changed";
    const auto pairs = AlignSequences(Views(a), Views(b), 8);
    EXPECT_EQ(pairs.size(), a.size() - 2);
    ExpectCommonSubsequence(a, b, pairs);
}

TEST(AlignmentEffortTest, FilesThatDifferEverywhereAreAlignedWithoutDeepRecursion) {
    // Two long files of the same few lines in different orders: many splits, each bounded.
    std::mt19937 random(9);
    const auto a = RandomLines(random, 200000, 4);
    const auto b = RandomLines(random, 200000, 4);
    const auto pairs = AlignSequences(Views(a), Views(b), 16);
    ExpectCommonSubsequence(a, b, pairs);
    EXPECT_GT(pairs.size(), a.size() / 2); // random texts of four kinds share well over half
}

} // namespace
} // namespace tickscope
