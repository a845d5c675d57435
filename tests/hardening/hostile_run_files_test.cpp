// Run files that are damaged or made to hurt: counts far beyond what the file holds, stray
// line numbers, lines that nest without end, files that are no regular files, files of
// gigabytes, output that cannot be written, and control bytes meant for the terminal. Each
// must load in memory and time in proportion to its bytes, with a clear outcome, and leave
// the run folder as it was.

#include "analysis/attribution.h"
#include "analysis/attribution_fixtures.h"
#include "analysis/line_figures.h"
#include "analysis/progress.h"
#include "analysis/report_output.h"
#include "analysis/run_catalogue.h"
#include "analysis/run_loading.h"
#include "common/report_tool.h"
#include "common/statements.h"
#include "common/temp_folder.h"
#include "hardening/run_file_helpers.h"
#include "runfiles/run_information.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

namespace tickscope {
namespace {

using testing::Checksums;
using testing::TempFolder;
namespace fs = std::filesystem;

constexpr const char* kRunName = "1700000000-1";

std::string Header(const std::string& keys) {
    return "[PRE-PROGRAMINFOS]\r\n" + keys;
}

// Catalogues the run folder of `home` and loads its newest run.
LoadedRun CatalogueAndLoad(const TempFolder& home) {
    RunCatalogue catalogue;
    EXPECT_TRUE(BuildRunCatalogue(home.Folder(), catalogue));
    SilentProgress progress;
    return catalogue.Records.empty() ? LoadedRun{} : LoadRun(catalogue.Records.front(), progress);
}

TEST(HostileRunFiles, CountsAreBoundedByWhatTheFileHolds) {
    struct Case {
        const char* Name;
        std::string Information;
        std::size_t Lines, FirstLineInstructions, SourceFiles, Scopes;
    };
    std::string strayLines = "LinesOfCode = 1024\r\n";
    for (int i = 1; i <= 1024; ++i) {
        const std::string key = "LineOfCode." + std::to_string(i);
        strayLines += key + ".SourceFileId = " + std::to_string(i) + "\r\n" + key +
                      ".LineNumber = 1048575\r\n" + key + ".Instructions = 1\r\n" + key +
                      ".Instruction.1.ScopeId = 1\r\n";
    }
    const Case cases[] = {
        {"999999999 lines backed by one key",
         Header("LinesOfCode = 999999999\r\nLineOfCode.999999999.SourceFileId = 1\r\n"), 1, 0, 0,
         0},
        {"999999999 instructions backed by one key",
         Header("LinesOfCode = 1\r\nLineOfCode.1.Instructions = 999999999\r\n"
                "LineOfCode.1.Instruction.999999999.ScopeId = 1\r\n"),
         1, 1, 0, 0},
        {"999999999 source files and scopes backed by one key each",
         Header("SourceFileIds = 999999999\r\nSourceFileId.1 = a.pb\r\n"
                "ScopeIds = 999999999\r\nScopeId.7 = Foo\r\n"),
         0, 0, 1, 1},
        {"counts a little beyond the keys build the missing entries empty",
         Header("SourceFileIds = 3\r\nSourceFileId.1 = a.pb\r\nLinesOfCode = 4\r\n"
                "LineOfCode.1.Instructions = 5\r\nLineOfCode.1.Instruction.1.ScopeId = 1\r\n"),
         4, 5, 2, 0},
        {"1,024 files, each with a line at 1048575", Header(strayLines), 1024, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder home;
        home.Write(std::string("Tickscope/") + kRunName + ".tkr", c.Information);
        const auto before = Checksums(home.Path());
        const LoadedRun run = CatalogueAndLoad(home);
        EXPECT_TRUE(run.Failure.empty());
        EXPECT_EQ(run.Program.LinesOfCode.size(), c.Lines);
        if (!run.Program.LinesOfCode.empty()) {
            EXPECT_EQ(run.Program.LinesOfCode[0].Instructions.size(), c.FirstLineInstructions);
        }
        EXPECT_EQ(run.Program.SourceFileIds.Size(), c.SourceFiles);
        EXPECT_EQ(run.Program.ScopeIds.Size(), c.Scopes);
        // Flat lookup tables stay in proportion to the lines (4 bytes per line and a little).
        EXPECT_LE(run.Analysis.FlatTableBytes(), 64 * c.Lines + 65536);
        EXPECT_EQ(Checksums(home.Path()), before);
    }
}

TEST(HostileRunFiles, StrayLineNumbersStillFindTheirLines) {
    // Files 1 to 1,024, each with one line at 1048575, and file 2000 with lines 1 to 3.
    std::vector<LineOfCode> lines;
    for (int file = 1; file <= 1024; ++file) {
        LineOfCode& line = lines.emplace_back();
        line.SourceFileId = file;
        line.LineNumber = 1048575;
    }
    for (int number = 1; number <= 3; ++number) {
        LineOfCode& line = lines.emplace_back();
        line.SourceFileId = 2000;
        line.LineNumber = number;
    }
    RunAnalysis analysis;
    ResetAttribution(analysis, lines);
    EXPECT_LE(analysis.FlatTableBytes(), std::size_t{1} << 20);
    const std::pair<std::int32_t, std::int32_t> probes[] = {
        {5, 1048575}, {1024, 1048575}, {2000, 2}, {2000, 4}, {5, 1}, {0, 1048575}};
    std::int64_t clock = 0;
    for (const auto& [file, line] : probes) {
        AttributeEntry(analysis, {1, 0, file, line, 1, kStartEntry, clock});
        AttributeEntry(analysis, {1, 0, file, line, 1, kStopEntry, clock + 10});
        clock += 100;
    }
    std::vector<std::int32_t> ids;
    for (const ThreadLineNode& node : analysis.Threads().at(0).Lines) {
        ids.push_back(node.LineId);
    }
    EXPECT_EQ(ids, (std::vector<std::int32_t>{5, 1024, 1026, 0}));
}

// N distinct lines opened in one thread and closed outermost first: N^2/2 invocation
// members if they were all followed.
std::vector<EntryRecord> NestedOpenLines(int count) {
    std::vector<EntryRecord> entries;
    for (int line = 1; line <= count; ++line) {
        entries.push_back({7, 0, 1, line, 1, kStartEntry, line});
    }
    for (int line = 1; line <= count; ++line) {
        entries.push_back({7, 0, 1, line, 1, kStopEntry, 1000000 + 3 * line});
    }
    return entries;
}

TEST(HostileRunFiles, InvocationsOfManyOpenLinesStayWithinTheirAllowance) {
    struct Case {
        const char* Name;
        int Lines;
        bool Complete;
    };
    const Case cases[] = {
        {"300 nested lines are followed", 300, true},
        {"40,000 nested lines are not", 40000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        RunAnalysis analysis;
        std::vector<LineOfCode> lines(static_cast<std::size_t>(c.Lines));
        for (int i = 0; i < c.Lines; ++i) {
            lines[static_cast<std::size_t>(i)].SourceFileId = 1;
            lines[static_cast<std::size_t>(i)].LineNumber = i + 1;
        }
        ResetAttribution(analysis, lines);
        testing::Attribute(analysis, NestedOpenLines(c.Lines));
        EXPECT_EQ(analysis.InvocationsComplete(), c.Complete);
        std::size_t members = 0;
        for (std::int32_t id = 1; id <= c.Lines; ++id) {
            const std::vector<std::int32_t>* invoked = analysis.InvocationsOf(id);
            ASSERT_NE(invoked, nullptr) << "every line that stopped has its key";
            members += invoked->size();
        }
        if (c.Complete) {
            EXPECT_EQ(members, static_cast<std::size_t>(c.Lines) * (c.Lines - 1) / 2);
        } else {
            EXPECT_LE(members, std::size_t{1} << 25);
        }
        // Every other figure is exact: line n ran from n to 1000000 + 3n.
        const auto results =
            ComputeLineResults(analysis, testing::ThreadChecksFor(analysis), TimeMode::All);
        ASSERT_EQ(results.size(), static_cast<std::size_t>(c.Lines));
        for (const LineResult& result : results) {
            ASSERT_EQ(result.Hits, 1);
            ASSERT_EQ(result.TimeNanos, 1000000 + 2 * result.LineId);
        }
    }
}

TEST(HostileRunFiles, TheReportToolSaysWhenInvocationsAreIncomplete) {
    if (!fs::exists(TICKSCOPE_REPORT_BINARY)) {
        GTEST_SKIP() << "tickscope-report is not built";
    }
    TempFolder home;
    const std::string run = home.Write(std::string("Tickscope/") + kRunName + ".tkr",
                                       EncodeRunInformation(testing::ProgramInformation(40000), 1));
    std::string log(1, '\0');
    for (const EntryRecord& entry : NestedOpenLines(40000)) {
        const auto bytes = EncodeEntryRecord(entry);
        log.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    home.Write(std::string("Tickscope/") + kRunName + ".tkl", log);
    const testing::ProcessResult result =
        testing::RunReportTool({run, "--format", "csv"}, home.Folder());
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Err,
              "tickscope-report: warning: The run of demo.pb started 2023/11/14-22:13:20 opens "
              "more nested lines than Tickscope follows: the actions on implicit invocations and "
              "\"Remove calls\" use only part of them. Every figure is exact.\n");
    EXPECT_NE(result.Out.find("\n1,40000,1,1.08,"), std::string::npos);
}

TEST(HostileRunFiles, ARunThatCannotBeLoadedIsReportedAndNothingEscapes) {
    TempFolder home;
    home.Write(std::string("Tickscope/") + kRunName + ".tkr",
               EncodeRunInformation(testing::ProgramInformation(50), 1));
    home.Write(std::string("Tickscope/") + kRunName + ".tkl",
               testing::LogBytes(testing::Executions(5000, 50), false));
    RunCatalogue catalogue;
    ASSERT_TRUE(BuildRunCatalogue(home.Folder(), catalogue));
    // Memory runs out at some point of the load: while the lines are read, or the entries.
    for (const std::int64_t failAt : {std::int64_t{1}, std::int64_t{200000}}) {
        class FailingProgress final : public ProgressSink {
          public:
            explicit FailingProgress(std::int64_t at) : at_(at) {}
            void ShowProgress(std::int64_t value, const std::string&, std::int64_t max) override {
                if (max < 0 && value >= at_ && !failed_) {
                    failed_ = true;
                    throw std::bad_alloc();
                }
                last_ = value;
            }
            std::int64_t Last() const { return last_; }

          private:
            std::int64_t at_;
            bool failed_ = false;
            std::int64_t last_ = 0;
        } progress(failAt);
        const LoadedRun run = LoadRun(catalogue.Records.front(), progress);
        EXPECT_EQ(run.Failure, "there is not enough memory for it");
        EXPECT_TRUE(run.Program.LinesOfCode.empty());
        EXPECT_TRUE(run.Threads.empty());
        EXPECT_EQ(LoadFailureMessage(run),
                  "The run of demo.pb started 2023/11/14-22:13:20 cannot be loaded: there is "
                  "not enough memory for it.");
        EXPECT_GT(progress.Last(), 0) << "the progress is closed";
    }
}

TEST(HostileRunFiles, FilesThatAreNoRegularFilesAreNeverWaitedOn) {
    if (!fs::exists(TICKSCOPE_REPORT_BINARY)) {
        GTEST_SKIP() << "tickscope-report is not built";
    }
    struct Case {
        const char* Name;
        const char* Tkr; // "fifo", "zero", or a valid run
        const char* Tkl; // "fifo", "zero", "urandom", or a valid log
    };
    const Case cases[] = {
        {"a pipe as the run information", "fifo", "log"},
        {"a pipe as the entry log", "run", "fifo"},
        {"the entry log links to /dev/zero", "run", "zero"},
        {"the entry log links to /dev/urandom", "run", "urandom"},
        {"the run information links to /dev/zero", "zero", "log"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder home;
        const std::string base = home.Folder() + "Tickscope/" + kRunName;
        fs::create_directories(home.Path() / "Tickscope");
        // A valid run beside it must still be listed and reported.
        home.Write("Tickscope/1600000000-1.tkr",
                   EncodeRunInformation(testing::ProgramInformation(3), 1));
        const auto make = [](const std::string& kind, const std::string& path,
                             const std::string& valid) {
            if (kind == "fifo") {
                ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
            } else if (kind == "zero" || kind == "urandom") {
                fs::create_symlink("/dev/" + kind, path);
            } else {
                std::ofstream(path, std::ios::binary) << valid;
            }
        };
        make(c.Tkr, base + ".tkr", EncodeRunInformation(testing::ProgramInformation(3), 1));
        make(c.Tkl, base + ".tkl", testing::LogBytes(testing::Executions(10, 3), false));
        const auto before = Checksums(home.Path());

        const testing::ProcessResult list =
            testing::RunReportTool({"--list"}, home.Folder(), "", 30);
        EXPECT_EQ(list.ExitCode, 0) << list.Err;
        EXPECT_NE(list.Out.find("1600000000-1.tkr"), std::string::npos);
        EXPECT_NE(list.Out.find(std::string(kRunName) + ".tkr"), std::string::npos);

        const testing::ProcessResult report =
            testing::RunReportTool({base + ".tkr", "--format", "csv"}, home.Folder(), "", 30);
        EXPECT_EQ(report.ExitCode, std::string(c.Tkr) == "run" ? 0 : 2) << report.Err;
        if (std::string(c.Tkr) == "run") {
            // The program is there, the log gave no entries.
            EXPECT_NE(report.Out.find("\n1,1,,,,,x = 1,,,"), std::string::npos) << report.Out;
        }
        EXPECT_EQ(Checksums(home.Path()), before);
    }
}

TEST(HostileRunFiles, GigabyteFilesCostOnlyTheirOwnEntry) {
    if (!fs::exists(TICKSCOPE_REPORT_BINARY)) {
        GTEST_SKIP() << "tickscope-report is not built";
    }
    struct Case {
        const char* Name;
        std::string Start;   // bytes at the start; the rest of the file is sparse zeros
        std::uintmax_t Size; // the file's size
    };
    const Case cases[] = {
        {"a sparse file of 4 GiB", "", std::uintmax_t{4} << 30},
        {"one line of 1.5 GB", "[PRE-PROGRAMINFOS]\r\nPath = ", std::uintmax_t{3} << 29},
        {"a path line of 2 GB after the keys",
         "[PRE-PROGRAMINFOS]\r\nLinesOfCode = 2\r\nPath = ", std::uintmax_t{2} << 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder home;
        home.Write("Tickscope/1600000000-1.tkr",
                   EncodeRunInformation(testing::ProgramInformation(3, "C:\\ok.pb"), 1));
        const std::string huge = home.Write(std::string("Tickscope/") + kRunName + ".tkr", c.Start);
        fs::resize_file(huge, c.Size);
        const auto before = Checksums(home.Path());

        const testing::ProcessResult list =
            testing::RunReportTool({"--list"}, home.Folder(), "", 60);
        EXPECT_EQ(list.ExitCode, 0) << list.Err;
        EXPECT_NE(list.Out.find("ok.pb,3,"), std::string::npos) << list.Out;
        const testing::ProcessResult report =
            testing::RunReportTool({huge, "--format", "csv"}, home.Folder(), "", 60);
        EXPECT_EQ(report.ExitCode, 0) << report.Err;
        EXPECT_EQ(report.Out.find("\n1,"), std::string::npos) << "no lines are read";
        EXPECT_EQ(Checksums(home.Path()), before);
    }
}

TEST(HostileRunFiles, OutputThatCannotBeWrittenIsAFailure) {
    if (!fs::exists(TICKSCOPE_REPORT_BINARY)) {
        GTEST_SKIP() << "tickscope-report is not built";
    }
    TempFolder home;
    const std::string run = home.Write("Tickscope/1600000000-1.tkr",
                                       EncodeRunInformation(testing::ProgramInformation(3), 1));
    struct Case {
        const char* Name;
        std::vector<std::string> Args;
        const char* Redirect;
    };
    const Case cases[] = {
        {"report to a full disk", {run}, "> /dev/full"},
        {"CSV report to a full disk", {run, "--format", "csv"}, "> /dev/full"},
        {"thread list to a full disk", {"--threads-list", run}, "> /dev/full"},
        {"run list to a closed output", {"--list"}, ">&-"},
        {"report to a closed output", {run, "--format", "json"}, ">&-"},
        {"HTML page to a full disk", {run, "--format", "html"}, "> /dev/full"},
        {"HTML comparison to a closed output", {"--compare", run, run, "--format=html"}, ">&-"},
        {"help to a closed output", {"--help"}, ">&-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const testing::ProcessResult result =
            testing::RunReportTool(c.Args, home.Folder(), c.Redirect);
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_EQ(result.Err.rfind("tickscope-report: cannot write the output: ", 0), 0u)
            << result.Err;
        EXPECT_EQ(std::count(result.Err.begin(), result.Err.end(), '\n'), 1) << result.Err;
    }
}

TEST(HostileRunFiles, ControlBytesReachTheTerminalOnlyVisibly) {
    LoadedRun run;
    run.Record.Path = "C:\\evil\x1b]0;title\x07.pb";
    run.Record.Timestamp = 1700000000;
    LineOfCode& line = run.Program.LinesOfCode.emplace_back();
    line.SourceFileId = 1;
    line.LineNumber = 1;
    line.Code = "x = 1 ; \x1b[2J\x7f\x9b";
    testing::AddStatement(line, line.Code, 1);
    run.Program.SourceFileIds.Set("C:\\\x1b[31mred.pb", 1);
    run.Program.ScopeIds.Set("Main\x1b[5m", 1);
    ResetAttribution(run.Analysis, run.Program.LinesOfCode);
    AttributeEntry(run.Analysis, {1, 0, 1, 1, 1, kStartEntry, 0});
    AttributeEntry(run.Analysis, {1, 0, 1, 1, 1, kStopEntry, 500});
    run.Threads = {{1, "***main***"}};
    const ThreadChecks threads(1, true);
    const ReportFigures figures =
        ComputeReportFigures(run.Analysis, threads, LineChecks(1, true), TimeMode::All, {});
    const RunProfile profile = ComputeRunProfile(run.Analysis, run.Program, threads);
    const RunReport report{run, threads, figures, profile, {}, "/runs/a\x1b[31m.tkr"};
    RunReport procedures = report;
    procedures.Layout.Table = ReportTable::Procedures;

    const std::string text = TextReport(report);
    EXPECT_NE(text.find("  1  C:\\^[[31mred.pb\n"), std::string::npos) << text;
    const std::string procedureText = TextReport(procedures);
    EXPECT_EQ(procedureText.find('\x1b'), std::string::npos);
    EXPECT_NE(procedureText.find("Main^[[5m"), std::string::npos) << procedureText;
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_EQ(text.find('\x07'), std::string::npos);
    EXPECT_EQ(text.find('\x7f'), std::string::npos);
    EXPECT_NE(text.find("Run:      /runs/a^[[31m.tkr\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Program:  C:\\evil^[]0;title^G.pb\n"), std::string::npos) << text;
    EXPECT_NE(text.find("x = 1 ; ^[[2J^?\x9b\n"), std::string::npos) << text;
    // CSV keeps the bytes; JSON escapes them as JSON does.
    EXPECT_NE(CsvReport(report).find("x = 1 ; \x1b[2J\x7f\x9b"), std::string::npos);
    const std::string json = JsonReport(report);
    EXPECT_EQ(json.find('\x1b'), std::string::npos);
    EXPECT_NE(json.find("\\u001b[2J"), std::string::npos);

    const std::pair<std::string, std::string> visible[] = {
        {"plain text", "plain text"}, {"\t\r\n", "^I^M^J"},     {std::string("\0", 1), "^@"},
        {"\x1f\x7f", "^_^?"},         {"\xc3\xa9", "\xc3\xa9"},
    };
    for (const auto& [raw, shown] : visible) {
        EXPECT_EQ(VisibleText(raw), shown);
    }
}

} // namespace
} // namespace tickscope
