#pragma once

#include "ui/resize_rules.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace tickscope {

// The resize manager's view of Qt widgets: one window and its controls, found by id. A
// control that has been destroyed no longer exists for the manager.
class WidgetResizeHost : public ResizeHost {
  public:
    using ControlLookup = std::function<QWidget*(int)>;
    WidgetResizeHost(int windowId, QWidget* window, ControlLookup controls)
        : windowId_(windowId), window_(window), controls_(std::move(controls)) {}

    std::optional<Geometry> WindowGeometry(int window) const override;
    std::optional<Geometry> ControlGeometry(int control) const override;
    void MoveControl(int control, int left, int top, int width, int height) override;
    void ProcessPendingEvents() override;

  private:
    int windowId_;
    QPointer<QWidget> window_;
    ControlLookup controls_;
};

} // namespace tickscope
