#pragma once

#include "platform/requesters.h"
#include "ui/list_data.h"
#include "ui/report_colours.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tickscope {

// The last search in the code column: the lower-cased text and the row of the last match
// (-1 after a search that found nothing). Empty before the first search.
struct FindState {
    std::string Text;
    int Row = -1;
    bool Empty() const { return Text.empty(); }
};

// Settings of one analyzer session; they live until the window closes.
struct AnalyzerSettings {
    FindState Find;
    std::int32_t MaxHitsForFullRed = 0;
    std::int32_t MaxTimeForFullRed = 0;
};

// Whether a code cell, read as the window shows it (UTF-8 where its bytes are valid UTF-8,
// Windows-1252 otherwise) and with A-Z lower-cased, contains `lowerText` (UTF-8, lower case).
bool CodeContains(const std::string& code, const std::string& lowerText);

// First row from `startRow` on whose code cell contains `lowerText` (CodeContains); -1 if
// none.
int FindInCode(const ListData& report, const std::string& lowerText, int startRow);

// Asks for a text (UTF-8) and marks the first matching row of the report yellow, selecting it.
// Returns the selected row, or -1 when the selection was left alone.
int FindCommand(ListData& report, FindState& state, Requesters& requesters);
// Continues the last search after its last match; after a miss it starts again at row 0.
int FindNextCommand(ListData& report, FindState& state, Requesters& requesters);

// The caption of a scale button: "ff=max" for 0, otherwise "ff=" and the value.
std::string ThresholdCaption(std::int32_t value);

// Asks for a full-red threshold; the answer reads like Val() (empty, cancelled or not a
// number gives 0), kept as a 32-bit value.
std::int32_t AskThreshold(Requesters& requesters, const std::string& prompt);
inline constexpr const char* kMaxHitsPrompt = "Enter max-hits for full-red:";
inline constexpr const char* kMaxTimePrompt = "Enter max-time for full-red:";

// What "Compare with..." says when no run is loaded to compare with.
inline constexpr const char* kCompareWithoutRunMessage =
    "Load a run first: Compare with... sets the run it is opened on (old) against the loaded "
    "run (new).";

// Where the three controls above the report go: the hits button over the "Hits" column,
// the mode list and the time button each over half of the "Time (ms)" column.
struct ColumnButtonsPlace {
    int HitsLeft = 0;
    int HitsWidth = 0;
    int ModeLeft = 0;
    int ModeWidth = 0;
    int TimeLeft = 0;
    int TimeWidth = 0;
    bool operator==(const ColumnButtonsPlace&) const = default;
};

struct ColumnButtonsNow {
    int ReportLeft = 0;
    int ColumnWidths[5] = {}; // columns 0 to 4 of the report
    int HitsLeft = 0;
    int HitsWidth = 0;
    int ModeWidth = 0;
    int TimeWidth = 0;
};

// The new place, or nothing when the controls already sit right.
std::optional<ColumnButtonsPlace> AlignColumnButtons(const ColumnButtonsNow& now);

} // namespace tickscope
