// The main window as built by an analysis session: controls, captions, columns, menu,
// shortcuts, resize rules, column buttons and the run-folder failures.
#include "common/temp_folder.h"
#include "scripted_requesters.h"
#include "ui/analyzer_controller.h"
#include "ui/analyzer_session.h"
#include "ui/list_view.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTest>

using namespace tickscope;
using tickscope::testing::ScriptedChooser;
using tickscope::testing::ScriptedRequesters;
using tickscope::testing::TempFolder;

namespace {
// A session on an empty run folder.
struct Fixture {
    TempFolder home;
    ScriptedRequesters requesters;
    ScriptedChooser chooser;
    AnalyzerSession session{requesters, chooser};
    bool opened = false;
    Fixture() {
        home.Write("Tickscope/readme.txt", "no runs here");
        opened = session.Open(home.Folder());
    }
    MainWindow& Window() { return session.Window(); }
    QRect Place(int id) { return Window().Control(id)->geometry(); }
    void Dispatch(const AnalyzerEvent& event) { session.Controller().Dispatch(event); }
};

QStringList Titles(ListView& list) {
    QStringList titles;
    for (int i = 0; i < list.Model().columnCount(); ++i) {
        titles << list.Model().headerData(i, Qt::Horizontal).toString() + ":" +
                      QString::number(list.ColumnWidth(i));
    }
    return titles;
}
} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void controlsAtTheirPlaces_data();
    void controlsAtTheirPlaces();
    void windowTitleSizeAndStates();
    void listColumns_data();
    void listColumns();
    void reportFont();
    void actionsMenuAndShortcuts();
    void resizingFollowsTheRules_data();
    void resizingFollowsTheRules();
    void shrinkingBackRestoresEveryControl();
    void columnButtonsFollowTheColumns();
    void missingRunFolderEndsTheAnalyzer();
    void emptyRunFolderOpensWithNothingToChoose();
    void noDisplayEndsWithAMessage();
};

void MainWindowTest::controlsAtTheirPlaces_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("kind");
    QTest::newRow("1 BirdsViewImage") << 1 << QRect(771, 54, 20, 424) << ""
                                      << "tickscope::BirdsViewLabel";
    QTest::newRow("2 ReportList") << 2 << QRect(280, 35, 490, 480) << ""
                                  << "tickscope::ListView";
    QTest::newRow("3 SourceFileList") << 3 << QRect(20, 170, 245, 100) << ""
                                      << "tickscope::ListView";
    QTest::newRow("4 ThreadList") << 4 << QRect(20, 310, 245, 130) << ""
                                  << "tickscope::ListView";
    QTest::newRow("5 RunsFrame") << 5 << QRect(10, 10, 265, 130) << "Tickscoped Runs"
                                 << "QGroupBox";
    QTest::newRow("6 SourceFilesFrame") << 6 << QRect(10, 150, 265, 130) << "Source Files"
                                        << "QGroupBox";
    QTest::newRow("7 ThreadsFrame") << 7 << QRect(10, 290, 265, 160) << "Threads"
                                    << "QGroupBox";
    QTest::newRow("8 ActionsFrame") << 8 << QRect(10, 460, 265, 55) << "Actions"
                                    << "QGroupBox";
    QTest::newRow("9 ProgramCombo") << 9 << QRect(20, 30, 245, 20) << ""
                                    << "QComboBox";
    QTest::newRow("10 RunList") << 10 << QRect(20, 55, 245, 75) << ""
                                << "tickscope::ListView";
    QTest::newRow("11 ReportButton") << 11 << QRect(20, 485, 60, 20) << "Report"
                                     << "QPushButton";
    QTest::newRow("12 ActionsButton") << 12 << QRect(281, 15, 21, 20) << "..."
                                      << "QPushButton";
    QTest::newRow("13 RefreshButton") << 13 << QRect(86, 485, 54, 20) << "Refresh"
                                      << "QPushButton";
    QTest::newRow("14 ModeCombo") << 14 << QRect(440, 15, 50, 20) << ""
                                  << "QComboBox";
    QTest::newRow("15 BirdsView_Helper") << 15 << QRect(771, 54, 18, 424) << "BirdsView_Helper"
                                         << "QPushButton";
    QTest::newRow("16 TimeScaleButton") << 16 << QRect(490, 15, 60, 20) << "ff=max"
                                        << "QPushButton";
    QTest::newRow("17 HitsScaleButton") << 17 << QRect(380, 15, 60, 20) << "ff=max"
                                        << "QPushButton";
}

