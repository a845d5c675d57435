#include "instrument/instruction_rules.h"

#include "instrument/probe_text.h"
#include "source/label_patterns.h"
#include "source/line_scanning.h"
#include "source/text_utils.h"

#include <array>
#include <initializer_list>
#include <string_view>
#include <unordered_map>

namespace tickscope {

namespace {

// What a rule emits around the instruction's text.
enum class Output {
    CommentedOut,              // ";" + text
    ProcedureHead,             // text, "Define tickscopevar.b"
    AsIs,                      // text
    BlockWrapped,              // start(block), text, stop(block)
    TextThenBlockStop,         // text, stop(block)
    BlockStartThenText,        // start(block), text
    OwnStartOverrideFirst,     // start(own, override), text
    TextThenBlockStopOverride, // text, stop(block, override)
    EndCallFirst,              // tickscope_End(), then as-is
    OwnWrapped,                // start(own), text, stop(own)
};

struct KeywordRule {
    std::initializer_list<std::string_view> Keywords;
    Output Emits;
};

// Tried in this order on the normalised text; the first keyword found decides.
const std::array<KeywordRule, 14> kKeywordRules = {{
    {{"includepath", "includefile", "xincludefile"}, Output::CommentedOut},
    {{"procedure", "proceduredll", "procedurec", "procedurecdll"}, Output::ProcedureHead},
    {{"endprocedure", "procedurereturn"}, Output::AsIs},
    {{"wend"}, Output::BlockWrapped},
    {{"elseif", "else", "endif"}, Output::TextThenBlockStop},
    {{"until", "forever"}, Output::BlockWrapped},
    {{"break", "return"}, Output::AsIs},
    {{"continue"}, Output::BlockStartThenText},
    {{"next"}, Output::BlockWrapped},
    {{"with", "endwith"}, Output::AsIs},
    {{"select"}, Output::OwnStartOverrideFirst},
    {{"case", "default", "endselect"}, Output::TextThenBlockStopOverride},
    {{"compilerif", "compilerelse", "compilerendif", "compilerselect", "compilercase",
      "compilerdefault", "compilerendselect", "compilererror", "enableexplicit", "disableexplicit",
      "enableasm", "disableasm"},
     Output::AsIs},
    {{"end"}, Output::EndCallFirst},
}};

constexpr int kLabelRule = static_cast<int>(kKeywordRules.size());
constexpr int kDefaultRule = kLabelRule + 1;

Output OutputOfRule(int rule) {
    if (rule < kLabelRule) {
        return kKeywordRules[rule].Emits;
    }
    return rule == kLabelRule ? Output::AsIs : Output::OwnWrapped;
}

std::string TabsToSpaces(std::string_view text) {
    return ReplaceAll(text, "\t", " ");
}

bool IsWordCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Keyword -> index of its rule.
const std::unordered_map<std::string_view, int>& KeywordRuleIndex() {
    static const std::unordered_map<std::string_view, int> index = [] {
        std::unordered_map<std::string_view, int> table;
        for (int rule = 0; rule < static_cast<int>(kKeywordRules.size()); ++rule) {
            for (const std::string_view keyword : kKeywordRules[rule].Keywords) {
                table.emplace(keyword, rule);
            }
        }
        return table;
    }();
    return index;
}

int LabelOrDefaultRule(const std::string& masked) {
    // Both label patterns end with a colon: without one there is nothing to search.
    if (masked.find(':') != std::string::npos && LabelPatterns::Get().MatchesEither(masked)) {
        return kLabelRule;
    }
    return kDefaultRule;
}

} // namespace

int MatchingRuleByScan(const std::string& norm) {
    for (int rule = 0; rule < static_cast<int>(kKeywordRules.size()); ++rule) {
        for (const std::string_view keyword : kKeywordRules[rule].Keywords) {
            if (FindKeyword(norm, keyword) != 0) {
                return rule;
            }
        }
    }
    return LabelOrDefaultRule(MaskLine(norm));
}

int MatchingRule(const std::string& norm) {
    // FindKeyword only finds a keyword between separators that are not word characters, so
    // a keyword it finds is a whole word of the masked text: only such words need a search.
    const std::string masked = MaskLine(norm);
    const auto& index = KeywordRuleIndex();
    int candidates = 0; // bit per rule
    std::string word;
    for (std::size_t i = 0; i < masked.size();) {
        if (!IsWordCharacter(masked[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < masked.size() && IsWordCharacter(masked[i])) {
            ++i;
        }
        if (i - start > 17) {
            continue; // longer than any keyword
        }
        word = LowerAscii(std::string_view(masked).substr(start, i - start));
        const auto found = index.find(word);
        if (found != index.end()) {
            candidates |= 1 << found->second;
        }
    }
    for (int rule = 0; candidates != 0 && rule < static_cast<int>(kKeywordRules.size()); ++rule) {
        if ((candidates & (1 << rule)) == 0) {
            continue;
        }
        for (const std::string_view keyword : kKeywordRules[rule].Keywords) {
            if (FindKeyword(norm, keyword) != 0) {
                return rule;
            }
        }
    }
    return LabelOrDefaultRule(masked);
}

namespace {

Output ChooseOutput(const std::string& norm) {
    return OutputOfRule(MatchingRule(norm));
}

void AppendAsIs(const LineOfCode& line, const Instruction& instruction, const RuleContext& context,
                std::vector<std::string>& out, bool& endInserted) {
    // The IDE's option footer of the main file marks the end of the program's code.
    if (!context.IsSharedDll && line.SourceFileId == 1 &&
        StartsWith(line.TextOf(instruction), kIdeOptionsFooter)) {
        out.emplace_back(kEndCall);
        endInserted = true;
    }
    out.emplace_back(line.TextOf(instruction));
}

} // namespace

bool IsEligible(std::string_view code, int scopeId) {
    if (scopeId == 0 || Trim(code).empty()) {
        return false;
    }
    // Tabs count as spaces here: a comment behind tabs is still a comment.
    const std::size_t first = code.find_first_not_of(" \t");
    return first == std::string_view::npos || code[first] != ';';
}

void AppendInstructionOutput(const LineOfCode& line, const Instruction& instruction,
                             const RuleContext& context, std::vector<std::string>& out,
                             bool& endInserted) {
    const std::string_view text = line.TextOf(instruction);
    if (!IsEligible(text, instruction.ScopeId)) {
        AppendAsIs(line, instruction, context, out, endInserted);
        return;
    }
    // Tabs become spaces, then the text is trimmed; trimming both first is the same.
    const std::string norm = StripComment(TabsToSpaces(Trim(text, " \t")));
    const InstructionKeyParts block = SplitInstructionKey(instruction.BlockKey);
    const auto probe = [&](ProbeKind kind, bool ownKey, bool overrideStackframe) {
        if (ownKey) {
            return ProbeText(kind, line.SourceFileId, line.LineNumber,
                             instruction.InstructionNumber, overrideStackframe,
                             context.ProbesForX86);
        }
        return ProbeText(kind, block.SourceFileId, block.LineNumber, block.InstructionNumber,
                         overrideStackframe, context.ProbesForX86);
    };

    switch (ChooseOutput(norm)) {
    case Output::CommentedOut:
        out.emplace_back(1, ';').append(text);
        break;
    case Output::ProcedureHead:
        out.emplace_back(text);
        out.emplace_back("Define tickscopevar.b");
        break;
    case Output::AsIs:
        AppendAsIs(line, instruction, context, out, endInserted);
        break;
    case Output::BlockWrapped:
        out.push_back(probe(ProbeKind::Start, false, false));
        out.emplace_back(text);
        out.push_back(probe(ProbeKind::Stop, false, false));
        break;
    case Output::TextThenBlockStop:
        out.emplace_back(text);
        out.push_back(probe(ProbeKind::Stop, false, false));
        break;
    case Output::BlockStartThenText:
        out.push_back(probe(ProbeKind::Start, false, false));
        out.emplace_back(text);
        break;
    case Output::OwnStartOverrideFirst:
        out.push_back(probe(ProbeKind::Start, true, true));
        out.emplace_back(text);
        break;
    case Output::TextThenBlockStopOverride:
        out.emplace_back(text);
        out.push_back(probe(ProbeKind::Stop, false, true));
        break;
    case Output::EndCallFirst:
        out.emplace_back(kEndCall);
        endInserted = true;
        AppendAsIs(line, instruction, context, out, endInserted);
        break;
    case Output::OwnWrapped:
        out.push_back(probe(ProbeKind::Start, true, false));
        out.emplace_back(text);
        out.push_back(probe(ProbeKind::Stop, true, false));
        break;
    }
}

} // namespace tickscope
