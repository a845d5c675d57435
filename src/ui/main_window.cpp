#include "ui/main_window.h"

#include "tickscope_version.h"
#include "ui/action_menu.h"
#include "ui/list_view.h"
#include "ui/qt_text.h"
#include "ui/report_commands.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>

namespace tickscope {

void BirdsViewLabel::mousePressEvent(QMouseEvent* event) {
    const int y = mapTo(window(), event->position().toPoint()).y();
    emit Clicked(event->button() == Qt::RightButton ? ControlEventType::RightClick
                                                    : ControlEventType::LeftClick,
                 y);
}

void BirdsViewLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    emit Clicked(ControlEventType::DoubleClick, mapTo(window(), event->position().toPoint()).y());
}

QFont DialogFont(QFont font) {
    // The controls are sized for a small dialog font: the default family at 8 points, or a
    // little smaller where that family is too wide for a run's timestamp in its column.
    constexpr const char* kWidestTimestamp = "2000/00/00-00:00:00";
    constexpr int kRoom = 120 - 10; // the "Timestamp" column less the cell's margins
    for (qreal size = 8.0; size >= 6.5; size -= 0.5) {
        font.setPointSizeF(size);
        if (QFontMetrics(font).horizontalAdvance(kWidestTimestamp) <= kRoom) {
            break;
        }
    }
    return font;
}

MainWindow::MainWindow(AnalyzerLists& lists) : QWidget(nullptr), lists_(lists) {
    setObjectName("MainWindow");
    setFont(DialogFont(font()));
    setWindowTitle(kTitle);
    const QSize client(kClientWidth, kClientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, client,
                                        screen->availableGeometry()));
    } else {
        resize(client);
    }

    // The controls in the order of their ids.
    birdsView_ = new BirdsViewLabel(this);
    birdsView_->setGeometry(771, 54, 20, 424);
    Register(kBirdsViewImage, birdsView_);
    connect(birdsView_, &BirdsViewLabel::Clicked, this, [this](ControlEventType type, int y) {
        Post(AnalyzerEvent::Control(kBirdsViewImage, type, y));
    });
    ListView* report = AddList(kReportList, lists_.ReportList, true, {280, 35, 490, 480});
    report->setShowGrid(true);
    // The three controls above the columns follow a column border while it is dragged.
    connect(report->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this] { AlignColumnButtons(); });
    ListView* sourceFiles =
        AddList(kSourceFileList, lists_.SourceFileList, false, {20, 170, 245, 100});
    // Long paths lose their middle: the file names of one project stay apart.
    sourceFiles->setTextElideMode(Qt::ElideMiddle);
    AddList(kThreadList, lists_.ThreadList, false, {20, 310, 245, 130});
    AddFrame(kRunsFrame, "Tickscoped Runs", {10, 10, 265, 130});
    AddFrame(kSourceFilesFrame, "Source Files", {10, 150, 265, 130});
    AddFrame(kThreadsFrame, "Threads", {10, 290, 265, 160});
    AddFrame(kActionsFrame, "Actions", {10, 460, 265, 55});
    AddCombo(kProgramCombo, {20, 30, 245, 20});
    ListView* runs = AddList(kRunList, lists_.RunList, false, {20, 55, 245, 75});
    // Enter on a run loads it, as a click does.
    connect(runs, &ListView::EnterPressed, this,
            [this] { Post(AnalyzerEvent::Control(kRunList, ControlEventType::LeftClick)); });
    AddButton(kReportButton, "Report", {20, 485, 60, 20});
    AddButton(kActionsButton, "...", {281, 15, 21, 20});
    AddButton(kRefreshButton, "Refresh", {86, 485, 54, 20});
    AddCombo(kModeCombo, {440, 15, 50, 20});
    QPushButton* helper = AddButton(kBirdsViewHelper, "BirdsView_Helper", {771, 54, 18, 424});
    helper->setFocusPolicy(Qt::NoFocus);
    AddButton(kTimeScaleButton, "ff=max", {490, 15, 60, 20});
    AddButton(kHitsScaleButton, "ff=max", {380, 15, 60, 20});
}

MainWindow::~MainWindow() = default;

