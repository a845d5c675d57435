#include "ui/report_commands.h"

#include "source/text_encoding.h"
#include "source/text_utils.h"

#include <algorithm>

namespace tickscope {

namespace {
constexpr const char* kFindPrompt = "Find ...";
constexpr const char* kNoMatches = "No matches!";
constexpr const char* kNoMoreMatches =
    "No more matches!\nNext search will start from the beginning again.";

void SetCodeBackground(ListData& report, int row, Rgb colour) {
    if (row < 0 || row >= static_cast<int>(report.Rows.size())) {
        return;
    }
    auto& cells = report.Rows[static_cast<std::size_t>(row)].Cells;
    if (kCodeColumn < cells.size()) {
        cells[kCodeColumn].Background = colour;
    }
}

// Marks the match, or reports the miss; returns the row to remember.
int ShowMatch(ListData& report, int row, Requesters& requesters, const char* missText) {
    if (row < 0) {
        requesters.ShowMessage(kTickscopeTitle, missText);
        return -1;
    }
    report.SelectOnly(row);
    SetCodeBackground(report, row, kFindMark);
    return row;
}
} // namespace

bool CodeContains(const std::string& code, const std::string& lowerText) {
    // The code as the window shows it (see ToQt), without a copy where it is valid UTF-8.
    return IsValidUtf8(code) ? ContainsIgnoringAsciiCase(code, lowerText)
                             : ContainsIgnoringAsciiCase(Windows1252ToUtf8(code), lowerText);
}

int FindInCode(const ListData& report, const std::string& lowerText, int startRow) {
    for (std::size_t row = static_cast<std::size_t>(std::max(startRow, 0));
         row < report.Rows.size(); ++row) {
        if (CodeContains(report.CellText(row, kCodeColumn), lowerText)) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

int FindCommand(ListData& report, FindState& state, Requesters& requesters) {
    const std::string text = LowerAscii(requesters.AskText(kTickscopeTitle, kFindPrompt, ""));
    if (text.empty()) {
        return -1;
    }
    if (!state.Empty()) {
        SetCodeBackground(report, state.Row, kWhite);
    }
    const int row = ShowMatch(report, FindInCode(report, text, 0), requesters, kNoMatches);
    state = {text, row};
    return row;
}

int FindNextCommand(ListData& report, FindState& state, Requesters& requesters) {
    if (state.Empty()) {
        return -1;
    }
    SetCodeBackground(report, state.Row, kWhite);
    const int start = state.Row + 1;
    const int row =
        ShowMatch(report, FindInCode(report, state.Text, start), requesters, kNoMoreMatches);
    state.Row = row;
    return row;
}

std::string ThresholdCaption(std::int32_t value) {
    return value == 0 ? std::string("ff=max") : "ff=" + std::to_string(value);
}

std::int32_t AskThreshold(Requesters& requesters, const std::string& prompt) {
    return ParseInteger32(requesters.AskText(kTickscopeTitle, prompt, ""));
}

std::optional<ColumnButtonsPlace> AlignColumnButtons(const ColumnButtonsNow& now) {
    const int x = now.ReportLeft + now.ColumnWidths[0] + now.ColumnWidths[1] + now.ColumnWidths[2];
    const int hitsWidth = now.ColumnWidths[3];
    const int half = now.ColumnWidths[4] / 2; // towards zero
    if (now.HitsLeft == x && now.HitsWidth == hitsWidth && now.ModeWidth == half &&
        now.TimeWidth == half) {
        return std::nullopt;
    }
    return ColumnButtonsPlace{x, hitsWidth, x + hitsWidth, half, x + hitsWidth + half, half};
}

} // namespace tickscope
