// The resize rule engine against a scripted windowing system, and the busy window.
#include "ui/busy_window.h"
#include "ui/resize_rules.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <map>

using namespace tickscope;

namespace {

// Windows and controls as plain geometry; every move is recorded.
class FakeHost : public ResizeHost {
  public:
    std::map<int, Geometry> Windows;
    std::map<int, Geometry> Controls;
    // Added to the position a control reports (a control drawn inside a frame, say).
    std::map<int, std::pair<float, float>> Shift;
    int Moves = 0;

    std::optional<Geometry> WindowGeometry(int window) const override {
        const auto found = Windows.find(window);
        return found == Windows.end() ? std::nullopt : std::optional(found->second);
    }
    std::optional<Geometry> ControlGeometry(int control) const override {
        const auto found = Controls.find(control);
        if (found == Controls.end()) {
            return std::nullopt;
        }
        Geometry g = found->second;
        if (const auto shift = Shift.find(control); shift != Shift.end()) {
            g.Left += shift->second.first;
            g.Top += shift->second.second;
        }
        return g;
    }
    void MoveControl(int control, int left, int top, int width, int height) override {
        ++Moves;
        Controls[control] = Geometry{float(left), float(top), float(width), float(height)};
    }
    void ProcessPendingEvents() override {}
};

class CountingBusy : public BusyIndicator {
  public:
    int Starts = 0, Advances = 0, Stops = 0, Total = -1, Delay = -1;
    std::string Text;
    void Start(const std::string& text, int delay, int total) override {
        ++Starts;
        Text = text;
        Delay = delay;
        Total = total;
    }
    void Advance() override { ++Advances; }
    void Stop() override { ++Stops; }
};

// The main window's controls and rules.
struct MainLayout {
    FakeHost host;
    ResizeManager manager{host};
    MainLayout() {
        host.Windows[1] = {80, 80, 800, 525};
        host.Controls[2] = {280, 35, 490, 480};
        host.Controls[15] = {771, 54, 18, 424};
        host.Controls[7] = {10, 290, 265, 160};
        host.Controls[4] = {20, 310, 245, 130};
        host.Controls[8] = {10, 460, 265, 55};
        host.Controls[11] = {20, 485, 60, 20};
        host.Controls[13] = {86, 485, 54, 20};
        manager.RegisterResizeRule(1, 2, 0, 0, 1, 1, false);
        manager.RegisterResizeRule(1, 15, 1, 0, 0, 1, false);
        manager.RegisterResizeRule(1, 7, 0, 0, 0, 1, false);
        manager.RegisterResizeRule(1, 4, 0, 0, 0, 1, false);
        manager.RegisterResizeRule(1, 8, 0, 1, 0, 0, false);
        manager.RegisterResizeRule(1, 11, 0, 1, 0, 0, false);
        manager.RegisterResizeRule(1, 13, 0, 1, 0, 0, false);
    }
};

} // namespace

Q_DECLARE_METATYPE(Geometry)

class ResizeRulesTest : public QObject {
    Q_OBJECT
  private slots:
    void mainWindowRules_data();
    void mainWindowRules();
    void shrinkingBackRestoresExactly();
    void halvesRoundToEven_data();
    void halvesRoundToEven();
    void triggers_data();
    void triggers();
    void movesOnlyWhenTheParentChanged();
    void controlAtMinusOneIsLeftAlone();
    void goneControlsAndParentsLoseTheirRules();
    void reportedOffsetsAreCorrected();
    void orderKeysPutParentsFirst();
    void childFollowsItsParentControl();
    void secondRuleForAControlReplacesTheTableEntry();
    void busyIndicatorCountsEveryRule();
    void busyWindowAppearsOnlyAfterTheDelay();
};

void ResizeRulesTest::mainWindowRules_data() {
    QTest::addColumn<int>("control");
    QTest::addColumn<Geometry>("expected");
    // The window grows by 100 x 60.
    QTest::newRow("ReportList grows") << 2 << Geometry{280, 35, 590, 540};
    QTest::newRow("BirdsView_Helper moves right, grows down") << 15 << Geometry{871, 54, 18, 484};
    QTest::newRow("ThreadsFrame grows down") << 7 << Geometry{10, 290, 265, 220};
    QTest::newRow("ThreadList grows down") << 4 << Geometry{20, 310, 245, 190};
    QTest::newRow("ActionsFrame moves down") << 8 << Geometry{10, 520, 265, 55};
    QTest::newRow("ReportButton moves down") << 11 << Geometry{20, 545, 60, 20};
    QTest::newRow("RefreshButton moves down") << 13 << Geometry{86, 545, 54, 20};
}

