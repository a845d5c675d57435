#pragma once

#include "ui/list_data.h"
#include "ui/ui_ids.h"

#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>

class QComboBox;
class QGroupBox;
class QMenu;
class QPushButton;

namespace tickscope {

class ListView;

// The default font at a size that fits the fixed control sizes.
QFont DialogFont(QFont font);

// The image display of the bird's view: reports clicks, double-clicks and right clicks.
class BirdsViewLabel : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;
  signals:
    void Clicked(ControlEventType type, int mouseY);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// The analyzer's main window: every control at its fixed place, addressed by its id. The
// lists show the rows of AnalyzerLists. User actions become AnalyzerEvents handed to the
// event handler; the handler returns false when it drops an event (a close is then refused).
class MainWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kClientWidth = 800;
    static constexpr int kClientHeight = 525;
    static constexpr const char* kTitle = "Tickscope by Quillmere";

    // Creates the window, hidden and centred on the screen, with the controls 1 to 17.
    explicit MainWindow(AnalyzerLists& lists);
    ~MainWindow() override;

    using EventHandler = std::function<bool(const AnalyzerEvent&)>;
    void SetEventHandler(EventHandler handler) { handler_ = std::move(handler); }

    // Steps of building the window, in the order the analyzer calls them.
    void ExtendTitleWithBuild();
    void SetReportFont(const QFont& font);
    void HideBirdsViewHelper();
    void FillModeCombo();
    void CreateActionsMenu();
    // The report's context menu: the hot spots.
    void CreateReportMenu();
    // The run list's context menu on a run: the comparison with the loaded run.
    void CreateRunMenu();
    void AddShortcuts();
    void DisableReportButton();

    // The control with this id, nullptr when it does not exist.
    QWidget* Control(int id) const;
    ListView* List(int id) const;
    QComboBox* Combo(int id) const;
    QPushButton* Button(int id) const;
    BirdsViewLabel* BirdsViewImage() const { return birdsView_; }
    QMenu* ActionsMenu() const { return actionsMenu_; }
    QMenu* ReportMenu() const { return reportMenu_; }
    QMenu* RunMenu() const { return runMenu_; }
    // The row of the run list the run menu was last opened on, -1 before.
    int MenuRunRow() const { return menuRunRow_; }
    AnalyzerLists& Lists() { return lists_; }

    // Shows a drop-down list's entries and selection as its ComboData holds them.
    void ShowCombo(int id);
    // Opens the actions menu at the mouse position and waits until it closes.
    void ShowActionsMenu();
    // Keeps the hits button, the mode list and the time button over their report columns.
    void AlignColumnButtons();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    bool Post(const AnalyzerEvent& event);
    ListView* AddList(int id, ListData& data, bool multipleSelection, QRect place);
    QGroupBox* AddFrame(int id, const char* caption, QRect place);
    QPushButton* AddButton(int id, const char* caption, QRect place);
    QComboBox* AddCombo(int id, QRect place);
    void Register(int id, QWidget* control);

    AnalyzerLists& lists_;
    EventHandler handler_;
    std::map<int, QPointer<QWidget>> controls_;
    BirdsViewLabel* birdsView_ = nullptr;
    QMenu* actionsMenu_ = nullptr;
    QMenu* reportMenu_ = nullptr;
    QMenu* runMenu_ = nullptr;
    int menuRunRow_ = -1;
};

} // namespace tickscope
