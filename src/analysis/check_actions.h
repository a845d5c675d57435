#pragma once

#include "analysis/attribution.h"
#include "analysis/list_data.h"
#include "source/program_info.h"

#include <array>
#include <string>

namespace tickscope {

// Asks the user to pick one row of a list. `rows` holds one row per line, each line ending
// in a line feed, cells separated by "|"; `columnTitles` and `columnWidths` likewise. The
// answer is the chosen row's text (cells joined by "|"), empty when nothing was chosen.
class ListChooser {
  public:
    virtual ~ListChooser() = default;
    virtual std::string SelectFromList(const std::string& title, const std::string& prompt,
                                       const std::string& columnTitles,
                                       const std::string& columnWidths,
                                       const std::string& rows) = 0;
};

// What a check action works on: the lists of the window, the loaded run's program (its
// lines carry the scope ids) and its attribution result. Actions change only the check
// boxes of the report list.
struct CheckActionContext {
    AnalyzerLists& Lists;
    const ProgramInfo& Program;
    const RunAnalysis& Analysis;
    ListChooser& Chooser;
};

void CheckAllLines(CheckActionContext& context);
void UncheckAllLines(CheckActionContext& context);
void CompleteScopeChecks(CheckActionContext& context);
void CheckSourceFile(CheckActionContext& context);
void UncheckSourceFile(CheckActionContext& context);
void CheckThreadLines(CheckActionContext& context);
void UncheckThreadLines(CheckActionContext& context);
void CheckInvocations(CheckActionContext& context);
void UncheckInvocationsOfUnchecked(CheckActionContext& context);
void UncheckCalls(CheckActionContext& context);
void UncheckTimeConsumers(CheckActionContext& context);

// True when the code, lower-cased, contains "delay(", "requester(" or "waitwindowevent(".
bool IsTimeConsumer(const std::string& code);

using CheckAction = void (*)(CheckActionContext&);

struct CheckActionItem {
    int ItemId;
    const char* Caption;
    CheckAction Action;
    bool SeparatorBefore; // the menu shows a separator above this item
};

// The actions menu, top to bottom.
const std::array<CheckActionItem, 11>& CheckActionItems();

// The action of a menu item id (1001 to 1011); nullptr for any other id.
CheckAction CheckActionForItem(int itemId);

} // namespace tickscope
