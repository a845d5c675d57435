#include "ui/busy_window.h"

#include "ui/qt_text.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QWidget>

namespace tickscope {

namespace {
constexpr int kWidth = 400;
constexpr int kTextHeight = 20;
constexpr int kBarHeight = 5;
} // namespace

BusyWindow::BusyWindow(Clock clock) : clock_(std::move(clock)) {}
BusyWindow::~BusyWindow() = default;

QWidget* BusyWindow::Window() const {
    return window_.get();
}

void BusyWindow::Start(const std::string& text, int delayMilliseconds, int total) {
    Stop();
    text_ = text;
    delayMilliseconds_ = delayMilliseconds;
    total_ = total;
    count_ = 0;
    start_ = clock_();
    running_ = true;
}

void BusyWindow::Advance() {
    if (!running_) {
        return;
    }
    ++count_;
    if (!window_ && clock_() - start_ >= std::chrono::milliseconds(delayMilliseconds_)) {
        Open();
    }
    if (bar_) {
        bar_->setValue(count_);
    }
}

void BusyWindow::Open() {
    window_ = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint |
                                                     Qt::WindowStaysOnTopHint | Qt::Tool);
    window_->setAutoFillBackground(true);
    QPalette palette = window_->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    window_->setPalette(palette);
    auto* label = new QLabel(ToQt(text_), window_.get());
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(0, 3, kWidth, kTextHeight);
    int height = kTextHeight;
    if (total_ != 0) {
        bar_ = new QProgressBar(window_.get());
        bar_->setTextVisible(false);
        bar_->setRange(0, total_);
        bar_->setGeometry(5, kTextHeight, kWidth - 10, kBarHeight);
        height += kBarHeight + 2; // the window grows downwards to show the bar
    }
    window_->resize(kWidth, height);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window_->move(area.center() - QPoint(kWidth / 2, height / 2));
    }
    window_->show();
}

void BusyWindow::Stop() {
    running_ = false;
    bar_ = nullptr;
    window_.reset();
}

} // namespace tickscope
