#include "analysis/report_output.h"

#include "analysis/id_names.h"
#include "source/text_encoding.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <set>
#include <vector>

namespace tickscope {

namespace {

constexpr int kHeatBarWidth = 10;
constexpr std::size_t kTopLines = 10;

// The texts of one line as the report shows them: numbers in decimal, the time in
// milliseconds, empty figures for a line without results.
struct LineTexts {
    std::string File;
    std::string Line;
    std::string Hits;
    std::string Time;
    std::string Self;
    std::string SelfPercent;
};

LineTexts TextsOf(const LineOfCode& line, const LineReport& figures, const LineProfile* profile,
                  std::int64_t runNanos) {
    LineTexts texts;
    texts.File = std::to_string(line.SourceFileId);
    texts.Line = std::to_string(line.LineNumber);
    if (figures.HasResults) {
        texts.Hits = std::to_string(figures.Hits);
        texts.Time = FormatMilliseconds(figures.TimeNanos);
        const std::int64_t self = profile != nullptr ? profile->SelfNanos : 0;
        texts.Self = FormatMilliseconds(self);
        texts.SelfPercent = FormatPercent(self, runNanos);
    }
    return texts;
}

// The texts of a procedure's row.
struct ProcedureTexts {
    std::string Name;
    std::string Calls;
    std::string Hits;
    std::string Self;
    std::string SelfPercent;
    std::string Total;
    std::string TotalPercent;
};

ProcedureTexts TextsOf(const ProcedureProfile& procedure, std::int64_t runNanos) {
    return {ProcedureLabel(procedure),
            std::to_string(procedure.Calls),
            std::to_string(procedure.Hits),
            FormatMilliseconds(procedure.SelfNanos),
            FormatPercent(procedure.SelfNanos, runNanos),
            FormatMilliseconds(procedure.TotalNanos),
            FormatPercent(procedure.TotalNanos, runNanos)};
}

// The profile of each line of code by index (LineId - 1); nullptr for lines without results.
std::vector<const LineProfile*> ProfileByLine(const RunReport& report) {
    std::vector<const LineProfile*> byLine(report.Run.Program.LinesOfCode.size(), nullptr);
    for (const LineProfile& line : report.Profile.Lines) {
        if (line.LineId >= 1 && static_cast<std::size_t>(line.LineId) <= byLine.size()) {
            byLine[static_cast<std::size_t>(line.LineId) - 1] = &line;
        }
    }
    return byLine;
}

// The profile's order for a report order; the time is a procedure's total.
ProfileOrder ProfileOrderOf(ReportOrder order) {
    switch (order) {
    case ReportOrder::Self:
        return ProfileOrder::Self;
    case ReportOrder::Hits:
        return ProfileOrder::Hits;
    case ReportOrder::Calls:
        return ProfileOrder::Calls;
    case ReportOrder::Report:
    case ReportOrder::Time:
        break;
    }
    return ProfileOrder::Total;
}

// The rows to print, 0..count-1 in the report's order unless the layout ranks them: rows
// with results by key (the largest first, ties in report order), those without after them;
// a top keeps that many of the ranked rows, in the report's order when `reportOrder`.
template <class HasResults, class Key>
std::vector<std::size_t> Rows(std::size_t count, const ReportLayout& layout, bool reportOrder,
                              HasResults hasResults, Key key) {
    std::vector<std::size_t> rows(count);
    std::iota(rows.begin(), rows.end(), std::size_t{0});
    if (layout.Order == ReportOrder::Report && !layout.Top) {
        return rows;
    }
    std::vector<std::size_t> ranked;
    std::vector<std::size_t> rest;
    for (const std::size_t row : rows) {
        (hasResults(row) ? ranked : rest).push_back(row);
    }
    const ReportOrder order =
        layout.Order == ReportOrder::Report ? ReportOrder::Time : layout.Order;
    rows.clear();
    for (const std::size_t r :
         RankDescending(ranked.size(), [&](std::size_t r) { return key(ranked[r], order); })) {
        rows.push_back(ranked[r]);
    }
    if (layout.Top) {
        rows.resize(std::min(rows.size(), *layout.Top));
    } else {
        rows.insert(rows.end(), rest.begin(), rest.end());
    }
    if (reportOrder) {
        std::sort(rows.begin(), rows.end());
    }
    return rows;
}

std::vector<std::size_t> LineRows(const RunReport& report,
                                  const std::vector<const LineProfile*>& profiles,
                                  bool reportOrder) {
    const auto& figures = report.Figures.Lines;
    return Rows(
        profiles.size(), report.Layout, reportOrder,
        [&](std::size_t i) { return figures[i].HasResults; },
        [&](std::size_t i, ReportOrder order) -> std::int64_t {
            if (order == ReportOrder::Time) {
                return figures[i].TimeNanos; // the time shown
            }
            return profiles[i] != nullptr ? ProfileFigure(*profiles[i], ProfileOrderOf(order)) : 0;
        });
}

std::vector<std::size_t> ProcedureRows(const RunReport& report, bool reportOrder) {
    const auto& procedures = report.Profile.Procedures;
    return Rows(
        procedures.size(), report.Layout, reportOrder, [](std::size_t) { return true; },
        [&](std::size_t i, ReportOrder order) {
            return ProfileFigure(procedures[i], ProfileOrderOf(order));
        });
}

std::string HeatText(int heat, const char* none) {
    return heat < 0 ? std::string(none) : std::to_string(heat);
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

// The lines above every text table: the run, the program, the mode, the threads and the
// thresholds, the lines and the run time.
std::string TextHeading(const RunReport& report) {
    const LoadedRun& run = report.Run;
    std::size_t checkedThreads = 0;
    for (std::size_t i = 0; i < run.Threads.size(); ++i) {
        checkedThreads += i < report.Threads.size() && report.Threads[i] ? 1 : 0;
    }
    std::string out;
    out += "Run:      " + VisibleText(report.RunFile) + "\n";
    out += "Program:  " + VisibleText(run.Record.Path) + "\n";
    out += "Started:  " + FormatTimestamp(run.Record.Timestamp) + "\n";
    out += "Mode:     " + std::string(TimeModeName(report.Figures.Mode)) +
           "    Threads: " + std::to_string(checkedThreads) + " of " +
           std::to_string(run.Threads.size()) +
           "    Full red at hits: " + ThresholdText(report.Scale.MaxHitsForFullRed) +
           ", time (ms): " + ThresholdText(report.Scale.MaxTimeForFullRed) + "\n";
    out += "Lines:    " + std::to_string(run.Program.LinesOfCode.size()) + ", " +
           std::to_string(report.Figures.LinesWithResults) + " with results\n";
    out += "Run time: " + FormatMilliseconds(report.Profile.RunNanos) + " ms\n\n";
    return out;
}

// Columns of a text table: each as wide as its title and its widest cell.
struct TextColumn {
    std::string Title;
    bool AlignLeft = false;
    std::size_t Width = 0;
};

TextColumn Left(const char* title) {
    return {title, true, 0};
}
TextColumn Right(const char* title) {
    return {title, false, 0};
}

void Widen(std::vector<TextColumn>& columns, const std::vector<std::string>& cells) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
        columns[c].Width = std::max({columns[c].Width, columns[c].Title.size(), cells[c].size()});
    }
}

std::string TextRow(const std::vector<TextColumn>& columns, const std::vector<std::string>& cells) {
    std::string out;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        out += c == 0 ? "" : "  ";
        out += columns[c].AlignLeft && c + 1 == columns.size()
                   ? cells[c]
                   : (columns[c].AlignLeft ? PadRight(cells[c], columns[c].Width)
                                           : PadLeft(cells[c], columns[c].Width));
    }
    return out + "\n";
}

