#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace tickscope {

// While closed, swallows the user's mouse and keyboard input to one window (and its
// controls), so that a running command is not re-entered and clicks made meanwhile are
// dropped rather than postponed. Other windows, such as dialogs, are not affected.
class InputGate : public QObject {
    Q_OBJECT
  public:
    explicit InputGate(QWidget* window);
    ~InputGate() override;
    void Close() { closed_ = true; }
    void Open() { closed_ = false; }
    bool IsClosed() const { return closed_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QWidget> window_;
    bool closed_ = false;
};

} // namespace tickscope