void ResizeRulesTest::mainWindowRules() {
    QFETCH(int, control);
    QFETCH(Geometry, expected);
    MainLayout layout;
    layout.host.Windows[1] = {80, 80, 900, 585};
    layout.manager.ApplyResizeRules(ResizeTrigger::WindowResized);
    const Geometry actual = layout.host.Controls[control];
    QCOMPARE(actual.Left, expected.Left);
    QCOMPARE(actual.Top, expected.Top);
    QCOMPARE(actual.Width, expected.Width);
    QCOMPARE(actual.Height, expected.Height);
}

void ResizeRulesTest::shrinkingBackRestoresExactly() {
    MainLayout layout;
    const auto initial = layout.host.Controls;
    // Several odd sizes on the way, then back to the start.
    for (const auto& [w, h] : {std::pair{913.f, 577.f}, {641.f, 333.f}, {1201.f, 999.f}}) {
        layout.host.Windows[1] = {80, 80, w, h};
        layout.manager.ApplyResizeRules(ResizeTrigger::Forced);
    }
    QCOMPARE(layout.host.Controls[2].Width, 490.f + 401.f);
    layout.host.Windows[1] = {80, 80, 800, 525};
    layout.manager.ApplyResizeRules(ResizeTrigger::Forced);
    QVERIFY(layout.host.Controls == initial);
}

void ResizeRulesTest::halvesRoundToEven_data() {
    QTest::addColumn<float>("grow");
    QTest::addColumn<int>("expectedWidth");
    // Width 10 plus half the growth.
    QTest::newRow("12.5 goes down to 12") << 5.f << 12;
    QTest::newRow("13.5 goes up to 14") << 7.f << 14;
    QTest::newRow("14.5 goes down to 14") << 9.f << 14;
    QTest::newRow("7.5 goes up to 8 when shrinking") << -5.f << 8;
    QTest::newRow("a whole number stays") << 4.f << 12;
}

void ResizeRulesTest::halvesRoundToEven() {
    QFETCH(float, grow);
    QFETCH(int, expectedWidth);
    FakeHost host;
    host.Windows[1] = {0, 0, 100, 100};
    host.Controls[5] = {0, 0, 10, 10};
    ResizeManager manager(host);
    manager.RegisterResizeRule(1, 5, 0, 0, 0.5f, 0, false);
    host.Windows[1].Width += grow;
    manager.ApplyResizeRules(ResizeTrigger::Forced);
    QCOMPARE(host.Controls[5].Width, float(expectedWidth));
    QCOMPARE(RoundHalfEven(2.5f), 2);
    QCOMPARE(RoundHalfEven(-2.5f), -2);
}

void ResizeRulesTest::triggers_data() {
    QTest::addColumn<int>("trigger");
    QTest::addColumn<bool>("moves");
    QTest::newRow("forced") << int(ResizeTrigger::Forced) << true;
    QTest::newRow("resized") << int(ResizeTrigger::WindowResized) << true;
    QTest::newRow("repaint") << int(ResizeTrigger::Repaint) << true;
    QTest::newRow("activate") << int(ResizeTrigger::Activate) << true;
    QTest::newRow("minimise") << int(ResizeTrigger::Minimise) << true;
    QTest::newRow("maximise") << int(ResizeTrigger::Maximise) << true;
    QTest::newRow("restore") << int(ResizeTrigger::Restore) << true;
    QTest::newRow("other event") << int(ResizeTrigger::Other) << false;
}

void ResizeRulesTest::triggers() {
    QFETCH(int, trigger);
    QFETCH(bool, moves);
    MainLayout layout;
    layout.host.Windows[1].Width += 10;
    layout.manager.ApplyResizeRules(static_cast<ResizeTrigger>(trigger));
    QCOMPARE(layout.host.Controls[2].Width, moves ? 500.f : 490.f);
}

