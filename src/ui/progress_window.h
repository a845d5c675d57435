#pragma once

#include "analysis/progress.h"

#include <QImage>

#include <cstdint>
#include <memory>
#include <string>

class QLabel;
class QWidget;

namespace tickscope {

// What one progress call asks the display to do.
struct ProgressStep {
    bool Open = false;   // create and show the window
    bool Redraw = false; // draw the bar with BarWidth and Text
    int BarWidth = 0;
    bool Close = false; // close the window
    std::string Text;
};

// The bookkeeping of the progress bar, apart from any drawing: the current maximum, the
// status text and the last drawn width, so that a bar is redrawn only when it grows by a
// pixel and the loader may report once per line and once per entry.
class ProgressBarState {
  public:
    static constexpr int kPictureWidth = 200;
    static constexpr int kPictureHeight = 20;

    ProgressStep Update(std::int64_t value, const std::string& text, std::int64_t maximum);

  private:
    std::int64_t maximum_ = 0;
    std::string text_;
    int lastWidth_ = 0;
    bool open_ = false;
};

// The 200 x 20 picture of a bar `barWidth` pixels long with the text centred on it.
QImage DrawProgressPicture(int barWidth, const std::string& text);

// Shows the progress of a run load in a small frameless window that stays above all
// others, centred over the active window; the window repaints while the load runs, but
// takes no user input.
class ProgressWindow : public ProgressSink {
  public:
    ProgressWindow();
    ~ProgressWindow() override;
    void ShowProgress(std::int64_t value, const std::string& text, std::int64_t maximum) override;

    // The open window, nullptr when none is shown (for tests).
    QWidget* Window() const { return window_.get(); }
    QLabel* Image() const { return image_; }

  private:
    void Open();

    ProgressBarState state_;
    std::unique_ptr<QWidget> window_;
    QLabel* image_ = nullptr;
};

} // namespace tickscope
