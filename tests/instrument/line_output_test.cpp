// A line's output kept as one text must give back the elements it was given, where they were
// put, with embedded line feeds left inside their element.
#include "instrument/line_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tickscope {
namespace {

using Lines = std::vector<std::string>;

TEST(LineOutputTest, ElementsAndTextAfterAppendsAndInserts) {
    struct Case {
        const char* Name;
        Lines Appended;
        std::vector<std::pair<std::size_t, std::string>> Inserts; // at, element
        Lines Elements;
    };
    const Case cases[] = {
        {"empty", {}, {}, {}},
        {"appended", {"a", "", "b\nc"}, {}, {"a", "", "b\nc"}},
        {"inserted first", {"a", "b"}, {{0, "x"}}, {"x", "a", "b"}},
        {"inserted between", {"a\nb", "c"}, {{1, "x\ny"}}, {"a\nb", "x\ny", "c"}},
        {"inserted last", {"a"}, {{1, "x"}}, {"a", "x"}},
        {"into nothing, twice at the front", {}, {{0, "b"}, {0, "a"}}, {"a", "b"}},
        {"empty element inserted", {"a", "b"}, {{1, ""}}, {"a", "", "b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        LineOutput output;
        output.Append("stale");
        output.Clear();
        for (const std::string& element : c.Appended) {
            output.Append(element);
        }
        for (const auto& [at, element] : c.Inserts) {
            output.Insert(at, element);
        }
        EXPECT_EQ(output.Elements(), c.Elements);
        ASSERT_EQ(output.Count(), c.Elements.size());
        std::string text;
        for (std::size_t i = 0; i < c.Elements.size(); ++i) {
            EXPECT_EQ(output.Element(i), c.Elements[i]);
            text += c.Elements[i] + "\n";
        }
        EXPECT_EQ(output.Text(), text);
        EXPECT_EQ(output.Empty(), c.Elements.empty());
    }
}

TEST(LineOutputTest, ElementWrittenInPieces) {
    LineOutput output;
    output.Append("first");
    output.Open() += "tickscope_AddStartEntry(";
    output.Open() += "1, 2, 3, #False)";
    output.CloseElement();
    EXPECT_EQ(output.Elements(), (Lines{"first", "tickscope_AddStartEntry(1, 2, 3, #False)"}));
}

} // namespace
} // namespace tickscope
