// The HTML page of tickscope-report in a real browser (headless Chromium; skipped where it is
// not installed): it loads without a console message or script error, lists every line of
// code, and after its thread check boxes change it shows the figures that the tool's CSV and
// text give for the same threads with --threads, in every time mode.
#include "common/csv.h"
#include "common/report_tool.h"
#include "common/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

namespace tickscope {
namespace {

using testing::ProcessResult;
using testing::ShellQuote;
using testing::TempFolder;

const std::string kRunFolder = std::string(TICKSCOPE_SOURCE_DIR) + "/examples/home/Tickscope/";

std::optional<std::string> FindChromium() {
    for (const char* name : {"chromium", "chromium-browser"}) {
        for (const char* folder : {"/usr/bin/", "/usr/local/bin/", "/snap/bin/"}) {
            const std::string path = std::string(folder) + name;
            if (std::filesystem::exists(path)) {
                return path;
            }
        }
    }
    return std::nullopt;
}

// The page after the browser ran it: its DOM and what it logged.
struct LoadedPage {
    std::string Dom;
    std::string Log;
};

// The script that clicks the check boxes of `untick` (thread positions).
std::string Untick(const std::vector<int>& untick) {
    std::string clicks;
    for (const int p : untick) {
        clicks +=
            "document.querySelector('input.thread[data-p=\"" + std::to_string(p) + "\"]').click();";
    }
    return clicks;
}

// Loads the page with a script before the page's own that records script errors, and one
// after it that runs `clicks` and writes the errors into <body data-errors>.
LoadedPage LoadInChromium(const std::string& chromium, std::string page,
                          const std::string& clicks) {
    const std::string before = "<script>window.errors=[];window.addEventListener('error',"
                               "function(e){errors.push(e.message)});</script>";
    const std::string after = "<script>try{" + clicks +
                              "}catch(e){errors.push(String(e))}"
                              "document.body.setAttribute('data-errors',errors.join('|'));"
                              "</script>";
    page.insert(page.find("<head>") + 6, before);
    page.insert(page.rfind("</body>"), after);
    TempFolder folder;
    const std::string file = folder.Write("page.html", page);
    const std::string command =
        "timeout 90 " + ShellQuote(chromium) +
        " --headless --disable-gpu --no-sandbox --no-first-run --user-data-dir=" +
        ShellQuote(folder.File("profile")) + " --enable-logging=stderr --v=0 --dump-dom " +
        ShellQuote("file://" + file) + " >" + ShellQuote(folder.File("dom")) + " 2>" +
        ShellQuote(folder.File("log")) + " </dev/null";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << command;
    return {testing::ReadFileBytes(folder.File("dom")), testing::ReadFileBytes(folder.File("log"))};
}

// The fields of a CSV text's records after its header.
std::vector<std::vector<std::string>> CsvRecords(const std::string& text) {
    std::vector<std::vector<std::string>> records = testing::ParseCsv(text);
    records.erase(records.begin());
    return records;
}

// A line row of the page: hits, time, self, percent, and the red of its two heat cells
// (-1 for none).
struct PageLine {
    std::string Hits, Time, Self, Percent;
    int HitsHeat = -1;
    int TimeHeat = -1;
};

int RedOf(const std::string& style) {
    // As written ("rgb(5,0,0)") or as the browser writes it back ("rgb(5, 0, 0)").
    static const std::regex kRed(R"(rgb\((\d+), ?0, ?0\))");
    std::smatch match;
    return std::regex_search(style, match, kRed) ? std::stoi(match[1]) : -1;
}

std::map<int, PageLine> LineRows(const std::string& dom) {
    static const std::regex kRow(
        R"re(<tr id="L(\d+)" data-l="\d+"(?: class="[^"]*")?><td class="ln">\d+</td><td class="heat"(?: style="([^"]*)")?>([^<]*)</td><td class="heat"(?: style="([^"]*)")?>([^<]*)</td><td>([^<]*)</td><td>([^<]*)</td>)re");
    std::map<int, PageLine> rows;
    for (auto it = std::sregex_iterator(dom.begin(), dom.end(), kRow); it != std::sregex_iterator();
         ++it) {
        const std::smatch& m = *it;
        PageLine line{m[3], m[5], m[6], m[7], -1, -1};
        if (!line.Hits.empty()) {
            line.HitsHeat = RedOf(m[2]);
            line.TimeHeat = RedOf(m[4]);
        }
        rows[std::stoi(m[1])] = line;
    }
    return rows;
}

// "name calls self total self% total%" of every row of the procedures table.
std::vector<std::string> ProcedureRows(const std::string& dom) {
    const std::size_t start = dom.find("<table id=\"procedures\"");
    const std::size_t end = dom.find("</table>", start);
    const std::string table = dom.substr(start, end - start);
    static const std::regex kRow(
        R"re(<tr><td class="left"><a href="#L\d+">([^<]*)</a></td><td data-v="[^"]*">([^<]*)</td><td data-v="[^"]*">[^<]*</td><td data-v="[^"]*">([^<]*)</td><td data-v="[^"]*">([^<]*)</td><td data-v="[^"]*">([^<]*)</td><td data-v="[^"]*">([^<]*)</td></tr>)re");
    std::vector<std::string> rows;
    for (auto it = std::sregex_iterator(table.begin(), table.end(), kRow);
         it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        rows.push_back(std::string(m[1]) + " " + std::string(m[2]) + " " + std::string(m[3]) + " " +
                       std::string(m[5]) + " " + std::string(m[4]) + " " + std::string(m[6]));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::string Between(const std::string& text, const std::string& before, const std::string& after) {
    const std::size_t start = text.find(before);
    if (start == std::string::npos) {
        return "(none)";
    }
    const std::size_t from = start + before.size();
    return text.substr(from, text.find(after, from) - from);
}

void ExpectNoErrors(const LoadedPage& page) {
    EXPECT_NE(page.Dom.find("data-errors=\"\""), std::string::npos)
        << Between(page.Dom, "data-errors=\"", "\"");
    EXPECT_EQ(page.Log.find(":CONSOLE("), std::string::npos) << page.Log;
}

struct BrowserCase {
    std::string Name;
    std::string Run;               // of the example runs
    std::vector<std::string> Mode; // options of both the page and the CSV
    std::vector<int> Untick;       // thread positions unchecked in the page
};

void PrintTo(const BrowserCase& c, std::ostream* out) {
    *out << c.Name;
}

class HtmlReportBrowserTest : public ::testing::TestWithParam<BrowserCase> {};

TEST_P(HtmlReportBrowserTest, FiguresFollowTheThreadCheckBoxesAsTheToolComputesThem) {
    const std::optional<std::string> chromium = FindChromium();
    if (!chromium) {
        GTEST_SKIP() << "Chromium is not installed (Debian package chromium)";
    }
    if (!std::filesystem::exists(TICKSCOPE_REPORT_BINARY)) {
        GTEST_SKIP() << "tickscope-report is not built";
    }
    const BrowserCase& c = GetParam();
    TempFolder home;
    const std::string run = kRunFolder + c.Run + ".tkr";
    const auto tool = [&](std::vector<std::string> args) {
        args.insert(args.begin(), run);
        args.insert(args.end(), c.Mode.begin(), c.Mode.end());
        const ProcessResult result = testing::RunReportTool(args, home.Path().string());
        EXPECT_EQ(result.ExitCode, 0) << result.Err;
        return result.Out;
    };

    // The threads left checked, as --threads takes them.
    const std::vector<std::vector<std::string>> threads = CsvRecords(tool({"--threads-list"}));
    std::string ids;
    for (std::size_t p = 0; p < threads.size(); ++p) {
        if (std::find(c.Untick.begin(), c.Untick.end(), static_cast<int>(p)) == c.Untick.end()) {
            ids += (ids.empty() ? "" : ",") + threads[p][0];
        }
    }
    const std::vector<std::string> chosen = ids.empty()
                                                ? std::vector<std::string>{"--threads", "0"}
                                                : std::vector<std::string>{"--threads", ids};
    const auto withThreads = [&](std::vector<std::string> args) {
        args.insert(args.end(), chosen.begin(), chosen.end());
        return tool(args);
    };

    const LoadedPage page = LoadInChromium(*chromium, tool({"--format", "html"}), Untick(c.Untick));
    ExpectNoErrors(page);

    const std::vector<std::vector<std::string>> csv = CsvRecords(withThreads({"--format", "csv"}));
    const std::map<int, PageLine> rows = LineRows(page.Dom);
    ASSERT_EQ(rows.size(), csv.size());
    for (std::size_t i = 0; i < csv.size(); ++i) {
        const std::vector<std::string>& record = csv[i];
        ASSERT_EQ(record.size(), 10u);
        const auto row = rows.find(static_cast<int>(i) + 1);
        ASSERT_NE(row, rows.end()) << "LineId " << i + 1;
        const PageLine& line = row->second;
        const std::string where = "line " + record[0] + ":" + record[1] + " " + record[6];
        EXPECT_EQ(line.Hits, record[2]) << where;
        EXPECT_EQ(line.Time, record[3]) << where;
        EXPECT_EQ(line.HitsHeat, record[4].empty() ? -1 : std::stoi(record[4])) << where;
        EXPECT_EQ(line.TimeHeat, record[5].empty() ? -1 : std::stoi(record[5])) << where;
        EXPECT_EQ(line.Self, record[7]) << where;
        EXPECT_EQ(line.Percent, record[8]) << where;
    }

    const std::string text = withThreads({});
    EXPECT_EQ(Between(page.Dom, "<span id=\"run-ms\">", "<"), Between(text, "Run time: ", " ms"));

    std::vector<std::string> procedures;
    for (const auto& record : CsvRecords(withThreads({"--by", "procedure", "--format", "csv"}))) {
        std::string row = record[0];
        for (std::size_t f = 1; f < record.size(); ++f) {
            row += " " + record[f];
        }
        procedures.push_back(row);
    }
    std::sort(procedures.begin(), procedures.end());
    EXPECT_EQ(ProcedureRows(page.Dom), procedures);
}

INSTANTIATE_TEST_SUITE_P(
    ExampleRuns, HtmlReportBrowserTest,
    ::testing::Values(
        BrowserCase{"AllThreads", "1796112000-52731406", {}, {}},
        BrowserCase{"WithoutTheMainThread", "1796112000-52731406", {}, {0}},
        BrowserCase{"WithoutTheWorker", "1796115600-56345718", {}, {1}},
        BrowserCase{"NoThread", "1796202000-142711035", {}, {0, 1}},
        BrowserCase{"AverageWithoutTheWorker", "1796202000-142711035", {"--mode", "avg"}, {1}},
        BrowserCase{"LongestWithThresholds",
                    "1796112000-52731406",
                    {"--mode", "max", "--max-hits", "50", "--max-time", "1"},
                    {0}},
        BrowserCase{"ShortestAllThreads", "1796115600-56345718", {"--mode", "min"}, {}}),
    [](const ::testing::TestParamInfo<BrowserCase>& info) { return info.param.Name; });

TEST(HtmlComparisonBrowserTest, LoadsWithEveryRowOfTheComparison) {
    const std::optional<std::string> chromium = FindChromium();
    if (!chromium || !std::filesystem::exists(TICKSCOPE_REPORT_BINARY)) {
        GTEST_SKIP() << "Chromium or tickscope-report is missing";
    }
    TempFolder home;
    const std::vector<std::string> runs = {"--compare", kRunFolder + "1796112000-52731406.tkr",
                                           kRunFolder + "1796202000-142711035.tkr"};
    const auto tool = [&](const std::vector<std::string>& format) {
        std::vector<std::string> args = runs;
        args.insert(args.end(), format.begin(), format.end());
        const ProcessResult result = testing::RunReportTool(args, home.Path().string());
        EXPECT_EQ(result.ExitCode, 0) << result.Err;
        return result.Out;
    };
    const LoadedPage page = LoadInChromium(*chromium, tool({"--format", "html"}), "");
    ExpectNoErrors(page);
    const std::size_t rows = CsvRecords(tool({"--format", "csv"})).size();
    std::size_t found = 0;
    for (std::size_t at = page.Dom.find("<tr id=\"R"); at != std::string::npos;
         at = page.Dom.find("<tr id=\"R", at + 1)) {
        ++found;
    }
    EXPECT_EQ(found, rows);
    EXPECT_GT(rows, 0u);
}

// The numbers of one column of a table of the page, in the order of its rows.
std::vector<double> Column(const std::string& dom, const std::string& table, std::size_t column) {
    const std::size_t start = dom.find("<tbody>", dom.find("<table id=\"" + table + "\""));
    const std::string body = dom.substr(start, dom.find("</tbody>", start) - start);
    std::vector<double> values;
    static const std::regex kRow(R"(<tr>(.*?)</tr>)");
    static const std::regex kCell(R"(<td[^>]*>(?:<a[^>]*>)?([^<]*))");
    for (auto row = std::sregex_iterator(body.begin(), body.end(), kRow);
         row != std::sregex_iterator(); ++row) {
        const std::string cells = (*row)[1];
        std::vector<std::string> texts;
        for (auto cell = std::sregex_iterator(cells.begin(), cells.end(), kCell);
             cell != std::sregex_iterator(); ++cell) {
            texts.push_back((*cell)[1]);
        }
        values.push_back(column < texts.size() ? std::stod(texts[column]) : -1.0);
    }
    return values;
}

std::string ClickTitle(const std::string& table, int column) {
    return "document.querySelectorAll('#" + table + " th')[" + std::to_string(column) +
           "].click();";
}

TEST(HtmlReportBrowserSortTest, AClickOnAColumnTitleSortsItsRows) {
    const std::optional<std::string> chromium = FindChromium();
    if (!chromium || !std::filesystem::exists(TICKSCOPE_REPORT_BINARY)) {
        GTEST_SKIP() << "Chromium or tickscope-report is missing";
    }
    TempFolder home;
    const ProcessResult page = testing::RunReportTool(
        {kRunFolder + "1796112000-52731406.tkr", "--format", "html"}, home.Path().string());
    ASSERT_EQ(page.ExitCode, 0);
    // The procedures' hits: the largest first, then (a second click) the smallest first.
    const LoadedPage once = LoadInChromium(*chromium, page.Out, ClickTitle("procedures", 2));
    ExpectNoErrors(once);
    const std::vector<double> down = Column(once.Dom, "procedures", 2);
    ASSERT_GT(down.size(), 3u);
    EXPECT_TRUE(std::is_sorted(down.rbegin(), down.rend()));
    const LoadedPage twice = LoadInChromium(
        *chromium, page.Out, ClickTitle("procedures", 2) + ClickTitle("procedures", 2));
    const std::vector<double> up = Column(twice.Dom, "procedures", 2);
    EXPECT_TRUE(std::is_sorted(up.begin(), up.end()));
    EXPECT_EQ(up.size(), down.size());
    // The hottest lines by hits stay so when a thread change makes the rows again.
    const LoadedPage hits =
        LoadInChromium(*chromium, page.Out, ClickTitle("hottest", 2) + Untick({1}));
    ExpectNoErrors(hits);
    const std::vector<double> hottest = Column(hits.Dom, "hottest", 2);
    ASSERT_GT(hottest.size(), 3u);
    EXPECT_TRUE(std::is_sorted(hottest.rbegin(), hottest.rend()));
}

} // namespace
} // namespace tickscope
