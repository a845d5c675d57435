#pragma once

#include "instrument/line_output.h"
#include "source/program_info.h"

#include <string>
#include <string_view>
#include <vector>

namespace tickscope {

inline constexpr const char* kEndCall = "tickscope_End()";
inline constexpr const char* kIdeOptionsFooter = "; IDE Options = PureBasic";

struct RuleContext {
    bool ProbesForX86 = true;
    bool IsSharedDll = false;
};

// Whether an instruction may carry probes: it lies in a scope (not a declarative block), is
// not blank and is not a comment.
bool IsEligible(std::string_view code, int scopeId);

// Appends the output lines that stand for one instruction of `line` in the written program.
// Sets `endInserted` when a call of tickscope_End() was placed.
void AppendInstructionOutput(const LineOfCode& line, const Instruction& instruction,
                             const RuleContext& context, LineOutput& out, bool& endInserted);
// The same with the output lines as separate texts.
void AppendInstructionOutput(const LineOfCode& line, const Instruction& instruction,
                             const RuleContext& context, std::vector<std::string>& out,
                             bool& endInserted);

// Index of the rule that decides an eligible instruction, from its normalised text (tabs as
// spaces, trimmed, comment removed): 0-13 the keyword rules in order, 14 a label, 15 none.
// MatchingRule finds them all in one scan of the text (KeywordSet); MatchingRuleByScan asks
// FindKeyword about every keyword in order and is the reference it must agree with.
int MatchingRule(const std::string& norm);
int MatchingRuleByScan(const std::string& norm);

} // namespace tickscope
