// The progress bar: when it opens, redraws and closes, and what its picture shows.
#include "ui/progress_window.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

using namespace tickscope;

namespace {
struct Call {
    qint64 Value;
    std::string Text;
    qint64 Maximum;
    // expected
    bool Open;
    bool Redraw;
    int Width;
    bool Close;
    std::string ShownText;
};
} // namespace
Q_DECLARE_METATYPE(std::vector<Call>)

class ProgressWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void sequences_data();
    void sequences();
    void pictureShowsBarAndFrame();
    void windowOpensUpdatesAndCloses();
};

void ProgressWindowTest::sequences_data() {
    QTest::addColumn<std::vector<Call>>("calls");
    QTest::newRow("a load: open, grow by whole pixels, new text, close at the total")
        << std::vector<Call>{
               {0, "Loading sourcecode ...", 1000, true, true, 0, false, "Loading sourcecode ..."},
               {500, "", -1, false, true, 99, false, "Loading sourcecode ..."},
               {501, "", -1, false, false, 0, false, ""}, // 99.198: no new pixel
               {506, "Loading profiledata ...", -1, false, true, 100, false,
                "Loading profiledata ..."},
               {1000, "", -1, false, true, 198, true, "Loading profiledata ..."}};
    QTest::newRow("a second load draws its first picture though the width was drawn before")
        << std::vector<Call>{{0, "a", 10, true, true, 0, false, "a"},
                             {10, "", -1, false, true, 198, true, "a"},
                             {0, "b", 20, true, true, 0, false, "b"},
                             {20, "", -1, false, true, 198, true, "b"}};
    QTest::newRow("a maximum of 0 draws an empty bar and closes at once")
        << std::vector<Call>{{0, "x", 0, true, true, 0, true, "x"}};
    QTest::newRow("a total beyond 32 bits does not wrap")
        << std::vector<Call>{{0, "big", 5000000000LL, true, true, 0, false, "big"},
                             {2500000000LL, "", -1, false, true, 99, false, "big"},
                             {5000000000LL, "", -1, false, true, 198, true, "big"}};
    QTest::newRow("updates before any start show nothing") << std::vector<Call>{
        {0, "", -1, false, false, 0, false, ""}, {5, "", -1, false, false, 0, false, ""}};
    QTest::newRow("a value past the total closes") << std::vector<Call>{
        {0, "t", 100, true, true, 0, false, "t"}, {150, "", -1, false, false, 0, true, ""}};
}

void ProgressWindowTest::sequences() {
    QFETCH(std::vector<Call>, calls);
    ProgressBarState state;
    int index = 0;
    for (const Call& call : calls) {
        const ProgressStep step = state.Update(call.Value, call.Text, call.Maximum);
        const QByteArray where = "call " + QByteArray::number(index++);
        QVERIFY2(step.Open == call.Open, where);
        QVERIFY2(step.Redraw == call.Redraw, where);
        QVERIFY2(step.Close == call.Close, where);
        if (call.Redraw) {
            QCOMPARE(step.BarWidth, call.Width);
            QCOMPARE(step.Text, call.ShownText);
        }
    }
}

void ProgressWindowTest::pictureShowsBarAndFrame() {
    const QImage picture = DrawProgressPicture(50, "");
    QCOMPARE(picture.size(), QSize(200, 20));
    QCOMPARE(QColor(picture.pixel(0, 0)), QColor(0, 0, 0)); // frame
    QCOMPARE(QColor(picture.pixel(199, 19)), QColor(0, 0, 0));
    QCOMPARE(QColor(picture.pixel(1, 1)), QColor(220, 220, 220)); // bar
    QCOMPARE(QColor(picture.pixel(50, 18)), QColor(220, 220, 220));
    QCOMPARE(QColor(picture.pixel(51, 10)), QColor(50, 50, 50)); // rest of the track
    QCOMPARE(QColor(picture.pixel(198, 18)), QColor(50, 50, 50));
    // The text is drawn in black over the middle.
    const QImage withText = DrawProgressPicture(198, "Loading sourcecode ...");
    int dark = 0;
    for (int x = 60; x < 140; ++x) {
        for (int y = 2; y < 18; ++y) {
            dark += qGray(withText.pixel(x, y)) < 100;
        }
    }
    QVERIFY(dark > 20);
}

void ProgressWindowTest::windowOpensUpdatesAndCloses() {
    ProgressWindow progress;
    QVERIFY(!progress.Window());
    progress.ShowProgress(0, "Loading sourcecode ...", 200);
    QWidget* window = progress.Window();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->size(), QSize(200, 20));
    QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(window->windowTitle(), QString("Progress"));
    QCOMPARE(progress.Image()->geometry(), QRect(0, 0, 200, 20));
    progress.ShowProgress(100, "", -1);
    const QImage shown = progress.Image()->pixmap().toImage();
    QCOMPARE(QColor(shown.pixel(99, 1)), QColor(220, 220, 220)); // above the text
    QCOMPARE(QColor(shown.pixel(101, 1)), QColor(50, 50, 50));
    progress.ShowProgress(200, "", -1);
    QVERIFY(!progress.Window());
}

QTEST_MAIN(ProgressWindowTest)
#include "progress_window_test.moc"
