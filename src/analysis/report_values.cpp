#include "analysis/report_values.h"

#include "source/line_scanning.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace tickscope {
namespace {

// Below 2^23 ms a double holds nanos / 1e6 closer than half a unit of the ninth decimal, so
// printing it with nine decimals gives the exact decimal of the nanoseconds.
constexpr std::int64_t kExactFormatLimit = (std::int64_t{1} << 23) * 1000000;

std::size_t TrimTrailingZeros(char* buffer, std::size_t length) {
    while (length > 0 && buffer[length - 1] == '0') {
        --length;
    }
    return length;
}

std::size_t FormatExactMilliseconds(std::int64_t nanos, char* buffer) {
    std::size_t length = 0;
    if (nanos < 0) {
        buffer[length++] = '-';
        nanos = -nanos;
    }
    const auto [end, error] =
        std::to_chars(buffer + length, buffer + kMillisecondsBufferSize, nanos / 1000000);
    (void)error;
    length = static_cast<std::size_t>(end - buffer);
    buffer[length++] = '.';
    std::int64_t fraction = nanos % 1000000;
    for (std::int64_t unit = 100000; unit > 0; unit /= 10) {
        buffer[length++] = static_cast<char>('0' + fraction / unit);
        fraction %= unit;
    }
    return TrimTrailingZeros(buffer, length);
}

void SetText(ListCell& cell, const char* text, std::size_t length) {
    cell.Text.assign(text, length);
}

// Whether the text holds "procedure" in any letter case: every keyword of the procedure
// marks contains it, so other lines need no keyword search.
bool MayNameProcedure(const std::string& text) {
    static constexpr std::string_view kWord = "procedure";
    if (text.size() < kWord.size()) {
        return false;
    }
    for (std::size_t i = 0; i + kWord.size() <= text.size(); ++i) {
        std::size_t j = 0;
        while (j < kWord.size() && (text[i + j] | 0x20) == kWord[j]) {
            ++j;
        }
        if (j == kWord.size()) {
            return true;
        }
    }
    return false;
}

void MarkProcedure(ListCell& code) {
    if (!MayNameProcedure(code.Text)) {
        return;
    }
    for (const char* keyword : {"procedure", "proceduredll", "procedurec", "procedurecdll"}) {
        if (FindKeyword(code.Text, keyword) != 0) {
            code.TextColour = kProcedureStartText;
            return;
        }
    }
    if (FindKeyword(code.Text, "endprocedure") != 0) {
        code.TextColour = kProcedureEndText;
    }
}

double ReadNumber(const std::string& text) {
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::int64_t ReadInteger(const std::string& text) {
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

} // namespace

std::size_t FormatMilliseconds(std::int64_t nanos, char* buffer) {
    if (nanos > -kExactFormatLimit && nanos < kExactFormatLimit) {
        return FormatExactMilliseconds(nanos, buffer);
    }
    const int written = std::snprintf(buffer, kMillisecondsBufferSize, "%.9f",
                                      static_cast<double>(nanos) / 1000000.0);
    return TrimTrailingZeros(buffer, written > 0 ? static_cast<std::size_t>(written) : 0);
}

std::string FormatMilliseconds(std::int64_t nanos) {
    char buffer[kMillisecondsBufferSize];
    return std::string(buffer, FormatMilliseconds(nanos, buffer));
}

int HeatRed(double value, double largest) {
    const double scaled = value / largest * 255.0;
    if (!(scaled > 0.0)) { // also NaN from 0 / 0
        return 0;
    }
    if (scaled >= 255.0) {
        return 255;
    }
    return static_cast<int>(std::nearbyint(scaled)); // ties to even
}

void RefreshReportValues(AnalyzerLists& lists, const RunAnalysis& analysis, int maxHitsForFullRed,
                         int maxTimeForFullRed) {
    ListData& report = lists.ReportList;
    for (ListRow& row : report.Rows) {
        if (row.Cells.size() <= kCodeColumn) {
            row.Cells.resize(kCodeColumn + 1);
        }
        row.Cells[kFileColumn].TextColour = kUncountedText;
        row.Cells[kLineColumn].TextColour = kUncountedText;
        row.Cells[kCodeColumn].TextColour = kUncountedText;
        row.Cells[kFileColumn].Background = kFileLineBackground;
        row.Cells[kLineColumn].Background = kFileLineBackground;
        for (ListCell* figure : {&row.Cells[kHitsColumn], &row.Cells[kTimeColumn]}) {
            figure->TextColour = kGreyFigureText;
            figure->Background = kGreyFigureBackground;
            figure->Text.clear();
        }
    }

    std::int64_t largestHits = 0;
    double largestTime = 0.0;
    char buffer[kMillisecondsBufferSize];
    for (const LineResult& result :
         ComputeLineResults(analysis, lists.ThreadList, lists.ModeCombo)) {
        if (result.LineId < 1 || static_cast<std::size_t>(result.LineId) > report.Rows.size()) {
            continue; // line id 0 collects entries of no row
        }
        ListRow& row = report.Rows[static_cast<std::size_t>(result.LineId) - 1];
        ListCell& hits = row.Cells[kHitsColumn];
        ListCell& time = row.Cells[kTimeColumn];
        const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, result.Hits);
        (void)error;
        SetText(hits, buffer, static_cast<std::size_t>(end - buffer));
        SetText(time, buffer, FormatMilliseconds(result.TimeNanos, buffer));
        row.Cells[kCodeColumn].TextColour = kCountedCodeText;
        if (row.Checked) {
            const double milliseconds = static_cast<double>(result.TimeNanos) / 1000000.0;
            if (result.Hits > largestHits) {
                largestHits = result.Hits;
            }
            if (milliseconds > largestTime) {
                largestTime = milliseconds;
            }
            hits.Background = kBlack;
            time.Background = kBlack;
            hits.TextColour = kCheckedFigureText;
            time.TextColour = kCheckedFigureText;
        }
    }

    if (maxHitsForFullRed != 0) {
        largestHits = maxHitsForFullRed;
    }
    if (maxTimeForFullRed != 0) {
        largestTime = maxTimeForFullRed;
    }

    for (ListRow& row : report.Rows) {
        ListCell& hits = row.Cells[kHitsColumn];
        if (row.Checked && !hits.Text.empty()) {
            ListCell& time = row.Cells[kTimeColumn];
            hits.Background = MakeRgb(HeatRed(static_cast<double>(ReadInteger(hits.Text)),
                                              static_cast<double>(largestHits)),
                                      0, 0);
            time.Background = MakeRgb(HeatRed(ReadNumber(time.Text), largestTime), 0, 0);
        }
        MarkProcedure(row.Cells[kCodeColumn]);
    }
}

} // namespace tickscope
