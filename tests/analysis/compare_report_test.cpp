// tickscope-report --compare as a process, on two runs of a program edited between them
// (built by build mode, recorded from scripts; the figures are worked out by hand in
// edited_program_comparison_test.cpp): the CSV tables byte for byte, the text summary, JSON,
// the order and cut of rows, the exit codes of --fail-slower, and bad input.
#include "common/edited_program.h"
#include "common/report_tool.h"
#include "source/text_utils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tickscope {
namespace {

using testing::ProcessResult;
using testing::Runs;
using testing::ScriptedProgram;
using testing::TempFolder;

class CompareToolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(TICKSCOPE_REPORT_BINARY)) {
            GTEST_SKIP() << "tickscope-report is not built: " << TICKSCOPE_REPORT_BINARY;
        }
        sources_.Write("other/game.pb", "Debug y\n");
        const testing::EditedRuns runs =
            testing::RecordEditedRuns(sources_, oldBuild_, newBuild_, home_);
        old_ = runs.Old;
        new_ = runs.New;
        ScriptedProgram otherProgram(sources_.File("other/game.pb"), otherBuild_);
        other_ = otherProgram.Record(home_.Folder(), {Runs("game.pb", "Debug y", 10)}, 1700007200);
    }

    ProcessResult Compare(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--compare", old_, new_});
        return testing::RunReportTool(args, home_.Folder());
    }

    // The expected text with {O} and {N} standing for the folders of the two versions.
    std::string Paths(const std::string& text) const {
        return ReplaceAll(ReplaceAll(text, "{O}", sources_.File("old/")), "{N}",
                          sources_.File("new/"));
    }

    TempFolder sources_, oldBuild_, newBuild_, otherBuild_, home_;
    std::string old_, new_, other_;
};

const std::string kLineHeader = "status,old_file,old_line,new_file,new_line,old_hits,new_hits,"
                                "old_ms,new_ms,delta_ms,delta_percent,old_self_ms,new_self_ms,"
                                "code\n";

