// The selection requester: what the check actions ask, layout, choosing by double-click,
// closing.
#include "ui/list_view.h"
#include "ui/selection_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace tickscope;

namespace {
// Runs `act` on the dialog once it is open (from inside its modal loop).
void WhenOpen(std::function<void(SelectionDialog&)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<SelectionDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        act(*dialog);
    });
}
QPoint RowCentre(ListView& list, int row) {
    return list.visualRect(list.Model().index(row, 1)).center();
}
// A request of two columns of the given widths and rows of two cells.
SelectionRequest Request(const std::string& title, const std::string& prompt,
                         std::vector<std::vector<std::string>> rows, int first = 25,
                         int second = 350) {
    return {title, prompt, {{"ID", first}, {"File", second}}, std::move(rows)};
}
} // namespace

class SelectionDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void requests_data();
    void requests();
    void layout();
    void centredOverTheParentOrTheScreen();
    void resizingGrowsPromptAndList();
    void doubleClickChoosesSingleClickDoesNot();
    void enterChoosesTheSelectedRow_data();
    void enterChoosesTheSelectedRow();
    void closingGivesNoAnswer();
};

void SelectionDialogTest::requests_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QStringList>("columns"); // "title:width"
    QTest::newRow("add a source file")
        << int(ChoiceKind::SourceFileToCheck) << "Select sourcefile to add checks for ..."
        << QStringList{"ID:25", "File:350"};
    QTest::newRow("remove a source file")
        << int(ChoiceKind::SourceFileToUncheck) << "Select sourcefile to remove checks for ..."
        << QStringList{"ID:25", "File:350"};
    QTest::newRow("add a thread") << int(ChoiceKind::ThreadToCheck)
                                  << "Select thread to add checks for ..."
                                  << QStringList{"ID:50", "Procedure:325"};
    QTest::newRow("remove a thread")
        << int(ChoiceKind::ThreadToUncheck) << "Select thread to remove checks for ..."
        << QStringList{"ID:50", "Procedure:325"};
}

void SelectionDialogTest::requests() {
    QFETCH(int, kind);
    QFETCH(QString, prompt);
    QFETCH(QStringList, columns);
    // Names holding the characters that once separated cells and rows stay one cell.
    const SelectionRequest request =
        RequestFor(static_cast<ChoiceKind>(kind), {{3, "a|b.pb"}, {-7, "line\nfeed"}, {12, ""}});
    QCOMPARE(QString::fromStdString(request.Title), QString("Tickscope"));
    QCOMPARE(QString::fromStdString(request.Prompt), prompt);
    QStringList actualColumns;
    for (const ListColumn& column : request.Columns) {
        actualColumns << QString::fromStdString(column.Title) + ":" + QString::number(column.Width);
    }
    QCOMPARE(actualColumns, columns);
    const std::vector<std::vector<std::string>> rows = {
        {"3", "a|b.pb"}, {"-7", "line\nfeed"}, {"12", ""}};
    QVERIFY(request.Rows == rows);
    SelectionDialog dialog(request, nullptr);
    QCOMPARE(dialog.List()->Model().rowCount(), 3);
    QCOMPARE(dialog.List()->Data().CellText(0, 1), std::string("a|b.pb"));
    QVERIFY(!dialog.List()->Data().HasCheckBoxes);
}