void MainWindow::Register(int id, QWidget* control) {
    control->setProperty("controlId", id);
    controls_[id] = control;
}

ListView* MainWindow::AddList(int id, ListData& data, bool multipleSelection, QRect place) {
    auto* list = new ListView(
        data, multipleSelection ? ListView::Selection::Multiple : ListView::Selection::Single,
        this);
    list->setGeometry(place);
    Register(id, list);
    connect(list, &ListView::Changed, this,
            [this, id] { Post(AnalyzerEvent::Control(id, ControlEventType::Change)); });
    connect(list, &ListView::LeftClicked, this,
            [this, id] { Post(AnalyzerEvent::Control(id, ControlEventType::LeftClick)); });
    return list;
}

QGroupBox* MainWindow::AddFrame(int id, const char* caption, QRect place) {
    auto* frame = new QGroupBox(caption, this);
    frame->setGeometry(place);
    // A frame only surrounds the controls placed on it; it stays beneath them so that
    // they keep receiving the mouse.
    frame->lower();
    Register(id, frame);
    return frame;
}

QPushButton* MainWindow::AddButton(int id, const char* caption, QRect place) {
    auto* button = new QPushButton(caption, this);
    button->setGeometry(place);
    button->setAutoDefault(false);
    Register(id, button);
    connect(button, &QPushButton::clicked, this,
            [this, id] { Post(AnalyzerEvent::Control(id, ControlEventType::LeftClick)); });
    return button;
}

QComboBox* MainWindow::AddCombo(int id, QRect place) {
    auto* combo = new QComboBox(this);
    combo->setEditable(false);
    combo->setGeometry(place);
    Register(id, combo);
    connect(combo, &QComboBox::activated, this, [this, id](int index) {
        ComboData& data = id == kProgramCombo ? lists_.ProgramCombo : lists_.ModeCombo;
        data.Selected = index;
        Post(AnalyzerEvent::Control(id, ControlEventType::Change));
    });
    return combo;
}

void MainWindow::ExtendTitleWithBuild() {
    setWindowTitle(windowTitle() + " (Build " + QString::number(kTickscopeBuildNumber) + ")");
}

void MainWindow::SetReportFont(const QFont& font) {
    List(kReportList)->setFont(font);
}

void MainWindow::HideBirdsViewHelper() {
    Control(kBirdsViewHelper)->hide();
}

void MainWindow::FillModeCombo() {
    lists_.ModeCombo.Entries = TimeModeNames();
    lists_.ModeCombo.Selected = 0;
    ShowCombo(kModeCombo);
}

void MainWindow::CreateActionsMenu() {
    actionsMenu_ = new QMenu(this);
    actionsMenu_->setObjectName("ActionsMenu");
    actionsMenu_->setProperty("menuId", int{kActionsMenu});
    for (const ActionMenuItem& item : kActionMenuItems) {
        if (item.SeparatorBefore) {
            actionsMenu_->addSeparator();
        }
        QAction* action = actionsMenu_->addAction(item.Caption);
        action->setData(item.ItemId);
        const int id = item.ItemId;
        connect(action, &QAction::triggered, this, [this, id] { Post(AnalyzerEvent::Menu(id)); });
    }
}

void MainWindow::CreateReportMenu() {
    reportMenu_ = new QMenu(this);
    reportMenu_->setObjectName("ReportMenu");
    reportMenu_->setProperty("menuId", int{kReportMenu});
    QAction* hotSpots = reportMenu_->addAction("Hot spots\tF4");
    hotSpots->setData(int{kHotSpotsCommand});
    connect(hotSpots, &QAction::triggered, this,
            [this] { Post(AnalyzerEvent::Menu(kHotSpotsCommand)); });
    ListView* report = List(kReportList);
    report->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(report, &QWidget::customContextMenuRequested, this, [this, report](const QPoint& at) {
        reportMenu_->popup(report->viewport()->mapToGlobal(at));
    });
}

