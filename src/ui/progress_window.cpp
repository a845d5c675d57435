#include "ui/progress_window.h"

#include "ui/qt_text.h"
#include "ui/ui_ids.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace tickscope {

ProgressStep ProgressBarState::Update(std::int64_t value, const std::string& text,
                                      std::int64_t maximum) {
    ProgressStep step;
    bool forceDraw = false;
    if (maximum >= 0) {
        // The maximum stays 64 bits wide: run files beyond 2 GB must not wrap it negative.
        maximum_ = maximum;
        text_ = text;
        step.Open = true;
        open_ = true;
        forceDraw = true; // a new picture starts blank, whatever width was drawn before
    }
    if (!text.empty()) {
        text_ = text;
    }
    if (value <= maximum_) {
        const int span = kPictureWidth - 2;
        int width = 0;
        if (maximum_ > 0) {
            width = static_cast<int>(
                std::lround(static_cast<float>(value) / static_cast<float>(maximum_) * span));
        }
        width = std::clamp(width, 0, span);
        if (open_ && (forceDraw || width != lastWidth_)) {
            step.Redraw = true;
            step.BarWidth = width;
            step.Text = text_;
        }
        lastWidth_ = width;
    }
    if (value >= maximum_ && open_) {
        step.Close = true;
        open_ = false;
    }
    return step;
}

QImage DrawProgressPicture(int barWidth, const std::string& text) {
    const int w = ProgressBarState::kPictureWidth;
    const int h = ProgressBarState::kPictureHeight;
    QImage picture(w, h, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 0));
    QPainter painter(&picture);
    painter.fillRect(1, 1, w - 2, h - 2, QColor(50, 50, 50));
    if (barWidth > 0) {
        painter.fillRect(1, 1, barWidth, h - 2, QColor(220, 220, 220));
    }
    painter.setPen(QColor(0, 0, 0));
    const QString caption = ToQt(text);
    const QFontMetrics metrics(painter.font());
    const int x = w / 2 - metrics.horizontalAdvance(caption) / 2;
    const int y = h / 2 - metrics.height() / 2;
    painter.drawText(x, y + metrics.ascent(), caption);
    return picture;
}

ProgressWindow::ProgressWindow() = default;
ProgressWindow::~ProgressWindow() = default;

void ProgressWindow::Open() {
    const QWidget* over = QApplication::activeWindow();
    window_ =
        std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                               Qt::Tool | Qt::WindowDoesNotAcceptFocus);
    // The main window keeps the focus; the bar only shows.
    window_->setAttribute(Qt::WA_ShowWithoutActivating);
    window_->setWindowTitle("Progress");
    window_->setObjectName("ProgressWindow");
    window_->resize(ProgressBarState::kPictureWidth, ProgressBarState::kPictureHeight);
    image_ = new QLabel(window_.get());
    image_->setObjectName("ProgressImage");
    image_->setProperty("controlId", int{kProgressImage});
    image_->setGeometry(0, 0, ProgressBarState::kPictureWidth, ProgressBarState::kPictureHeight);
    QRect area;
    if (over) {
        area = over->frameGeometry();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    window_->move(area.center() - QPoint(ProgressBarState::kPictureWidth / 2,
                                         ProgressBarState::kPictureHeight / 2));
    window_->show();
    window_->raise();
}

void ProgressWindow::ShowProgress(std::int64_t value, const std::string& text,
                                  std::int64_t maximum) {
    const ProgressStep step = state_.Update(value, text, maximum);
    if (step.Open) {
        Open();
    }
    if (step.Redraw && image_) {
        image_->setPixmap(QPixmap::fromImage(DrawProgressPicture(step.BarWidth, step.Text)));
        // Paint now: the load runs on this thread. User input waits and is then dropped.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    if (step.Close) {
        image_ = nullptr;
        window_.reset();
    }
}

} // namespace tickscope
