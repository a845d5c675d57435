#include "analysis/report_output.h"

#include "common/report_tool.h"
#include "common/temp_folder.h"
#include "runfiles/program_info_file.h"
#include "runfiles/run_recorder.h"
#include "source/program_info.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace tickscope {
namespace {

struct EscapeCase {
    std::string Text;
    std::string Csv;
    std::string Json;
};

TEST(ReportOutputTest, FieldsAreEscaped) {
    const std::vector<EscapeCase> cases = {
        {"plain", "plain", "\"plain\""},
        {"", "", "\"\""},
        {"a,b", "\"a,b\"", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\"", "\"say \\\"hi\\\"\""},
        {"back\\slash", "back\\slash", "\"back\\\\slash\""},
        {"cr\rlf\n", "\"cr\rlf\n\"", "\"cr\\rlf\\n\""},
        {"tab\t", "tab\t", "\"tab\\t\""},
        {std::string("nul\0x", 5), std::string("nul\0x", 5), "\"nul\\u0000x\""},
        {"\x01\x1F\x7F", "\x01\x1F\x7F", "\"\\u0001\\u001f\\u007f\""},
        // JSON is UTF-8: valid UTF-8 as it is, other text read as Windows-1252.
        {"caf\xE9 \xFF\x80", "caf\xE9 \xFF\x80", "\"caf\xC3\xA9 \xC3\xBF\xE2\x82\xAC\""},
        {"\xC3\xA9t\xC3\xA9\x7F", "\xC3\xA9t\xC3\xA9\x7F", "\"\xC3\xA9t\xC3\xA9\\u007f\""},
        {"f\xFCr\r", "\"f\xFCr\r\"", "\"f\xC3\xBCr\\r\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CsvField(c.Text), c.Csv) << c.Text;
        EXPECT_EQ(JsonString(c.Text), c.Json) << c.Text;
    }
}

// --- the tool as a process -------------------------------------------------------------

using testing::ProcessResult;

ProcessResult RunTool(const std::vector<std::string>& args, const std::string& home) {
    return testing::RunReportTool(args, home);
}

// A run recorded with a clock the test moves: thread 100 runs Foo() (line 4) which runs
// line 2 twice (300 ns and 100 ns); thread 200 runs line 2 once (70 ns) and line 5 once
// (10 ns). Line 4 takes 1000 ns.
class ReportToolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(TICKSCOPE_REPORT_BINARY)) {
            GTEST_SKIP() << "tickscope-report is not built: " << TICKSCOPE_REPORT_BINARY;
        }
        ProgramInfo program;
        program.Path = "C:\\src\\demo.pb";
        program.SourceFileIds.Set("C:\\src\\demo.pb", 1);
        program.ScopeIds.Set("***main***", 1);
        program.ScopeIds.Set("Foo", 2);
        const auto line = [&](int number, const std::string& code, int scope) {
            LineOfCode l;
            l.SourceFileId = 1;
            l.LineNumber = number;
            l.Code = code;
            l.AddInstruction(0, code.size()).ScopeId = scope;
            program.LinesOfCode.push_back(l);
        };
        line(1, "Procedure Foo()", 2);
        line(2, "x = Val(\"1,2\")", 2);
        line(3, "EndProcedure", 0);
        line(5, "Foo()", 1);
        line(6, "s$ = \"caf\xE9\x01\"", 1);
        line(7, "End", 1);

        RecorderSources sources;
        sources.Nanoseconds = [this] { return now_; };
        sources.DateSeconds = [] { return std::int64_t{1368783667}; };
        sources.Milliseconds = [] { return std::int64_t{5120}; };
        sources.ThreadId = [this] { return thread_; };
        sources.ProcessId = [] { return std::int64_t{77}; };
        RunRecorder recorder(home_.Folder(), WriteProgramInfo(program), sources);
        ASSERT_TRUE(recorder.Begin());
        const auto at = [&](std::int64_t time, std::int64_t thread) {
            now_ = time;
            thread_ = thread;
        };
        at(0, 100);
        recorder.AddStartEntry(1, 5, 1, true);
        at(100, 100);
        recorder.AddStartEntry(1, 2, 1, true);
        at(400, 100);
        recorder.AddStopEntry(1, 2, 1, true);
        at(500, 100);
        recorder.AddStartEntry(1, 2, 1, true);
        at(600, 100);
        recorder.AddStopEntry(1, 2, 1, true);
        at(1000, 100);
        recorder.AddStopEntry(1, 5, 1, true);
        at(2000, 200);
        recorder.AddStartEntry(1, 2, 1, true);
        at(2070, 200);
        recorder.AddStopEntry(1, 2, 1, true);
        at(3000, 200);
        recorder.AddStartEntry(1, 6, 1, true);
        at(3010, 200);
        recorder.AddStopEntry(1, 6, 1, true);
        ASSERT_TRUE(recorder.End());
        run_ = recorder.BaseName() + ".tkr";
    }

    ProcessResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), run_);
        return RunTool(args, home_.Folder());
    }

    testing::TempFolder home_;
    std::string run_;
    std::int64_t now_ = 0;
    std::int64_t thread_ = 0;
};

