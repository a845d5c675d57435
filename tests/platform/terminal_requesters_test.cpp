#include "platform/requesters.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tickscope {
namespace {

TEST(TerminalRequesters, YesOnlyForYOrYesInAnyCase) {
    struct Case {
        std::string input;
        bool yes;
    };
    const Case cases[] = {
        {"y\n", true},     {"YES\n", true}, {"Yes\r\n", true}, {"yEs", true},   {"Y\n", true},
        {"no\n", false},   {"\n", false},   {"", false},       {" y\n", false}, {"yes \n", false},
        {"yess\n", false}, {"ja\n", false}, {"\ny\n", false}, // only the first line answers
    };
    for (const Case& c : cases) {
        std::istringstream in(c.input);
        std::ostringstream out;
        TerminalRequesters requesters(in, out);
        EXPECT_EQ(requesters.AskYesNo("Tickscope", "Build?"), c.yes) << '"' << c.input << '"';
        EXPECT_NE(out.str().find("Build?"), std::string::npos) << "question shown";
    }
}

TEST(TerminalRequesters, EachQuestionTakesOneLine) {
    std::istringstream in("yes\nno\ny\n");
    std::ostringstream out;
    TerminalRequesters requesters(in, out);
    EXPECT_TRUE(requesters.AskYesNo("T", "1"));
    EXPECT_FALSE(requesters.AskYesNo("T", "2"));
    EXPECT_TRUE(requesters.AskYesNo("T", "3"));
    EXPECT_FALSE(requesters.AskYesNo("T", "4")) << "end of input is No";
}

TEST(TerminalRequesters, TextAnswers) {
    struct Case {
        std::string input;
        std::string answer;
    };
    const Case cases[] = {
        {"42\n", "42"},
        {"42\r\n", "42"},
        {"\n", "7"}, // empty line takes the default
        {"", ""},    // end of input is a cancel
        {" a b \n", " a b "},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.input);
        std::ostringstream out;
        TerminalRequesters requesters(in, out);
        EXPECT_EQ(requesters.AskText("Tickscope", "Threshold", "7"), c.answer)
            << '"' << c.input << '"';
    }
}

TEST(TerminalRequesters, MessageShowsTitleAndTextWithoutReading) {
    std::istringstream in("y\n");
    std::ostringstream out;
    TerminalRequesters requesters(in, out);
    requesters.ShowMessage("Tickscope", "Nothing found");
    EXPECT_NE(out.str().find("Tickscope"), std::string::npos);
    EXPECT_NE(out.str().find("Nothing found"), std::string::npos);
    EXPECT_TRUE(requesters.AskYesNo("T", "still unread")) << "the message consumed no input";
}

} // namespace
} // namespace tickscope
