#include "instrument/instruction_rules.h"

#include "instrument/probe_text.h"
#include "source/keyword_set.h"
#include "source/label_patterns.h"
#include "source/line_scanning.h"
#include "source/text_utils.h"

#include <array>
#include <bit>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string_view>

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

// The keywords of all rules in one set, and the rule of each.
struct RuleKeywords {
    KeywordSet Set;
    std::array<int, 64> RuleOf{};
};

const RuleKeywords& IndexedRuleKeywords() {
    static const RuleKeywords keywords = [] {
        RuleKeywords all;
        for (int rule = 0; rule < static_cast<int>(kKeywordRules.size()); ++rule) {
            for (const std::string_view keyword : kKeywordRules[rule].Keywords) {
                all.RuleOf[all.Set.Size()] = rule;
                all.Set.Add(keyword);
            }
        }
        return all;
    }();
    return keywords;
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

namespace {

// The rule of the first keyword found, in the order the rules are tried; otherwise a label
// (only a text with a colon can be one) or the default rule.
int RuleOfScan(const KeywordScan& scan, const std::function<std::string()>& masked) {
    const RuleKeywords& keywords = IndexedRuleKeywords();
    if (scan.Found != 0) {
        // Keywords are numbered rule by rule in order: the lowest one found decides.
        return keywords.RuleOf[static_cast<std::size_t>(std::countr_zero(scan.Found))];
    }
    return scan.HasColon ? LabelOrDefaultRule(masked()) : kDefaultRule;
}

} // namespace

int MatchingRule(const std::string& norm) {
    return RuleOfScan(IndexedRuleKeywords().Set.Scan(norm), [&] { return MaskLine(norm); });
}

namespace {

// The output of an eligible instruction: the rules ask FindKeyword about the normalised
// text (tabs as spaces, trimmed, comment removed), which one scan of the statement answers.
Output ChooseOutput(std::string_view text) {
    const KeywordScan scan = IndexedRuleKeywords().Set.Scan(text, ScanExtent::Statement);
    return OutputOfRule(RuleOfScan(scan, [&] {
        // Tabs become spaces, then the text is trimmed; trimming both first is the same.
        return MaskLine(StripComment(TabsToSpaces(Trim(text, " \t"))));
    }));
}

void AppendAsIs(const LineOfCode& line, const Instruction& instruction, const RuleContext& context,
                LineOutput& out, bool& endInserted) {
    // The IDE's option footer of the main file marks the end of the program's code.
    if (!context.IsSharedDll && line.SourceFileId == 1 &&
        StartsWith(line.TextOf(instruction), kIdeOptionsFooter)) {
        out.Append(kEndCall);
        endInserted = true;
    }
    out.Append(line.TextOf(instruction));
}

} // namespace

bool IsEligible(std::string_view code, int scopeId) {
    if (scopeId == 0) {
        return false;
    }
    // Tabs count as spaces when looking for the comment (a comment behind tabs is still a
    // comment), but only spaces make a blank statement: one with a tab is not blank.
    std::size_t first = 0;
    while (first < code.size() && (code[first] == ' ' || code[first] == '\t')) {
        ++first;
    }
    if (first == code.size()) {
        return code.find('\t') != std::string_view::npos;
    }
    return code[first] != ';';
}

void AppendInstructionOutput(const LineOfCode& line, const Instruction& instruction,
                             const RuleContext& context, LineOutput& out, bool& endInserted) {
    const std::string_view text = line.TextOf(instruction);
    if (!IsEligible(text, instruction.ScopeId)) {
        AppendAsIs(line, instruction, context, out, endInserted);
        return;
    }
    const Output output = ChooseOutput(text);
    const auto probe = [&](ProbeKind kind, bool ownKey, bool overrideStackframe) {
        std::string& element = out.Open();
        if (ownKey) {
            AppendProbeText(element, kind, line.SourceFileId, line.LineNumber,
                            instruction.InstructionNumber, overrideStackframe,
                            context.ProbesForX86);
        } else {
            const InstructionKeyParts block = SplitInstructionKey(instruction.BlockKey);
            AppendProbeText(element, kind, block.SourceFileId, block.LineNumber,
                            block.InstructionNumber, overrideStackframe, context.ProbesForX86);
        }
        out.CloseElement();
    };

    switch (output) {
    case Output::CommentedOut:
        out.Open() += ';';
        out.Append(text);
        break;
    case Output::ProcedureHead:
        out.Append(text);
        out.Append("Define tickscopevar.b");
        break;
    case Output::AsIs:
        AppendAsIs(line, instruction, context, out, endInserted);
        break;
    case Output::BlockWrapped:
        probe(ProbeKind::Start, false, false);
        out.Append(text);
        probe(ProbeKind::Stop, false, false);
        break;
    case Output::TextThenBlockStop:
        out.Append(text);
        probe(ProbeKind::Stop, false, false);
        break;
    case Output::BlockStartThenText:
        probe(ProbeKind::Start, false, false);
        out.Append(text);
        break;
    case Output::OwnStartOverrideFirst:
        probe(ProbeKind::Start, true, true);
        out.Append(text);
        break;
    case Output::TextThenBlockStopOverride:
        out.Append(text);
        probe(ProbeKind::Stop, false, true);
        break;
    case Output::EndCallFirst:
        out.Append(kEndCall);
        endInserted = true;
        AppendAsIs(line, instruction, context, out, endInserted);
        break;
    case Output::OwnWrapped:
        probe(ProbeKind::Start, true, false);
        out.Append(text);
        probe(ProbeKind::Stop, true, false);
        break;
    }
}

void AppendInstructionOutput(const LineOfCode& line, const Instruction& instruction,
                             const RuleContext& context, std::vector<std::string>& out,
                             bool& endInserted) {
    LineOutput output;
    AppendInstructionOutput(line, instruction, context, output, endInserted);
    for (std::size_t i = 0; i < output.Count(); ++i) {
        out.emplace_back(output.Element(i));
    }
}

} // namespace tickscope
