#pragma once

#include "analysis/check_actions.h"
#include "ui/list_data.h"

#include <QDialog>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QStatusBar;

namespace tickscope {

class ListView;

// What a selection dialog shows: a title, a prompt, the columns (title and width in
// pixels) and one row of cell texts per choice.
struct SelectionRequest {
    std::string Title;
    std::string Prompt;
    std::vector<ListColumn> Columns;
    std::vector<std::vector<std::string>> Rows;
};

// The dialog that a check action's choice opens: its prompt and columns, and one row per
// source file (id, path) or thread (id, scope).
SelectionRequest RequestFor(ChoiceKind kind, const std::vector<ChoiceRow>& rows);

// A small modal tool window with a prompt and a list; a double-click on a row, or Enter on
// the selected row, chooses it.
class SelectionDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kWidth = 400;
    static constexpr int kHeight = 300;
    static constexpr const char* kStatusText = "Select item by doubleclicking ...";

    SelectionDialog(const SelectionRequest& request, QWidget* parent);
    ~SelectionDialog() override;

    // The index of the chosen row, nothing while none was chosen.
    std::optional<std::size_t> Answer() const { return answer_; }
    ListView* List() const { return list_; }
    QLabel* Prompt() const { return prompt_; }
    QStatusBar* StatusBar() const { return statusBar_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void PlaceOverParent(QWidget* parent);

    ListData rows_;
    std::optional<std::size_t> answer_;
    QLabel* prompt_ = nullptr;
    ListView* list_ = nullptr;
    QStatusBar* statusBar_ = nullptr;
};

// Shows the dialog until a row is chosen or the dialog is closed and returns the
// chosen row's index (nothing without a choice). The dialog is modal: the other windows of
// the application receive no input while it is open.
std::optional<std::size_t> SelectFromList(const SelectionRequest& request, QWidget* parent);

// Asks with the selection dialog, centred over the parent (the main window).
class DialogListChooser : public ListChooser {
  public:
    explicit DialogListChooser(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }
    std::optional<std::size_t> Choose(ChoiceKind kind, const std::vector<ChoiceRow>& rows) override;

  private:
    QWidget* parent_;
};

} // namespace tickscope
