#pragma once

#include <string_view>

namespace tickscope {

// The two label tests, compiled once with PCRE2 (no options, JIT) and searched unanchored:
// LabelPattern "\w*?[a-zA-Z0-9_]+?[ ]*:" and SymbolLabelPattern "\w*?[!@]+?[ ]*:".
class LabelPatterns {
  public:
    static const LabelPatterns& Get();

    bool MatchesLabel(std::string_view text) const;
    bool MatchesSymbolLabel(std::string_view text) const;
    bool MatchesEither(std::string_view text) const {
        return MatchesLabel(text) || MatchesSymbolLabel(text);
    }

    LabelPatterns(const LabelPatterns&) = delete;
    LabelPatterns& operator=(const LabelPatterns&) = delete;

    struct Compiled; // PCRE2 code, defined in the implementation

  private:
    LabelPatterns();
    ~LabelPatterns();
    Compiled* label_;
    Compiled* symbolLabel_;
};

inline constexpr const char* kLabelPattern = "\\w*?[a-zA-Z0-9_]+?[ ]*:";
inline constexpr const char* kSymbolLabelPattern = "\\w*?[!@]+?[ ]*:";

} // namespace tickscope
