#include "ui/resize_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tickscope {

int RoundHalfEven(float value) {
    // nearbyint follows the default rounding mode, round-to-nearest-even.
    return static_cast<int>(std::nearbyint(value));
}

namespace {
constexpr const char* kBusyText = "Managing dynamic resizing ...";
constexpr int kBusyDelayMilliseconds = 500;

std::string ThreeDigits(int sequence) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%03d", sequence);
    return buffer;
}
} // namespace

std::optional<Geometry> ResizeManager::ParentGeometry(const ResizeRule& rule) const {
    return rule.ParentIsWindow ? host_.WindowGeometry(rule.Parent)
                               : host_.ControlGeometry(rule.Parent);
}

bool ResizeManager::ParentExists(const ResizeRule& rule) const {
    return ParentGeometry(rule).has_value();
}

void ResizeManager::Initialise(ResizeRule& rule) {
    const std::optional<Geometry> parent = ParentGeometry(rule);
    const std::optional<Geometry> control = host_.ControlGeometry(rule.Control);
    if (!parent || !control) {
        return;
    }
    rule.InitialParent = rule.LastParent = rule.CurrentParent = *parent;
    rule.InitialControl = rule.LastControl = rule.TargetControl = *control;
    const Geometry& initial = rule.InitialControl;
    host_.MoveControl(rule.Control, RoundHalfEven(initial.Left), RoundHalfEven(initial.Top),
                      RoundHalfEven(initial.Width), RoundHalfEven(initial.Height));
    host_.ProcessPendingEvents();
    // Some controls report a position that differs from where they were put (a frame
    // around them, say); remember the difference and correct for it on every move.
    if (const std::optional<Geometry> reread = host_.ControlGeometry(rule.Control)) {
        if (reread->Left != initial.Left || reread->Top != initial.Top) {
            rule.OffsetLeft = reread->Left - initial.Left;
            rule.OffsetTop = reread->Top - initial.Top;
            host_.MoveControl(rule.Control, RoundHalfEven(initial.Left - rule.OffsetLeft),
                              RoundHalfEven(initial.Top - rule.OffsetTop),
                              RoundHalfEven(initial.Width), RoundHalfEven(initial.Height));
        }
    }
    rule.Initialised = true;
}

std::string ResizeManager::BuildOrderKey(const ResizeRule& rule) const {
    std::string key;
    const ResizeRule* current = &rule;
    // A chain of parent controls cannot be longer than the rules held; the bound keeps a
    // cycle of parent controls from looping.
    for (std::size_t depth = 0; current && depth <= rules_.size(); ++depth) {
        key = key.empty() ? ThreeDigits(current->Sequence)
                          : ThreeDigits(current->Sequence) + "." + key;
        if (current->ParentIsWindow) {
            break;
        }
        const auto parent = byControl_.find(current->Parent);
        current = parent == byControl_.end() ? nullptr : parent->second;
    }
    return key;
}

void ResizeManager::SortRules() {
    std::stable_sort(rules_.begin(), rules_.end(),
                     [](const auto& a, const auto& b) { return a->OrderKey < b->OrderKey; });
}

void ResizeManager::RegisterResizeRule(bool parentIsWindow, int parent, int control,
                                       float factorLeft, float factorTop, float factorWidth,
                                       float factorHeight, bool followPosition) {
    auto rule = std::make_unique<ResizeRule>();
    rule->Parent = parent;
    rule->ParentIsWindow = parentIsWindow;
    rule->Control = control;
    rule->FactorLeft = factorLeft;
    rule->FactorTop = factorTop;
    rule->FactorWidth = factorWidth;
    rule->FactorHeight = factorHeight;
    rule->FollowPosition = followPosition;
    ResizeRule& added = *rule;
    rules_.push_back(std::move(rule));
    added.Sequence = static_cast<int>(rules_.size());
    byControl_[control] = &added;
    Initialise(added);
    added.OrderKey = BuildOrderKey(added);
    SortRules();
}

void ResizeManager::CleanUp() {
    bool removed = true;
    while (removed) {
        removed = false;
        for (auto it = rules_.begin(); it != rules_.end(); ++it) {
            if (busy_) {
                busy_->Advance();
            }
            ResizeRule& rule = **it;
            if (host_.ControlGeometry(rule.Control) && ParentExists(rule)) {
                continue;
            }
            const auto entry = byControl_.find(rule.Control);
            if (entry != byControl_.end() && entry->second == &rule) {
                byControl_.erase(entry);
            }
            rules_.erase(it);
            removed = true;
            break; // start again from the first rule
        }
    }
}

void ResizeManager::Adjust(ResizeRule& rule) {
    const std::optional<Geometry> parent = ParentGeometry(rule);
    const std::optional<Geometry> control = host_.ControlGeometry(rule.Control);
    if (!parent || !control) {
        return;
    }
    rule.CurrentParent = *parent;
    rule.TargetControl = *control;
    if (!rule.Initialised) {
        Initialise(rule);
    }
    if (!rule.Initialised || control->Left == -1 || control->Top == -1) {
        return;
    }
    const Geometry& now = rule.CurrentParent;
    const Geometry& last = rule.LastParent;
    const bool changed = rule.FollowPosition
                             ? (now.Left != last.Left || now.Top != last.Top)
                             : (now.Width != last.Width || now.Height != last.Height);
    if (!changed) {
        return;
    }
    const Geometry& start = rule.InitialParent;
    const float dx = rule.FollowPosition ? now.Left - start.Left : now.Width - start.Width;
    const float dy = rule.FollowPosition ? now.Top - start.Top : now.Height - start.Height;
    Geometry& target = rule.TargetControl;
    const Geometry& initial = rule.InitialControl;
    if (rule.FactorLeft != 0) {
        target.Left = initial.Left + dx * rule.FactorLeft;
    }
    if (rule.FactorWidth != 0) {
        target.Width = initial.Width + dx * rule.FactorWidth;
    }
    if (rule.FactorTop != 0) {
        target.Top = initial.Top + dy * rule.FactorTop;
    }
    if (rule.FactorHeight != 0) {
        target.Height = initial.Height + dy * rule.FactorHeight;
    }
    host_.MoveControl(rule.Control, RoundHalfEven(target.Left - rule.OffsetLeft),
                      RoundHalfEven(target.Top - rule.OffsetTop), RoundHalfEven(target.Width),
                      RoundHalfEven(target.Height));
    rule.LastParent = rule.CurrentParent;
    rule.LastControl = rule.TargetControl;
}

void ResizeManager::ApplyResizeRules(ResizeTrigger trigger) {
    if (trigger == ResizeTrigger::Other) {
        return;
    }
    if (busy_) {
        busy_->Start(kBusyText, kBusyDelayMilliseconds, static_cast<int>(rules_.size() * 2));
    }
    CleanUp();
    for (auto& rule : rules_) {
        if (busy_) {
            busy_->Advance();
        }
        Adjust(*rule);
    }
    if (busy_) {
        busy_->Stop();
    }
}

std::vector<const ResizeRule*> ResizeManager::Rules() const {
    std::vector<const ResizeRule*> result;
    for (const auto& rule : rules_) {
        result.push_back(rule.get());
    }
    return result;
}

const ResizeRule* ResizeManager::RuleOf(int control) const {
    const auto entry = byControl_.find(control);
    return entry == byControl_.end() ? nullptr : entry->second;
}

} // namespace tickscope