std::vector<std::string> Titles(const std::vector<TextColumn>& columns) {
    std::vector<std::string> titles;
    for (const TextColumn& column : columns) {
        titles.push_back(column.Title);
    }
    return titles;
}

} // namespace

std::string JsonNumber(const std::string& text) {
    if (text.empty()) {
        return "null";
    }
    return text.back() == '.' ? text + "0" : text; // "3." is how whole milliseconds read
}

std::string PadLeft(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string PadRight(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string VisibleText(std::string_view text) {
    std::string visible;
    visible.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            visible += '^';
            visible += static_cast<char>(byte ^ 0x40);
        } else {
            visible += c;
        }
    }
    return visible;
}

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
    for (const char c : TextAsUtf8(text)) {
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
        if (byte < 0x20 || byte == 0x7F) {
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

namespace {

std::string ProceduresCsv(const RunReport& report) {
    std::string out = "procedure,calls,self_ms,total_ms,self_percent,total_percent\n";
    const auto& procedures = report.Profile.Procedures;
    for (const std::size_t i : ProcedureRows(report, true)) {
        const ProcedureTexts texts = TextsOf(procedures[i], report.Profile.RunNanos);
        out += CsvField(texts.Name) + "," + texts.Calls + "," + texts.Self + "," + texts.Total +
               "," + texts.SelfPercent + "," + texts.TotalPercent + "\n";
    }
    return out;
}

} // namespace

std::string CsvReport(const RunReport& report) {
    if (report.Layout.Table == ReportTable::Procedures) {
        return ProceduresCsv(report);
    }
    std::string out =
        "file,line,hits,time_ms,hits_heat,time_heat,code,self_ms,self_percent,file_path\n";
    const auto& lines = report.Run.Program.LinesOfCode;
    const std::vector<const LineProfile*> profiles = ProfileByLine(report);
    const IdNames names(report.Run.Program);
    for (const std::size_t i : LineRows(report, profiles, true)) {
        const LineReport& figures = report.Figures.Lines[i];
        const LineTexts texts = TextsOf(lines[i], figures, profiles[i], report.Profile.RunNanos);
        out += CsvField(texts.File);
        out += ',';
        out += CsvField(texts.Line);
        out += ',';
        out += texts.Hits;
        out += ',';
        out += texts.Time;
        out += ',';
        out += HeatText(figures.HitsHeat, "");
        out += ',';
        out += HeatText(figures.TimeHeat, "");
        out += ',';
        out += CsvField(lines[i].Code);
        out += ',';
        out += texts.Self;
        out += ',';
        out += texts.SelfPercent;
        out += ',';
        out += CsvField(names.FilePath(lines[i].SourceFileId));
        out += '\n';
    }
    return out;
}

std::string JsonReport(const RunReport& report) {
    const LoadedRun& run = report.Run;
    const std::int64_t runNanos = report.Profile.RunNanos;
    std::string out = "{\n";
    out += "  \"format_version\": " + std::to_string(kJsonFormatVersion) + ",\n";
    out += "  \"run\": " + JsonString(report.RunFile) + ",\n";
    out += "  \"program\": " + JsonString(run.Record.Path) + ",\n";
    out += "  \"started\": " + JsonString(FormatTimestamp(run.Record.Timestamp)) + ",\n";
    out += "  \"mode\": " + JsonString(TimeModeName(report.Figures.Mode)) + ",\n";
    out += "  \"max_hits_for_full_red\": " + std::to_string(report.Scale.MaxHitsForFullRed) + ",\n";
    out += "  \"max_time_for_full_red\": " + std::to_string(report.Scale.MaxTimeForFullRed) + ",\n";
    out += "  \"run_ms\": " + JsonNumber(FormatMilliseconds(runNanos)) + ",\n";
    out += "  \"threads\": [";
    for (std::size_t i = 0; i < run.Threads.size(); ++i) {
        const bool checked = i < report.Threads.size() && report.Threads[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"id\": " + std::to_string(run.Threads[i].ThreadId) +
               ", \"scope\": " + JsonString(run.Threads[i].Scope) +
               ", \"checked\": " + (checked ? "true" : "false") + "}";
    }
    out += run.Threads.empty() ? "],\n" : "\n  ],\n";
    out += "  \"lines\": [";
    const auto& lines = run.Program.LinesOfCode;
    const std::vector<const LineProfile*> profiles = ProfileByLine(report);
    const IdNames names(run.Program);
    const std::vector<std::size_t> lineRows = LineRows(report, profiles, true);
    for (const std::size_t i : lineRows) {
        const LineReport& figures = report.Figures.Lines[i];
        const LineTexts texts = TextsOf(lines[i], figures, profiles[i], runNanos);
        out += i == lineRows.front() ? "\n" : ",\n";
        out += "    {\"file\": " + JsonNumber(texts.File) +
               ", \"line\": " + JsonNumber(texts.Line) + ", \"hits\": " + JsonNumber(texts.Hits) +
               ", \"time_ms\": " + JsonNumber(texts.Time) +
               ", \"hits_heat\": " + HeatText(figures.HitsHeat, "null") +
               ", \"time_heat\": " + HeatText(figures.TimeHeat, "null") +
               ", \"code\": " + JsonString(lines[i].Code) +
               ", \"self_ms\": " + JsonNumber(texts.Self) +
               ", \"self_percent\": " + JsonNumber(texts.SelfPercent) +
               ", \"file_path\": " + JsonString(names.FilePath(lines[i].SourceFileId)) + "}";
    }
    out += lineRows.empty() ? "],\n" : "\n  ],\n";
    out += "  \"procedures\": [";
    const std::vector<std::size_t> procedureRows = ProcedureRows(report, true);
    for (const std::size_t i : procedureRows) {
        const ProcedureProfile& procedure = report.Profile.Procedures[i];
        const ProcedureTexts texts = TextsOf(procedure, runNanos);
        out += i == procedureRows.front() ? "\n" : ",\n";
        out += "    {\"procedure\": " + JsonString(texts.Name) +
               ", \"scope\": " + std::to_string(procedure.ScopeId) + ", \"calls\": " + texts.Calls +
               ", \"hits\": " + texts.Hits + ", \"self_ms\": " + JsonNumber(texts.Self) +
               ", \"total_ms\": " + JsonNumber(texts.Total) +
               ", \"self_percent\": " + texts.SelfPercent +
               ", \"total_percent\": " + texts.TotalPercent + "}";
    }
    out += procedureRows.empty() ? "]\n" : "\n  ]\n";
    out += "}\n";
    return out;
}

namespace {

std::string ProceduresText(const RunReport& report) {
    std::vector<TextColumn> columns = {Left("Procedure"),  Right("Calls"),  Right("Hits"),
                                       Right("Self (ms)"), Right("Self %"), Right("Total (ms)"),
                                       Right("Total %")};
    std::vector<std::vector<std::string>> rows;
    for (const std::size_t i : ProcedureRows(report, false)) {
        const ProcedureTexts t = TextsOf(report.Profile.Procedures[i], report.Profile.RunNanos);
        rows.push_back(
            {VisibleText(t.Name), t.Calls, t.Hits, t.Self, t.SelfPercent, t.Total, t.TotalPercent});
        Widen(columns, rows.back());
    }
    Widen(columns, Titles(columns));
    std::string out = TextHeading(report) + TextRow(columns, Titles(columns));
    for (const auto& row : rows) {
        out += TextRow(columns, row);
    }
    return out;
}

// The source files of the lines shown: "  <id>  <path>", by id.
std::string FileLegend(const RunReport& report, const std::vector<std::size_t>& rows) {
    const auto& lines = report.Run.Program.LinesOfCode;
    std::set<int> ids;
    for (const std::size_t i : rows) {
        ids.insert(lines[i].SourceFileId);
    }
    std::size_t width = 0;
    for (const int id : ids) {
        width = std::max(width, std::to_string(id).size());
    }
    const IdNames names(report.Run.Program);
    std::string out = "Files:\n";
    for (const int id : ids) {
        out += "  " + PadLeft(std::to_string(id), width) + "  " + VisibleText(names.FilePath(id)) +
               "\n";
    }
    return out + "\n";
}

} // namespace

std::string TextReport(const RunReport& report) {
    if (report.Layout.Table == ReportTable::Procedures) {
        return ProceduresText(report);
    }
    const auto& lines = report.Run.Program.LinesOfCode;
    const std::vector<const LineProfile*> profiles = ProfileByLine(report);
    const std::vector<std::size_t> shown = LineRows(report, profiles, false);
    std::vector<TextColumn> columns = {Right("File"),      Right("Line"),      Right("Hits"),
                                       Right("Time (ms)"), Right("Self (ms)"), Right("Self %"),
                                       Left("Heat"),       Left("Code")};
    std::vector<LineTexts> texts;
    texts.reserve(lines.size());
    std::vector<std::vector<std::string>> rows;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        texts.push_back(
            TextsOf(lines[i], report.Figures.Lines[i], profiles[i], report.Profile.RunNanos));
    }
    for (const std::size_t i : shown) {
        const LineTexts& t = texts[i];
        rows.push_back({t.File, t.Line, t.Hits, t.Time, t.Self, t.SelfPercent,
                        HeatBar(report.Figures.Lines[i].TimeHeat), VisibleText(lines[i].Code)});
        Widen(columns, rows.back());
    }
    Widen(columns, Titles(columns));

    std::string out = TextHeading(report) + FileLegend(report, shown);
    out += TextRow(columns, Titles(columns));
    for (const auto& row : rows) {
        out += TextRow(columns, row);
    }
    if (report.Layout.Order != ReportOrder::Report || report.Layout.Top) {
        return out; // the table is the ranking
    }

    // The hottest lines, by the time shown (ties keep report order).
    std::vector<std::pair<double, std::size_t>> timed;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LineReport& figures = report.Figures.Lines[i];
        if (figures.HasResults) {
            timed.emplace_back(ReportedMilliseconds(figures.TimeNanos), i);
        }
    }
    std::stable_sort(timed.begin(), timed.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    timed.resize(std::min(timed.size(), kTopLines));
    const std::size_t timeWidth = columns[3].Width;
    const std::size_t hitsWidth = columns[2].Width;
    out += "\nTop " + std::to_string(timed.size()) + " by time:\n";
    for (std::size_t rank = 0; rank < timed.size(); ++rank) {
        const std::size_t i = timed[rank].second;
        out += PadLeft(std::to_string(rank + 1), 4) + ".  " + PadLeft(texts[i].Time, timeWidth) +
               " ms  " + PadLeft(texts[i].Hits, hitsWidth) + " hits  file " + texts[i].File +
               " line " + texts[i].Line + "  " + VisibleText(lines[i].Code) + "\n";
    }
    return out;
}

std::string ThreadsCsv(const LoadedRun& run) {
    std::string out = "id,scope\n";
    for (const ThreadInfo& thread : run.Threads) {
        out += CsvField(std::to_string(thread.ThreadId)) + "," + CsvField(thread.Scope) + "\n";
    }
    return out;
}

} // namespace tickscope