void ResizeRulesTest::movesOnlyWhenTheParentChanged() {
    MainLayout layout;
    const int before = layout.host.Moves;
    layout.manager.ApplyResizeRules(ResizeTrigger::Forced);
    QCOMPARE(layout.host.Moves, before);
    // Moving the window without resizing it changes no size-following rule.
    layout.host.Windows[1].Left += 50;
    layout.manager.ApplyResizeRules(ResizeTrigger::Forced);
    QCOMPARE(layout.host.Moves, before);
    layout.host.Windows[1].Height += 1;
    layout.manager.ApplyResizeRules(ResizeTrigger::Forced);
    QCOMPARE(layout.host.Moves, before + 7);
}

void ResizeRulesTest::controlAtMinusOneIsLeftAlone() {
    FakeHost host;
    host.Windows[1] = {0, 0, 100, 100};
    host.Controls[3] = {5, 5, 10, 10};
    ResizeManager manager(host);
    manager.RegisterResizeRule(1, 3, 0, 0, 1, 1, false);
    host.Controls[3].Left = -1;
    host.Windows[1].Width = 150;
    manager.ApplyResizeRules(ResizeTrigger::Forced);
    QCOMPARE(host.Controls[3].Width, 10.f);
    host.Controls[3].Left = 5;
    manager.ApplyResizeRules(ResizeTrigger::Forced);
    QCOMPARE(host.Controls[3].Width, 60.f);
}

void ResizeRulesTest::goneControlsAndParentsLoseTheirRules() {
    MainLayout layout;
    QCOMPARE(layout.manager.Rules().size(), std::size_t{7});
    layout.host.Controls.erase(15);
    layout.host.Controls.erase(4);
    layout.manager.ApplyResizeRules(ResizeTrigger::Other);
    QCOMPARE(layout.manager.Rules().size(), std::size_t{7}); // no pass, no clean-up
    layout.manager.ApplyResizeRules(ResizeTrigger::Forced);
    QCOMPARE(layout.manager.Rules().size(), std::size_t{5});
    QVERIFY(!layout.manager.RuleOf(15));
    QVERIFY(!layout.manager.RuleOf(4));
    QVERIFY(layout.manager.RuleOf(2));
    // A control that comes back under the same id gets no rule by itself.
    layout.host.Controls[15] = {771, 54, 18, 424};
    layout.host.Windows[1].Height += 20;
    layout.manager.ApplyResizeRules(ResizeTrigger::Forced);
    QCOMPARE(layout.host.Controls[15].Height, 424.f);
    QCOMPARE(layout.host.Controls[2].Height, 500.f);
    // Without the window every rule goes.
    layout.host.Windows.clear();
    layout.manager.ApplyResizeRules(ResizeTrigger::Forced);
    QVERIFY(layout.manager.Rules().empty());
}

void ResizeRulesTest::reportedOffsetsAreCorrected() {
    FakeHost host;
    host.Windows[1] = {0, 0, 200, 200};
    host.Controls[9] = {10, 20, 30, 40};
    host.Shift[9] = {2, 3}; // reports 2 right and 3 lower than where it was put
    ResizeManager manager(host);
    manager.RegisterResizeRule(1, 9, 1, 1, 0, 0, false);
    const ResizeRule* rule = manager.RuleOf(9);
    QVERIFY(rule && rule->Initialised);
    QCOMPARE(rule->OffsetLeft, 2.f);
    QCOMPARE(rule->OffsetTop, 3.f);
    // The initial geometry is what the control reported at registration.
    QCOMPARE(rule->InitialControl, (Geometry{12, 23, 30, 40}));
    host.Windows[1] = {0, 0, 210, 220};
    manager.ApplyResizeRules(ResizeTrigger::Forced);
    // Put at 12 + 10 - 2 and 23 + 20 - 3, so that it reports 22 and 43.
    QCOMPARE(host.Controls[9], (Geometry{20, 40, 30, 40}));
    QCOMPARE(host.ControlGeometry(9)->Left, 22.f);
    QCOMPARE(host.ControlGeometry(9)->Top, 43.f);
}

