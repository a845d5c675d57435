#pragma once

#include <iosfwd>
#include <string>

namespace tickscope {

// The title of every message, question and requester Tickscope shows.
inline constexpr const char* kTickscopeTitle = "Tickscope";

// The user's answers: the build question, messages and input prompts. The analyzer's
// window answers with dialogs, a terminal with prompts, tests with scripted answers.
class Requesters {
  public:
    virtual ~Requesters() = default;
    // Yes/No question; true for Yes.
    virtual bool AskYesNo(const std::string& title, const std::string& text) = 0;
    // Message with an OK button; returns when dismissed.
    virtual void ShowMessage(const std::string& title, const std::string& text) = 0;
    // Text input, as UTF-8 (a terminal's bytes as typed); the empty text when cancelled.
    virtual std::string AskText(const std::string& title, const std::string& prompt,
                                const std::string& defaultText) = 0;
};

// Asks on a terminal: prompts on `out`, one answer line from `in`. "y" or "yes" in any
// letter case is Yes; anything else, or the end of the input, is No.
class TerminalRequesters : public Requesters {
  public:
    TerminalRequesters(std::istream& in, std::ostream& out) : in_(in), out_(out) {}
    bool AskYesNo(const std::string& title, const std::string& text) override;
    void ShowMessage(const std::string& title, const std::string& text) override;
    std::string AskText(const std::string& title, const std::string& prompt,
                        const std::string& defaultText) override;

  private:
    std::istream& in_;
    std::ostream& out_;
};

} // namespace tickscope
