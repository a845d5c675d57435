#include "ui/comparison_window.h"

#include "ui/list_view.h"
#include "ui/qt_text.h"

#include <QLabel>

namespace tickscope {

ComparisonWindow::ComparisonWindow(QWidget* parent)
    : TableToolWindow(parent, "ComparisonWindow", kComparisonWindowId, kTitle) {
    resize(760, 400);
    procedures_ = AddTable(kComparisonProcedureList, lists_.Procedures, "Procedures");
    lines_ = AddTable(kComparisonLineList, lists_.Lines, "Lines");
    lines_->Model().SetToolTips([this](std::size_t row) { return LineToolTip(row); });
    Present();
    PlaceBeside(*parent);
}

ComparisonWindow::~ComparisonWindow() {
    DeleteTables(); // they show lists_
}

ListView* ComparisonWindow::List(int listId) const {
    return listId == kComparisonLineList        ? lines_
           : listId == kComparisonProcedureList ? procedures_
                                                : nullptr;
}

void ComparisonWindow::Show(RunSummary older, RunSummary newer) {
    compared_ = std::make_unique<Compared>(Compared{std::move(older), std::move(newer), {}});
    compared_->Result = CompareRuns(compared_->Old, compared_->New);
    Present();
}

void ComparisonWindow::Clear() {
    compared_.reset();
    Present();
}

const RunRecord* ComparisonWindow::NewRecord() const {
    return compared_ ? &compared_->New.Record : nullptr;
}

const RunComparison* ComparisonWindow::Comparison() const {
    return compared_ ? &compared_->Result : nullptr;
}

void ComparisonWindow::OrderBy(int listId, int column) {
    if (listId == kComparisonLineList) {
        lists_.LineOrder = LineOrderOfColumn(static_cast<ComparedLineColumn>(column));
    } else {
        lists_.ProcedureOrder =
            ProcedureOrderOfColumn(static_cast<ComparedProcedureColumn>(column));
    }
    Present();
}

void ComparisonWindow::Present() {
    if (compared_) {
        ShowComparison(lists_, {compared_->Old, compared_->New, compared_->Result});
        lists_.Summary = FormatTimestamp(compared_->Old.Record.Timestamp) + " -> " +
                         FormatTimestamp(compared_->New.Record.Timestamp) +
                         " (loaded): " + lists_.Summary;
    } else {
        lists_.Clear();
        lists_.Summary = "No comparison";
    }
    Summary()->setText(ToQt(lists_.Summary));
    Refresh(lines_, ColumnOfLineOrder(lists_.LineOrder));
    Refresh(procedures_, ColumnOfProcedureOrder(lists_.ProcedureOrder));
}

std::string ComparisonWindow::LineToolTip(std::size_t row) const {
    if (!compared_ || row >= lists_.LineIndices.size()) {
        return {};
    }
    return ComparedLineToolTip({compared_->Old, compared_->New, compared_->Result},
                               compared_->Result.Lines[lists_.LineIndices[row]]);
}

std::int32_t ComparisonWindow::ChosenLine(int listId) const {
    return listId == kComparisonLineList
               ? SelectedTarget(lists_.Lines, lists_.LineTargets)
               : SelectedTarget(lists_.Procedures, lists_.ProcedureTargets);
}

} // namespace tickscope
