#include "analysis/report_output.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tickscope {

namespace {

constexpr int kHeatBarWidth = 10;
constexpr std::size_t kTopLines = 10;

bool HasResults(const ListRow& row) {
    return row.Cells.size() > kCodeColumn && !row.Cells[kHitsColumn].Text.empty();
}

const std::string& Cell(const ListRow& row, int column) {
    static const std::string empty;
    return static_cast<std::size_t>(column) < row.Cells.size() ? row.Cells[column].Text : empty;
}

// "3." is how the report writes whole milliseconds; JSON wants a digit after the point.
std::string JsonNumber(const std::string& text) {
    if (text.empty()) {
        return "null";
    }
    return text.back() == '.' ? text + "0" : text;
}

std::string ThresholdText(int value) {
    return value == 0 ? "max" : std::to_string(value);
}

std::string HeatBar(int red) {
    if (red < 0) {
        return std::string(kHeatBarWidth, ' ');
    }
    const int filled = (red * kHeatBarWidth + 127) / 255;
    return std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(kHeatBarWidth - filled), '.');
}

std::string PadLeft(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

} // namespace

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string field = "\"";
    for (const char c : text) {
        if (c == '"') {
            field += '"';
        }
        field += c;
    }
    field += '"';
    return field;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            continue;
        case '\\':
            out += "\\\\";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\t':
            out += "\\t";
            continue;
        default:
            break;
        }
        if (byte < 0x20 || byte >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

int HeatOf(const ListRow& row, int column) {
    if (!row.Checked || !HasResults(row)) {
        return -1;
    }
    return RedOf(row.Cells[static_cast<std::size_t>(column)].Background);
}

std::string CsvReport(const AnalyzerLists& lists) {
    std::string out = "file,line,hits,time_ms,hits_heat,time_heat,code\n";
    for (const ListRow& row : lists.ReportList.Rows) {
        const int hitsHeat = HeatOf(row, kHitsColumn);
        const int timeHeat = HeatOf(row, kTimeColumn);
        out += CsvField(Cell(row, kFileColumn));
        out += ',';
        out += CsvField(Cell(row, kLineColumn));
        out += ',';
        out += Cell(row, kHitsColumn);
        out += ',';
        out += Cell(row, kTimeColumn);
        out += ',';
        out += hitsHeat < 0 ? std::string() : std::to_string(hitsHeat);
        out += ',';
        out += timeHeat < 0 ? std::string() : std::to_string(timeHeat);
        out += ',';
        out += CsvField(Cell(row, kCodeColumn));
        out += '\n';
    }
    return out;
}

std::string JsonReport(const AnalyzerLists& lists, const ReportHeading& heading) {
    std::string out = "{\n";
    out += "  \"run\": " + JsonString(heading.RunFile) + ",\n";
    out += "  \"program\": " + JsonString(heading.ProgramPath) + ",\n";
    out += "  \"started\": " + JsonString(heading.Started) + ",\n";
    out += "  \"mode\": " + JsonString(heading.Mode) + ",\n";
    out += "  \"max_hits_for_full_red\": " + std::to_string(heading.MaxHitsForFullRed) + ",\n";
    out += "  \"max_time_for_full_red\": " + std::to_string(heading.MaxTimeForFullRed) + ",\n";
    out += "  \"threads\": [";
    const auto& threads = lists.ThreadList.Rows;
    for (std::size_t i = 0; i < threads.size(); ++i) {
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"id\": " + JsonNumber(Cell(threads[i], 1)) +
               ", \"scope\": " + JsonString(Cell(threads[i], 2)) +
               ", \"checked\": " + (threads[i].Checked ? "true" : "false") + "}";
    }
    out += threads.empty() ? "],\n" : "\n  ],\n";
    out += "  \"lines\": [";
    const auto& rows = lists.ReportList.Rows;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ListRow& row = rows[i];
        const int hitsHeat = HeatOf(row, kHitsColumn);
        const int timeHeat = HeatOf(row, kTimeColumn);
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"file\": " + JsonNumber(Cell(row, kFileColumn)) +
               ", \"line\": " + JsonNumber(Cell(row, kLineColumn)) +
               ", \"hits\": " + JsonNumber(Cell(row, kHitsColumn)) +
               ", \"time_ms\": " + JsonNumber(Cell(row, kTimeColumn)) +
               ", \"hits_heat\": " + (hitsHeat < 0 ? "null" : std::to_string(hitsHeat)) +
               ", \"time_heat\": " + (timeHeat < 0 ? "null" : std::to_string(timeHeat)) +
               ", \"code\": " + JsonString(Cell(row, kCodeColumn)) + "}";
    }
    out += rows.empty() ? "]\n" : "\n  ]\n";
    out += "}\n";
    return out;
}