struct CsvCase {
    std::string Name;
    std::vector<std::string> Args;
    std::vector<std::string> Records; // the six records after the header
};

class ReportCsvTest : public ReportToolTest, public ::testing::WithParamInterface<CsvCase> {};

TEST_P(ReportCsvTest, PrintsEveryLineWithItsFiguresAndHeat) {
    const CsvCase& c = GetParam();
    std::vector<std::string> args = c.Args;
    args.push_back("--format");
    args.push_back("csv");
    const ProcessResult result = Run(args);
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    std::string expected =
        "file,line,hits,time_ms,hits_heat,time_heat,code,self_ms,self_percent,file_path\n";
    for (const auto& record : c.Records) {
        expected += record + "\n";
    }
    EXPECT_EQ(result.Out, expected);
    EXPECT_EQ(result.Err, "");
}

// The columns after the code: self time and its percent of the run time, the file's path.
// Both threads: run time 1000 + 70 + 10 ns; line 2 has no child time, line 5 has line 2's
// 400 ns of thread 100 as its child time.
const std::string kPath = ",C:\\src\\demo.pb";
const std::string kNone = ",," + kPath;
const std::string kFoo = "1,1,,,,,Procedure Foo()" + kNone;
const std::string kEnd = "1,3,,,,,EndProcedure" + kNone;
const std::string kLast = "1,7,,,,,End" + kNone;
const std::string kString = "\"s$ = \"\"caf\xE9\x01\"\"\"";
const std::string kSelf2 = ",0.00047,43.52" + kPath;
const std::string kSelf5 = ",0.0006,55.56" + kPath;
const std::string kSelf6 = ",0.00001,0.93" + kPath;

INSTANTIATE_TEST_SUITE_P(
    Modes, ReportCsvTest,
    ::testing::Values(
        CsvCase{"AllThreadsTotal",
                {},
                {kFoo, "1,2,3,0.00047,255,120,\"x = Val(\"\"1,2\"\")\"" + kSelf2, kEnd,
                 "1,5,1,0.001,85,255,Foo()" + kSelf5, "1,6,1,0.00001,85,3," + kString + kSelf6,
                 kLast}},
        CsvCase{"Average",
                {"--mode", "avg"},
                {kFoo, "1,2,3,0.000156,255,40,\"x = Val(\"\"1,2\"\")\"" + kSelf2, kEnd,
                 "1,5,1,0.001,85,255,Foo()" + kSelf5, "1,6,1,0.00001,85,3," + kString + kSelf6,
                 kLast}},
        CsvCase{"MaximumSummedOverThreads",
                {"--mode=max"},
                {kFoo, "1,2,3,0.00037,255,94,\"x = Val(\"\"1,2\"\")\"" + kSelf2, kEnd,
                 "1,5,1,0.001,85,255,Foo()" + kSelf5, "1,6,1,0.00001,85,3," + kString + kSelf6,
                 kLast}},
        CsvCase{"MinimumSummedOverThreads",
                {"--mode", "min"},
                {kFoo, "1,2,3,0.00017,255,43,\"x = Val(\"\"1,2\"\")\"" + kSelf2, kEnd,
                 "1,5,1,0.001,85,255,Foo()" + kSelf5, "1,6,1,0.00001,85,3," + kString + kSelf6,
                 kLast}},
        CsvCase{"SecondThreadOnly",
                {"--threads", "200"},
                // Run time 70 + 10 ns.
                {kFoo, "1,2,1,0.00007,255,255,\"x = Val(\"\"1,2\"\")\",0.00007,87.50" + kPath, kEnd,
                 "1,5,,,,,Foo()" + kNone,
                 "1,6,1,0.00001,255,36," + kString + ",0.00001,12.50" + kPath, kLast}},
        CsvCase{"BothThreadsListed",
                {"--threads", "200,100"},
                {kFoo, "1,2,3,0.00047,255,120,\"x = Val(\"\"1,2\"\")\"" + kSelf2, kEnd,
                 "1,5,1,0.001,85,255,Foo()" + kSelf5, "1,6,1,0.00001,85,3," + kString + kSelf6,
                 kLast}},
        CsvCase{"HitsThreshold",
                {"--max-hits", "6"},
                {kFoo, "1,2,3,0.00047,128,120,\"x = Val(\"\"1,2\"\")\"" + kSelf2, kEnd,
                 "1,5,1,0.001,42,255,Foo()" + kSelf5, "1,6,1,0.00001,42,3," + kString + kSelf6,
                 kLast}},
        CsvCase{"TimeThresholdOneMillisecond",
                {"--max-time", "1"},
                {kFoo, "1,2,3,0.00047,255,0,\"x = Val(\"\"1,2\"\")\"" + kSelf2, kEnd,
                 "1,5,1,0.001,85,0,Foo()" + kSelf5, "1,6,1,0.00001,85,0," + kString + kSelf6,
                 kLast}},
        CsvCase{"ThresholdReadLikeTheCommand",
                {"--max-hits", "  $6xyz", "--max-time", "none"},
                {kFoo, "1,2,3,0.00047,128,120,\"x = Val(\"\"1,2\"\")\"" + kSelf2, kEnd,
                 "1,5,1,0.001,42,255,Foo()" + kSelf5, "1,6,1,0.00001,42,3," + kString + kSelf6,
                 kLast}}),
    [](const auto& info) { return info.param.Name; });

