#include "platform/requesters.h"

#include "platform/ascii_text.h"

#include <istream>
#include <ostream>

namespace tickscope {

bool TerminalRequesters::AskYesNo(const std::string& title, const std::string& text) {
    out_ << title << ": " << text << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(in_, answer)) {
        return false;
    }
    if (!answer.empty() && answer.back() == '\r') {
        answer.pop_back();
    }
    LowerAsciiInPlace(answer);
    return answer == "y" || answer == "yes";
}

void TerminalRequesters::ShowMessage(const std::string& title, const std::string& text) {
    out_ << title << ": " << text << std::endl;
}

std::string TerminalRequesters::AskText(const std::string& title, const std::string& prompt,
                                        const std::string& defaultText) {
    out_ << title << ": " << prompt << ' ' << std::flush;
    std::string answer;
    if (!std::getline(in_, answer)) {
        return {};
    }
    if (!answer.empty() && answer.back() == '\r') {
        answer.pop_back();
    }
    return answer.empty() ? defaultText : answer;
}

} // namespace tickscope
