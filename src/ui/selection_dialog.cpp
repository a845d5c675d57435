#include "ui/selection_dialog.h"

#include "source/text_utils.h"
#include "ui/list_view.h"
#include "ui/qt_text.h"

#include <QGuiApplication>
#include <QLabel>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>

namespace tickscope {

namespace {
std::vector<std::string> SplitFields(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

constexpr int kMargin = 5;
constexpr int kListTop = 30;
constexpr int kPromptHeight = 20;
constexpr int kBelowList = 65 - kListTop; // list height = client height - 65
} // namespace

SelectionListContent ParseSelectionList(const std::string& columnTitles,
                                        const std::string& columnWidths, const std::string& rows) {
    SelectionListContent content;
    const std::vector<std::string> titles = SplitFields(columnTitles, '|');
    const std::vector<std::string> widths = SplitFields(columnWidths, '|');
    for (std::size_t i = 0; i < titles.size(); ++i) {
        const int width = i < widths.size() ? ParseInteger32(widths[i]) : 0;
        content.List.Columns.push_back({titles[i], width < 0 ? 0 : width});
    }
    if (!rows.empty()) {
        std::vector<std::string> pieces = SplitFields(rows, '\n');
        if (pieces.back().empty()) {
            pieces.pop_back(); // the line feed that ends the last row
        }
        for (const std::string& piece : pieces) {
            content.List.AddRow(SplitFields(piece, '|'));
            content.RowTexts.push_back(piece);
        }
    }
    return content;
}

SelectionDialog::SelectionDialog(const std::string& title, const std::string& prompt,
                                 const std::string& columnTitles, const std::string& columnWidths,
                                 const std::string& rows, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      content_(ParseSelectionList(columnTitles, columnWidths, rows)) {
    setWindowTitle(ToQt(title));
    setModal(true);
    setSizeGripEnabled(false);
    prompt_ = new QLabel(ToQt(prompt), this);
    prompt_->setObjectName("Prompt");
    list_ = new ListView(content_.List, ListView::Selection::Single, this);
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

    connect(list_, &QAbstractItemView::doubleClicked, this, [this] {
        const int row = content_.List.FirstSelectedRow();
        if (row >= 0 && row < static_cast<int>(content_.RowTexts.size())) {
            answer_ = content_.RowTexts[static_cast<std::size_t>(row)];
            accept();
        }
    });
}

SelectionDialog::~SelectionDialog() {
    delete list_; // its model reads content_, which goes first otherwise
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

std::string SelectFromList(const std::string& title, const std::string& prompt,
                           const std::string& columnTitles, const std::string& columnWidths,
                           const std::string& rows, QWidget* parent) {
    SelectionDialog dialog(title, prompt, columnTitles, columnWidths, rows, parent);
    dialog.exec();
    return dialog.Answer();
}

} // namespace tickscope
