// One scan of a line for a set of keywords must see exactly the letter runs of the lower-cased
// masked line, which is what FindKeyword searches.
#include "source/keyword_set.h"

#include "source/line_scanning.h"
#include "source/text_utils.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tickscope {
namespace {

const std::vector<std::string_view> kKeywords = {
    "if", "endif", "procedure", "procedurecdll", "compilerendselect", "end", "a", "x"};

KeywordSet Keywords() {
    KeywordSet set;
    for (const std::string_view keyword : kKeywords) {
        set.Add(keyword);
    }
    return set;
}

// The keywords that are whole letter runs of the lower-cased masked line, and its colon.
KeywordScan ReferenceScan(std::string_view line) {
    const std::string masked = LowerAscii(MaskLine(line));
    KeywordScan scan;
    scan.HasColon = masked.find(':') != std::string::npos;
    std::size_t i = 0;
    while (i < masked.size()) {
        if (masked[i] < 'a' || masked[i] > 'z') {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < masked.size() && masked[end] >= 'a' && masked[end] <= 'z') {
            ++end;
        }
        for (std::size_t k = 0; k < kKeywords.size(); ++k) {
            if (masked.compare(i, end - i, kKeywords[k]) == 0) {
                scan.Candidates |= std::uint64_t{1} << k;
            }
        }
        i = end;
    }
    return scan;
}

TEST(KeywordSetTest, TableCases) {
    const KeywordSet set = Keywords();
    const struct {
        std::string Line;
        std::uint64_t Candidates;
        bool HasColon;
    } cases[] = {
        {"", 0, false},
        {"If a : EndIf", 0b1000011, true},
        {"IF2 = x", 0b10000001, false}, // a digit ends the run: "if" is a run, FindKeyword decides
        {"x$ = \"If : EndIf\"", 0b10000000, false},   // inside a literal
        {"y = 'if' ; EndIf : Procedure", 0, false},   // character literal and comment
        {"b = \"open ; if : end", 0, false},          // a literal that never closes
        {"ProcedureCDLL.i Foo()", 0b1000, false},     // the type suffix ends the run
        {"CompilerEndSelect:", 0b10000, true},        // the longest keyword, and a colon
        {"CompilerEndSelectX", 0, false},             // one letter too many
        {"endendendendendendendendendend", 0, false}, // a run longer than any keyword
        {"\tEnd\t:\t", 0b100000, true},               // tabs separate
        {"x\xC9if\xE9 = a", 0b11000001, false},       // high bytes are no letters
        {"\"\":a", 0b1000000, true},                  // an empty literal
        {"'x' + \"'\" + end", 0b100000, false},       // one quote inside the other
    };
    for (const auto& c : cases) {
        const KeywordScan scan = set.Scan(c.Line);
        EXPECT_EQ(scan.Candidates, c.Candidates) << c.Line;
        EXPECT_EQ(scan.HasColon, c.HasColon) << c.Line;
        const KeywordScan reference = ReferenceScan(c.Line);
        EXPECT_EQ(scan.Candidates, reference.Candidates) << c.Line;
        EXPECT_EQ(scan.HasColon, reference.HasColon) << c.Line;
    }
}

TEST(KeywordSetTest, AgreesWithTheMaskedLineOnRandomLines) {
    const KeywordSet set = Keywords();
    const std::vector<std::string> pieces = {"if",
                                             "If",
                                             "ENDIF",
                                             "end",
                                             "End",
                                             "x",
                                             "a",
                                             "procedure",
                                             "Procedurecdll",
                                             "compilerendselect",
                                             " ",
                                             "\t",
                                             ":",
                                             ";",
                                             "\"",
                                             "'",
                                             "(",
                                             ")",
                                             ".",
                                             "_",
                                             "1",
                                             "b",
                                             "\xC9",
                                             "=",
                                             "ifx"};
    std::mt19937 random(17);
    for (int round = 0; round < 20000; ++round) {
        std::string line;
        const int count = static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) {
            line += pieces[random() % pieces.size()];
        }
        const KeywordScan scan = set.Scan(line);
        const KeywordScan reference = ReferenceScan(line);
        ASSERT_EQ(scan.Candidates, reference.Candidates) << line;
        ASSERT_EQ(scan.HasColon, reference.HasColon) << line;
    }
}

} // namespace
} // namespace tickscope
