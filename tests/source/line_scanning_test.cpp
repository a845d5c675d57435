#include "source/line_scanning.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace tickscope {
namespace {

using namespace std::string_literals;

struct PositionCase {
    std::string line;
    int expected;
};

TEST(CommentPositionTest, FindsFirstSemicolonOutsideLiterals) {
    const std::vector<PositionCase> cases = {
        {"x = 'a' ; note", 9},
        {"s = \"a;b\"", 0},
        {"s = \"unclosed ; here", 0},
        {"s = 'unclosed ; here", 0},
        {"s = \"it's\" ; c", 12},
        {"s = '\"' ; c", 9},
        {";", 1},
        {"", 0},
        {"a ; b ; c", 3},
        {"\"\";x", 3},
        {"no comment at all", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CommentPosition(c.line), c.expected) << c.line;
    }
}

struct TextCase {
    std::string line;
    std::string expected;
};

TEST(StripCommentTest, KeepsTextBeforeCommentUntrimmed) {
    const std::vector<TextCase> cases = {
        {"a = 1  ; note", "a = 1  "},    {"a = 1", "a = 1"},  {"; whole", ""},
        {"s = \";\" ; x", "s = \";\" "}, {"\t x ;", "\t x "}, {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StripComment(c.line), c.expected) << c.line;
    }
}

TEST(MaskLineTest, MasksLiteralsAndComment) {
    const std::vector<TextCase> cases = {
        {"x = 1 ; hi", "x = 1 ;;;;"},
        {"s = \"a:b\" : c", "s = \"\"\"\"\" : c"},
        {"c = 'a'", "c = '''"},
        {"s = \"it's\"", "s = \"\"\"\"\"\""},
        {"s = '\"x'", "s = ''''"},
        {"s = \"open ; x", "s = " + std::string(9, '"')},
        {"\"\"", "\"\""},
        {"a;\"b\"", "a;;;;"},
        {"", ""},
        {"Plain Text", "Plain Text"},
    };
    for (const auto& c : cases) {
        const std::string masked = MaskLine(c.line);
        EXPECT_EQ(masked, c.expected) << c.line;
        EXPECT_EQ(masked.size(), c.line.size()) << c.line;
    }
}

TEST(MaskLineTest, KeepsLengthOfFourteenCharacterLine) {
    const std::string line = "If a = \"x\" ; y";
    ASSERT_EQ(line.size(), 14u);
    EXPECT_EQ(MaskLine(line).size(), 14u);
}

TEST(HasStatementColonTest, IgnoresColonsInLiteralsAndComment) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"a = 1 : b = 2", true},
        {"Start:", true},
        {"s = \"a:b\"", false},
        {"x = 1 ; a : b", false},
        {"c = ':'", false},
        {"s = \"unclosed : x", false},
        {"", false},
        {"\"a\" : b", true},
    };
    for (const auto& [line, expected] : cases) {
        EXPECT_EQ(HasStatementColon(line), expected) << line;
    }
}

std::string Sep(const std::string& text) {
    std::string result = text;
    for (char& c : result) {
        if (c == '|') {
            c = kTokenSeparator;
        }
    }
    return result;
}

TEST(TokenizeLineTest, TurnsSeparatorRunsIntoOneSeparator) {
    const std::vector<TextCase> cases = {
        {"IncludeFile \"my file.pbi\"", Sep("IncludeFile|\"my file.pbi\"")},
        {"Procedure.i Foo(a, b)", Sep("Procedure.i|Foo|a,|b|")},
        {"  x = 1 ; comment here", Sep("|x|=|1|")},
        {"a::b", Sep("a|b")},
        {"\tIf(a)", Sep("|If|a|")},
        {"s = \"a:b (c)\"", Sep("s|=|\"a:b (c)\"")},
        {"a,b.c=d", "a,b.c=d"},
        {"", ""},
        {"x\x01\x01y"s, "x\x01y"s},
        {"x \x01 y"s, "x\x01y"s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TokenizeLine(c.line), c.expected) << c.line;
    }
}

TEST(TokenizeLineTest, FieldsOfIncludeAndProcedure) {
    const std::string include = TokenizeLine("IncludeFile \"my file.pbi\" ; x");
    EXPECT_EQ(TokenField(include, 1), "IncludeFile");
    EXPECT_EQ(TokenField(include, 2), "\"my file.pbi\"");
    EXPECT_EQ(TokenField(include, 3), "");
    EXPECT_EQ(TokenField(include, 9), "");
    EXPECT_EQ(TokenField(include, 0), "");
    EXPECT_EQ(TokenField(include, -1), "");

    const std::string head = TokenizeLine("ProcedureDLL.s Bar(x)");
    EXPECT_EQ(TokenField(head, 1), "ProcedureDLL.s");
    EXPECT_EQ(TokenField(head, 2), "Bar");
    EXPECT_EQ(TokenField(head, 3), "x");

    const std::string leading = TokenizeLine(" lead");
    EXPECT_EQ(TokenField(leading, 1), "");
    EXPECT_EQ(TokenField(leading, 2), "lead");
}

