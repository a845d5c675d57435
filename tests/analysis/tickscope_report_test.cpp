#include "analysis/report_output.h"

#include "common/report_tool.h"
#include "common/temp_folder.h"
#include "runfiles/program_info_file.h"
#include "runfiles/run_recorder.h"
#include "source/program_info.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
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
            l.Instructions.push_back({code, scope, "", 1});
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
    std::string expected = "file,line,hits,time_ms,hits_heat,time_heat,code\n";
    for (const auto& record : c.Records) {
        expected += record + "\n";
    }
    EXPECT_EQ(result.Out, expected);
    EXPECT_EQ(result.Err, "");
}

const std::string kFoo = "1,1,,,,,Procedure Foo()";
const std::string kEnd = "1,3,,,,,EndProcedure";
const std::string kLast = "1,7,,,,,End";
const std::string kString = "\"s$ = \"\"caf\xE9\x01\"\"\"";

INSTANTIATE_TEST_SUITE_P(
    Modes, ReportCsvTest,
    ::testing::Values(CsvCase{"AllThreadsTotal",
                              {},
                              {kFoo, "1,2,3,0.00047,255,120,\"x = Val(\"\"1,2\"\")\"", kEnd,
                               "1,5,1,0.001,85,255,Foo()", "1,6,1,0.00001,85,3," + kString, kLast}},
                      CsvCase{"Average",
                              {"--mode", "avg"},
                              {kFoo, "1,2,3,0.000156,255,40,\"x = Val(\"\"1,2\"\")\"", kEnd,
                               "1,5,1,0.001,85,255,Foo()", "1,6,1,0.00001,85,3," + kString, kLast}},
                      CsvCase{"MaximumSummedOverThreads",
                              {"--mode=max"},
                              {kFoo, "1,2,3,0.00037,255,94,\"x = Val(\"\"1,2\"\")\"", kEnd,
                               "1,5,1,0.001,85,255,Foo()", "1,6,1,0.00001,85,3," + kString, kLast}},
                      CsvCase{"MinimumSummedOverThreads",
                              {"--mode", "min"},
                              {kFoo, "1,2,3,0.00017,255,43,\"x = Val(\"\"1,2\"\")\"", kEnd,
                               "1,5,1,0.001,85,255,Foo()", "1,6,1,0.00001,85,3," + kString, kLast}},
                      CsvCase{"SecondThreadOnly",
                              {"--threads", "200"},
                              {kFoo, "1,2,1,0.00007,255,255,\"x = Val(\"\"1,2\"\")\"", kEnd,
                               "1,5,,,,,Foo()", "1,6,1,0.00001,255,36," + kString, kLast}},
                      CsvCase{"BothThreadsListed",
                              {"--threads", "200,100"},
                              {kFoo, "1,2,3,0.00047,255,120,\"x = Val(\"\"1,2\"\")\"", kEnd,
                               "1,5,1,0.001,85,255,Foo()", "1,6,1,0.00001,85,3," + kString, kLast}},
                      CsvCase{"HitsThreshold",
                              {"--max-hits", "6"},
                              {kFoo, "1,2,3,0.00047,128,120,\"x = Val(\"\"1,2\"\")\"", kEnd,
                               "1,5,1,0.001,42,255,Foo()", "1,6,1,0.00001,42,3," + kString, kLast}},
                      CsvCase{"TimeThresholdOneMillisecond",
                              {"--max-time", "1"},
                              {kFoo, "1,2,3,0.00047,255,0,\"x = Val(\"\"1,2\"\")\"", kEnd,
                               "1,5,1,0.001,85,0,Foo()", "1,6,1,0.00001,85,0," + kString, kLast}},
                      CsvCase{"ThresholdReadLikeTheCommand",
                              {"--max-hits", "  $6xyz", "--max-time", "none"},
                              {kFoo, "1,2,3,0.00047,128,120,\"x = Val(\"\"1,2\"\")\"", kEnd,
                               "1,5,1,0.001,42,255,Foo()", "1,6,1,0.00001,42,3," + kString,
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
    const std::vector<std::string> expectedParts = {
        "\"program\": \"C:\\\\src\\\\demo.pb\"",
        "\"started\": \"2013/05/17-09:41:07\"",
        "\"mode\": \"all\"",
        "{\"id\": 100, \"scope\": \"***main***\", \"checked\": true}",
        "{\"id\": 200, \"scope\": \"Foo\", \"checked\": false}",
        "{\"file\": 1, \"line\": 1, \"hits\": null, \"time_ms\": null, \"hits_heat\": null, "
        "\"time_heat\": null, \"code\": \"Procedure Foo()\"}",
        "{\"file\": 1, \"line\": 2, \"hits\": 2, \"time_ms\": 0.0004, \"hits_heat\": 255, "
        "\"time_heat\": 102, \"code\": \"x = Val(\\\"1,2\\\")\"}",
        "{\"file\": 1, \"line\": 6, \"hits\": null, \"time_ms\": null, \"hits_heat\": null, "
        "\"time_heat\": null, \"code\": \"s$ = \\\"caf\xC3\xA9\\u0001\\\"\"}",
    };
    for (const auto& part : expectedParts) {
        EXPECT_NE(result.Out.find(part), std::string::npos) << part << "\n" << result.Out;
    }
    EXPECT_EQ(result.Out.front(), '{');
    EXPECT_EQ(result.Out.substr(result.Out.size() - 2), "}\n");
}

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