TEST_F(ReportToolTest, ListsThreadsWithTheirScopes) {
    const ProcessResult result = RunTool({"--threads-list", run_}, home_.Folder());
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out, "id,scope\n100,***main***\n200,Foo\n");
}

TEST_F(ReportToolTest, JsonHoldsLinesAndThreads) {
    const ProcessResult result = Run({"--format", "json", "--threads", "100"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    // Thread 100 alone: a run time of 1000 ns, 400 of them in Foo's line 2.
    const std::vector<std::string> expectedParts = {
        "{\n  \"format_version\": 2,\n",
        "\"program\": \"C:\\\\src\\\\demo.pb\"",
        "\"started\": \"2013/05/17-09:41:07\"",
        "\"mode\": \"all\"",
        "\"run_ms\": 0.001,",
        "{\"id\": 100, \"scope\": \"***main***\", \"checked\": true}",
        "{\"id\": 200, \"scope\": \"Foo\", \"checked\": false}",
        "{\"file\": 1, \"line\": 1, \"hits\": null, \"time_ms\": null, \"hits_heat\": null, "
        "\"time_heat\": null, \"code\": \"Procedure Foo()\", \"self_ms\": null, "
        "\"self_percent\": null, \"file_path\": \"C:\\\\src\\\\demo.pb\"}",
        "{\"file\": 1, \"line\": 2, \"hits\": 2, \"time_ms\": 0.0004, \"hits_heat\": 255, "
        "\"time_heat\": 102, \"code\": \"x = Val(\\\"1,2\\\")\", \"self_ms\": 0.0004, "
        "\"self_percent\": 40.00, \"file_path\": \"C:\\\\src\\\\demo.pb\"}",
        "{\"file\": 1, \"line\": 6, \"hits\": null, \"time_ms\": null, \"hits_heat\": null, "
        "\"time_heat\": null, \"code\": \"s$ = \\\"caf\xC3\xA9\\u0001\\\"\", \"self_ms\": null",
        "\"procedures\": [\n    {\"procedure\": \"***main***\", \"scope\": 1, \"calls\": 0, "
        "\"hits\": 1, \"self_ms\": 0.0006, \"total_ms\": 0.001, \"self_percent\": 60.00, "
        "\"total_percent\": 100.00},\n    {\"procedure\": \"Foo\", \"scope\": 2, \"calls\": 1, "
        "\"hits\": 2, \"self_ms\": 0.0004, \"total_ms\": 0.0004, \"self_percent\": 40.00, "
        "\"total_percent\": 40.00}\n  ]\n}\n",
    };
    for (const auto& part : expectedParts) {
        EXPECT_NE(result.Out.find(part), std::string::npos) << part << "\n" << result.Out;
    }
    EXPECT_EQ(result.Out.front(), '{');
    EXPECT_EQ(result.Out.substr(result.Out.size() - 2), "}\n");
}

// Tables by procedure, ranked and cut rows. With both threads the run time is 1080 ns: the
// main program's lines 5 (1000 ns, 400 of them in Foo) and 6 (10 ns), and thread 200's run
// of Foo's line 2 (70 ns). Foo is called once, by line 5's one execution.
struct LayoutCase {
    std::string Name;
    std::vector<std::string> Args;
    std::vector<std::string> InOrder; // parts of the output, in this order
    std::vector<std::string> Lacks;   // parts that must not be there
};

void PrintTo(const LayoutCase& c, std::ostream* out) {
    *out << c.Name;
}

class ReportLayoutTest : public ReportToolTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(ReportLayoutTest, ShowsTheRowsInTheirOrder) {
    const LayoutCase& c = GetParam();
    const ProcessResult result = Run(c.Args);
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Err, "");
    std::size_t at = 0;
    for (const std::string& part : c.InOrder) {
        const std::size_t found = result.Out.find(part, at);
        ASSERT_NE(found, std::string::npos) << "missing, or out of order: " << part << "\n"
                                            << result.Out;
        at = found + part.size();
    }
    for (const std::string& part : c.Lacks) {
        EXPECT_EQ(result.Out.find(part), std::string::npos) << part << "\n" << result.Out;
    }
}

const std::string kMainCsv = "***main***,0,0.00061,0.00101,56.48,93.52\n";
const std::string kFooCsv = "Foo,1,0.00047,0.00047,43.52,43.52\n";
const std::string kProcedureHeader =
    "procedure,calls,self_ms,total_ms,self_percent,total_percent\n";

INSTANTIATE_TEST_SUITE_P(
    Layouts, ReportLayoutTest,
    ::testing::Values(
        LayoutCase{"ProceduresAsCsv",
                   {"--by", "procedure", "--format", "csv", "--mode", "max"},
                   {kProcedureHeader + kMainCsv + kFooCsv},
                   {}},
        LayoutCase{"ProceduresOfOneThread",
                   {"--by=procedure", "--format=csv", "--threads", "200"},
                   {kProcedureHeader + "***main***,0,0.00001,0.00001,12.50,12.50\n" +
                    "Foo,0,0.00007,0.00007,87.50,87.50\n"},
                   {}},
        LayoutCase{"TopProcedureByTotal",
                   {"--by", "procedure", "--format", "csv", "--top", "1"},
                   {kProcedureHeader + kMainCsv},
                   {"Foo"}},
        LayoutCase{"TopProcedureByCalls",
                   {"--by", "procedure", "--format", "csv", "--top", "1", "--sort", "calls"},
                   {kProcedureHeader + kFooCsv},
                   {"***main***"}},
        LayoutCase{"ProceduresAsText",
                   {"--by", "procedure", "--sort", "self"},
                   {"Run time: 0.00108 ms\n\n",
                    "Procedure   Calls  Hits  Self (ms)  Self %  Total (ms)  Total %\n",
                    "***main***      0     2    0.00061   56.48     0.00101    93.52\n",
                    "Foo             1     3    0.00047   43.52     0.00047    43.52\n"},
                   {"Files:", "Top "}},
        LayoutCase{"LinesAsTextWithFilesAndSelfTime",
                   {},
                   {"Run time: 0.00108 ms\n\nFiles:\n  1  C:\\src\\demo.pb\n\n",
                    "File  Line  Hits  Time (ms)  Self (ms)  Self %  Heat        Code\n",
                    "   1     2     3    0.00047    0.00047   43.52",
                    "   1     5     1      0.001     0.0006   55.56  ##########  Foo()\n",
                    "Top 3 by time:"},
                   {}},
        LayoutCase{"LinesSortedBySelfTime",
                   {"--sort", "self"},
                   {"Foo()\n", "x = Val", "s$ =", "Procedure Foo()\n", "EndProcedure\n", "End\n"},
                   {"Top 3 by time:"}},
        LayoutCase{"LinesSortedByHits",
                   {"--sort", "hits", "--mode", "avg"},
                   {"x = Val", "Foo()\n", "s$ ="},
                   {}},
        LayoutCase{"TopLinesByTimeInTheirRank",
                   {"--top", "2"},
                   {"Foo()\n", "x = Val"},
                   {"s$ =", "Procedure Foo()", "Top "}},
        LayoutCase{"TopLineByCallsMade",
                   {"--top", "1", "--sort", "calls", "--format", "csv"},
                   {"self_ms,self_percent,file_path\n1,5,1,0.001,85,255,Foo(),0.0006,55.56,"},
                   {"x = Val", "\n1,6,"}},
        LayoutCase{"TopLinesKeepTheReportOrderInCsv",
                   {"--top", "2", "--format", "csv"},
                   {"\n1,2,3,", "\n1,5,1,"},
                   {"\n1,6,", "\n1,1,"}},
        LayoutCase{"TopCutsBothJsonTables",
                   {"--top", "1", "--format", "json", "--sort", "self"},
                   {"\"lines\": [\n    {\"file\": 1, \"line\": 5,",
                    "}\n  ],\n  \"procedures\": [\n", "{\"procedure\": \"***main***\"",
                    "}\n  ]\n}\n"},
                   {"\"line\": 2,", "{\"procedure\": \"Foo\""}}),
    [](const auto& info) { return info.param.Name; });

TEST_F(ReportToolTest, TextShowsTheHottestLinesFirstInTheSummary) {
    const ProcessResult result = Run({});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    const auto top = result.Out.find("Top 3 by time:");
    ASSERT_NE(top, std::string::npos) << result.Out;
    const auto first = result.Out.find("Foo()", top);
    const auto second = result.Out.find("x = Val", top);
    const auto third = result.Out.find("s$ =", top);
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
    EXPECT_NE(third, std::string::npos);
    EXPECT_NE(result.Out.find("##########  Foo()"), std::string::npos) << result.Out;
    EXPECT_NE(result.Out.find("Started:  2013/05/17-09:41:07"), std::string::npos);
}

TEST_F(ReportToolTest, RunFilesStayUnchanged) {
    const std::string log = run_.substr(0, run_.size() - 4) + ".tkl";
    const std::string runBefore = testing::ReadFileBytes(run_);
    const std::string logBefore = testing::ReadFileBytes(log);
    for (const char* format : {"text", "csv", "json"}) {
        EXPECT_EQ(Run({"--format", format}).ExitCode, 0);
    }
    EXPECT_EQ(testing::ReadFileBytes(run_), runBefore);
    EXPECT_EQ(testing::ReadFileBytes(log), logBefore);
}

TEST_F(ReportToolTest, ListsTheCatalogueNewestFirst) {
    home_.Write("Tickscope/1000-1.tkr", "[PRE-PROGRAMINFOS]\r\nPath = C:\\old,one.pb\r\n");
    const ProcessResult result = RunTool({"--list"}, home_.Folder());
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out, "started,program,lines,file\n2013/05/17-09:41:07,demo.pb,6," + run_ +
                              "\n1970/01/01-00:16:40,\"old,one.pb\",0," + home_.Folder() +
                              "Tickscope/1000-1.tkr\n");
}

