// The selection requester: parsing of its texts, layout, choosing by double-click, closing.
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
} // namespace

class SelectionDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void parsing_data();
    void parsing();
    void layout();
    void centredOverTheParentOrTheScreen();
    void resizingGrowsPromptAndList();
    void doubleClickChoosesSingleClickDoesNot();
    void closingGivesNoAnswer();
};

void SelectionDialogTest::parsing_data() {
    QTest::addColumn<QString>("titles");
    QTest::addColumn<QString>("widths");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QStringList>("columns"); // "title:width"
    QTest::addColumn<QStringList>("rowTexts");
    QTest::addColumn<QStringList>("firstRowCells");
    QTest::newRow("two rows, each ending in a line feed")
        << "ID|File"
        << "25|350"
        << "3|a.pb\n7|b.pb\n"
        << QStringList{"ID:25", "File:350"} << QStringList{"3|a.pb", "7|b.pb"}
        << QStringList{"3", "a.pb"};
    QTest::newRow("last row without a line feed")
        << "ID|Procedure"
        << "50|325"
        << "1|***main***\n2|Worker" << QStringList{"ID:50", "Procedure:325"}
        << QStringList{"1|***main***", "2|Worker"} << QStringList{"1", "***main***"};
    QTest::newRow("no rows") << "ID|File"
                             << "25|350"
                             << "" << QStringList{"ID:25", "File:350"} << QStringList{}
                             << QStringList{};
    QTest::newRow("width not a number, width missing")
        << "A|B|C"
        << "x|12"
        << "1|2|3\n"
        << QStringList{"A:0", "B:12", "C:0"} << QStringList{"1|2|3"} << QStringList{"1", "2", "3"};
    QTest::newRow("surplus widths ignored")
        << "A"
        << "10|20|30"
        << "only\n"
        << QStringList{"A:10"} << QStringList{"only"} << QStringList{"only"};
    QTest::newRow("an empty row in the middle stays")
        << "A"
        << "10"
        << "x\n\ny\n"
        << QStringList{"A:10"} << QStringList{"x", "", "y"} << QStringList{"x"};
}

void SelectionDialogTest::parsing() {
    QFETCH(QString, titles);
    QFETCH(QString, widths);
    QFETCH(QString, rows);
    QFETCH(QStringList, columns);
    QFETCH(QStringList, rowTexts);
    QFETCH(QStringList, firstRowCells);
    const SelectionListContent content =
        ParseSelectionList(titles.toStdString(), widths.toStdString(), rows.toStdString());
    QStringList actualColumns;
    for (const ListColumn& column : content.List.Columns) {
        actualColumns << QString::fromStdString(column.Title) + ":" + QString::number(column.Width);
    }
    QCOMPARE(actualColumns, columns);
    QStringList actualRows;
    for (const std::string& row : content.RowTexts) {
        actualRows << QString::fromStdString(row);
    }
    QCOMPARE(actualRows, rowTexts);
    QCOMPARE(content.List.RowCount(), std::size_t(rowTexts.size()));
    QStringList cells;
    if (!content.List.Rows.empty()) {
        for (const ListCell& cell : content.List.Rows.front().Cells) {
            cells << QString::fromStdString(cell.Text);
        }
    }
    QCOMPARE(cells, firstRowCells);
    QVERIFY(!content.List.HasCheckBoxes);
}

void SelectionDialogTest::layout() {
    SelectionDialog dialog("Tickscope", "Select sourcefile to add checks for ...", "ID|File",
                           "25|350", "3|a\n7|b\n", nullptr);
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
    SelectionDialog over("T", "p", "A", "10", "", &parent);
    const QRect frame = parent.frameGeometry();
    QCOMPARE(over.pos(), QPoint(frame.left() + 400 - 200, frame.top() + 262 - 150));
    SelectionDialog alone("T", "p", "A", "10", "", nullptr);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(alone.pos(), screen.center() - QPoint(200, 150));
}

void SelectionDialogTest::resizingGrowsPromptAndList() {
    SelectionDialog dialog("T", "p", "A", "10", "x\n", nullptr);
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
    const std::string answer =
        SelectFromList("Tickscope", "Select thread to add checks for ...", "ID|Procedure", "50|325",
                       "3|***main***\n7|Worker\n", nullptr);
    QVERIFY(stillOpenAfterClick);
    QCOMPARE(answer, std::string("7|Worker"));
    QVERIFY(!QApplication::activeModalWidget());
}

void SelectionDialogTest::closingGivesNoAnswer() {
    WhenOpen([](SelectionDialog& dialog) {
        ListView& list = *dialog.List();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, 0));
        dialog.close();
    });
    QCOMPARE(SelectFromList("T", "p", "ID|File", "25|350", "3|a\n", nullptr), std::string());
    // A double-click where there is no row chooses nothing either.
    WhenOpen([](SelectionDialog& dialog) {
        ListView& list = *dialog.List();
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, QPoint(50, 200));
        QCoreApplication::processEvents();
        QVERIFY(dialog.isVisible());
        dialog.reject();
    });
    QCOMPARE(SelectFromList("T", "p", "ID|File", "25|350", "3|a\n", nullptr), std::string());
}

QTEST_MAIN(SelectionDialogTest)
#include "selection_dialog_test.moc"