std::string TextReport(const AnalyzerLists& lists, const ReportHeading& heading) {
    const auto& rows = lists.ReportList.Rows;
    std::size_t fileWidth = 4;
    std::size_t lineWidth = 4;
    std::size_t hitsWidth = 4;
    std::size_t timeWidth = 9;
    std::size_t withResults = 0;
    for (const ListRow& row : rows) {
        fileWidth = std::max(fileWidth, Cell(row, kFileColumn).size());
        lineWidth = std::max(lineWidth, Cell(row, kLineColumn).size());
        hitsWidth = std::max(hitsWidth, Cell(row, kHitsColumn).size());
        timeWidth = std::max(timeWidth, Cell(row, kTimeColumn).size());
        withResults += HasResults(row) ? 1 : 0;
    }
    std::size_t checkedThreads = 0;
    for (const ListRow& thread : lists.ThreadList.Rows) {
        checkedThreads += thread.Checked ? 1 : 0;
    }

    std::string out;
    out += "Run:      " + heading.RunFile + "\n";
    out += "Program:  " + heading.ProgramPath + "\n";
    out += "Started:  " + heading.Started + "\n";
    out += "Mode:     " + heading.Mode + "    Threads: " + std::to_string(checkedThreads) + " of " +
           std::to_string(lists.ThreadList.RowCount()) +
           "    Full red at hits: " + ThresholdText(heading.MaxHitsForFullRed) +
           ", time (ms): " + ThresholdText(heading.MaxTimeForFullRed) + "\n";
    out += "Lines:    " + std::to_string(rows.size()) + ", " + std::to_string(withResults) +
           " with results\n\n";

    const std::string header = PadLeft("File", fileWidth) + "  " + PadLeft("Line", lineWidth) +
                               "  " + PadLeft("Hits", hitsWidth) + "  " +
                               PadLeft("Time (ms)", timeWidth) + "  " + std::string("Heat      ") +
                               "  Code\n";
    out += header;
    for (const ListRow& row : rows) {
        out += PadLeft(Cell(row, kFileColumn), fileWidth) + "  " +
               PadLeft(Cell(row, kLineColumn), lineWidth) + "  " +
               PadLeft(Cell(row, kHitsColumn), hitsWidth) + "  " +
               PadLeft(Cell(row, kTimeColumn), timeWidth) + "  " +
               HeatBar(HeatOf(row, kTimeColumn)) + "  " + Cell(row, kCodeColumn) + "\n";
    }

    // The hottest lines, by the time shown (ties keep report order).
    std::vector<std::pair<double, std::size_t>> timed;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (HasResults(rows[i])) {
            timed.emplace_back(std::strtod(Cell(rows[i], kTimeColumn).c_str(), nullptr), i);
        }
    }
    std::stable_sort(timed.begin(), timed.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    timed.resize(std::min(timed.size(), kTopLines));
    out += "\nTop " + std::to_string(timed.size()) + " by time:\n";
    for (std::size_t rank = 0; rank < timed.size(); ++rank) {
        const ListRow& row = rows[timed[rank].second];
        out += PadLeft(std::to_string(rank + 1), 4) + ".  " +
               PadLeft(Cell(row, kTimeColumn), timeWidth) + " ms  " +
               PadLeft(Cell(row, kHitsColumn), hitsWidth) + " hits  file " +
               Cell(row, kFileColumn) + " line " + Cell(row, kLineColumn) + "  " +
               Cell(row, kCodeColumn) + "\n";
    }
    return out;
}

std::string ThreadsCsv(const AnalyzerLists& lists) {
    std::string out = "id,scope\n";
    for (const ListRow& row : lists.ThreadList.Rows) {
        out += CsvField(Cell(row, 1)) + "," + CsvField(Cell(row, 2)) + "\n";
    }
    return out;
}

} // namespace tickscope
