#include "ui/input_gate.h"

#include <QCoreApplication>
#include <QEvent>

namespace tickscope {

InputGate::InputGate(QWidget* window) : window_(window) {
    QCoreApplication::instance()->installEventFilter(this);
}

InputGate::~InputGate() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->removeEventFilter(this);
    }
}

bool InputGate::eventFilter(QObject* watched, QEvent* event) {
    if (!closed_ || !window_) {
        return false;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        break;
    default:
        return false;
    }
    // A shortcut event goes to the shortcut object; its parent is the widget it serves.
    const auto* widget = qobject_cast<const QWidget*>(watched);
    if (!widget && watched) {
        widget = qobject_cast<const QWidget*>(watched->parent());
    }
    return widget && widget->window() == window_;
}

} // namespace tickscope