void MainWindowTest::controlsAtTheirPlaces() {
    QFETCH(int, id);
    QFETCH(QRect, place);
    QFETCH(QString, caption);
    QFETCH(QString, kind);
    Fixture f;
    QVERIFY(f.opened);
    QWidget* control = f.Window().Control(id);
    QVERIFY(control);
    QCOMPARE(QString(control->metaObject()->className()), kind);
    QCOMPARE(control->parentWidget(), &f.Window());
    QCOMPARE(control->geometry(), place);
    if (auto* button = qobject_cast<QPushButton*>(control)) {
        QCOMPARE(button->text(), caption);
    } else if (auto* frame = qobject_cast<QGroupBox*>(control)) {
        QCOMPARE(frame->title(), caption);
    }
    QCOMPARE(control->property("controlId").toInt(), id);
}

void MainWindowTest::windowTitleSizeAndStates() {
    Fixture f;
    MainWindow& window = f.Window();
    QCOMPARE(window.windowTitle(), QString("Tickscope by Quillmere (Build 139)"));
    QCOMPARE(window.size(), QSize(800, 525));
    QVERIFY(window.isVisible());
    const QRect screen = window.screen()->availableGeometry();
    const QPoint off = window.geometry().center() - screen.center();
    QVERIFY2(std::abs(off.x()) <= 1 && std::abs(off.y()) <= 1, "centred on the screen");
    QVERIFY(!window.Control(kBirdsViewHelper)->isVisible());
    QVERIFY(!window.Control(kReportButton)->isEnabled());
    QCOMPARE(window.Combo(kModeCombo)->count(), 4);
    QCOMPARE(window.Combo(kModeCombo)->currentText(), QString("all"));
    QStringList modes;
    for (int i = 0; i < 4; ++i) {
        modes << window.Combo(kModeCombo)->itemText(i);
    }
    QCOMPARE(modes, (QStringList{"all", "avg", "max", "min"}));
    QVERIFY(!window.Combo(kProgramCombo)->isEditable());
    QVERIFY(!window.Combo(kModeCombo)->isEditable());
    QVERIFY(window.BirdsViewImage()->pixmap().isNull());
    const Qt::WindowFlags flags = window.windowFlags();
    QVERIFY(!(flags & Qt::FramelessWindowHint));
    // Frames lie beneath the controls placed on them.
    const QObjectList children = window.children();
    QVERIFY(children.indexOf(window.Control(kThreadsFrame)) <
            children.indexOf(window.Control(kThreadList)));
    QVERIFY(children.indexOf(window.Control(kRunsFrame)) <
            children.indexOf(window.Control(kProgramCombo)));
    // Nothing is stacked above the report list's area but the list itself.
    QVERIFY(window.Control(kReportList)->isAncestorOf(window.childAt(500, 300)));
}

void MainWindowTest::listColumns_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<bool>("checks");
    QTest::addColumn<bool>("multiple");
    QTest::newRow("ReportList") << 2 << QStringList{":20",     "File:30",       "Line:50",
                                                    "Hits:60", "Time (ms):110", "Code:2000"}
                                << true << true;
    QTest::newRow("SourceFileList") << 3 << QStringList{"ID:25", "File:200"} << false << false;
    QTest::newRow("ThreadList") << 4 << QStringList{":20", "ID:50", "Scope:155"} << true << false;
    QTest::newRow("RunList") << 10 << QStringList{"Timestamp:120", "Comment:105"} << false << false;
}

void MainWindowTest::listColumns() {
    QFETCH(int, id);
    QFETCH(QStringList, columns);
    QFETCH(bool, checks);
    QFETCH(bool, multiple);
    Fixture f;
    ListView& list = *f.Window().List(id);
    QCOMPARE(Titles(list), columns);
    QCOMPARE(list.Data().HasCheckBoxes, checks);
    QCOMPARE(list.selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list.selectionMode() == QAbstractItemView::ExtendedSelection, multiple);
    QCOMPARE(list.showGrid(), id == kReportList);
    QCOMPARE(list.Model().rowCount(), 0);
    QVERIFY(list.verticalHeader()->isHidden());
    QCOMPARE(list.palette().color(QPalette::Inactive, QPalette::Highlight),
             list.palette().color(QPalette::Active, QPalette::Highlight));
}

