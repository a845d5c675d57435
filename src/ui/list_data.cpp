#include "ui/list_data.h"

#include "analysis/time_mode.h"

namespace tickscope {

ListRow& ListData::AddRow(const std::vector<std::string>& texts) {
    ListRow& row = Rows.emplace_back();
    row.Cells.resize(Columns.size());
    for (std::size_t i = 0; i < texts.size() && i < row.Cells.size(); ++i) {
        row.Cells[i].Text = texts[i];
    }
    return row;
}

const std::string& ListData::CellText(std::size_t row, std::size_t column) const {
    static const std::string empty;
    if (row >= Rows.size() || column >= Rows[row].Cells.size()) {
        return empty;
    }
    return Rows[row].Cells[column].Text;
}

int ListData::FirstSelectedRow() const {
    for (std::size_t i = 0; i < Rows.size(); ++i) {
        if (Rows[i].Selected) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void ListData::SelectOnly(int row) {
    for (auto& r : Rows) {
        r.Selected = false;
    }
    if (row >= 0 && row < static_cast<int>(Rows.size())) {
        Rows[static_cast<std::size_t>(row)].Selected = true;
    }
}

void ListData::SetAllChecked(bool checked) {
    for (auto& r : Rows) {
        r.Checked = checked;
    }
}

AnalyzerLists::AnalyzerLists() {
    ReportList.Columns = {{"", 20},     {"File", 30},       {"Line", 50},
                          {"Hits", 60}, {"Time (ms)", 110}, {"Code", 2000}};
    ReportList.HasCheckBoxes = true;
    SourceFileList.Columns = {{"ID", 25}, {"File", 200}};
    ThreadList.Columns = {{"", 20}, {"ID", 50}, {"Scope", 155}};
    ThreadList.HasCheckBoxes = true;
    RunList.Columns = {{"Timestamp", 120}, {"Comment", 105}};
    ModeCombo.Entries = TimeModeNames();
    ModeCombo.Selected = 0;
}

std::vector<std::string> TimeModeNames() {
    std::vector<std::string> names;
    for (const TimeMode mode : kTimeModes) {
        names.emplace_back(TimeModeName(mode));
    }
    return names;
}

} // namespace tickscope
