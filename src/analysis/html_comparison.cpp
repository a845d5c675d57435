#include "analysis/html_page.h"
#include "analysis/html_report.h"
#include "analysis/id_names.h"
#include "analysis/run_catalogue.h"
#include "analysis/wrapping_math.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <vector>

namespace tickscope {

namespace {

// The colour of a change: from white, slower towards red and faster towards green, as
// strong as the change is against the largest change of its table; none for no change.
struct ChangeColour {
    double Largest = 0.0; // milliseconds

    // The signed strength, -255 (much faster) to 255 (much slower); 0 for no change.
    int Strength(std::int64_t delta) const {
        const int red = HeatRed(std::fabs(ReportedMilliseconds(delta)), Largest);
        return delta > 0 ? std::max(red, 1) : delta < 0 ? -std::max(red, 1) : 0;
    }
    // The attributes of a change's cell: white text on the stronger half.
    std::string Cell(const std::optional<std::int64_t>& delta) const {
        if (!delta || *delta == 0) {
            return {};
        }
        const int strength = Strength(*delta);
        const int level = std::abs(strength);
        const int light = 255 - level;
        std::string attributes = strength > 0 ? " class=\"slower" : " class=\"faster";
        attributes += level > 150 ? " strong\"" : "\"";
        const int red = strength > 0 ? 255 : light;
        const int green = strength > 0 ? light : 255 - level * 115 / 255;
        attributes += " style=\"background:rgb(";
        attributes += std::to_string(red);
        attributes += ',';
        attributes += std::to_string(green);
        attributes += ',';
        attributes += std::to_string(light);
        attributes += ")\"";
        return attributes;
    }
};

template <class Rows, class Delta> ChangeColour ColourFor(const Rows& rows, Delta delta) {
    ChangeColour colour;
    for (const auto& row : rows) {
        if (const std::optional<std::int64_t> d = delta(row)) {
            colour.Largest = std::max(colour.Largest, std::fabs(ReportedMilliseconds(*d)));
        }
    }
    return colour;
}

// A numeric cell: the text, sorted by the value; empty without one.
void NumberCell(HtmlWriter& out, const std::string& text, bool has, std::int64_t value,
                const std::string& attributes = {}) {
    out << "<td data-v=\"";
    if (has) {
        out << value;
    }
    out << "\"" << attributes << ">" << text << "</td>";
}

void DeltaCells(HtmlWriter& out, const std::optional<std::int64_t>& delta,
                const std::string& percent, const ChangeColour& colour) {
    NumberCell(out, delta ? SignedText(FormatMilliseconds(*delta)) : std::string(),
               delta.has_value(), delta.value_or(0), colour.Cell(delta));
    const bool up = !percent.empty() && percent.front() != '-' && percent != "0.00";
    const bool down = !percent.empty() && percent.front() == '-';
    out << "<td data-v=\"";
    if (delta) {
        out << *delta;
    }
    out << "\""
        << (up     ? " class=\"up\""
            : down ? " class=\"down\""
                   : "")
        << ">" << SignedText(percent) << "</td>";
}

std::string CountedThreads(const RunSummary& run) {
    std::string ids;
    std::size_t counted = 0;
    for (std::size_t i = 0; i < run.Threads.size(); ++i) {
        if (i < run.CountedThreads.size() && run.CountedThreads[i]) {
            ids += counted++ == 0 ? "" : ", ";
            ids += std::to_string(run.Threads[i].ThreadId);
        }
    }
    std::string text = std::to_string(counted);
    text += " of ";
    text += std::to_string(run.Threads.size());
    if (counted > 0) {
        text += " (";
        text += ids;
        text += ')';
    }
    return text;
}

void RunFacts(HtmlWriter& out, const char* which, const RunSummary& run) {
    out << "<dt>" << which << " run</dt><dd>";
    out.Text(run.Record.FileName);
    out << "<br>program ";
    out.Text(run.Record.Path);
    out << "<br>started " << FormatTimestamp(run.Record.Timestamp) << ", threads "
        << CountedThreads(run) << ", run time " << FormatMilliseconds(run.Profile.RunNanos)
        << " ms</dd>\n";
}

void Heading(HtmlWriter& out, const ComparisonReport& report) {
    const RunComparison& comparison = report.Comparison;
    out << "<header>\n<h1>Tickscope comparison: ";
    out.Text(ProgramName(report.New.Record));
    out << "</h1>\n<dl class=\"facts\">\n";
    RunFacts(out, "Old", report.Old);
    RunFacts(out, "New", report.New);
    WriteFact(out, "Time", TimeTitle(comparison.Mode));
    const std::int64_t delta = WrappingSubtract(comparison.NewRunNanos, comparison.OldRunNanos);
    const std::string percent = DeltaPercent(comparison.OldRunNanos, comparison.NewRunNanos);
    out << "<dt>Run time</dt><dd>" << FormatMilliseconds(comparison.OldRunNanos) << " ms &rarr; "
        << FormatMilliseconds(comparison.NewRunNanos) << " ms (<span id=\"run-change\" class=\""
        << (delta > 0   ? "up"
            : delta < 0 ? "down"
                        : "")
        << "\">" << SignedText(FormatMilliseconds(delta)) << " ms"
        << (percent.empty() ? std::string() : ", " + SignedText(percent) + " %")
        << "</span>)</dd>\n</dl>\n</header>\n";
    if (!comparison.SharesFiles()) {
        out << "<p class=\"warning\">The runs have no source file in common: they are of "
               "different programs, so every line is added or removed.</p>\n";
    }
}

void Procedures(HtmlWriter& out, const ComparisonReport& report) {
    const auto& procedures = report.Comparison.Procedures;
    const ChangeColour colour = ColourFor(procedures, TotalDelta);
    out << "<h2>Procedures</h2>\n";
    WriteSortableTable(out, "procedures",
                       {{"Status", false},
                        {"Procedure", false},
                        {"Old calls"},
                        {"New calls"},
                        {"Old self (ms)"},
                        {"New self (ms)"},
                        {"Old total (ms)"},
                        {"New total (ms)"},
                        {"Change (ms)"},
                        {"Change %"}},
                       8);
    std::vector<std::size_t> order =
        RankComparedProcedures(report.Comparison, ComparisonOrder::Delta);
    for (const std::size_t i : order) {
        const ProcedureComparison& row = procedures[i];
        const ProcedureRowTexts t = ComparisonTexts::Procedure(row);
        out << "<tr><td class=\"left\">" << t.Status << "</td><td class=\"left\">";
        out.Text(t.Name);
        out << "</td>";
        NumberCell(out, t.OldCalls, row.Old.HasFigures, row.Old.Calls);
        NumberCell(out, t.NewCalls, row.New.HasFigures, row.New.Calls);
        NumberCell(out, t.OldSelf, row.Old.HasFigures, row.Old.SelfNanos);
        NumberCell(out, t.NewSelf, row.New.HasFigures, row.New.SelfNanos);
        NumberCell(out, t.OldTotal, row.Old.HasFigures, row.Old.TotalNanos);
        NumberCell(out, t.NewTotal, row.New.HasFigures, row.New.TotalNanos);
        DeltaCells(out, TotalDelta(row), t.DeltaPercent, colour);
        out << "</tr>\n";
    }
    out << kTableEnd;
}

// The place of a line: "name:line" of its file, a link to its row in the listings.
void PlaceCell(HtmlWriter& out, const std::string& path, const std::string& line, std::size_t row) {
    out << "<td class=\"left\">";
    if (!line.empty()) {
        out << "<a href=\"#R" << static_cast<std::int64_t>(row) << "\">";
        out.Text(PathFileName(path));
        out << ":" << line << "</a>";
    }
    out << "</td>";
}

void MostChanged(HtmlWriter& out, const ComparisonReport& report, const ChangeColour& colour) {
    const RunComparison& comparison = report.Comparison;
    out << "<h2>Lines that changed most</h2>\n<p class=\"note\">The "
        << static_cast<std::int64_t>(kHtmlHottestLines) << " lines that got slower and the "
        << static_cast<std::int64_t>(kHtmlHottestLines) << " that got faster by the most.</p>\n";
    WriteSortableTable(out, "changed",
                       {{"Status", false},
                        {"Old place", false},
                        {"New place", false},
                        {"Old (ms)"},
                        {"New (ms)"},
                        {"Change (ms)"},
                        {"Change %"},
                        {"Code", false}},
                       5);
    const ComparisonTexts texts(report);
    for (const bool gained : {true, false}) {
        for (const std::size_t i : MostChangedLines(comparison, gained, kHtmlHottestLines)) {
            const LineComparison& row = comparison.Lines[i];
            const LineRowTexts t = texts.Line(row);
            out << "<tr><td class=\"left\">" << t.Status << "</td>";
            PlaceCell(out, t.OldFile, t.OldLine, i);
            PlaceCell(out, t.NewFile, t.NewLine, i);
            NumberCell(out, t.OldTime, row.Old.HasFigures, row.Old.TimeNanos);
            NumberCell(out, t.NewTime, row.New.HasFigures, row.New.TimeNanos);
            DeltaCells(out, TimeDelta(row), t.DeltaPercent, colour);
            out << "<td class=\"code\">";
            out.Text(t.Code);
            out << "</td></tr>\n";
        }
    }
    out << kTableEnd;
}

// The rows of the comparison by the file they are listed under: the new line's file, the
// old line's for a removed line; rows of no compared file last.
std::vector<std::vector<std::size_t>> RowsByFile(const ComparisonReport& report) {
    const RunComparison& comparison = report.Comparison;
    std::map<int, std::size_t> byOld;
    std::map<int, std::size_t> byNew;
    for (std::size_t f = 0; f < comparison.Files.size(); ++f) {
        byOld.emplace(comparison.Files[f].OldFileId, f);
        byNew.emplace(comparison.Files[f].NewFileId, f);
    }
    std::vector<std::vector<std::size_t>> rows(comparison.Files.size() + 1);
    const auto fileOf = [](const RunSummary& run, std::int32_t lineId) {
        const auto& lines = run.Program.LinesOfCode;
        return lineId >= 1 && static_cast<std::size_t>(lineId) <= lines.size()
                   ? lines[static_cast<std::size_t>(lineId) - 1].SourceFileId
                   : 0;
    };
    for (std::size_t i = 0; i < comparison.Lines.size(); ++i) {
        const LineComparison& line = comparison.Lines[i];
        const bool onNew = line.New.LineId != 0;
        const auto& index = onNew ? byNew : byOld;
        const int file =
            onNew ? fileOf(report.New, line.New.LineId) : fileOf(report.Old, line.Old.LineId);
        const auto found = file != 0 ? index.find(file) : index.end();
        rows[found != index.end() ? found->second : comparison.Files.size()].push_back(i);
    }
    return rows;
}

void FileSummary(HtmlWriter& out, const FileComparison& file, const IdNames& oldNames,
                 const IdNames& newNames) {
    const std::string& oldPath = oldNames.FilePath(file.OldFileId);
    const std::string& newPath = newNames.FilePath(file.NewFileId);
    out << "<summary><span class=\"path\">";
    out.Text(file.NewFileId != 0 ? newPath : oldPath);
    out << "</span><span class=\"figure\">" << MatchStatusName(file.Status);
    if (file.Status == MatchStatus::Matched && oldPath != newPath) {
        out << ", was ";
        out.Text(oldPath);
    }
    out << "</span></summary>\n";
}

void Listing(HtmlWriter& out, const ComparisonReport& report, const std::vector<std::size_t>& rows,
             const ChangeColour& colour, const ComparisonTexts& texts) {
    out << "<div class=\"listing\"><div class=\"box\"><table class=\"code compare\"><thead><tr>"
           "<th>Old line</th><th>New line</th><th>Old hits</th><th>New hits</th>"
           "<th>Old (ms)</th><th>New (ms)</th><th>Change (ms)</th><th>Change %</th>"
           "<th class=\"left\">Code</th></tr></thead><tbody>\n";
    for (const std::size_t i : rows) {
        const LineComparison& row = report.Comparison.Lines[i];
        const LineRowTexts t = texts.Line(row);
        const std::optional<std::int64_t> delta = TimeDelta(row);
        out << "<tr id=\"R" << static_cast<std::int64_t>(i) << "\" class=\"" << t.Status
            << "\" data-dh=\"";
        if (delta) {
            out << std::int64_t{colour.Strength(*delta)};
        }
        out << "\"><td class=\"ln\">" << t.OldLine << "</td><td class=\"ln\">" << t.NewLine
            << "</td><td>" << t.OldHits << "</td><td>" << t.NewHits << "</td><td>" << t.OldTime
            << "</td><td>" << t.NewTime << "</td>";
        DeltaCells(out, delta, t.DeltaPercent, colour);
        out << "<td class=\"code\">";
        out.Text(t.Code);
        out << "</td></tr>\n";
    }
    out << "</tbody></table></div><div class=\"stripbox\"><canvas class=\"strip\" "
           "title=\"Bird's view: slower red, faster green; click to go there\"></canvas></div>"
           "</div>";
}

} // namespace

void WriteHtmlComparison(const ComparisonReport& report, TextSink& sink) {
    HtmlWriter out(sink);
    std::string title = "Tickscope comparison: ";
    title += ProgramName(report.New.Record);
    WritePageStart(out, title);
    Heading(out, report);
    out << "<main>\n";
    Procedures(out, report);
    const RunComparison& comparison = report.Comparison;
    const ChangeColour colour = ColourFor(comparison.Lines, TimeDelta);
    MostChanged(out, report, colour);

    out << "<h2>Source files</h2>\n<p class=\"note\">Every line of both runs, matched across "
           "edits of the program; the strip beside a listing is its bird's view.</p>\n";
    const IdNames oldNames(report.Old.Program);
    const IdNames newNames(report.New.Program);
    const ComparisonTexts texts(report);
    const std::vector<std::vector<std::size_t>> rows = RowsByFile(report);
    for (std::size_t f = 0; f < rows.size(); ++f) {
        if (f == comparison.Files.size() && rows[f].empty()) {
            break;
        }
        out << "<details class=\"file\"" << (f == 0 ? " open" : "") << ">";
        if (f < comparison.Files.size()) {
            FileSummary(out, comparison.Files[f], oldNames, newNames);
        } else {
            out << "<summary>Lines of no compared file</summary>\n";
        }
        Listing(out, report, rows[f], colour, texts);
        out << "</details>\n";
    }
    out << "</main>\n";
    WriteDataStart(out);
    out.Json("{\"kind\":\"comparison\"}");
    WritePageEnd(out);
}

} // namespace tickscope
