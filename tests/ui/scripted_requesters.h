#pragma once

#include "analysis/check_actions.h"
#include "platform/requesters.h"

#include <deque>
#include <string>
#include <vector>

namespace tickscope::testing {

// Answers questions from a script and records everything it was asked and told.
class ScriptedRequesters : public Requesters {
  public:
    std::deque<std::string> Answers; // for AskText, in order; empty when exhausted
    std::vector<std::string> Prompts;
    std::vector<std::string> Messages;
    std::vector<std::string> Titles;

    bool AskYesNo(const std::string& title, const std::string&) override {
        Titles.push_back(title);
        return true;
    }
    void ShowMessage(const std::string& title, const std::string& text) override {
        Titles.push_back(title);
        Messages.push_back(text);
    }
    std::string AskText(const std::string& title, const std::string& prompt,
                        const std::string&) override {
        Titles.push_back(title);
        Prompts.push_back(prompt);
        if (Answers.empty()) {
            return {};
        }
        std::string answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
};

// Picks rows from a script and records what it was shown.
class ScriptedChooser : public ListChooser {
  public:
    std::deque<std::string> Answers;
    std::vector<std::string> Prompts;
    std::vector<std::string> Rows;

    std::string SelectFromList(const std::string&, const std::string& prompt, const std::string&,
                               const std::string&, const std::string& rows) override {
        Prompts.push_back(prompt);
        Rows.push_back(rows);
        if (Answers.empty()) {
            return {};
        }
        std::string answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
};

} // namespace tickscope::testing