struct KeywordCase {
    std::string line;
    std::string keyword;
    int expected;
};

const std::vector<KeywordCase>& KeywordCases() {
    static const std::vector<KeywordCase> cases = {
        {"EndIf", "if", 0},
        {"If(a)", "if", 1},
        {"x = 1 : If a", "if", 9},
        {"If", "if", 1},
        {"ElseIf b", "if", 0},
        {"s = \"If a\"", "if", 0},
        {"x = 1 ; If a", "if", 0},
        {"c = 'if'", "if", 0},
        {"Procedure.i Foo()", "procedure", 1},
        {"ProcedureReturn x", "procedure", 0},
        {"EndProcedure", "procedure", 0},
        {"Wend   ", "wend", 1},
        {"\tWend", "wend", 2},
        {"ENDIF", "endif", 1},
        {"ENDIF", "ENDIF", 0},
        {"  EndIf", "endif", 3},
        {"a : EndIf : b", "endif", 5},
        {"x = a(If b)", "if", 0},
        {"x=If", "if", 0},
        {".if", "if", 2},
        {"If.b", "if", 1},
        {"a.If.b", "if", 0},
        {"a If.b", "if", 3},
        {"a:If.b", "if", 0},
        {"Foo(If", "if", 0},
        {"If;", "if", 1},
        {"x If(y)", "if", 3},
        {"x\tIf\ty", "if", 3},
        {"", "if", 0},
        {"i", "if", 0},
        {"Structure Point", "structure", 1},
        {"StructureUnion", "structure", 0},
        {"UndefineMacro x", "macro", 0},
        {"CompilerIf x", "if", 0},
        {"ForEach x()", "for", 0},
        {"ForEver", "for", 0},
        // The end of the line wins over an earlier inner occurrence.
        {"x If y If", "if", 8},
        // Among inner occurrences the pair order decides, not the position.
        {"a If: b If c", "if", 9},
        {"a :If( b :If: c", "if", 11},
        {"a\tIf. b If\tc", "if", 9},
        {"a\tIf. b :If.c", "if", 3},
        // ":" before "." is no pair.
        {"a:If.c", "if", 0},
        // "(" is not an end separator.
        {"a(If", "if", 0},
    };
    return cases;
}

TEST(FindKeywordTest, EdgeCases) {
    for (const auto& c : KeywordCases()) {
        EXPECT_EQ(FindKeyword(c.line, c.keyword), c.expected)
            << "line '" << c.line << "' keyword '" << c.keyword << "'";
    }
}

// The keyword search written the long way, one needle per rule, to compare against.
int ReferenceFindKeyword(const std::string& line, const std::string& k) {
    if (line.size() < k.size()) {
        return 0;
    }
    std::string s = MaskLine(line);
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 32);
        }
    }
    if (s.find(k) == std::string::npos) {
        return 0;
    }
    if (s == k) {
        return 1;
    }
    for (char sep : std::string(" :;(\t.")) {
        if (s.rfind(k + sep, 0) == 0) {
            return 1;
        }
    }
    for (char sep : std::string(" :;\t.")) {
        const std::string tail = std::string(1, sep) + k;
        if (s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0) {
            return static_cast<int>(line.size() - k.size() + 1);
        }
    }
    const char* pairs[] = {" _ ", ":_ ", "\t_ ", " _:",  ":_:",  "\t_:",  " _;", ":_;", "\t_;",
                           " _(", ":_(", "\t_(", " _\t", ":_\t", "\t_\t", " _.", "\t_."};
    for (const char* pair : pairs) {
        const std::string needle = std::string(1, pair[0]) + k + std::string(1, pair[2]);
        const auto at = s.find(needle);
        if (at != std::string::npos) {
            return static_cast<int>(at + 2);
        }
    }
    return 0;
}

TEST(FindKeywordTest, AgreesWithRuleByRuleSearchOnRandomLines) {
    std::mt19937 random(12345);
    const std::string alphabet = "iIfF :;(\t.\"'x)";
    const std::vector<std::string> keywords = {"if", "i", "iff", "fi"};
    for (int round = 0; round < 200000; ++round) {
        std::string line(random() % 12, ' ');
        for (char& c : line) {
            c = alphabet[random() % alphabet.size()];
        }
        const std::string& keyword = keywords[random() % keywords.size()];
        ASSERT_EQ(FindKeyword(line, keyword), ReferenceFindKeyword(line, keyword))
            << "line '" << line << "' keyword '" << keyword << "'";
    }
}

TEST(FindKeywordTest, ManyKeywordsOnOneLineThenOtherLines) {
    // Alternating lines and keywords must never answer from a stale memo.
    for (int repeat = 0; repeat < 3; ++repeat) {
        for (const auto& c : KeywordCases()) {
            EXPECT_EQ(FindKeyword(c.line, "zzz"), 0) << c.line;
            EXPECT_EQ(FindKeyword(c.line, c.keyword), c.expected) << c.line;
        }
    }
}

