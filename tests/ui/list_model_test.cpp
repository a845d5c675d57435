// The table model and view over list rows: roles, check toggles, refresh signals, selection.
#include "ui/list_view.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

using namespace tickscope;

namespace {
ListData CheckList(int rows) {
    ListData data;
    data.Columns = {{"", 20}, {"ID", 50}, {"Scope", 155}};
    data.HasCheckBoxes = true;
    for (int i = 0; i < rows; ++i) {
        ListRow& row = data.AddRow({"", std::to_string(i), "scope" + std::to_string(i)});
        row.Checked = i % 2 == 0;
    }
    return data;
}
ListData PlainList(int rows) {
    ListData data;
    data.Columns = {{"ID", 25}, {"File", 200}};
    for (int i = 0; i < rows; ++i) {
        data.AddRow({std::to_string(i + 1), "file" + std::to_string(i)});
    }
    return data;
}
} // namespace

class ListModelTest : public QObject {
    Q_OBJECT
  private slots:
    void modelTesterAcceptsEveryShape_data();
    void modelTesterAcceptsEveryShape();
    void rolesServeTheCells();
    void checkStateOnlyInTheFirstColumnOfCheckLists_data();
    void checkStateOnlyInTheFirstColumnOfCheckLists();
    void togglingACheckWritesBack();
    void refreshOfSameRowCountIsOneSignal();
    void refreshOfNewRowCountResets();
    void rowsRemovedBeforeRefreshAreNeverRead();
    void viewShowsColumnsAndKeepsWidths();
    void selectionFollowsTheUserAndTheData();
};

void ListModelTest::modelTesterAcceptsEveryShape_data() {
    QTest::addColumn<bool>("checks");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("rowsAfter");
    QTest::newRow("empty check list, filled") << true << 0 << 5;
    QTest::newRow("check list emptied") << true << 7 << 0;
    QTest::newRow("plain list, same count") << false << 3 << 3;
    QTest::newRow("plain list grows") << false << 2 << 1000;
}

void ListModelTest::modelTesterAcceptsEveryShape() {
    QFETCH(bool, checks);
    QFETCH(int, rows);
    QFETCH(int, rowsAfter);
    ListData data = checks ? CheckList(rows) : PlainList(rows);
    ListModel model(data);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), rows);
    data = checks ? CheckList(rowsAfter) : PlainList(rowsAfter);
    model.Refresh();
    QCOMPARE(model.rowCount(), rowsAfter);
    QCOMPARE(model.columnCount(), checks ? 3 : 2);
    if (checks && rowsAfter > 0) {
        model.setData(model.index(0, 0), Qt::Unchecked, Qt::CheckStateRole);
        QVERIFY(!data.Rows[0].Checked);
    }
}

void ListModelTest::rolesServeTheCells() {
    ListData data = PlainList(2);
    data.Rows[1].Cells[1].Text = "caf\xe9";
    data.Rows[1].Cells[1].TextColour = MakeRgb(200, 0, 0);
    data.Rows[1].Cells[1].Background = MakeRgb(255, 255, 0);
    ListModel model(data);
    const QModelIndex cell = model.index(1, 1);
    QCOMPARE(model.data(cell).toString(), QString::fromLatin1("caf\xe9"));
    QCOMPARE(model.data(cell, Qt::ForegroundRole).value<QColor>(), QColor(200, 0, 0));
    QCOMPARE(model.data(cell, Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 0));
    QCOMPARE(model.data(model.index(0, 0), Qt::BackgroundRole).value<QColor>(),
             QColor(255, 255, 255));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QString("File"));
    QVERIFY(!model.headerData(2, Qt::Horizontal).isValid());
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
}

void ListModelTest::checkStateOnlyInTheFirstColumnOfCheckLists_data() {
    QTest::addColumn<bool>("checks");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("checkable");
    QTest::newRow("check list, column 0") << true << 0 << true;
    QTest::newRow("check list, column 1") << true << 1 << false;
    QTest::newRow("plain list, column 0") << false << 0 << false;
}