void MainWindow::CreateRunMenu() {
    runMenu_ = new QMenu(this);
    runMenu_->setObjectName("RunMenu");
    runMenu_->setProperty("menuId", int{kRunMenu});
    QAction* compare = runMenu_->addAction("Compare with\u2026");
    compare->setData(int{kCompareCommand});
    connect(compare, &QAction::triggered, this,
            [this] { Post(AnalyzerEvent::Menu(kCompareCommand)); });
    connect(runMenu_, &QMenu::aboutToHide, this,
            [this] { Post(AnalyzerEvent::Menu(kRunMenuClosed)); });
    ListView* runs = List(kRunList);
    runs->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(runs, &QWidget::customContextMenuRequested, this, [this, runs](const QPoint& at) {
        const QModelIndex index = runs->indexAt(at);
        if (!index.isValid()) {
            return; // below the last run
        }
        menuRunRow_ = index.row();
        runMenu_->popup(runs->viewport()->mapToGlobal(at));
    });
}

void MainWindow::AddShortcuts() {
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    find->setObjectName("FindCommand");
    connect(find, &QShortcut::activated, this, [this] { Post(AnalyzerEvent::Menu(kFindCommand)); });
    auto* next = new QShortcut(QKeySequence(Qt::Key_F3), this);
    next->setObjectName("FindNextCommand");
    connect(next, &QShortcut::activated, this,
            [this] { Post(AnalyzerEvent::Menu(kFindNextCommand)); });
    auto* hotSpots = new QShortcut(QKeySequence(Qt::Key_F4), this);
    hotSpots->setObjectName("HotSpotsCommand");
    connect(hotSpots, &QShortcut::activated, this,
            [this] { Post(AnalyzerEvent::Menu(kHotSpotsCommand)); });
}

void MainWindow::DisableReportButton() {
    Control(kReportButton)->setEnabled(false);
}

QWidget* MainWindow::Control(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second.data();
}

ListView* MainWindow::List(int id) const {
    return qobject_cast<ListView*>(Control(id));
}
QComboBox* MainWindow::Combo(int id) const {
    return qobject_cast<QComboBox*>(Control(id));
}
QPushButton* MainWindow::Button(int id) const {
    return qobject_cast<QPushButton*>(Control(id));
}

void MainWindow::ShowCombo(int id) {
    QComboBox* combo = Combo(id);
    if (!combo) {
        return;
    }
    const ComboData& data = id == kProgramCombo ? lists_.ProgramCombo : lists_.ModeCombo;
    const QSignalBlocker quiet(combo);
    combo->clear();
    for (const std::string& entry : data.Entries) {
        combo->addItem(ToQt(entry));
    }
    combo->setCurrentIndex(data.Selected < static_cast<int>(data.Entries.size()) ? data.Selected
                                                                                 : -1);
}

void MainWindow::ShowActionsMenu() {
    if (actionsMenu_) {
        // Not blocking: the chosen item arrives later as a menu event of its own.
        actionsMenu_->popup(QCursor::pos());
    }
}

void MainWindow::AlignColumnButtons() {
    ListView* report = List(kReportList);
    QWidget* hits = Control(kHitsScaleButton);
    QWidget* mode = Control(kModeCombo);
    QWidget* time = Control(kTimeScaleButton);
    if (!report || !hits || !mode || !time) {
        return;
    }
    ColumnButtonsNow now;
    now.ReportLeft = report->x();
    for (int i = 0; i < 5; ++i) {
        now.ColumnWidths[i] = report->ColumnWidth(i);
    }
    now.HitsLeft = hits->x();
    now.HitsWidth = hits->width();
    now.ModeWidth = mode->width();
    now.TimeWidth = time->width();
    if (const auto place = tickscope::AlignColumnButtons(now)) {
        hits->setGeometry(place->HitsLeft, hits->y(), place->HitsWidth, hits->height());
        mode->setGeometry(place->ModeLeft, mode->y(), place->ModeWidth, mode->height());
        time->setGeometry(place->TimeLeft, time->y(), place->TimeWidth, time->height());
    }
}

bool MainWindow::Post(const AnalyzerEvent& event) {
    return handler_ && handler_(event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Post(AnalyzerEvent::Resized());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (handler_ && !handler_(AnalyzerEvent::Closed())) {
        event->ignore(); // a command is still running
        return;
    }
    event->accept();
}

} // namespace tickscope
