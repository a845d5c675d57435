#include "instrument/instruction_rules.h"

#include "instrument/probe_text.h"
#include "source/label_patterns.h"
#include "source/line_scanning.h"
#include "source/text_utils.h"

#include <array>
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

std::string TabsToSpaces(std::string_view text) {
    return ReplaceAll(text, "\t", " ");
}

Output ChooseOutput(const std::string& norm) {
    for (const KeywordRule& rule : kKeywordRules) {
        for (const std::string_view keyword : rule.Keywords) {
            if (FindKeyword(norm, keyword) != 0) {
                return rule.Emits;
            }
        }
    }
    if (LabelPatterns::Get().MatchesEither(MaskLine(norm))) {
        return Output::AsIs;
    }
    return Output::OwnWrapped;
}

void AppendAsIs(const LineOfCode& line, const Instruction& instruction, const RuleContext& context,
                std::vector<std::string>& out, bool& endInserted) {
    // The IDE's option footer of the main file marks the end of the program's code.
    if (!context.IsSharedDll && line.SourceFileId == 1 &&
        StartsWith(instruction.Code, kIdeOptionsFooter)) {
        out.emplace_back(kEndCall);
        endInserted = true;
    }
    out.push_back(instruction.Code);
}

} // namespace

bool IsEligible(const Instruction& instruction) {
    if (instruction.ScopeId == 0 || Trim(instruction.Code).empty()) {
        return false;
    }
    const std::string spaced = TabsToSpaces(instruction.Code);
    const std::string_view trimmed = Trim(spaced);
    return trimmed.empty() || trimmed.front() != ';';
}

void AppendInstructionOutput(const LineOfCode& line, const Instruction& instruction,
                             const RuleContext& context, std::vector<std::string>& out,
                             bool& endInserted) {
    if (!IsEligible(instruction)) {
        AppendAsIs(line, instruction, context, out, endInserted);
        return;
    }
    const std::string spaced = TabsToSpaces(instruction.Code);
    const std::string norm = StripComment(Trim(spaced));
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
    const std::string& text = instruction.Code;

    switch (ChooseOutput(norm)) {
    case Output::CommentedOut:
        out.push_back(";" + text);
        break;
    case Output::ProcedureHead:
        out.push_back(text);
        out.emplace_back("Define tickscopevar.b");
        break;
    case Output::AsIs:
        AppendAsIs(line, instruction, context, out, endInserted);
        break;
    case Output::BlockWrapped:
        out.push_back(probe(ProbeKind::Start, false, false));
        out.push_back(text);
        out.push_back(probe(ProbeKind::Stop, false, false));
        break;
    case Output::TextThenBlockStop:
        out.push_back(text);
        out.push_back(probe(ProbeKind::Stop, false, false));
        break;
    case Output::BlockStartThenText:
        out.push_back(probe(ProbeKind::Start, false, false));
        out.push_back(text);
        break;
    case Output::OwnStartOverrideFirst:
        out.push_back(probe(ProbeKind::Start, true, true));
        out.push_back(text);
        break;
    case Output::TextThenBlockStopOverride:
        out.push_back(text);
        out.push_back(probe(ProbeKind::Stop, false, true));
        break;
    case Output::EndCallFirst:
        out.emplace_back(kEndCall);
        endInserted = true;
        AppendAsIs(line, instruction, context, out, endInserted);
        break;
    case Output::OwnWrapped:
        out.push_back(probe(ProbeKind::Start, true, false));
        out.push_back(text);
        out.push_back(probe(ProbeKind::Stop, true, false));
        break;
    }
}

} // namespace tickscope
