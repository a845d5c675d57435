#pragma once

#include "analysis/list_data.h"

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QStatusBar;

namespace tickscope {

class ListView;

// The columns and rows of a selection list, read from the caller's plain texts: titles and
// widths separated by "|", rows separated by line feeds (a final line feed adds no row),
// cells separated by "|". A width that is not a number, or a missing one, is 0.
struct SelectionListContent {
    ListData List;
    std::vector<std::string> RowTexts; // each row exactly as the caller wrote it
};
SelectionListContent ParseSelectionList(const std::string& columnTitles,
                                        const std::string& columnWidths, const std::string& rows);

// A small modal tool window with a prompt and a list; a double-click on a row chooses it.
class SelectionDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kWidth = 400;
    static constexpr int kHeight = 300;
    static constexpr const char* kStatusText = "Select item by doubleclicking ...";

    SelectionDialog(const std::string& title, const std::string& prompt,
                    const std::string& columnTitles, const std::string& columnWidths,
                    const std::string& rows, QWidget* parent);
    ~SelectionDialog() override;

    // The chosen row's text, empty while none was chosen.
    const std::string& Answer() const { return answer_; }
    ListView* List() const { return list_; }
    QLabel* Prompt() const { return prompt_; }
    QStatusBar* StatusBar() const { return statusBar_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void PlaceOverParent(QWidget* parent);

    SelectionListContent content_;
    std::string answer_;
    QLabel* prompt_ = nullptr;
    ListView* list_ = nullptr;
    QStatusBar* statusBar_ = nullptr;
};

// Shows the dialog until a row is double-clicked or the dialog is closed and returns the
// chosen row's text (empty without a choice). The dialog is modal: the other windows of
// the application receive no input while it is open.
std::string SelectFromList(const std::string& title, const std::string& prompt,
                           const std::string& columnTitles, const std::string& columnWidths,
                           const std::string& rows, QWidget* parent);

} // namespace tickscope
