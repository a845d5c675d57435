#include "analysis/html_report.h"

#include "analysis/html_page.h"
#include "analysis/id_names.h"
#include "analysis/line_figures.h"
#include "analysis/run_catalogue.h"
#include "analysis/wrapping_math.h"

#include <map>
#include <vector>

namespace tickscope {

namespace {

// The line indices (LineId - 1) of each source file, files by id.
std::map<int, std::vector<std::size_t>> LinesByFile(const std::vector<LineOfCode>& lines) {
    std::map<int, std::vector<std::size_t>> files;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        files[lines[i].SourceFileId].push_back(i);
    }
    return files;
}

void Heading(HtmlWriter& out, const RunReport& report) {
    const LoadedRun& run = report.Run;
    out << "<header>\n<h1>Tickscope report: ";
    out.Text(ProgramName(run.Record));
    out << "</h1>\n<dl class=\"facts\">\n";
    WriteFact(out, "Program", run.Record.Path);
    WriteFact(out, "Started", FormatTimestamp(run.Record.Timestamp));
    WriteFact(out, "Run file", report.RunFile);
    WriteFact(out, "Time", TimeTitle(report.Figures.Mode));
    out << "<dt>Lines</dt><dd>" << static_cast<std::int64_t>(run.Program.LinesOfCode.size())
        << ", <span id=\"with-results\">"
        << static_cast<std::int64_t>(report.Figures.LinesWithResults)
        << "</span> with results</dd>\n<dt>Run time</dt><dd><span id=\"run-ms\">"
        << FormatMilliseconds(report.Profile.RunNanos)
        << "</span> ms (the checked threads)</dd>\n</dl>\n";
    out << "<fieldset id=\"threads\"><legend>Threads</legend>\n";
    for (std::size_t p = 0; p < run.Threads.size(); ++p) {
        const bool checked = p < report.Threads.size() && report.Threads[p];
        out << "<label><input type=\"checkbox\" class=\"thread\" data-p=\""
            << static_cast<std::int64_t>(p) << "\"" << (checked ? " checked" : "") << "> "
            << std::int64_t{run.Threads[p].ThreadId};
        if (!run.Threads[p].Scope.empty()) {
            out << " <span class=\"note\">";
            out.Text(run.Threads[p].Scope);
            out << "</span>";
        }
        out << "</label>\n";
    }
    out << "</fieldset>\n</header>\n<noscript><p class=\"warning\">The procedures, the hottest "
           "lines, the thread check boxes and the bird's view need JavaScript.</p></noscript>\n";
}

void Listing(HtmlWriter& out, const RunReport& report, const std::string& path, int fileId,
             const std::vector<std::size_t>& lines, const std::vector<std::int64_t>& selfByLine,
             bool open) {
    const auto& code = report.Run.Program.LinesOfCode;
    const std::int64_t runNanos = report.Profile.RunNanos;
    std::int64_t fileSelf = 0;
    for (const std::size_t i : lines) {
        fileSelf = WrappingAdd(fileSelf, selfByLine[i]);
    }
    out << "<details class=\"file\" data-f=\"" << std::int64_t{fileId} << "\" data-name=\"";
    if (path.empty()) {
        out << "file " << std::int64_t{fileId};
    } else {
        out.Text(PathFileName(path));
    }
    out << "\"" << (open ? " open" : "") << "><summary><span class=\"path\">";
    if (path.empty()) {
        out << "(file " << std::int64_t{fileId} << ")";
    } else {
        out.Text(path);
    }
    out << "</span><span class=\"figure\">" << static_cast<std::int64_t>(lines.size())
        << " lines, self <span class=\"file-self\">" << FormatMilliseconds(fileSelf)
        << "</span> ms (<span class=\"file-percent\">" << FormatPercent(fileSelf, runNanos)
        << "</span> %)</span></summary>\n<div class=\"listing\"><div class=\"box\">"
           "<table class=\"code\"><thead><tr><th>Line</th><th>Hits</th><th>"
        << TimeTitle(report.Figures.Mode)
        << "</th><th>Self (ms)</th><th>Self %</th><th class=\"left\">Code</th></tr></thead>"
           "<tbody>\n";
    for (const std::size_t i : lines) {
        const LineReport& figures = report.Figures.Lines[i];
        const std::int64_t id = static_cast<std::int64_t>(i) + 1;
        out << "<tr id=\"L" << id << "\" data-l=\"" << id << "\""
            << (figures.HasResults ? "" : " class=\"none\"") << "><td class=\"ln\">"
            << std::int64_t{code[i].LineNumber} << "</td>";
        if (figures.HasResults) {
            out << "<td class=\"heat\" style=\"" << HeatStyle(figures.HitsHeat) << "\">"
                << figures.Hits << "</td><td class=\"heat\" style=\"" << HeatStyle(figures.TimeHeat)
                << "\">" << FormatMilliseconds(figures.TimeNanos) << "</td><td>"
                << FormatMilliseconds(selfByLine[i]) << "</td><td>"
                << FormatPercent(selfByLine[i], runNanos) << "</td>";
        } else {
            out << "<td class=\"heat\"></td><td class=\"heat\"></td><td></td><td></td>";
        }
        const ProcedureMark mark = ProcedureMarkOf(code[i].Code);
        out << "<td class=\"code"
            << (mark == ProcedureMark::Start ? " start"
                : mark == ProcedureMark::End ? " end"
                                             : "")
            << "\">";
        out.Text(code[i].Code);
        out << "</td></tr>\n";
    }
    out << "</tbody></table></div><div class=\"stripbox\"><canvas class=\"strip\" "
           "title=\"Bird's view: hits left, time right; click to go there\"></canvas></div>"
           "</div></details>\n";
}

// Every thread's figures, summed per line over the instructions, and its calls: what the
// page sums over the checked threads.
void ThreadData(HtmlWriter& out, const RunAnalysis& analysis) {
    const std::vector<ThreadNode>& threads = analysis.Threads();
    const std::int64_t idCount = std::int64_t{analysis.LineCount()} + 1;
    out.Json("\"threads\":[");
    for (std::size_t p = 0; p < threads.size(); ++p) {
        const ThreadNode& thread = threads[p];
        // Numbers and punctuation need no escaping; strings go through Json.
        out << (p == 0 ? "{" : ",{") << "\"id\":" << std::int64_t{thread.ThreadId}
            << ",\"root\":" << ExactJsonInteger(thread.RootNanos) << ",\"lines\":[";
        bool first = true;
        for (const ThreadLineNode& node : thread.Lines) {
            if (node.LineId < 0 || node.LineId >= idCount) {
                continue; // as SumLineFigures leaves them out
            }
            LineFigures sum;
            AddLineNode(sum, node);
            std::string numbers = first ? "" : ",";
            first = false;
            for (const std::int64_t value :
                 {std::int64_t{node.LineId}, sum.Hits, sum.TotalNanos, sum.MaxSum, sum.MinSum,
                  sum.ChildNanos, sum.EnteringNanos}) {
                numbers += ExactJsonInteger(value);
                numbers += ',';
            }
            numbers.pop_back();
            out << numbers;
        }
        out << "],\"calls\":[";
        for (std::size_t c = 0; c < thread.Calls.size(); ++c) {
            const CallFigures& call = thread.Calls[c];
            out << (c == 0 ? "" : ",") << std::int64_t{call.CallerLineId} << ","
                << std::int64_t{call.CalleeScopeId} << "," << ExactJsonInteger(call.Calls);
        }
        out << "]}";
    }
    out << "]";
}

void PageData(HtmlWriter& out, const RunReport& report) {
    const RunAnalysis& analysis = report.Run.Analysis;
    const IdNames names(report.Run.Program);
    WriteDataStart(out);
    out << "{\"kind\":\"run\",\"mode\":";
    out.Json(JsonString(TimeModeName(report.Figures.Mode)));
    out << ",\"maxHits\":" << std::int64_t{report.Scale.MaxHitsForFullRed}
        << ",\"maxTime\":" << std::int64_t{report.Scale.MaxTimeForFullRed}
        << ",\"lines\":" << std::int64_t{analysis.LineCount()}
        << ",\"hottest\":" << static_cast<std::int64_t>(kHtmlHottestLines) << ",\"scopes\":[";
    std::map<std::int32_t, std::int32_t> firstLines; // scope -> its first line
    for (std::int32_t id = 0; id <= analysis.LineCount(); ++id) {
        const std::int32_t scope = analysis.ProcedureOf(id);
        out << (id == 0 ? "" : ",") << std::int64_t{scope};
        if (scope != 0) {
            firstLines.try_emplace(scope, id);
        }
    }
    out << "],\"procs\":[";
    bool first = true;
    for (const auto& [scope, line] : firstLines) {
        const std::string& name = names.ScopeName(scope);
        out << (first ? "[" : ",[") << std::int64_t{scope} << ",";
        out.Json(JsonString(ProcedureLabel(name, scope)));
        out << "," << std::int64_t{line} << "]";
        first = false;
    }
    out << "],";
    ThreadData(out, analysis);
    out << "}";
}

} // namespace

