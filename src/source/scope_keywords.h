#pragma once

#include <array>
#include <string_view>

namespace tickscope {

enum class KeywordGroup {
    None,
    ProcedureHead,
    DeclarativeHead,
    ProcedureEnd,
    DeclarativeEnd,
    BlockOpener,
    BlockCloser,
    BlockContinuation,
};

struct ScopeKeyword {
    std::string_view Keyword;
    KeywordGroup Group;
};

// The keywords that decide an instruction's role, in the order they are tested.
inline constexpr std::array<ScopeKeyword, 38> kScopeKeywords = {{
    {"procedure", KeywordGroup::ProcedureHead},
    {"proceduredll", KeywordGroup::ProcedureHead},
    {"procedurec", KeywordGroup::ProcedureHead},
    {"procedurecdll", KeywordGroup::ProcedureHead},
    {"structure", KeywordGroup::DeclarativeHead},
    {"interface", KeywordGroup::DeclarativeHead},
    {"enumeration", KeywordGroup::DeclarativeHead},
    {"import", KeywordGroup::DeclarativeHead},
    {"macro", KeywordGroup::DeclarativeHead},
    {"datasection", KeywordGroup::DeclarativeHead},
    {"importc", KeywordGroup::DeclarativeHead},
    {"endprocedure", KeywordGroup::ProcedureEnd},
    {"endstructure", KeywordGroup::DeclarativeEnd},
    {"endinterface", KeywordGroup::DeclarativeEnd},
    {"endenumeration", KeywordGroup::DeclarativeEnd},
    {"endimport", KeywordGroup::DeclarativeEnd},
    {"endmacro", KeywordGroup::DeclarativeEnd},
    {"enddatasection", KeywordGroup::DeclarativeEnd},
    {"endimportc", KeywordGroup::DeclarativeEnd},
    {"for", KeywordGroup::BlockOpener},
    {"foreach", KeywordGroup::BlockOpener},
    {"while", KeywordGroup::BlockOpener},
    {"repeat", KeywordGroup::BlockOpener},
    {"if", KeywordGroup::BlockOpener},
    {"select", KeywordGroup::BlockOpener},
    {"with", KeywordGroup::BlockOpener},
    {"next", KeywordGroup::BlockCloser},
    {"wend", KeywordGroup::BlockCloser},
    {"until", KeywordGroup::BlockCloser},
    {"forever", KeywordGroup::BlockCloser},
    {"endwith", KeywordGroup::BlockCloser},
    {"endselect", KeywordGroup::BlockCloser},
    {"endif", KeywordGroup::BlockCloser},
    {"continue", KeywordGroup::BlockContinuation},
    {"else", KeywordGroup::BlockContinuation},
    {"elseif", KeywordGroup::BlockContinuation},
    {"case", KeywordGroup::BlockContinuation},
    {"default", KeywordGroup::BlockContinuation},
}};

// The group of the first keyword of kScopeKeywords that FindKeyword finds in the code.
KeywordGroup ClassifyInstruction(std::string_view code);

} // namespace tickscope