TEST_F(CompareToolTest, LineCsv) {
    const ProcessResult result = Compare({"--format", "csv"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Err, "");
    EXPECT_EQ(result.Out,
              Paths(kLineHeader +
                    "matched,{O}main.pb,1,{N}main.pb,1,,,,,,,,,; demo\n"
                    "removed,{O}main.pb,2,,,,,,,,,,,\"XIncludeFile \"\"inc/util.pbi\"\"\"\n"
                    "added,,,{N}main.pb,2,,,,,,,,,\"XIncludeFile \"\"lib/util.pbi\"\"\"\n"
                    "matched,{O}inc/util.pbi,1,{N}lib/util.pbi,1,,,,,,,,,Procedure Helper(v)\n"
                    "matched,{O}inc/util.pbi,2,{N}lib/util.pbi,2,1,1,0.0004,0.0006,0.0002,50.00,"
                    "0.0004,0.0006,  r = v + 1\n"
                    "matched,{O}inc/util.pbi,3,{N}lib/util.pbi,3,,,,,,,,,  ProcedureReturn r\n"
                    "matched,{O}inc/util.pbi,4,{N}lib/util.pbi,4,,,,,,,,,EndProcedure\n"
                    "added,,,{N}main.pb,3,,,,,,,,,\"XIncludeFile \"\"extra.pbi\"\"\"\n"
                    "added,,,{N}extra.pbi,1,,,,,,,,,Procedure Extra(v)\n"
                    "added,,,{N}extra.pbi,2,,1,,0.00007,0.00007,,,0.00007,  w = v * 2\n"
                    "added,,,{N}extra.pbi,3,,,,,,,,,  ProcedureReturn w\n"
                    "added,,,{N}extra.pbi,4,,,,,,,,,EndProcedure\n"
                    "matched,{O}main.pb,3,{N}main.pb,4,,,,,,,,,Procedure Work(n)\n"
                    "matched,{O}main.pb,4,{N}main.pb,5,1,1,0.0001,0.0001,0.,0.00,0.0001,0.0001,"
                    "  a = n * 2\n"
                    "removed,{O}main.pb,5,,,1,,0.0002,,-0.0002,-100.00,0.0002,,  b = a + 1\n"
                    "removed,{O}main.pb,6,,,1,,0.0003,,-0.0003,-100.00,0.0003,,  c = b * 3\n"
                    "added,,,{N}main.pb,6,,1,,0.00015,0.00015,,,0.00015,  t = a - 1\n"
                    "added,,,{N}main.pb,7,,1,,0.00025,0.00025,,,0.00025,  b = a + 2\n"
                    "matched,{O}main.pb,7,{N}main.pb,8,,,,,,,,,  ProcedureReturn c\n"
                    "matched,{O}main.pb,8,{N}main.pb,9,,,,,,,,,EndProcedure\n"
                    "matched,{O}main.pb,9,{N}main.pb,10,1,1,0.0016,0.0015,-0.0001,-6.25,0.001,"
                    "0.001,x = Work(1)\n"
                    "matched,{O}main.pb,10,{N}main.pb,11,1,1,0.00045,0.00065,0.0002,44.44,"
                    "0.00005,0.00005,y = Helper(x)\n"
                    "added,,,{N}main.pb,12,,1,,0.00009,0.00009,,,0.00002,z = Extra(y)\n"
                    "matched,{O}main.pb,11,{N}main.pb,13,1,1,0.00001,0.00001,0.,0.00,0.00001,"
                    "0.00001,Debug y\n"));
}

const std::string kProcedureHeader = "status,procedure,old_calls,new_calls,old_self_ms,"
                                     "new_self_ms,old_total_ms,new_total_ms,delta_total_ms,"
                                     "delta_total_percent\n";

TEST_F(CompareToolTest, ProcedureCsv) {
    const ProcessResult result = Compare({"--by", "procedure", "--format", "csv"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out,
              kProcedureHeader +
                  "matched,***main***,0,0,0.00106,0.00108,0.00206,0.00225,0.00019,9.22\n"
                  "matched,Helper,1,1,0.0004,0.0006,0.0004,0.0006,0.0002,50.00\n"
                  "added,Extra,,1,,0.00007,,0.00007,0.00007,\n"
                  "matched,Work,1,1,0.0006,0.0005,0.0006,0.0005,-0.0001,-16.67\n");
}

struct OrderCase {
    std::string Name;
    std::vector<std::string> Args;
    std::vector<std::string> Codes; // the code column of the rows, in order
};

class CompareOrderTest : public CompareToolTest, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(CompareOrderTest, RowsAreChosenAndOrdered) {
    std::vector<std::string> args = GetParam().Args;
    args.insert(args.end(), {"--format", "csv"});
    const ProcessResult result = Compare(args);
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    std::vector<std::string> codes;
    std::size_t start = result.Out.find('\n') + 1;
    while (start < result.Out.size()) {
        const std::size_t end = result.Out.find('\n', start);
        const std::string record = result.Out.substr(start, end - start);
        codes.push_back(record.substr(record.rfind(',') + 1));
        start = end + 1;
    }
    EXPECT_EQ(codes, GetParam().Codes);
}

// Changes: b = a + 2 +250 ns, r and y +200 ns, t +150, z +90, w +70, a and Debug 0,
// x -100, b = a + 1 -200, c -300. CSV keeps the comparison's order.
INSTANTIATE_TEST_SUITE_P(
    Cases, CompareOrderTest,
    ::testing::Values(
        OrderCase{"TopByChange", {"--top", "3"}, {"  r = v + 1", "  b = a + 2", "y = Helper(x)"}},
        OrderCase{
            "TopByOldTime", {"--sort", "old", "--top", "2"}, {"x = Work(1)", "y = Helper(x)"}},
        OrderCase{"TopByNewTime", {"--sort=new", "--top=1"}, {"x = Work(1)"}},
        OrderCase{"TopProcedures",
                  {"--by", "procedure", "--top", "2"},
                  {"9.22", "50.00"}}), // ***main*** +190 ns, Helper +200 ns
    [](const auto& info) { return info.param.Name; });

TEST_F(CompareToolTest, TextSummaryThenTheTable) {
    const ProcessResult result = Compare({"--sort", "delta"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    const std::string& out = result.Out;
    EXPECT_NE(out.find("Run time:   0.00206 ms -> 0.00225 ms (+0.00019 ms, +9.22 %)\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Files:      2 matched, 1 added, 0 removed\n"), std::string::npos);
    EXPECT_NE(out.find("Lines:      12 matched, 9 added, 3 removed\n"), std::string::npos);
    EXPECT_NE(out.find("Procedures: 3 matched, 1 added, 0 removed\n"), std::string::npos);
    // In the order the summary ranks them: gained by the largest change, then lost.
    const std::vector<std::string> order = {"Procedures that gained most:",
                                            "  Helper",
                                            "  ***main***",
                                            "  Extra",
                                            "Procedures that lost most:",
                                            "  Work",
                                            "Lines that lost most:",
                                            "  c = b * 3",
                                            "  b = a + 1",
                                            "x = Work(1)",
                                            "(matched by name)",
                                            "Delta %  Code",
                                            "  b = a + 2",
                                            "  r = v + 1",
                                            "y = Helper(x)",
                                            "  t = a - 1"};
    std::size_t at = 0;
    for (const std::string& part : order) {
        const std::size_t found = out.find(part, at);
        ASSERT_NE(found, std::string::npos) << part << "\n" << out;
        at = found + part.size();
    }
}

TEST_F(CompareToolTest, JsonHoldsBothTablesAndTheFiles) {
    const ProcessResult result = Compare({"--format", "json"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    for (const std::string& part :
         {std::string("\"format_version\": 1"), std::string("\"run_delta_percent\": 9.22"),
          std::string("\"shares_files\": true"), Paths("\"new_path\": \"{N}lib/util.pbi\""),
          std::string("\"matched_by\": \"name\""),
          std::string("{\"status\": \"removed\", \"old_file\": ") + "\"" +
              sources_.File("old/main.pb") +
              "\", \"old_line\": 5, \"new_file\": null, \"new_line\": null, \"old_file_id\": 1, "
              "\"new_file_id\": null, \"old_hits\": 1, \"new_hits\": null, \"old_ms\": 0.0002, "
              "\"new_ms\": null, \"delta_ms\": -0.0002, \"delta_percent\": -100.00, "
              "\"old_self_ms\": 0.0002, \"new_self_ms\": null, \"code\": \"  b = a + 1\"}",
          std::string("{\"status\": \"added\", \"procedure\": \"Extra\", \"old_calls\": null, "
                      "\"new_calls\": 1, \"old_self_ms\": null, \"new_self_ms\": 0.00007, "
                      "\"old_total_ms\": null, \"new_total_ms\": 0.00007, \"delta_total_ms\": "
                      "0.00007, \"delta_total_percent\": null}")}) {
        EXPECT_NE(result.Out.find(part), std::string::npos) << part << "\n" << result.Out;
    }
}

TEST_F(CompareToolTest, ARunComparedWithItselfChangesNothing) {
    for (const char* by : {"line", "procedure"}) {
        const ProcessResult result =
            testing::RunReportTool({"--compare", new_, new_, "--by", by, "--format", "csv",
                                    "--fail-slower", "0", "--min-ms", "0"},
                                   home_.Folder());
        EXPECT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(result.Err, "");
        std::size_t rows = 0;
        std::size_t start = result.Out.find('\n') + 1;
        while (start < result.Out.size()) {
            const std::size_t end = result.Out.find('\n', start);
            const std::string record = result.Out.substr(start, end - start);
            EXPECT_EQ(record.rfind("matched,", 0), 0u) << record;
            // A line with figures has the change 0 and 0 %; one without has neither.
            const bool figures =
                std::string(by) == "procedure" || record.find(",1,1,") != std::string::npos;
            EXPECT_EQ((record + ",").find(",0.,0.00,") != std::string::npos, figures) << record;
            start = end + 1;
            ++rows;
        }
        EXPECT_EQ(rows, std::string(by) == "line" ? 21u : 4u);
    }
}

struct SlowerCase {
    std::string Name;
    std::vector<std::string> Args;
    int ExitCode;
    std::string Err;
};

class FailSlowerTest : public CompareToolTest, public ::testing::WithParamInterface<SlowerCase> {};

TEST_P(FailSlowerTest, ExitCodeAndTheFiguresOnStderr) {
    std::vector<std::string> args = GetParam().Args;
    args.insert(args.end(), {"--format", "csv", "--by", "procedure"});
    const ProcessResult result = Compare(args);
    EXPECT_EQ(result.ExitCode, GetParam().ExitCode);
    EXPECT_EQ(result.Err, GetParam().Err);
    EXPECT_EQ(result.Out.rfind(kProcedureHeader, 0), 0u); // the comparison is printed all the same
}

// The run grew 9.22 % (+0.00019 ms), ***main*** alike, Helper 50 % (+0.0002 ms); Work fell,
// Extra ran only in the new run.
INSTANTIATE_TEST_SUITE_P(
    Cases, FailSlowerTest,
    ::testing::Values(
        SlowerCase{"NotAsked", {}, 0, ""},
        SlowerCase{"BelowTheDefaultMinimum", {"--fail-slower", "10"}, 0, ""},
        SlowerCase{
            "AProcedure",
            {"--fail-slower", "10", "--min-ms", "0.0001"},
            1,
            "tickscope-report: slower: procedure Helper 0.0004 ms -> 0.0006 ms (+50.00 %)\n"},
        SlowerCase{
            "TheRunToo",
            {"--fail-slower=5", "--min-ms=0.0001"},
            1,
            "tickscope-report: slower: run time 0.00206 ms -> 0.00225 ms (+9.22 %)\n"
            "tickscope-report: slower: procedure ***main*** 0.00206 ms -> 0.00225 ms "
            "(+9.22 %)\n"
            "tickscope-report: slower: procedure Helper 0.0004 ms -> 0.0006 ms (+50.00 %)\n"},
        SlowerCase{
            "ExactlyTheMinimum",
            {"--fail-slower", "0", "--min-ms", "0.0002"},
            1,
            "tickscope-report: slower: procedure Helper 0.0004 ms -> 0.0006 ms (+50.00 %)\n"},
        SlowerCase{"AboveEveryGrowth", {"--fail-slower", "50", "--min-ms", "0"}, 0, ""}),
    [](const auto& info) { return info.param.Name; });

TEST_F(CompareToolTest, RunsOfDifferentProgramsCompareAndSaySo) {
    const ProcessResult result =
        testing::RunReportTool({"--compare", old_, other_, "--format", "csv"}, home_.Folder());
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Err, "tickscope-report: warning: the runs have no source file in common: "
                          "they are of different programs, so every line is added or removed\n");
    EXPECT_NE(result.Out.find(Paths("\nadded,,,")), std::string::npos);
    EXPECT_EQ(result.Out.find("\nmatched,"), std::string::npos);
}

struct BadCase {
    std::string Name;
    std::vector<std::string> Args; // OLD, NEW and MISSING stand for run files
    std::string Says;
};

class CompareBadInputTest : public CompareToolTest,
                            public ::testing::WithParamInterface<BadCase> {};

TEST_P(CompareBadInputTest, OneLineOnStderrAndExitCode2) {
    std::vector<std::string> args = GetParam().Args;
    for (auto& arg : args) {
        arg = arg == "OLD"       ? old_
              : arg == "NEW"     ? new_
              : arg == "MISSING" ? home_.File("gone.tkr")
                                 : arg;
    }
    const ProcessResult result = testing::RunReportTool(args, home_.Folder());
    EXPECT_EQ(result.ExitCode, 2);
    EXPECT_EQ(result.Out, "");
    ASSERT_FALSE(result.Err.empty());
    EXPECT_EQ(result.Err.find('\n'), result.Err.size() - 1) << result.Err;
    EXPECT_NE(result.Err.find(GetParam().Says), std::string::npos) << result.Err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareBadInputTest,
    ::testing::Values(
        BadCase{"OneRun", {"--compare", "OLD"}, "--compare takes two run files"},
        BadCase{"ThreeRuns", {"--compare", "OLD", "NEW", "NEW"}, "--compare takes two run files"},
        BadCase{"OldMissing", {"--compare", "MISSING", "NEW"}, "cannot read run file"},
        BadCase{"NewMissing", {"--compare", "OLD", "MISSING"}, "cannot read run file"},
        BadCase{"SingleRunOrder", {"--compare", "OLD", "NEW", "--sort", "self"}, "unknown order"},
        BadCase{"ComparisonOrderOnOneRun", {"OLD", "--sort", "delta"}, "unknown order: delta"},
        BadCase{"HeatThreshold", {"--compare", "OLD", "NEW", "--max-hits", "5"}, "--max-hits"},
        BadCase{"FailSlowerOnOneRun", {"OLD", "--fail-slower", "5"}, "goes with --compare"},
        BadCase{
            "MinimumWithoutFailSlower", {"--compare", "OLD", "NEW", "--min-ms", "1"}, "--min-ms"},
        BadCase{"NegativePercent",
                {"--compare", "OLD", "NEW", "--fail-slower", "-5"},
                "bad PCT for --fail-slower"},
        BadCase{"PercentNotANumber",
                {"--compare", "OLD", "NEW", "--fail-slower", "5%"},
                "bad PCT for --fail-slower"},
        BadCase{"ThreadsAndAllThreads",
                {"--compare", "OLD", "NEW", "--threads", "1", "--all-threads"},
                "--all-threads"},
        BadCase{"WithList", {"--compare", "--list"}, "--list"}),
    [](const auto& info) { return info.param.Name; });

} // namespace
} // namespace tickscope