TEST(LineScanningMemoTest, AlternatingInputsGiveFreshResults) {
    const std::vector<std::string> lines = {"a ; b", "a ; bc", "\"a ; b\"", "", "x:y", "x:y "};
    for (int repeat = 0; repeat < 2; ++repeat) {
        for (const auto& line : lines) {
            std::string expectedMask = line;
            const auto semicolon = line.find(';');
            const bool quoted = !line.empty() && line[0] == '"';
            if (quoted) {
                expectedMask = "\"" + std::string(line.size() - 2, '"') + "\"";
            } else if (semicolon != std::string::npos) {
                expectedMask.replace(semicolon, std::string::npos, line.size() - semicolon, ';');
            }
            EXPECT_EQ(MaskLine(line), expectedMask) << line;
            EXPECT_EQ(CommentPosition(line),
                      quoted || semicolon == std::string::npos ? 0 : int(semicolon) + 1)
                << line;
            EXPECT_EQ(HasStatementColon(line), line.find(':') != std::string::npos) << line;
        }
    }
}

TEST(LineScanningMemoTest, InputTakenFromAnEarlierResult) {
    const std::string line = "a = \"xy\" : b ; c";
    const std::string& cached = MaskLineCached(line);
    // Masking the masked text again must not read a result being overwritten.
    EXPECT_EQ(MaskLine(cached), "a = \"\"\"\" : b ;;;");
    EXPECT_EQ(TokenizeLine(MaskLineCached(line)), Sep("a|=|\"\"\"\"|b|"));
    // An odd run of quotes leaves the last one open, so masking is not idempotent.
    EXPECT_EQ(MaskLine("\"\"\" :"), "\"\"\"\"\"");
}

TEST(LineScanningMemoTest, ThreadsKeepTheirOwnMemos) {
    // Each thread alternates between its own lines; a memo shared between threads would
    // sooner or later hand one thread another's result.
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            const std::string line = std::string(static_cast<std::size_t>(t), ' ') + "If x";
            const std::string other = "a = " + std::to_string(t) + " ; If";
            for (int i = 0; i < 20000; ++i) {
                failures[t] += FindKeyword(line, "if") != t + 1;
                failures[t] += FindKeyword(other, "if") != 0;
                failures[t] += CommentPosition(other) != 7;
                failures[t] += MaskLine(line) != line;
                failures[t] += TokenField(TokenizeLine(other), 3) != std::to_string(t);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(LineScanningBadInputTest, NulAndHighBytesAreOrdinaryCharacters) {
    const std::string line = "If\0a \xFF\xFE : \"\0;\" ; \0"s;
    EXPECT_EQ(MaskLine(line).size(), line.size());
    EXPECT_EQ(CommentPosition(line), 16);
    EXPECT_TRUE(HasStatementColon(line));
    EXPECT_EQ(FindKeyword(line, "if"), 0); // "If" is followed by NUL, no separator
    EXPECT_EQ(FindKeyword("\xFF If\0"s, "if"), 0);
    EXPECT_EQ(FindKeyword("\xFF If \0"s, "if"), 3);
    EXPECT_EQ(TokenizeLine("\0 \0"s), "\0\x01\0"s);
    EXPECT_EQ(StripComment("\0;x"s), "\0"s);
}

TEST(LineScanningBadInputTest, MegabyteLinesStayLinear) {
    const auto started = std::chrono::steady_clock::now();
    const std::size_t size = 1 << 20;
    const std::vector<std::string> lines = {
        std::string(size, ' '),
        std::string(size, '\x01'),
        std::string(size, ':'),
        std::string(size, 'a'),
        "\"" + std::string(size, 'x'),
        std::string(size / 2, 'a') + " " + std::string(size / 2, 'a'),
        [&] {
            std::string s;
            while (s.size() < size) {
                s += " if";
            }
            return s;
        }(),
    };
    for (const auto& line : lines) {
        const std::string tokens = TokenizeLine(line);
        EXPECT_LE(tokens.size(), line.size());
        EXPECT_EQ(tokens.find("\x01\x01"), std::string::npos);
        EXPECT_EQ(MaskLine(line).size(), line.size());
        for (const char* keyword : {"a", "if", "x", "aa"}) {
            FindKeyword(line, keyword);
        }
    }
    EXPECT_EQ(TokenizeLine(lines[0]), "\x01");
    EXPECT_EQ(TokenizeLine(lines[1]), "\x01");
    EXPECT_EQ(FindKeyword(lines[6], "if"), static_cast<int>(lines[6].size()) - 1);
    EXPECT_EQ(FindKeyword(lines[3], "a"), 0);
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_LT(seconds, 10.0) << "megabyte lines took too long";
}

} // namespace
} // namespace tickscope
