// The HTML pages of a run and of a comparison: escaping of every text a run carries, the
// page's data for the script, that the page is written in pieces, and the colours of changes.
// (Tests that load the page in a browser: html_report_browser_test.cpp.)
#include "analysis/html_page.h"
#include "analysis/html_report.h"

#include "analysis/report_figures.h"
#include "analysis/run_profile.h"
#include "attribution_fixtures.h"

#include "common/statements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

namespace tickscope {
namespace {

using testing::Entry;

struct EscapeCase {
    std::string Text;
    std::string Html;
};

TEST(HtmlPageTest, TextIsEscapedAndShownAsUtf8) {
    const std::vector<EscapeCase> cases = {
        {"plain", "plain"},
        {"If a < b And c > d", "If a &lt; b And c &gt; d"},
        {"x = \"a\" + 'b' & c", "x = &quot;a&quot; + &#39;b&#39; &amp; c"},
        {"</script><script>alert(1)</script>",
         "&lt;/script&gt;&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"&amp; stays text", "&amp;amp; stays text"},
        {"\tindented", "\tindented"},
        {std::string("nul\0esc\x1B del\x7F", 13), "nul^@esc^[ del^?"},
        {"cr\rlf\n", "cr^Mlf^J"},
        // UTF-8 where valid, Windows-1252 otherwise, each text on its own.
        {"Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC",
         "Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC"},
        {"Gr\xFC\xDF"
         "e \x80",
         "Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC"},
        {"\xE6\x97\xA5\xE6\x9C\xAC <", "\xE6\x97\xA5\xE6\x9C\xAC &lt;"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HtmlText(c.Text), c.Html) << c.Text;
    }
}

TEST(HtmlPageTest, JsonCannotEndItsScriptElement) {
    const std::vector<EscapeCase> cases = {
        {R"({"a":"</script><b>"})", R"({"a":"\u003c/script\u003e\u003cb\u003e"})"},
        {R"(["<!--","&amp;"])", R"(["\u003c!--","\u0026amp;"])"},
        {"[\"a\xE2\x80\xA8"
         "b\xE2\x80\xA9\"]",
         "[\"a\\u2028b\\u2029\"]"},
        {"[\"\xE2\x80\xA7\xE2\x82\xAC\"]", "[\"\xE2\x80\xA7\xE2\x82\xAC\"]"},
        {"[1,2]", "[1,2]"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScriptJson(c.Text), c.Html) << c.Text;
    }
}

TEST(HtmlPageTest, IntegersBeyondDoublesAreStrings) {
    constexpr std::int64_t kExact = (std::int64_t{1} << 53) - 1;
    const std::vector<std::pair<std::int64_t, std::string>> cases = {
        {0, "0"},
        {-12, "-12"},
        {kExact, "9007199254740991"},
        {-kExact, "-9007199254740991"},
        {kExact + 1, "\"9007199254740992\""},
        {std::numeric_limits<std::int64_t>::min(), "\"-9223372036854775808\""},
        {std::numeric_limits<std::int64_t>::max(), "\"9223372036854775807\""},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(ExactJsonInteger(value), text) << value;
    }
}

// Counts the pieces the page arrives in.
class PieceSink final : public TextSink {
  public:
    void Write(std::string_view text) override {
        Text.append(text);
        ++Pieces;
        Largest = std::max(Largest, text.size());
    }
    std::string Text;
    std::size_t Pieces = 0;
    std::size_t Largest = 0;
};

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

const std::string kHostile = "</script><script>alert(1)</script>\"><img src=x onerror=alert(2)>";

// A program whose every text is hostile or not ASCII: file 1 (UTF-8 name), file 2
// (Windows-1252 code), procedure Foo on lines 1-3; threads 7 and 9.
struct HostileRun {
    LoadedRun Run;
    ThreadChecks Threads;
    ReportFigures Figures;
    RunProfile Profile;

    explicit HostileRun(int extraLines = 0) {
        ProgramInfo& program = Run.Program;
        Run.Record.Path = "C:\\src\\" + kHostile + ".pb";
        program.SourceFileIds.Set(Run.Record.Path, 1);
        program.SourceFileIds.Set("C:\\src\\Gr\xC3\xBC\xC3\x9F"
                                  "e & <inc>.pbi",
                                  2);
        program.ScopeIds.Set("***main***", 1);
        program.ScopeIds.Set("Foo" + kHostile, 2);
        const auto line = [&](int file, int number, const std::string& code, int scope) {
            LineOfCode& l = program.LinesOfCode.emplace_back();
            l.SourceFileId = file;
            l.LineNumber = number;
            l.Code = code;
            testing::AddStatement(l, code, scope);
        };
        line(1, 1, "Procedure Foo()", 2);
        line(1, 2, "  x$ = \"<b>&amp;</b>\" + " + kHostile, 2);
        line(1, 3, "EndProcedure", 0);
        line(2, 1,
             "Debug \"Gr\xFC\xDF"
             "e\" ; caf\xE9",
             1);
        line(2, 2, "Foo()", 1);
        for (int i = 0; i < extraLines; ++i) {
            line(2, 3 + i, "y + 1 ; " + std::to_string(i), 1);
        }
        ResetAttribution(Run.Analysis, program.LinesOfCode);
        testing::Attribute(Run.Analysis, {
                                             Entry(7, 2, true, 0, 1, 0, 2),
                                             Entry(7, 1, true, 100),
                                             Entry(7, 2, true, 150),
                                             Entry(7, 2, false, 450),
                                             Entry(7, 1, false, 500),
                                             Entry(7, 2, false, 1000, 1, 0, 2),
                                             Entry(9, 1, true, 0, 1, 0, 2),
                                             Entry(9, 1, false, 70, 1, 0, 2),
                                         });
        Run.Threads = {{7, "***main***"}, {9, kHostile}};
        Threads = ThreadChecks(2, true);
        const LineChecks lines(program.LinesOfCode.size(), true);
        Figures = ComputeReportFigures(Run.Analysis, Threads, lines, TimeMode::All, {});
        Profile = ComputeRunProfile(Run.Analysis, program, Threads);
    }
    RunReport Report() const {
        return RunReport{Run, Threads, Figures, Profile, {}, "runs/" + kHostile + ".tkr"};
    }
};

// Nothing of a run's texts becomes markup: the page has its own two scripts and nothing
// that loads from elsewhere.
void ExpectOnlyThePagesOwnMarkup(const std::string& page) {
    EXPECT_EQ(page.rfind("<!DOCTYPE html>\n", 0), 0u);
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_EQ(Count(page, "<script"), 2u);
    EXPECT_EQ(Count(page, "</script>"), 2u);
    EXPECT_EQ(Count(page, "<img"), 0u);
    EXPECT_EQ(Count(page, " src=\""), 0u);
    EXPECT_EQ(Count(page, "http"), 0u);
    EXPECT_EQ(Count(page, "@import"), 0u);
    EXPECT_EQ(Count(page, "url("), 0u);
}

TEST(HtmlReportTest, EveryTextOfTheRunIsEscaped) {
    const HostileRun hostile;
    StringSink sink;
    WriteHtmlReport(hostile.Report(), sink);
    const std::string& page = sink.Text;
    ExpectOnlyThePagesOwnMarkup(page);
    const std::string escaped = HtmlText(kHostile);
    // Program (title, heading, facts), run file, file path, code, thread scope: in the markup.
    EXPECT_GE(Count(page, escaped), 5u);
    EXPECT_NE(page.find("x$ = &quot;&lt;b&gt;&amp;amp;&lt;/b&gt;&quot; + " + escaped),
              std::string::npos);
    // The procedure's name is in the data, JSON-escaped and unable to end its element.
    EXPECT_NE(page.find("\"Foo\\u003c/script\\u003e\\u003cscript\\u003ealert(1)"),
              std::string::npos);
    // UTF-8 stays, Windows-1252 is read as such.
    EXPECT_NE(page.find("Gr\xC3\xBC\xC3\x9F"
                        "e &amp; &lt;inc&gt;.pbi"),
              std::string::npos);
    EXPECT_NE(page.find("Debug &quot;Gr\xC3\xBC\xC3\x9F"
                        "e&quot; ; caf\xC3\xA9"),
              std::string::npos);
}

TEST(HtmlReportTest, ListsEveryLineWithItsFiguresAndTheThreadsData) {
    const HostileRun hostile;
    StringSink sink;
    WriteHtmlReport(hostile.Report(), sink);
    const std::string& page = sink.Text;
    EXPECT_EQ(Count(page, "<tr id=\"L"), hostile.Run.Program.LinesOfCode.size());
    EXPECT_EQ(Count(page, "<details class=\"file\""), 2u);
    EXPECT_EQ(Count(page, "<input type=\"checkbox\" class=\"thread\""), 2u);
    // Line 2 of file 2 (LineId 5): 1000 ns with 400 of Foo's below it, the most time (full
    // red), self time 600 of the run's 1070 ns.
    EXPECT_NE(page.find("<tr id=\"L5\" data-l=\"5\"><td class=\"ln\">2</td>"
                        "<td class=\"heat\" style=\"background:rgb(255,0,0)\">1</td>"
                        "<td class=\"heat\" style=\"background:rgb(255,0,0)\">0.001</td>"
                        "<td>0.0006</td><td>56.07</td>"),
              std::string::npos);
    EXPECT_NE(page.find("<tr id=\"L3\" data-l=\"3\" class=\"none\">"), std::string::npos);
    EXPECT_NE(page.find("<span id=\"run-ms\">0.00107</span>"), std::string::npos);
    // Each thread's lines: id, hits, total, max, min, child, entering (main's lines enter
    // the main scope); and its calls.
    EXPECT_NE(page.find("{\"id\":7,\"root\":1000,\"lines\":[5,1,1000,1000,1000,400,1000,"
                        "1,1,400,400,400,300,400,2,1,300,300,300,0,0],\"calls\":[5,2,1]}"),
              std::string::npos);
    EXPECT_NE(page.find("{\"id\":9,\"root\":70,\"lines\":[4,1,70,70,70,0,70],\"calls\":[]}"),
              std::string::npos);
    EXPECT_NE(page.find("\"scopes\":[0,2,2,0,1,1]"), std::string::npos);
}

TEST(HtmlReportTest, APageIsWrittenInPieces) {
    const HostileRun large(20000);
    PieceSink pieces;
    WriteHtmlReport(large.Report(), pieces);
    StringSink whole;
    WriteHtmlReport(large.Report(), whole);
    EXPECT_EQ(pieces.Text, whole.Text);
    EXPECT_GT(pieces.Text.size(), std::size_t{1} << 20);
    EXPECT_GT(pieces.Pieces, 10u);
    EXPECT_LT(pieces.Largest, std::size_t{80} << 10);
    EXPECT_EQ(Count(pieces.Text, "<tr id=\"L"), 20005u);
}

// --- comparisons ------------------------------------------------------------------------

// A run of "main.pb" whose lines ran with the given times (-1: did not run).
RunSummary Summary(const std::vector<std::pair<std::string, std::int64_t>>& lines,
                   const std::string& procedure) {
    RunSummary run;
    run.Record.FileName = "run.tkr";
    run.Record.Path = "/p/main.pb";
    run.Program.SourceFileIds.Set("/p/main.pb", 1);
    run.Threads = {{1, "***main***"}};
    run.CountedThreads = {true};
    for (const auto& [code, nanos] : lines) {
        LineOfCode& line = run.Program.LinesOfCode.emplace_back();
        line.SourceFileId = 1;
        line.LineNumber = static_cast<int>(run.Program.LinesOfCode.size());
        line.Code = code;
        LineReport& figures = run.Figures.Lines.emplace_back();
        if (nanos >= 0) {
            figures.HasResults = true;
            figures.Hits = 1;
            figures.TimeNanos = nanos;
            run.Profile.Lines.push_back(
                {static_cast<std::int32_t>(run.Program.LinesOfCode.size()), 0, 1, nanos, 0, nanos});
            run.Profile.RunNanos += nanos;
        }
    }
    ProcedureProfile& p = run.Profile.Procedures.emplace_back();
    p.ScopeId = 2;
    p.Name = procedure;
    p.FirstLineId = 1;
    p.Calls = 1;
    p.TotalNanos = run.Profile.RunNanos;
    p.SelfNanos = run.Profile.RunNanos;
    return run;
}

TEST(HtmlComparisonTest, ChangesAreColouredAndTextsEscaped) {
    const RunSummary older =
        Summary({{"a = 1", 1000}, {"b = 2", 4000}, {"gone()", 500}, {"same()", 700}}, kHostile);
    const RunSummary newer = Summary(
        {{"a = 1", 3000}, {"b = 2", 2000}, {"same()", 700}, {"x$ = \"<new>\"", 100}}, kHostile);
    const RunComparison comparison = CompareRuns(older, newer);
    StringSink sink;
    WriteHtmlComparison({older, newer, comparison}, sink);
    const std::string& page = sink.Text;
    ExpectOnlyThePagesOwnMarkup(page);
    EXPECT_NE(page.find(HtmlText(kHostile)), std::string::npos);
    EXPECT_NE(page.find("x$ = &quot;&lt;new&gt;&quot;"), std::string::npos);
    // The largest change (2000 ns either way) is full red and full green, a quarter of it a
    // quarter as strong (a light green).
    EXPECT_NE(page.find("<td data-v=\"2000\" class=\"slower strong\" "
                        "style=\"background:rgb(255,0,0)\">+0.002</td><td data-v=\"2000\" "
                        "class=\"up\">+200.00</td>"),
              std::string::npos);
    EXPECT_NE(page.find("<td data-v=\"-2000\" class=\"faster strong\" "
                        "style=\"background:rgb(0,140,0)\">-0.002</td><td data-v=\"-2000\" "
                        "class=\"down\">-50.00</td>"),
              std::string::npos);
    EXPECT_NE(page.find("<tr id=\"R2\" class=\"removed\" data-dh=\"-64\">"), std::string::npos);
    EXPECT_NE(
        page.find("<td data-v=\"-500\" class=\"faster\" style=\"background:rgb(191,227,191)\">"),
        std::string::npos);
    // Unchanged: no colour; removed and added rows carry their status.
    EXPECT_NE(page.find("<td data-v=\"0\">0.</td><td data-v=\"0\">0.00</td>"), std::string::npos);
    EXPECT_EQ(Count(page, "<tr id=\"R"), 5u);
    EXPECT_EQ(Count(page, "class=\"removed\""), 1u);
    EXPECT_EQ(Count(page, "class=\"added\""), 1u);
    EXPECT_NE(page.find("\"kind\":\"comparison\""), std::string::npos);
}

} // namespace
} // namespace tickscope
