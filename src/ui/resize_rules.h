#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tickscope {

// Left, top, width and height; all resize arithmetic is single precision.
struct Geometry {
    float Left = 0;
    float Top = 0;
    float Width = 0;
    float Height = 0;
    bool operator==(const Geometry&) const = default;
};

// What the resize manager needs from the windowing system. Window geometry is the outer
// left and top edge on the screen with the client width and height; control geometry is
// relative to the control's window.
class ResizeHost {
  public:
    virtual ~ResizeHost() = default;
    virtual std::optional<Geometry> WindowGeometry(int window) const = 0;
    // Nothing when the control does not exist.
    virtual std::optional<Geometry> ControlGeometry(int control) const = 0;
    virtual void MoveControl(int control, int left, int top, int width, int height) = 0;
    // Lets the system settle a move (pending window events are processed and discarded).
    virtual void ProcessPendingEvents() = 0;
};

// A small window telling that a long pass is running; it appears only after a delay.
class BusyIndicator {
  public:
    virtual ~BusyIndicator() = default;
    virtual void Start(const std::string& text, int delayMilliseconds, int total) = 0;
    virtual void Advance() = 0;
    virtual void Stop() = 0;
};

struct ResizeRule {
    int Parent = 0;
    bool ParentIsWindow = true;
    int Control = 0;
    float FactorLeft = 0;
    float FactorTop = 0;
    float FactorWidth = 0;
    float FactorHeight = 0;
    bool FollowPosition = false;
    Geometry InitialControl;
    Geometry LastControl;
    Geometry TargetControl;
    Geometry InitialParent;
    Geometry LastParent;
    Geometry CurrentParent;
    int Sequence = 0;
    bool Initialised = false;
    std::string OrderKey;
    float OffsetLeft = 0;
    float OffsetTop = 0;
};

// Events after which a pass runs; any other event leaves the controls alone unless the
// pass is forced.
enum class ResizeTrigger {
    Forced,
    WindowResized,
    Repaint,
    Activate,
    Minimise,
    Maximise,
    Restore,
    Other
};

// Keeps registered controls in step with their parent window or parent control: each rule
// gives the share of the parent's change that goes to the control's left, top, width and
// height, always computed from the geometry recorded when the rule was initialised, so
// growing and shrinking back restores the first layout exactly.
class ResizeManager {
  public:
    explicit ResizeManager(ResizeHost& host, BusyIndicator* busy = nullptr)
        : host_(host), busy_(busy) {}

    void RegisterResizeRule(bool parentIsWindow, int parent, int control, float factorLeft,
                            float factorTop, float factorWidth, float factorHeight,
                            bool followPosition);
    // The common form: the parent is a window.
    void RegisterResizeRule(int window, int control, float factorLeft, float factorTop,
                            float factorWidth, float factorHeight, bool followPosition) {
        RegisterResizeRule(true, window, control, factorLeft, factorTop, factorWidth, factorHeight,
                           followPosition);
    }

    // Runs one pass for the triggers that can change a layout, or when forced.
    void ApplyResizeRules(ResizeTrigger trigger);

    // Rules in pass order.
    std::vector<const ResizeRule*> Rules() const;
    // The rule the table holds for a control, nullptr when none.
    const ResizeRule* RuleOf(int control) const;

  private:
    void Initialise(ResizeRule& rule);
    std::optional<Geometry> ParentGeometry(const ResizeRule& rule) const;
    bool ParentExists(const ResizeRule& rule) const;
    std::string BuildOrderKey(const ResizeRule& rule) const;
    void SortRules();
    void CleanUp();
    void Adjust(ResizeRule& rule);

    ResizeHost& host_;
    BusyIndicator* busy_;
    std::vector<std::unique_ptr<ResizeRule>> rules_; // sorted by OrderKey
    std::map<int, ResizeRule*> byControl_;
};

// Rounds to the nearest integer, a half going to the even neighbour.
int RoundHalfEven(float value);

} // namespace tickscope