void SelectionDialogTest::layout() {
    SelectionDialog dialog(
        Request("Tickscope", "Select sourcefile to add checks for ...", {{"3", "a"}, {"7", "b"}}),
        nullptr);
    dialog.show();
    QCOMPARE(dialog.size(), QSize(400, 300));
    QCOMPARE(dialog.windowTitle(), QString("Tickscope"));
    QCOMPARE(dialog.Prompt()->geometry(), QRect(5, 5, 390, 20));
    QCOMPARE(dialog.Prompt()->text(), QString("Select sourcefile to add checks for ..."));
    QCOMPARE(dialog.List()->geometry(), QRect(5, 30, 390, 235));
    QCOMPARE(dialog.List()->Model().rowCount(), 2);
    QCOMPARE(dialog.List()->ColumnWidth(0), 25);
    QCOMPARE(dialog.List()->ColumnWidth(1), 350);
    QCOMPARE(dialog.List()->selectionBehavior(), QAbstractItemView::SelectRows);
    const auto* status = dialog.StatusBar()->findChild<QLabel*>();
    QVERIFY(status);
    QCOMPARE(status->text(), QString("Select item by doubleclicking ..."));
    QVERIFY(dialog.StatusBar()->geometry().bottom() == dialog.height() - 1);
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(dialog.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
}

void SelectionDialogTest::centredOverTheParentOrTheScreen() {
    QWidget parent;
    parent.setGeometry(100, 120, 800, 525);
    parent.show();
    SelectionDialog over(Request("T", "p", {}), &parent);
    const QRect frame = parent.frameGeometry();
    QCOMPARE(over.pos(), QPoint(frame.left() + 400 - 200, frame.top() + 262 - 150));
    SelectionDialog alone(Request("T", "p", {}), nullptr);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(alone.pos(), screen.center() - QPoint(200, 150));
}

void SelectionDialogTest::resizingGrowsPromptAndList() {
    SelectionDialog dialog(Request("T", "p", {{"x", ""}}), nullptr);
    dialog.show();
    dialog.resize(500, 350);
    QCOMPARE(dialog.List()->geometry(), QRect(5, 30, 490, 285));
    QCOMPARE(dialog.Prompt()->geometry(), QRect(5, 5, 490, 20));
    dialog.resize(400, 300);
    QCOMPARE(dialog.List()->geometry(), QRect(5, 30, 390, 235));
}

void SelectionDialogTest::doubleClickChoosesSingleClickDoesNot() {
    bool stillOpenAfterClick = false;
    WhenOpen([&](SelectionDialog& dialog) {
        ListView& list = *dialog.List();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, 1));
        QCoreApplication::processEvents();
        stillOpenAfterClick = dialog.isVisible() && list.Data().FirstSelectedRow() == 1;
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, 1));
    });
    const std::optional<std::size_t> answer =
        SelectFromList(Request("Tickscope", "Select thread to add checks for ...",
                               {{"3", "***main***"}, {"7", "Worker"}}, 50, 325),
                       nullptr);
    QVERIFY(stillOpenAfterClick);
    QCOMPARE(answer, std::optional<std::size_t>(1));
    QVERIFY(!QApplication::activeModalWidget());
}

void SelectionDialogTest::enterChoosesTheSelectedRow_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("selected"); // -1: none
    QTest::addColumn<int>("answer");   // -1: the dialog stays open
    QTest::newRow("Return on the second row") << int(Qt::Key_Return) << 1 << 1;
    QTest::newRow("keypad Enter on the first row") << int(Qt::Key_Enter) << 0 << 0;
    QTest::newRow("Return without a selection") << int(Qt::Key_Return) << -1 << -1;
    QTest::newRow("another key") << int(Qt::Key_Space) << 1 << -1;
}

void SelectionDialogTest::enterChoosesTheSelectedRow() {
    QFETCH(int, key);
    QFETCH(int, selected);
    QFETCH(int, answer);
    bool open = false;
    WhenOpen([&](SelectionDialog& dialog) {
        ListView& list = *dialog.List();
        list.Data().SelectOnly(selected);
        list.ShowSelectionFromData();
        list.setFocus();
        QTest::keyClick(&list, Qt::Key(key));
        QCoreApplication::processEvents();
        open = dialog.isVisible();
        dialog.reject();
    });
    const std::optional<std::size_t> chosen =
        SelectFromList(Request("T", "p", {{"3", "a"}, {"7", "b"}}), nullptr);
    QCOMPARE(open, answer < 0);
    QCOMPARE(chosen, answer < 0 ? std::optional<std::size_t>()
                                : std::optional<std::size_t>(static_cast<std::size_t>(answer)));
}

void SelectionDialogTest::closingGivesNoAnswer() {
    WhenOpen([](SelectionDialog& dialog) {
        ListView& list = *dialog.List();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, 0));
        dialog.close();
    });
    QCOMPARE(SelectFromList(Request("T", "p", {{"3", "a"}}), nullptr),
             std::optional<std::size_t>());
    // A double-click where there is no row chooses nothing either.
    WhenOpen([](SelectionDialog& dialog) {
        ListView& list = *dialog.List();
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, QPoint(50, 200));
        QCoreApplication::processEvents();
        QVERIFY(dialog.isVisible());
        dialog.reject();
    });
    QCOMPARE(SelectFromList(Request("T", "p", {{"3", "a"}}), nullptr),
             std::optional<std::size_t>());
}

QTEST_MAIN(SelectionDialogTest)
#include "selection_dialog_test.moc"
