// One scan of a line for a set of keywords must find exactly what FindKeyword finds, keyword
// by keyword, in the line as given and in a statement as the instruction rules normalise it.
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

// The text FindKeyword is asked about for a statement: tabs as spaces, trimmed, no comment.
std::string Normalised(std::string_view statement) {
    return StripComment(ReplaceAll(Trim(statement, " \t"), "\t", " "));
}

std::uint64_t ReferenceFound(std::string_view text) {
    std::uint64_t found = 0;
    for (std::size_t k = 0; k < kKeywords.size(); ++k) {
        if (FindKeyword(text, kKeywords[k]) > 0) {
            found |= std::uint64_t{1} << k;
        }
    }
    return found;
}

bool ReferenceHasColon(std::string_view text) {
    return MaskLine(text).find(':') != std::string::npos;
}

void ExpectSameAsFindKeyword(const KeywordSet& set, const std::string& line) {
    const KeywordScan whole = set.Scan(line);
    EXPECT_EQ(whole.Found, ReferenceFound(line)) << "[" << line << "]";
    EXPECT_EQ(whole.HasColon, ReferenceHasColon(line)) << "[" << line << "]";
    const KeywordScan statement = set.Scan(line, ScanExtent::Statement);
    const std::string norm = Normalised(line);
    EXPECT_EQ(statement.Found, ReferenceFound(norm)) << "[" << line << "] as [" << norm << "]";
    EXPECT_EQ(statement.HasColon, ReferenceHasColon(norm)) << "[" << line << "]";
}

TEST(KeywordSetTest, TableCases) {
    const KeywordSet set = Keywords();
    const struct {
        std::string Line;
        std::uint64_t Found;          // in the line as given
        std::uint64_t FoundStatement; // in the normalised statement
        bool HasColon;
    } cases[] = {
        {"", 0, 0, false},
        {"If a : EndIf", 0b1000011, 0b1000011, true},
        {"IF2 = x", 0b10000000, 0b10000000, false}, // a digit after is no separator
        {"x$ = \"If : EndIf\"", 0, 0, false},       // inside a literal; "x$" is no word
        {"y = 'if' ; EndIf : Procedure", 0, 0, false},
        {"b = \"open ; if : end", 0, 0, false}, // a literal that never closes
        {"ProcedureCDLL.i Foo()", 0b1000, 0b1000, false},
        {"CompilerEndSelect:", 0b10000, 0b10000, true},
        {"CompilerEndSelectX", 0, 0, false},
        {"endendendendendendendendendend", 0, 0, false},
        {"\tEnd\t:\t", 0b100000, 0b100000, true},
        {"x\xC9if\xE9 = a", 0b1000000, 0b1000000, false}, // high bytes are no separators
        {"\"\":a", 0b1000000, 0b1000000, true},
        {"x.If;c", 0b10000000, 0b10000001, false},  // the comment ends the statement: "." may
                                                    // precede a keyword at the end
        {"x.If ;c", 0b10000000, 0b10000000, false}, // a blank before the comment stays in it
        {"  If", 0b1, 0b1, false},                  // blanks in front: inside, or at the start
        {"a.End  ", 0b1000000, 0b1100000, false},   // trailing blanks end the statement
        {"x:.If", 0b10000001, 0b10000001, true},    // "." before a keyword at the end
        {"a :.If x", 0b11000000, 0b11000000, true}, // ":" before "." is no pair inside
    };
    for (const auto& c : cases) {
        const KeywordScan whole = set.Scan(c.Line);
        EXPECT_EQ(whole.Found, c.Found) << c.Line;
        EXPECT_EQ(whole.HasColon, c.HasColon) << c.Line;
        EXPECT_EQ(set.Scan(c.Line, ScanExtent::Statement).Found, c.FoundStatement) << c.Line;
        ExpectSameAsFindKeyword(set, c.Line);
    }
}

TEST(KeywordSetTest, AgreesWithFindKeywordOnRandomLines) {
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
                                             "ifx",
                                             "  "};
    std::mt19937 random(17);
    for (int round = 0; round < 50000; ++round) {
        std::string line;
        const int count = static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) {
            line += pieces[random() % pieces.size()];
        }
        ExpectSameAsFindKeyword(set, line);
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
}

} // namespace
} // namespace tickscope