void MainWindowTest::reportFont() {
    Fixture f;
    const QFont report = f.Window().List(kReportList)->font();
    QCOMPARE(report.pointSize(), 8);
    // Courier New or the closest fixed-pitch font.
    const QFontMetrics metrics(report);
    QCOMPARE(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'));
    if (QFontInfo(QFont("Courier New")).family() == "Courier New") {
        QCOMPARE(report.family(), QString("Courier New"));
    }
    // The other controls keep the window's font.
    QCOMPARE(f.Window().List(kThreadList)->font(), f.Window().font());
    QVERIFY(f.Window().List(kThreadList)->font().family() != QString("Courier New"));
}

void MainWindowTest::actionsMenuAndShortcuts() {
    Fixture f;
    QMenu* menu = f.Window().ActionsMenu();
    QVERIFY(menu);
    QStringList items;
    for (QAction* action : menu->actions()) {
        items << (action->isSeparator()
                      ? QString("-")
                      : QString::number(action->data().toInt()) + " " + action->text());
    }
    QCOMPARE(
        items,
        (QStringList{"1001 Check all", "1002 Remove all checks", "-",
                     "1003 Complete checks for scopes", "1008 Add checks for a sourcefile",
                     "1006 Add checks for a thread", "1004 Add checks for implicitly invocations",
                     "-", "1009 Remove checks for a sourcefile", "1007 Remove checks for a thread",
                     "1005 Remove implicitly invocations", "1010 Remove calls",
                     "1011 Remove timeconsumers"}));
    QStringList keys;
    for (QShortcut* shortcut : f.Window().findChildren<QShortcut*>()) {
        keys << shortcut->key().toString() + "=" + shortcut->objectName();
    }
    keys.sort();
    QCOMPARE(keys, (QStringList{"Ctrl+F=FindCommand", "F3=FindNextCommand", "F4=HotSpotsCommand"}));
    // The report's context menu holds the hot spots, and nothing of the actions menu.
    QMenu* reportMenu = f.Window().ReportMenu();
    QVERIFY(reportMenu);
    QCOMPARE(reportMenu->actions().size(), 1);
    QCOMPARE(reportMenu->actions().front()->text(), QString("Hot spots\tF4"));
    QCOMPARE(reportMenu->actions().front()->data().toInt(), int{kHotSpotsCommand});
    QCOMPARE(f.Window().List(kReportList)->contextMenuPolicy(), Qt::CustomContextMenu);
    // The run list's context menu holds the comparison with the loaded run, and only that.
    QMenu* runMenu = f.Window().RunMenu();
    QVERIFY(runMenu);
    QCOMPARE(runMenu->actions().size(), 1);
    QCOMPARE(runMenu->actions().front()->text(), QString::fromUtf8("Compare with\u2026"));
    QCOMPARE(runMenu->actions().front()->data().toInt(), int{kCompareCommand});
    QCOMPARE(f.Window().List(kRunList)->contextMenuPolicy(), Qt::CustomContextMenu);
    // The other lists keep the default.
    for (const int id : {kSourceFileList, kThreadList}) {
        QCOMPARE(f.Window().List(id)->contextMenuPolicy(), Qt::DefaultContextMenu);
    }
}

void MainWindowTest::resizingFollowsTheRules_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QRect>("place");
    // The window grows by 100 x 60.
    QTest::newRow("ReportList") << 2 << QRect(280, 35, 590, 540);
    QTest::newRow("BirdsView_Helper") << 15 << QRect(871, 54, 18, 484);
    QTest::newRow("BirdsViewImage lies on the helper") << 1 << QRect(871, 54, 18, 484);
    QTest::newRow("ThreadsFrame") << 7 << QRect(10, 290, 265, 220);
    QTest::newRow("ThreadList") << 4 << QRect(20, 310, 245, 190);
    QTest::newRow("ActionsFrame") << 8 << QRect(10, 520, 265, 55);
    QTest::newRow("ReportButton") << 11 << QRect(20, 545, 60, 20);
    QTest::newRow("RefreshButton") << 13 << QRect(86, 545, 54, 20);
    QTest::newRow("SourceFileList stays") << 3 << QRect(20, 170, 245, 100);
    QTest::newRow("RunsFrame stays") << 5 << QRect(10, 10, 265, 130);
}

void MainWindowTest::resizingFollowsTheRules() {
    QFETCH(int, id);
    QFETCH(QRect, place);
    Fixture f;
    f.Window().resize(900, 585);
    QTRY_COMPARE(f.Place(id), place);
    if (id == kBirdsViewImage) {
        QCOMPARE(f.Window().BirdsViewImage()->pixmap().size(), QSize(18, 484));
    }
}

