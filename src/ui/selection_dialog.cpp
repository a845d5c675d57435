#include "ui/selection_dialog.h"

#include "platform/requesters.h"
#include "ui/list_view.h"
#include "ui/qt_text.h"

#include <QGuiApplication>
#include <QLabel>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>

namespace tickscope {

namespace {
constexpr int kMargin = 5;
constexpr int kListTop = 30;
constexpr int kPromptHeight = 20;
constexpr int kBelowList = 65 - kListTop; // list height = client height - 65

const char* PromptOf(ChoiceKind kind) {
    switch (kind) {
    case ChoiceKind::SourceFileToCheck:
        return "Select sourcefile to add checks for ...";
    case ChoiceKind::SourceFileToUncheck:
        return "Select sourcefile to remove checks for ...";
    case ChoiceKind::ThreadToCheck:
        return "Select thread to add checks for ...";
    case ChoiceKind::ThreadToUncheck:
        break;
    }
    return "Select thread to remove checks for ...";
}

bool ChoosesSourceFile(ChoiceKind kind) {
    return kind == ChoiceKind::SourceFileToCheck || kind == ChoiceKind::SourceFileToUncheck;
}
} // namespace

SelectionRequest RequestFor(ChoiceKind kind, const std::vector<ChoiceRow>& rows) {
    SelectionRequest request;
    request.Title = kTickscopeTitle;
    request.Prompt = PromptOf(kind);
    request.Columns = ChoosesSourceFile(kind)
                          ? std::vector<ListColumn>{{"ID", 25}, {"File", 350}}
                          : std::vector<ListColumn>{{"ID", 50}, {"Procedure", 325}};
    for (const ChoiceRow& row : rows) {
        request.Rows.push_back({std::to_string(row.Id), row.Name});
    }
    return request;
}

SelectionDialog::SelectionDialog(const SelectionRequest& request, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
    rows_.Columns = request.Columns;
    for (const std::vector<std::string>& cells : request.Rows) {
        rows_.AddRow(cells);
    }
    setWindowTitle(ToQt(request.Title));
    setModal(true);
    setSizeGripEnabled(false);
    prompt_ = new QLabel(ToQt(request.Prompt), this);
    prompt_->setObjectName("Prompt");
    list_ = new ListView(rows_, ListView::Selection::Single, this);
    list_->setObjectName("List");
    statusBar_ = new QStatusBar(this);
    statusBar_->setObjectName("StatusBar");
    statusBar_->setSizeGripEnabled(true);
    statusBar_->setStyleSheet("QStatusBar::item { border: none; }");
    auto* status = new QLabel(kStatusText, statusBar_);
    status->setFixedWidth(kWidth);
    statusBar_->addWidget(status);
    prompt_->setGeometry(kMargin, kMargin, kWidth - 2 * kMargin, kPromptHeight);
    list_->setGeometry(kMargin, kListTop, kWidth - 2 * kMargin, kHeight - kListTop - kBelowList);
    resize(kWidth, kHeight);
    PlaceOverParent(parent);

    // A double-click on a row, or Enter while a row is selected, chooses it.
    const auto choose = [this] {
        const int row = rows_.FirstSelectedRow();
        if (row >= 0) {
            answer_ = static_cast<std::size_t>(row);
            accept();
        }
    };
    connect(list_, &QAbstractItemView::doubleClicked, this, choose);
    connect(list_, &ListView::EnterPressed, this, choose);
}

SelectionDialog::~SelectionDialog() {
    delete list_; // its model reads rows_, which goes first otherwise
}

void SelectionDialog::PlaceOverParent(QWidget* parent) {
    if (parent) {
        const QRect outer = parent->frameGeometry();
        move(outer.left() + parent->width() / 2 - kWidth / 2,
             outer.top() + parent->height() / 2 - kHeight / 2);
        return;
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kWidth / 2, kHeight / 2));
    }
}

void SelectionDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int w = width();
    const int h = height();
    prompt_->resize(w - 2 * kMargin, prompt_->height());
    list_->resize(w - 2 * kMargin, h - kListTop - kBelowList);
    const int statusHeight = statusBar_->sizeHint().height();
    statusBar_->setGeometry(0, h - statusHeight, w, statusHeight);
}

std::optional<std::size_t> SelectFromList(const SelectionRequest& request, QWidget* parent) {
    SelectionDialog dialog(request, parent);
    dialog.exec();
    return dialog.Answer();
}

std::optional<std::size_t> DialogListChooser::Choose(ChoiceKind kind,
                                                     const std::vector<ChoiceRow>& rows) {
    return SelectFromList(RequestFor(kind, rows), parent_);
}

} // namespace tickscope
