#pragma once

#include "analysis/check_actions.h"
#include "platform/requesters.h"
#include "ui/selection_dialog.h"

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

// Picks rows from a script and records what the dialog would show: its prompt, and its
// rows as "cell|cell\n" texts. An answer is the text of the row to pick ("" picks none).
class ScriptedChooser : public ListChooser {
  public:
    std::deque<std::string> Answers;
    std::vector<std::string> Prompts;
    std::vector<std::string> Rows;

    std::optional<std::size_t> Choose(ChoiceKind kind,
                                      const std::vector<ChoiceRow>& rows) override {
        const SelectionRequest request = RequestFor(kind, rows);
        Prompts.push_back(request.Prompt);
        std::string shown;
        std::vector<std::string> texts;
        for (const std::vector<std::string>& cells : request.Rows) {
            std::string text;
            for (std::size_t i = 0; i < cells.size(); ++i) {
                text += (i == 0 ? "" : "|") + cells[i];
            }
            shown += text + "\n";
            texts.push_back(text);
        }
        Rows.push_back(shown);
        if (Answers.empty()) {
            return std::nullopt;
        }
        const std::string answer = Answers.front();
        Answers.pop_front();
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (!answer.empty() && texts[i] == answer) {
                return i;
            }
        }
        return std::nullopt;
    }
};

} // namespace tickscope::testing
