#include "ui/widget_resize_host.h"

#include <QCoreApplication>

namespace tickscope {

std::optional<Geometry> WidgetResizeHost::WindowGeometry(int window) const {
    if (window != windowId_ || !window_) {
        return std::nullopt;
    }
    const QRect outer = window_->frameGeometry();
    return Geometry{static_cast<float>(outer.x()), static_cast<float>(outer.y()),
                    static_cast<float>(window_->width()), static_cast<float>(window_->height())};
}

std::optional<Geometry> WidgetResizeHost::ControlGeometry(int control) const {
    const QWidget* widget = window_ ? controls_(control) : nullptr;
    if (!widget) {
        return std::nullopt;
    }
    const QRect place = widget->geometry();
    return Geometry{static_cast<float>(place.x()), static_cast<float>(place.y()),
                    static_cast<float>(place.width()), static_cast<float>(place.height())};
}

void WidgetResizeHost::MoveControl(int control, int left, int top, int width, int height) {
    if (QWidget* widget = window_ ? controls_(control) : nullptr) {
        widget->setGeometry(left, top, width, height);
    }
}

void WidgetResizeHost::ProcessPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace tickscope
