// The text helpers against the library's own searches.
#include "source/text_utils.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace tickscope {
namespace {

std::string_view ReferenceTrim(std::string_view text, std::string_view characters) {
    const auto first = text.find_first_not_of(characters);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

TEST(TrimTest, TableCases) {
    const struct {
        std::string Text, Characters, Trimmed;
    } cases[] = {
        {"", " ", ""},
        {"   ", " ", ""},
        {" a ", " ", "a"},
        {"\ta b\t", " ", "\ta b\t"},
        {"\t a b \t", " \t", "a b"},
        {"a", " \t", "a"},
        {"  a\t", " \t", "a"},
        {"xxaxx", "x", "a"},
        {"ab", "", "ab"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Trim(c.Text, c.Characters), c.Trimmed) << "[" << c.Text << "]";
    }
    EXPECT_EQ(Trim(" a "), "a"); // spaces by default
}

TEST(TrimTest, AgreesWithTheLibrarySearchOnRandomTexts) {
    std::mt19937 random(3);
    const std::string alphabet(" \ta;\0", 5);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (std::size_t i = random() % 8; i > 0; --i) {
            text += alphabet[random() % alphabet.size()];
        }
        for (const std::string_view characters :
             {std::string_view(" "), std::string_view(" \t"), std::string_view("\0a", 2)}) {
            ASSERT_EQ(Trim(text, characters), ReferenceTrim(text, characters)) << text;
        }
    }
}

} // namespace
} // namespace tickscope
