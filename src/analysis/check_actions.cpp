#include "analysis/check_actions.h"

#include "source/text_utils.h"

#include <unordered_set>

namespace tickscope {
namespace {

constexpr const char* kRequesterTitle = "Tickscope";

std::vector<std::size_t> RowsWithCheck(const ListData& list, bool checked) {
    std::vector<std::size_t> rows;
    for (std::size_t r = 0; r < list.Rows.size(); ++r) {
        if (list.Rows[r].Checked == checked) {
            rows.push_back(r);
        }
    }
    return rows;
}

// Sets the check of row `lineId` - 1 when such a row exists.
void SetLineCheck(ListData& report, std::int64_t lineId, bool checked) {
    if (lineId >= 1 && static_cast<std::uint64_t>(lineId) <= report.Rows.size()) {
        report.Rows[static_cast<std::size_t>(lineId - 1)].Checked = checked;
    }
}

// "<cell a>|<cell b>\n" for every row of the list.
std::string ChooserRows(const ListData& list, std::size_t first, std::size_t second) {
    std::string rows;
    for (std::size_t r = 0; r < list.RowCount(); ++r) {
        rows += list.CellText(r, first);
        rows += '|';
        rows += list.CellText(r, second);
        rows += '\n';
    }
    return rows;
}

std::string FirstField(const std::string& answer) {
    return answer.substr(0, answer.find('|'));
}

void SetSourceFileChecks(CheckActionContext& context, const char* prompt, bool checked) {
    const ListData& files = context.Lists.SourceFileList;
    const std::string answer = context.Chooser.SelectFromList(kRequesterTitle, prompt, "ID|File",
                                                              "25|350", ChooserRows(files, 0, 1));
    const std::string id = FirstField(answer);
    if (id.empty()) {
        return;
    }
    for (ListRow& row : context.Lists.ReportList.Rows) {
        if (kFileColumn < row.Cells.size() && row.Cells[kFileColumn].Text == id) {
            row.Checked = checked;
        }
    }
}

void SetThreadChecks(CheckActionContext& context, const char* prompt, bool checked) {
    const ListData& threads = context.Lists.ThreadList;
    const std::string answer = context.Chooser.SelectFromList(
        kRequesterTitle, prompt, "ID|Procedure", "50|325", ChooserRows(threads, 1, 2));
    // A closed dialog chooses nothing, even in a run that has a thread with id 0.
    if (answer.empty()) {
        return;
    }
    const std::int64_t id = ParseInteger(FirstField(answer));
    for (const ThreadNode& thread : context.Analysis.Threads()) {
        if (thread.ThreadId == id) {
            for (const ThreadLineNode& line : thread.Lines) {
                SetLineCheck(context.Lists.ReportList, line.LineId, checked);
            }
        }
    }
}

} // namespace

bool IsTimeConsumer(const std::string& code) {
    const std::string lower = LowerAscii(code);
    return lower.find("delay(") != std::string::npos ||
           lower.find("requester(") != std::string::npos ||
           lower.find("waitwindowevent(") != std::string::npos;
}

void CheckAllLines(CheckActionContext& context) {
    context.Lists.ReportList.SetAllChecked(true);
}

void UncheckAllLines(CheckActionContext& context) {
    context.Lists.ReportList.SetAllChecked(false);
}

void CompleteScopeChecks(CheckActionContext& context) {
    ListData& report = context.Lists.ReportList;
    const std::vector<LineOfCode>& lines = context.Program.LinesOfCode;
    const std::vector<std::size_t> checked = RowsWithCheck(report, true);
    report.SetAllChecked(false);
    std::unordered_set<int> scopes;
    for (std::size_t r : checked) {
        if (r < lines.size()) {
            for (const Instruction& instruction : lines[r].Instructions) {
                scopes.insert(instruction.ScopeId);
            }
        }
    }
    for (std::size_t q = 0; q < lines.size() && q < report.Rows.size(); ++q) {
        for (const Instruction& instruction : lines[q].Instructions) {
            if (scopes.count(instruction.ScopeId) != 0) {
                report.Rows[q].Checked = true;
                break;
            }
        }
    }
}

void CheckSourceFile(CheckActionContext& context) {
    SetSourceFileChecks(context, "Select sourcefile to add checks for ...", true);
}

void UncheckSourceFile(CheckActionContext& context) {
    SetSourceFileChecks(context, "Select sourcefile to remove checks for ...", false);
}

void CheckThreadLines(CheckActionContext& context) {
    SetThreadChecks(context, "Select thread to add checks for ...", true);
}

void UncheckThreadLines(CheckActionContext& context) {
    SetThreadChecks(context, "Select thread to remove checks for ...", false);
}

void CheckInvocations(CheckActionContext& context) {
    ListData& report = context.Lists.ReportList;
    for (std::size_t r : RowsWithCheck(report, true)) {
        if (const auto* members =
                context.Analysis.InvocationsOf(static_cast<std::int32_t>(r + 1))) {
            for (std::int32_t m : *members) {
                SetLineCheck(report, m, true);
            }
        }
    }
}

void UncheckInvocationsOfUnchecked(CheckActionContext& context) {
    ListData& report = context.Lists.ReportList;
    for (std::size_t r : RowsWithCheck(report, false)) {
        if (const auto* members =
                context.Analysis.InvocationsOf(static_cast<std::int32_t>(r + 1))) {
            for (std::int32_t m : *members) {
                SetLineCheck(report, m, false);
            }
        }
    }
}

void UncheckCalls(CheckActionContext& context) {
    ListData& report = context.Lists.ReportList;
    for (std::size_t r : RowsWithCheck(report, true)) {
        const auto* members = context.Analysis.InvocationsOf(static_cast<std::int32_t>(r + 1));
        if (members != nullptr && !members->empty()) {
            report.Rows[r].Checked = false;
        }
    }
}

void UncheckTimeConsumers(CheckActionContext& context) {
    ListData& report = context.Lists.ReportList;
    for (std::size_t r = 0; r < report.Rows.size(); ++r) {
        if (IsTimeConsumer(report.CellText(r, kCodeColumn))) {
            report.Rows[r].Checked = false;
        }
    }
}

const std::array<CheckActionItem, 11>& CheckActionItems() {
    static const std::array<CheckActionItem, 11> items = {{
        {1001, "Check all", CheckAllLines, false},
        {1002, "Remove all checks", UncheckAllLines, false},
        {1003, "Complete checks for scopes", CompleteScopeChecks, true},
        {1008, "Add checks for a sourcefile", CheckSourceFile, false},
        {1006, "Add checks for a thread", CheckThreadLines, false},
        {1004, "Add checks for implicitly invocations", CheckInvocations, false},
        {1009, "Remove checks for a sourcefile", UncheckSourceFile, true},
        {1007, "Remove checks for a thread", UncheckThreadLines, false},
        {1005, "Remove implicitly invocations", UncheckInvocationsOfUnchecked, false},
        {1010, "Remove calls", UncheckCalls, false},
        {1011, "Remove timeconsumers", UncheckTimeConsumers, false},
    }};
    return items;
}

CheckAction CheckActionForItem(int itemId) {
    for (const CheckActionItem& item : CheckActionItems()) {
        if (item.ItemId == itemId) {
            return item.Action;
        }
    }
    return nullptr;
}

} // namespace tickscope