void WriteHtmlReport(const RunReport& report, TextSink& sink) {
    HtmlWriter out(sink);
    const LoadedRun& run = report.Run;
    std::string title = "Tickscope: ";
    title += ProgramName(run.Record);
    WritePageStart(out, title);
    Heading(out, report);

    out << "<main>\n<div class=\"tables\"><section>\n<h2>Procedures</h2>\n";
    WriteSortableTable(out, "procedures",
                       {{"Procedure", false},
                        {"Calls"},
                        {"Hits"},
                        {"Self (ms)"},
                        {"Self %"},
                        {"Total (ms)"},
                        {"Total %"}},
                       3);
    out << kTableEnd << "</section><section>\n<h2>Hottest lines</h2>\n<p class=\"note\">The "
        << static_cast<std::int64_t>(kHtmlHottestLines)
        << " lines with the most self time (their time without that of the lines they "
           "ran).</p>\n";
    WriteSortableTable(out, "hottest",
                       {{"Place", false},
                        {"Procedure", false},
                        {"Hits"},
                        {TimeTitle(report.Figures.Mode)},
                        {"Self (ms)"},
                        {"Self %"},
                        {"Code", false}},
                       4);
    out << kTableEnd << "</section></div>\n";

    std::vector<std::int64_t> selfByLine(run.Program.LinesOfCode.size(), 0);
    for (const LineProfile& line : report.Profile.Lines) {
        if (line.LineId >= 1 && static_cast<std::size_t>(line.LineId) <= selfByLine.size()) {
            selfByLine[static_cast<std::size_t>(line.LineId) - 1] = line.SelfNanos;
        }
    }
    out << "<h2>Source files</h2>\n<p class=\"note\">Hits and time coloured by their heat, as "
           "in the window; the strip beside a listing is its bird's view.</p>\n";
    const IdNames names(run.Program);
    bool first = true;
    for (const auto& [fileId, lines] : LinesByFile(run.Program.LinesOfCode)) {
        Listing(out, report, names.FilePath(fileId), fileId, lines, selfByLine, first);
        first = false;
    }
    out << "</main>\n";
    PageData(out, report);
    WritePageEnd(out);
}

} // namespace tickscope