void ResizeRulesTest::orderKeysPutParentsFirst() {
    FakeHost host;
    host.Windows[1] = {0, 0, 100, 100};
    for (int id : {20, 21, 22, 23}) {
        host.Controls[id] = {0, 0, 10, 10};
    }
    ResizeManager manager(host);
    manager.RegisterResizeRule(true, 1, 20, 0, 0, 1, 0, false);   // 001
    manager.RegisterResizeRule(true, 1, 21, 0, 0, 1, 0, false);   // 002
    manager.RegisterResizeRule(false, 20, 22, 0, 0, 1, 0, false); // 001.003
    manager.RegisterResizeRule(false, 22, 23, 0, 0, 1, 0, false); // 001.003.004
    std::vector<std::string> keys;
    std::vector<int> controls;
    for (const ResizeRule* rule : manager.Rules()) {
        keys.push_back(rule->OrderKey);
        controls.push_back(rule->Control);
    }
    QCOMPARE(keys, (std::vector<std::string>{"001", "001.003", "001.003.004", "002"}));
    QCOMPARE(controls, (std::vector<int>{20, 22, 23, 21}));
}

void ResizeRulesTest::childFollowsItsParentControl() {
    FakeHost host;
    host.Windows[1] = {0, 0, 100, 100};
    host.Controls[30] = {10, 10, 50, 50}; // container
    host.Controls[31] = {15, 15, 20, 20}; // follows the container's position
    ResizeManager manager(host);
    manager.RegisterResizeRule(true, 1, 30, 1, 0, 0, 0, false);
    manager.RegisterResizeRule(false, 30, 31, 1, 0, 0, 0, true);
    host.Windows[1].Width = 140;
    manager.ApplyResizeRules(ResizeTrigger::Forced);
    // The container moved first, so its child follows within the same pass.
    QCOMPARE(host.Controls[30].Left, 50.f);
    QCOMPARE(host.Controls[31].Left, 55.f);
}

void ResizeRulesTest::secondRuleForAControlReplacesTheTableEntry() {
    FakeHost host;
    host.Windows[1] = {0, 0, 100, 100};
    host.Controls[40] = {0, 0, 10, 10};
    ResizeManager manager(host);
    manager.RegisterResizeRule(1, 40, 0, 0, 1, 0, false);
    manager.RegisterResizeRule(1, 40, 0, 0, 0, 1, false);
    QCOMPARE(manager.Rules().size(), std::size_t{2});
    QCOMPARE(manager.RuleOf(40)->FactorHeight, 1.f);
    QCOMPARE(manager.RuleOf(40)->Sequence, 2);
}

void ResizeRulesTest::busyIndicatorCountsEveryRule() {
    FakeHost host;
    host.Windows[1] = {0, 0, 100, 100};
    host.Controls[1] = host.Controls[2] = host.Controls[3] = {0, 0, 10, 10};
    CountingBusy busy;
    ResizeManager manager(host, &busy);
    for (int id : {1, 2, 3}) {
        manager.RegisterResizeRule(1, id, 0, 0, 1, 0, false);
    }
    manager.ApplyResizeRules(ResizeTrigger::Other);
    QCOMPARE(busy.Starts, 0);
    manager.ApplyResizeRules(ResizeTrigger::Forced);
    QCOMPARE(busy.Starts, 1);
    QCOMPARE(busy.Text, std::string("Managing dynamic resizing ..."));
    QCOMPARE(busy.Delay, 500);
    QCOMPARE(busy.Total, 6);
    QCOMPARE(busy.Advances, 6);
    QCOMPARE(busy.Stops, 1);
}

void ResizeRulesTest::busyWindowAppearsOnlyAfterTheDelay() {
    auto now = std::chrono::steady_clock::time_point{};
    BusyWindow busy([&now] { return now; });
    busy.Advance(); // not started: nothing
    QVERIFY(!busy.Window());
    busy.Start("Working ...", 500, 10);
    now += std::chrono::milliseconds(499);
    busy.Advance();
    QVERIFY(!busy.Window());
    now += std::chrono::milliseconds(1);
    busy.Advance();
    QVERIFY(busy.Window());
    QCOMPARE(busy.Window()->width(), 400);
    QVERIFY(busy.Window()->height() > 20); // grown to show the bar
    QVERIFY(busy.Window()->windowFlags() & Qt::WindowStaysOnTopHint);
    busy.Stop();
    QVERIFY(!busy.Window());
    // Without a total there is no bar.
    busy.Start("Working ...", 0, 0);
    busy.Advance();
    QVERIFY(busy.Window());
    QCOMPARE(busy.Window()->height(), 20);
    busy.Stop();
}

QTEST_MAIN(ResizeRulesTest)
#include "resize_rules_test.moc"