struct BadCase {
    std::string Name;
    std::vector<std::string> Args; // "RUN" stands for the recorded run
};

class ReportToolBadInputTest : public ReportToolTest,
                               public ::testing::WithParamInterface<BadCase> {};

TEST_P(ReportToolBadInputTest, OneLineOnStderrAndExitCode2) {
    std::vector<std::string> args = GetParam().Args;
    for (auto& arg : args) {
        if (arg == "RUN") {
            arg = run_;
        } else if (arg == "FOLDER") {
            arg = home_.Folder();
        } else if (arg == "MISSING") {
            arg = home_.File("Tickscope/missing.tkr");
        }
    }
    const ProcessResult result = RunTool(args, home_.File("nohome"));
    EXPECT_EQ(result.ExitCode, 2);
    EXPECT_EQ(result.Out, "");
    ASSERT_FALSE(result.Err.empty());
    EXPECT_EQ(result.Err.find('\n'), result.Err.size() - 1) << result.Err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportToolBadInputTest,
    ::testing::Values(
        BadCase{"NoArguments", {}}, BadCase{"MissingRun", {"MISSING"}},
        BadCase{"FolderAsRun", {"FOLDER"}}, BadCase{"UnknownMode", {"RUN", "--mode", "median"}},
        BadCase{"UnknownFormat", {"RUN", "--format", "xml"}},
        BadCase{"UnknownOption", {"RUN", "--colour"}},
        BadCase{"MissingValue", {"RUN", "--max-hits"}},
        BadCase{"BadThreadId", {"RUN", "--threads", "abc"}},
        BadCase{"EmptyThreadId", {"RUN", "--threads", "100,,200"}},
        BadCase{"ThreadIdTooWide", {"RUN", "--threads", "4294967296"}},
        BadCase{"TwoRuns", {"RUN", "RUN"}}, BadCase{"ThreadsListWithoutRun", {"--threads-list"}},
        BadCase{"ValueOnFlag", {"--list=yes"}}, BadCase{"ListWithoutRunFolder", {"--list"}}),
    [](const auto& info) { return info.param.Name; });

} // namespace
} // namespace tickscope