void ListModelTest::checkStateOnlyInTheFirstColumnOfCheckLists() {
    QFETCH(bool, checks);
    QFETCH(int, column);
    QFETCH(bool, checkable);
    ListData data = checks ? CheckList(3) : PlainList(3);
    ListModel model(data);
    const QModelIndex index = model.index(0, column);
    QCOMPARE(model.data(index, Qt::CheckStateRole).isValid(), checkable);
    QCOMPARE(bool(model.flags(index) & Qt::ItemIsUserCheckable), checkable);
    QCOMPARE(model.setData(index, Qt::Unchecked, Qt::CheckStateRole), checkable);
    QCOMPARE(model.setData(index, "text", Qt::EditRole), false);
    if (checkable) {
        QCOMPARE(model.data(index, Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    }
}

void ListModelTest::togglingACheckWritesBack() {
    ListData data = CheckList(4);
    ListModel model(data);
    QSignalSpy toggled(&model, &ListModel::CheckToggled);
    QVERIFY(!data.Rows[1].Checked);
    QVERIFY(model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(data.Rows[1].Checked);
    QCOMPARE(toggled.count(), 1);
    QCOMPARE(toggled.at(0).at(0).toInt(), 1);
    // Setting the state it already has is no toggle.
    QVERIFY(model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(toggled.count(), 1);
    QVERIFY(model.setData(model.index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
    QVERIFY(!data.Rows[0].Checked);
    QCOMPARE(toggled.count(), 2);
}

void ListModelTest::refreshOfSameRowCountIsOneSignal() {
    ListData data = CheckList(100000);
    ListModel model(data);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    data.Rows[99999].Cells[2].Text = "changed";
    QVERIFY(!model.Refresh());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(reset.count(), 0);
    const auto topLeft = changed.at(0).at(0).value<QModelIndex>();
    const auto bottomRight = changed.at(0).at(1).value<QModelIndex>();
    QCOMPARE(topLeft, model.index(0, 0));
    QCOMPARE(bottomRight, model.index(99999, 2));
    QCOMPARE(model.data(model.index(99999, 2)).toString(), QString("changed"));
}

void ListModelTest::refreshOfNewRowCountResets() {
    ListData data = PlainList(3);
    ListModel model(data);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    data.AddRow({"4", "four"});
    QVERIFY(model.Refresh());
    QCOMPARE(reset.count(), 1);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(model.rowCount(), 4);
    data.Clear();
    QVERIFY(model.Refresh());
    QCOMPARE(model.rowCount(), 0);
    // Nothing to announce for an empty list.
    QVERIFY(!model.Refresh());
    QCOMPARE(changed.count(), 0);
}

void ListModelTest::rowsRemovedBeforeRefreshAreNeverRead() {
    ListData data = CheckList(5);
    ListModel model(data);
    data.Clear(); // the analysis empties the list; the view still knows five rows
    QCOMPARE(model.rowCount(), 5);
    QVERIFY(!model.data(model.index(4, 1)).isValid());
    QVERIFY(!model.data(model.index(4, 0), Qt::CheckStateRole).isValid());
    QCOMPARE(model.flags(model.index(4, 1)), Qt::NoItemFlags);
    QVERIFY(!model.setData(model.index(4, 0), Qt::Checked, Qt::CheckStateRole));
}

void ListModelTest::viewShowsColumnsAndKeepsWidths() {
    ListData data = CheckList(3);
    ListView view(data, ListView::Selection::Single);
    QCOMPARE(view.ColumnWidth(0), 20);
    QCOMPARE(view.ColumnWidth(1), 50);
    QCOMPARE(view.ColumnWidth(2), 155);
    view.horizontalHeader()->resizeSection(1, 70);
    QCOMPARE(data.Columns[1].Width, 70);
    // A reset (other row count) keeps the width the user gave.
    data.AddRow({"", "9", "x"});
    view.Refresh();
    QCOMPARE(view.ColumnWidth(1), 70);
    QCOMPARE(view.selectionBehavior(), QAbstractItemView::SelectRows);
}

void ListModelTest::selectionFollowsTheUserAndTheData() {
    ListData data = PlainList(50);
    ListView view(data, ListView::Selection::Multiple);
    view.resize(200, 100);
    QSignalSpy changed(&view, &ListView::Changed);
    // The user selects a row.
    view.selectionModel()->select(view.Model().index(7, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCOMPARE(data.FirstSelectedRow(), 7);
    QCOMPARE(changed.count(), 1);
    // The analysis selects another; the view follows without reporting a user change.
    data.SelectOnly(42);
    view.ShowSelectionFromData();
    QCOMPARE(changed.count(), 1);
    const QModelIndexList rows = view.selectionModel()->selectedRows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().row(), 42);
    QCOMPARE(view.currentIndex().row(), 42);
    data.SelectOnly(-1);
    view.ShowSelectionFromData();
    QVERIFY(view.selectionModel()->selectedRows().isEmpty());
    QCOMPARE(data.FirstSelectedRow(), -1);
}

QTEST_MAIN(ListModelTest)
#include "list_model_test.moc"