void MainWindowTest::shrinkingBackRestoresEveryControl() {
    Fixture f;
    std::map<int, QRect> initial;
    for (int id = 2; id <= 17; ++id) {
        if (id != kHitsScaleButton && id != kModeCombo && id != kTimeScaleButton) {
            initial[id] = f.Place(id);
        }
    }
    for (const QSize size : {QSize(1013, 777), QSize(640, 401), QSize(800, 525)}) {
        f.Window().resize(size);
        QTRY_COMPARE(f.Window().size(), size);
        QTRY_COMPARE(f.Place(kReportList).size(),
                     QSize(490 + size.width() - 800, 480 + size.height() - 525));
    }
    for (const auto& [id, place] : initial) {
        QCOMPARE(f.Place(id), place);
    }
}

void MainWindowTest::columnButtonsFollowTheColumns() {
    Fixture f;
    // Before the first event the buttons sit where the window put them.
    QCOMPARE(f.Place(kHitsScaleButton), QRect(380, 15, 60, 20));
    f.Dispatch(AnalyzerEvent{}); // any event
    QCOMPARE(f.Place(kHitsScaleButton), QRect(380, 15, 60, 20));
    QCOMPARE(f.Place(kModeCombo), QRect(440, 15, 55, 20));
    QCOMPARE(f.Place(kTimeScaleButton), QRect(495, 15, 55, 20));
    // A column border being dragged moves them at once, without waiting for an event.
    QHeaderView* header = f.Window().List(kReportList)->horizontalHeader();
    header->resizeSection(kHitsColumn, 80);
    QCOMPARE(f.Place(kHitsScaleButton), QRect(380, 15, 80, 20));
    QCOMPARE(f.Place(kModeCombo), QRect(460, 15, 55, 20));
    QCOMPARE(f.Place(kTimeScaleButton), QRect(515, 15, 55, 20));
    header->resizeSection(kTimeColumn, 91);
    QCOMPARE(f.Place(kModeCombo), QRect(460, 15, 45, 20));
    QCOMPARE(f.Place(kTimeScaleButton), QRect(505, 15, 45, 20));
    header->resizeSection(kLineColumn, 40); // a column to the left moves all three
    QCOMPARE(f.Place(kHitsScaleButton), QRect(370, 15, 80, 20));
    QCOMPARE(f.Place(kTimeScaleButton), QRect(495, 15, 45, 20));
    // Every event puts them back over their columns.
    f.Window().Control(kHitsScaleButton)->setGeometry(1, 15, 2, 20);
    f.Dispatch(AnalyzerEvent::Menu(4711)); // an unknown id still aligns
    QCOMPARE(f.Place(kHitsScaleButton), QRect(370, 15, 80, 20));
}

void MainWindowTest::missingRunFolderEndsTheAnalyzer() {
    TempFolder home; // no Tickscope folder below it
    ScriptedRequesters requesters;
    ScriptedChooser chooser;
    AnalyzerSession session(requesters, chooser);
    QVERIFY(!session.Open(home.Folder()));
    QCOMPARE(requesters.Messages, std::vector<std::string>{"No Tickscope runlogs available!"});
    QCOMPARE(requesters.Titles, std::vector<std::string>{"Tickscope"});
    session.Run(); // returns at once: there is no loop to run
    QVERIFY(!session.Window().isVisible());
}

void MainWindowTest::emptyRunFolderOpensWithNothingToChoose() {
    Fixture f;
    QVERIFY(f.opened);
    QVERIFY(f.requesters.Messages.empty());
    QCOMPARE(f.Window().Combo(kProgramCombo)->count(), 0);
    QCOMPARE(f.Window().List(kRunList)->Model().rowCount(), 0);
    // Closing the window ends the session.
    QVERIFY(f.Window().close());
    QVERIFY(f.session.Controller().Finished());
}

void MainWindowTest::noDisplayEndsWithAMessage() {
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(name);
    }
    TempFolder home;
    environment.insert("HOME", QString::fromStdString(home.Folder()));
    tool.setProcessEnvironment(environment);
    tool.start(TICKSCOPE_BINARY, {});
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    const QString error = QString::fromLocal8Bit(tool.readAllStandardError()).trimmed();
    QVERIFY2(!error.isEmpty() && !error.contains('\n'), qPrintable(error));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
