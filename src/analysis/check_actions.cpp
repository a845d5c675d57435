#include "analysis/check_actions.h"

#include "source/text_utils.h"

#include <unordered_set>

namespace tickscope {
namespace {

std::vector<std::size_t> LinesWithCheck(const LineChecks& lines, bool checked) {
    std::vector<std::size_t> indexes;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == checked) {
            indexes.push_back(i);
        }
    }
    return indexes;
}

// Sets the check of line `lineId` when the run has such a line.
void SetLineCheck(LineChecks& lines, std::int64_t lineId, bool checked) {
    if (lineId >= 1 && static_cast<std::uint64_t>(lineId) <= lines.size()) {
        lines[static_cast<std::size_t>(lineId - 1)] = checked;
    }
}

void ChooseSourceFile(CheckActionContext& context, ChoiceKind kind, bool checked) {
    const std::vector<ChoiceRow> rows = SourceFileChoices(context.Run.Program);
    const std::optional<std::size_t> chosen = context.Chooser.Choose(kind, rows);
    if (chosen && *chosen < rows.size()) {
        SetSourceFileChecks(context.Lines, context.Run.Program, static_cast<int>(rows[*chosen].Id),
                            checked);
    }
}

void ChooseThread(CheckActionContext& context, ChoiceKind kind, bool checked) {
    const std::vector<ChoiceRow> rows = ThreadChoices(context.Run.Threads);
    // A closed dialog chooses nothing, even in a run that has a thread with id 0.
    const std::optional<std::size_t> chosen = context.Chooser.Choose(kind, rows);
    if (chosen && *chosen < rows.size()) {
        SetThreadChecks(context.Lines, context.Run.Analysis,
                        static_cast<std::int32_t>(rows[*chosen].Id), checked);
    }
}

} // namespace

bool IsTimeConsumer(std::string_view code) {
    return ContainsIgnoringAsciiCase(code, "delay(") ||
           ContainsIgnoringAsciiCase(code, "requester(") ||
           ContainsIgnoringAsciiCase(code, "waitwindowevent(");
}

std::vector<ChoiceRow> SourceFileChoices(const ProgramInfo& program) {
    std::vector<ChoiceRow> rows;
    for (const auto& [path, id] : program.SourceFileIds) {
        rows.push_back({id, path});
    }
    return rows;
}

std::vector<ChoiceRow> ThreadChoices(const std::vector<ThreadInfo>& threads) {
    std::vector<ChoiceRow> rows;
    for (const ThreadInfo& thread : threads) {
        rows.push_back({thread.ThreadId, thread.Scope});
    }
    return rows;
}

void CheckAllLines(LineChecks& lines) {
    lines.assign(lines.size(), true);
}

void UncheckAllLines(LineChecks& lines) {
    lines.assign(lines.size(), false);
}

void CompleteScopeChecks(LineChecks& lines, const ProgramInfo& program) {
    const std::vector<LineOfCode>& code = program.LinesOfCode;
    const std::vector<std::size_t> checked = LinesWithCheck(lines, true);
    UncheckAllLines(lines);
    std::unordered_set<int> scopes;
    for (std::size_t r : checked) {
        if (r < code.size()) {
            for (const Instruction& instruction : code[r].Instructions) {
                scopes.insert(instruction.ScopeId);
            }
        }
    }
    for (std::size_t q = 0; q < code.size() && q < lines.size(); ++q) {
        for (const Instruction& instruction : code[q].Instructions) {
            if (scopes.count(instruction.ScopeId) != 0) {
                lines[q] = true;
                break;
            }
        }
    }
}

void SetSourceFileChecks(LineChecks& lines, const ProgramInfo& program, int sourceFileId,
                         bool checked) {
    const std::vector<LineOfCode>& code = program.LinesOfCode;
    for (std::size_t i = 0; i < code.size() && i < lines.size(); ++i) {
        if (code[i].SourceFileId == sourceFileId) {
            lines[i] = checked;
        }
    }
}

void SetThreadChecks(LineChecks& lines, const RunAnalysis& analysis, std::int32_t threadId,
                     bool checked) {
    // The thread checks are not touched: this selects the lines a thread executed, whatever
    // threads are counted.
    for (const ThreadNode& thread : analysis.Threads()) {
        if (thread.ThreadId == threadId) {
            for (const ThreadLineNode& line : thread.Lines) {
                SetLineCheck(lines, line.LineId, checked);
            }
        }
    }
}

void CheckInvocations(LineChecks& lines, const RunAnalysis& analysis) {
    for (std::size_t r : LinesWithCheck(lines, true)) {
        if (const auto* members = analysis.InvocationsOf(static_cast<std::int32_t>(r + 1))) {
            for (std::int32_t m : *members) {
                SetLineCheck(lines, m, true);
            }
        }
    }
}

void UncheckInvocationsOfUnchecked(LineChecks& lines, const RunAnalysis& analysis) {
    for (std::size_t r : LinesWithCheck(lines, false)) {
        if (const auto* members = analysis.InvocationsOf(static_cast<std::int32_t>(r + 1))) {
            for (std::int32_t m : *members) {
                SetLineCheck(lines, m, false);
            }
        }
    }
}

void UncheckCalls(LineChecks& lines, const RunAnalysis& analysis) {
    for (std::size_t r : LinesWithCheck(lines, true)) {
        const auto* members = analysis.InvocationsOf(static_cast<std::int32_t>(r + 1));
        if (members != nullptr && !members->empty()) {
            lines[r] = false;
        }
    }
}

void UncheckTimeConsumers(LineChecks& lines, const ProgramInfo& program) {
    const std::vector<LineOfCode>& code = program.LinesOfCode;
    for (std::size_t r = 0; r < code.size() && r < lines.size(); ++r) {
        if (IsTimeConsumer(code[r].Code)) {
            lines[r] = false;
        }
    }
}

void RunCheckAction(CheckAction action, CheckActionContext& context) {
    LineChecks& lines = context.Lines;
    const LoadedRun& run = context.Run;
    switch (action) {
    case CheckAction::CheckAll:
        CheckAllLines(lines);
        break;
    case CheckAction::UncheckAll:
        UncheckAllLines(lines);
        break;
    case CheckAction::CompleteScopes:
        CompleteScopeChecks(lines, run.Program);
        break;
    case CheckAction::CheckSourceFile:
        ChooseSourceFile(context, ChoiceKind::SourceFileToCheck, true);
        break;
    case CheckAction::UncheckSourceFile:
        ChooseSourceFile(context, ChoiceKind::SourceFileToUncheck, false);
        break;
    case CheckAction::CheckThread:
        ChooseThread(context, ChoiceKind::ThreadToCheck, true);
        break;
    case CheckAction::UncheckThread:
        ChooseThread(context, ChoiceKind::ThreadToUncheck, false);
        break;
    case CheckAction::CheckInvocations:
        CheckInvocations(lines, run.Analysis);
        break;
    case CheckAction::UncheckInvocationsOfUnchecked:
        UncheckInvocationsOfUnchecked(lines, run.Analysis);
        break;
    case CheckAction::UncheckCalls:
        UncheckCalls(lines, run.Analysis);
        break;
    case CheckAction::UncheckTimeConsumers:
        UncheckTimeConsumers(lines, run.Program);
        break;
    }
}

} // namespace tickscope
