#include "source/label_patterns.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace tickscope {
namespace {

struct PatternCase {
    std::string text;
    bool label;
    bool symbolLabel;
};

TEST(LabelPatterns, SearchesAnywhereInTheText) {
    const PatternCase cases[] = {
        {"Start:", true, false},
        {"a = 1 :", true, false},  // "1 :" anywhere counts
        {"Foo() :", false, false}, // ")" cannot stand before the colon
        {"x!:", false, true},
        {"@ :", false, true},
        {"", false, false},
        {":", false, false},
        {"::", false, false},
        {"_:", true, false},
        {"If a : b = 1", true, false},
        {"Case 1:", true, false},
        {"a   :", true, false},
        {"a\t:", false, false},  // only blanks may stand before the colon
        {"\xE9:", false, false}, // not a word character without UTF support
        {"x !  :", false, true},
        {"@@:", false, true},
        {"a!@:", false, true},
        {"a!b:", true, false},
        {"\"text\" :", false, false},
        {"Debug a : Debug b!:", true, true},
        {"no colon here", false, false},
    };
    const LabelPatterns& patterns = LabelPatterns::Get();
    for (const PatternCase& c : cases) {
        EXPECT_EQ(patterns.MatchesLabel(c.text), c.label) << '"' << c.text << '"';
        EXPECT_EQ(patterns.MatchesSymbolLabel(c.text), c.symbolLabel) << '"' << c.text << '"';
        EXPECT_EQ(patterns.MatchesEither(c.text), c.label || c.symbolLabel) << '"' << c.text << '"';
    }
}

TEST(LabelPatterns, TextIsNotCutAtANulByte) {
    const std::string text("a\0b:", 4);
    EXPECT_TRUE(LabelPatterns::Get().MatchesLabel(text));
}

TEST(LabelPatterns, LongWordBeforeANonMatchingColonFinishes) {
    // Backtracks badly without JIT; this must come back at once.
    std::string line(1 << 20, 'a');
    line += "-:";
    EXPECT_FALSE(LabelPatterns::Get().MatchesLabel(line));
    std::string symbols(1 << 20, '!');
    symbols += "-:";
    EXPECT_FALSE(LabelPatterns::Get().MatchesSymbolLabel(symbols));
    EXPECT_TRUE(LabelPatterns::Get().MatchesLabel(line + "b:"));
}

TEST(LabelPatterns, SharedByThreads) {
    std::vector<std::thread> threads;
    std::vector<int> matches(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&matches, t] {
            for (int i = 0; i < 1000; ++i) {
                matches[t] += LabelPatterns::Get().MatchesLabel(i % 2 ? "Loop:" : "Foo()") ? 1 : 0;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const int count : matches) {
        EXPECT_EQ(count, 500);
    }
}

} // namespace
} // namespace tickscope
