#pragma once

#include "analysis/check_actions.h"

#include <array>
#include <optional>

namespace tickscope {

// One item of the check actions menu.
struct ActionMenuItem {
    int ItemId;
    const char* Caption;
    CheckAction Action;
    bool SeparatorBefore; // the menu shows a separator above this item
};

// The actions menu, top to bottom.
inline constexpr std::array<ActionMenuItem, 11> kActionMenuItems = {{
    {1001, "Check all", CheckAction::CheckAll, false},
    {1002, "Remove all checks", CheckAction::UncheckAll, false},
    {1003, "Complete checks for scopes", CheckAction::CompleteScopes, true},
    {1008, "Add checks for a sourcefile", CheckAction::CheckSourceFile, false},
    {1006, "Add checks for a thread", CheckAction::CheckThread, false},
    {1004, "Add checks for implicitly invocations", CheckAction::CheckInvocations, false},
    {1009, "Remove checks for a sourcefile", CheckAction::UncheckSourceFile, true},
    {1007, "Remove checks for a thread", CheckAction::UncheckThread, false},
    {1005, "Remove implicitly invocations", CheckAction::UncheckInvocationsOfUnchecked, false},
    {1010, "Remove calls", CheckAction::UncheckCalls, false},
    {1011, "Remove timeconsumers", CheckAction::UncheckTimeConsumers, false},
}};

// The action of a menu item id (1001 to 1011); nothing for any other id.
constexpr std::optional<CheckAction> CheckActionForItem(int itemId) {
    for (const ActionMenuItem& item : kActionMenuItems) {
        if (item.ItemId == itemId) {
            return item.Action;
        }
    }
    return std::nullopt;
}

} // namespace tickscope
