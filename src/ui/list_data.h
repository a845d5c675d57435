#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tickscope {

// 24-bit colour 0xRRGGBB.
using Rgb = std::uint32_t;
constexpr Rgb MakeRgb(int r, int g, int b) {
    return (static_cast<Rgb>(r & 0xFF) << 16) | (static_cast<Rgb>(g & 0xFF) << 8) |
           static_cast<Rgb>(b & 0xFF);
}
constexpr int RedOf(Rgb c) {
    return static_cast<int>((c >> 16) & 0xFF);
}
constexpr int GreenOf(Rgb c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int BlueOf(Rgb c) {
    return static_cast<int>(c & 0xFF);
}
inline constexpr Rgb kBlack = MakeRgb(0, 0, 0);
inline constexpr Rgb kWhite = MakeRgb(255, 255, 255);

struct ListCell {
    std::string Text;
    Rgb TextColour = kBlack;
    Rgb Background = kWhite;
};

struct ListRow {
    std::vector<ListCell> Cells; // one per column
    bool Checked = false;
    bool Selected = false;
};

struct ListColumn {
    std::string Title;
    int Width = 0;
};

// The content of one multi-column list control. The window's views display it; the
// presenter writes the figures of the analysis into it. Cell texts are short enough for the
// small-string buffer, so rewriting them on a refresh does not allocate.
struct ListData {
    std::vector<ListColumn> Columns;
    std::vector<ListRow> Rows;
    bool HasCheckBoxes = false;

    void Clear() { Rows.clear(); }
    std::size_t RowCount() const { return Rows.size(); }
    // Appends a row with one cell per column holding the given texts (missing ones empty).
    ListRow& AddRow(const std::vector<std::string>& texts);
    const std::string& CellText(std::size_t row, std::size_t column) const;
    // Index of the first selected row, -1 when none.
    int FirstSelectedRow() const;
    // Selects exactly this row (-1 clears the selection).
    void SelectOnly(int row);
    void SetAllChecked(bool checked);
};

// A drop-down list: entries and the selected index (-1 for none).
struct ComboData {
    std::vector<std::string> Entries;
    int Selected = -1;

    const std::string SelectedText() const {
        return Selected >= 0 && Selected < static_cast<int>(Entries.size()) ? Entries[Selected]
                                                                            : std::string();
    }
};

// Column indices of the report.
enum ReportColumn {
    kCheckColumn = 0,
    kFileColumn = 1,
    kLineColumn = 2,
    kHitsColumn = 3,
    kTimeColumn = 4,
    kCodeColumn = 5
};

// The analyzer's list controls, with their columns as the window shows them.
struct AnalyzerLists {
    ListData ReportList;     // "", File, Line, Hits, Time (ms), Code; check boxes
    ListData SourceFileList; // ID, File
    ListData ThreadList;     // "", ID, Scope; check boxes
    ListData RunList;        // Timestamp, Comment
    ComboData ProgramCombo;
    ComboData ModeCombo; // all, avg, max, min; "all" selected

    AnalyzerLists();
};

// The entries of the mode list: the names of the time modes in order.
std::vector<std::string> TimeModeNames();

} // namespace tickscope
