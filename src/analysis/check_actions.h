#pragma once

#include "analysis/check_sets.h"
#include "analysis/loaded_run.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tickscope {

// What an action asks the user to choose.
enum class ChoiceKind { SourceFileToCheck, SourceFileToUncheck, ThreadToCheck, ThreadToUncheck };

// One row offered for choice: a source file (its id and path) or a thread (its id and the
// scope it started in).
struct ChoiceRow {
    std::int64_t Id = 0;
    std::string Name;
};

// Asks the user to pick one of the rows; the index of the chosen row, nothing when the user
// chose none. The window shows a dialog, tests answer from a script.
class ListChooser {
  public:
    virtual ~ListChooser() = default;
    virtual std::optional<std::size_t> Choose(ChoiceKind kind,
                                              const std::vector<ChoiceRow>& rows) = 0;
};

// What a check action works on: the line checks, and the loaded run whose lines, threads and
// invocations decide which lines to check. Actions change only the line checks.
struct CheckActionContext {
    LineChecks& Lines;
    const LoadedRun& Run;
    ListChooser& Chooser;
};

// The actions of the check menu.
enum class CheckAction {
    CheckAll,
    UncheckAll,
    CompleteScopes,
    CheckSourceFile,
    CheckThread,
    CheckInvocations,
    UncheckSourceFile,
    UncheckThread,
    UncheckInvocationsOfUnchecked,
    UncheckCalls,
    UncheckTimeConsumers,
};

void RunCheckAction(CheckAction action, CheckActionContext& context);

void CheckAllLines(LineChecks& lines);
void UncheckAllLines(LineChecks& lines);
// Afterwards exactly the lines of the scopes of the checked lines are checked.
void CompleteScopeChecks(LineChecks& lines, const ProgramInfo& program);
// Sets or clears the lines of one source file, or the lines one thread (by id) started.
void SetSourceFileChecks(LineChecks& lines, const ProgramInfo& program, int sourceFileId,
                         bool checked);
void SetThreadChecks(LineChecks& lines, const RunAnalysis& analysis, std::int32_t threadId,
                     bool checked);
// Checks what the checked lines invoked; unchecks what the unchecked lines invoked.
void CheckInvocations(LineChecks& lines, const RunAnalysis& analysis);
void UncheckInvocationsOfUnchecked(LineChecks& lines, const RunAnalysis& analysis);
// Unchecks the checked lines during whose execution other lines of their thread started.
void UncheckCalls(LineChecks& lines, const RunAnalysis& analysis);
void UncheckTimeConsumers(LineChecks& lines, const ProgramInfo& program);

// True when the code, lower-cased, contains "delay(", "requester(" or "waitwindowevent(".
bool IsTimeConsumer(std::string_view code);

// The rows a source-file or thread choice offers: the program's source files in table
// order, the run's threads in order.
std::vector<ChoiceRow> SourceFileChoices(const ProgramInfo& program);
std::vector<ChoiceRow> ThreadChoices(const std::vector<ThreadInfo>& threads);

} // namespace tickscope
