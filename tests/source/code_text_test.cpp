// A line's text: copies own their bytes, borrowed texts point where they were made to, and
// every change makes a text of its own.
#include "source/code_text.h"
#include "source/program_info.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tickscope {
namespace {

TEST(CodeTextTest, AssignedAndCopiedTextsOwnTheirBytes) {
    std::string source = "x = 1";
    CodeText text;
    EXPECT_TRUE(text.empty());
    text = source;
    source[0] = 'y';
    EXPECT_EQ(text, "x = 1");
    const CodeText copy = text;
    text = "other";
    EXPECT_EQ(copy, "x = 1");
    EXPECT_EQ(text, "other");
    EXPECT_NE(copy.data(), text.data());
    text = text; // self-assignment keeps the text
    EXPECT_EQ(text, "other");
    text = std::string_view();
    EXPECT_TRUE(text.empty());
}

TEST(CodeTextTest, BorrowedTextsPointIntoTheirBytesAndMovesKeepThem) {
    const std::string bytes = "a = 1\r\nb = 2";
    CodeText borrowed = CodeText::Borrowed(std::string_view(bytes).substr(7));
    EXPECT_EQ(borrowed.data(), bytes.data() + 7);
    EXPECT_EQ(borrowed, "b = 2");
    const CodeText moved = std::move(borrowed);
    EXPECT_EQ(moved.data(), bytes.data() + 7);
    EXPECT_TRUE(borrowed.empty());
    const CodeText copied = moved; // a copy never borrows
    EXPECT_NE(copied.data(), moved.data());
    EXPECT_EQ(copied, moved);
}

TEST(CodeTextTest, ChangesMakeTextsOfTheirOwn) {
    const std::string bytes = "x = a +";
    struct Case {
        const char* Name;
        std::vector<std::string> Heads;
        std::string Expected;
    };
    for (const Case& c : {Case{"prepended", {"; "}, "; x = a +"}, Case{"nothing", {""}, "x = a +"},
                          Case{"twice", {"b ", "> "}, "> b x = a +"}}) {
        SCOPED_TRACE(c.Name);
        CodeText text = CodeText::Borrowed(bytes);
        for (const std::string& head : c.Heads) {
            text.Prepend(head);
        }
        EXPECT_EQ(text, c.Expected);
        EXPECT_TRUE(text.data() < bytes.data() || text.data() >= bytes.data() + bytes.size());
    }
    CodeText self("ab");
    self.Prepend(self); // the text itself as the part
    self.Prepend(std::string_view(self).substr(1));
    EXPECT_EQ(self, "bababab");
}

TEST(CodeTextTest, ComparesAndPrintsAsText) {
    const CodeText text("If a");
    EXPECT_TRUE(text == CodeText("If a"));
    EXPECT_TRUE(text == std::string("If a"));
    EXPECT_TRUE(text != "If b");
    EXPECT_EQ(text.find('a'), 3u);
    EXPECT_EQ(text.find("f a"), 1u);
    EXPECT_EQ(std::string(text), "If a");
    std::ostringstream printed;
    printed << text;
    EXPECT_EQ(printed.str(), "If a");
}

// A program's copy owns its texts: it needs none of the bytes the original keeps.
TEST(CodeTextTest, CopiedProgramOwnsItsTexts) {
    auto original = std::make_unique<ProgramInfo>();
    const auto bytes = std::make_shared<const std::string>("Debug 1\nDebug 2");
    original->SourceTexts.push_back(bytes);
    original->LinesOfCode.emplace_back().Code =
        CodeText::Borrowed(std::string_view(*bytes).substr(8));
    ProgramInfo copy = *original;
    original.reset();
    copy.SourceTexts.clear();
    ASSERT_EQ(copy.LinesOfCode.size(), 1u);
    const char* text = copy.LinesOfCode[0].Code.data();
    EXPECT_TRUE(text < bytes->data() || text >= bytes->data() + bytes->size());
    EXPECT_EQ(copy.LinesOfCode[0].Code, "Debug 2");
}

} // namespace
} // namespace tickscope
