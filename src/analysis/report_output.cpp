#include "analysis/report_output.h"

#include "source/text_encoding.h"

#include <algorithm>
#include <cstdio>
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
};

LineTexts TextsOf(const LineOfCode& line, const LineReport& figures) {
    LineTexts texts{std::to_string(line.SourceFileId), std::to_string(line.LineNumber), {}, {}};
    if (figures.HasResults) {
        texts.Hits = std::to_string(figures.Hits);
        texts.Time = FormatMilliseconds(figures.TimeNanos);
    }
    return texts;
}

std::vector<LineTexts> AllTexts(const RunReport& report) {
    std::vector<LineTexts> texts;
    const auto& lines = report.Run.Program.LinesOfCode;
    texts.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        texts.push_back(TextsOf(lines[i], report.Figures.Lines[i]));
    }
    return texts;
}

// "3." is how the report writes whole milliseconds; JSON wants a digit after the point.
std::string JsonNumber(const std::string& text) {
    if (text.empty()) {
        return "null";
    }
    return text.back() == '.' ? text + "0" : text;
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

std::string PadLeft(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

} // namespace

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

std::string CsvReport(const RunReport& report) {
    std::string out = "file,line,hits,time_ms,hits_heat,time_heat,code\n";
    const auto& lines = report.Run.Program.LinesOfCode;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LineReport& figures = report.Figures.Lines[i];
        const LineTexts texts = TextsOf(lines[i], figures);
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
        out += '\n';
    }
    return out;
}

std::string JsonReport(const RunReport& report) {
    const LoadedRun& run = report.Run;
    std::string out = "{\n";
    out += "  \"run\": " + JsonString(report.RunFile) + ",\n";
    out += "  \"program\": " + JsonString(run.Record.Path) + ",\n";
    out += "  \"started\": " + JsonString(FormatTimestamp(run.Record.Timestamp)) + ",\n";
    out += "  \"mode\": " + JsonString(TimeModeName(report.Figures.Mode)) + ",\n";
    out += "  \"max_hits_for_full_red\": " + std::to_string(report.Scale.MaxHitsForFullRed) + ",\n";
    out += "  \"max_time_for_full_red\": " + std::to_string(report.Scale.MaxTimeForFullRed) + ",\n";
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
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LineReport& figures = report.Figures.Lines[i];
        const LineTexts texts = TextsOf(lines[i], figures);
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"file\": " + JsonNumber(texts.File) +
               ", \"line\": " + JsonNumber(texts.Line) + ", \"hits\": " + JsonNumber(texts.Hits) +
               ", \"time_ms\": " + JsonNumber(texts.Time) +
               ", \"hits_heat\": " + HeatText(figures.HitsHeat, "null") +
               ", \"time_heat\": " + HeatText(figures.TimeHeat, "null") +
               ", \"code\": " + JsonString(lines[i].Code) + "}";
    }
    out += lines.empty() ? "]\n" : "\n  ]\n";
    out += "}\n";
    return out;
}

std::string TextReport(const RunReport& report) {
    const LoadedRun& run = report.Run;
    const auto& lines = run.Program.LinesOfCode;
    const std::vector<LineTexts> texts = AllTexts(report);
    std::size_t fileWidth = 4;
    std::size_t lineWidth = 4;
    std::size_t hitsWidth = 4;
    std::size_t timeWidth = 9;
    for (const LineTexts& line : texts) {
        fileWidth = std::max(fileWidth, line.File.size());
        lineWidth = std::max(lineWidth, line.Line.size());
        hitsWidth = std::max(hitsWidth, line.Hits.size());
        timeWidth = std::max(timeWidth, line.Time.size());
    }
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
    out += "Lines:    " + std::to_string(lines.size()) + ", " +
           std::to_string(report.Figures.LinesWithResults) + " with results\n\n";

    out += PadLeft("File", fileWidth) + "  " + PadLeft("Line", lineWidth) + "  " +
           PadLeft("Hits", hitsWidth) + "  " + PadLeft("Time (ms)", timeWidth) + "  " +
           "Heat      " + "  Code\n";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += PadLeft(texts[i].File, fileWidth) + "  " + PadLeft(texts[i].Line, lineWidth) + "  " +
               PadLeft(texts[i].Hits, hitsWidth) + "  " + PadLeft(texts[i].Time, timeWidth) + "  " +
               HeatBar(report.Figures.Lines[i].TimeHeat) + "  " + VisibleText(lines[i].Code) + "\n";
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
