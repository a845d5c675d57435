#pragma once

#include "ui/resize_rules.h"

#include <chrono>
#include <functional>
#include <memory>

class QWidget;
class QLabel;
class QProgressBar;

namespace tickscope {

// The busy indicator as a small white borderless window, centred on the screen and kept
// above all others, shown once the delay has passed while a pass is still running.
class BusyWindow : public BusyIndicator {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    explicit BusyWindow(Clock clock = &std::chrono::steady_clock::now);
    ~BusyWindow() override;

    void Start(const std::string& text, int delayMilliseconds, int total) override;
    void Advance() override;
    void Stop() override;

    // The open window, nullptr while none is shown (for tests).
    QWidget* Window() const;

  private:
    void Open();

    Clock clock_;
    std::chrono::steady_clock::time_point start_{};
    int delayMilliseconds_ = 0;
    int total_ = 0;
    int count_ = 0;
    bool running_ = false;
    std::string text_;
    std::unique_ptr<QWidget> window_;
    QProgressBar* bar_ = nullptr;
};

} // namespace tickscope
