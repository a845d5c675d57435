#include "report/report_options.h"

#include "tickscope_version.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tickscope::report {
namespace {

using Ids = std::vector<std::int32_t>;

struct GoodCase {
    std::string Name;
    std::vector<std::string> Args;
    ReportOptions Expected;
};

ReportOptions Run(std::string file) {
    ReportOptions options;
    options.RunFile = std::move(file);
    return options;
}

template <typename Change> ReportOptions Run(std::string file, Change change) {
    ReportOptions options = Run(std::move(file));
    change(options);
    return options;
}

class ReportOptionsTest : public ::testing::TestWithParam<GoodCase> {};

TEST_P(ReportOptionsTest, ReadsTheOptions) {
    const GoodCase& c = GetParam();
    const ParsedCommandLine parsed = ParseCommandLine(c.Args);
    ASSERT_TRUE(parsed.Options) << parsed.Err;
    EXPECT_EQ(parsed.ExitCode, kExitOk);
    EXPECT_EQ(parsed.Out, "");
    EXPECT_EQ(parsed.Err, "");
    const ReportOptions& got = *parsed.Options;
    const ReportOptions& want = c.Expected;
    EXPECT_EQ(got.What, want.What);
    EXPECT_EQ(got.RunFile, want.RunFile);
    EXPECT_EQ(got.Mode, want.Mode);
    EXPECT_EQ(got.Threads, want.Threads);
    EXPECT_EQ(got.MaxHits, want.MaxHits);
    EXPECT_EQ(got.MaxTime, want.MaxTime);
    EXPECT_EQ(got.Output, want.Output);
    EXPECT_EQ(got.Layout.Table, want.Layout.Table);
    EXPECT_EQ(got.Layout.Order, want.Layout.Order);
    EXPECT_EQ(got.Layout.Top, want.Layout.Top);
    EXPECT_EQ(got.OldRunFile, want.OldRunFile);
    EXPECT_EQ(got.ComparisonSort, want.ComparisonSort);
    EXPECT_EQ(got.FailSlowerPercent, want.FailSlowerPercent);
    EXPECT_EQ(got.FailSlowerMinMs, want.FailSlowerMinMs);
}

// --compare old.tkr new.tkr with the given changes.
template <typename Change> ReportOptions Comparison(Change change) {
    ReportOptions options = Run("new.tkr");
    options.What = Command::Compare;
    options.OldRunFile = "old.tkr";
    change(options);
    return options;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportOptionsTest,
    ::testing::Values(
        GoodCase{"RunFileAlone", {"r.tkr"}, Run("r.tkr")},
        GoodCase{"ModeAsTwoWords",
                 {"r.tkr", "--mode", "avg"},
                 Run("r.tkr", [](auto& o) { o.Mode = TimeMode::Avg; })},
        GoodCase{"ModeWithEqualsBeforeTheRun",
                 {"--mode=min", "r.tkr"},
                 Run("r.tkr", [](auto& o) { o.Mode = TimeMode::Min; })},
        GoodCase{"ThreadsInTheirOrder",
                 {"r.tkr", "--threads", "200,-7,100"},
                 Run("r.tkr",
                     [](auto& o) {
                         o.Threads = Ids{200, -7, 100};
                     })},
        GoodCase{"ThresholdsReadLikeThePrompts",
                 {"r.tkr", "--max-hits", "  $6xyz", "--max-time", "none"},
                 Run("r.tkr", [](auto& o) { o.MaxHits = 6; })},
        GoodCase{"NegativeThresholdAsItsOwnWord",
                 {"r.tkr", "--max-hits", "-5", "--max-time=%101"},
                 Run("r.tkr",
                     [](auto& o) {
                         o.MaxHits = -5;
                         o.MaxTime = 5;
                     })},
        GoodCase{"LastOfARepeatedOptionCounts",
                 {"r.tkr", "--format", "json", "--format=csv", "--mode", "max"},
                 Run("r.tkr",
                     [](auto& o) {
                         o.Output = Format::Csv;
                         o.Mode = TimeMode::Max;
                     })},
        GoodCase{"ThreadsListBeforeTheRun",
                 {"--threads-list", "r.tkr"},
                 Run("r.tkr", [](auto& o) { o.What = Command::ThreadsList; })},
        GoodCase{"ThreadsListAfterTheRun",
                 {"r.tkr", "--threads-list"},
                 Run("r.tkr", [](auto& o) { o.What = Command::ThreadsList; })},
        GoodCase{"ProceduresRankedAndCut",
                 {"r.tkr", "--by", "procedure", "--sort=calls", "--top", "3"},
                 Run("r.tkr",
                     [](auto& o) {
                         o.Layout.Table = ReportTable::Procedures;
                         o.Layout.Order = ReportOrder::Calls;
                         o.Layout.Top = 3;
                     })},
        GoodCase{"LinesBySelfTime",
                 {"--by=line", "--sort", "self", "r.tkr", "--top=1"},
                 Run("r.tkr",
                     [](auto& o) {
                         o.Layout.Order = ReportOrder::Self;
                         o.Layout.Top = 1;
                     })},
        GoodCase{"DashIsARunFile", {"-"}, Run("-")},
        GoodCase{"AnHtmlPage",
                 {"r.tkr", "--format", "html"},
                 Run("r.tkr", [](auto& o) { o.Output = Format::Html; })},
        GoodCase{"AnHtmlComparison",
                 {"--compare", "old.tkr", "new.tkr", "--format=html"},
                 Comparison([](auto& o) { o.Output = Format::Html; })},
        GoodCase{
            "CompareOldThenNew", {"--compare", "old.tkr", "new.tkr"}, Comparison([](auto&) {})},
        GoodCase{"CompareWithItsOptions",
                 {"old.tkr", "--mode", "avg", "--compare", "new.tkr", "--by", "procedure", "--sort",
                  "new", "--top", "4", "--threads", "7", "--format", "json"},
                 Comparison([](auto& o) {
                     o.Mode = TimeMode::Avg;
                     o.Layout.Table = ReportTable::Procedures;
                     o.ComparisonSort = ComparisonOrder::New;
                     o.Layout.Top = 4;
                     o.Threads = Ids{7};
                     o.Output = Format::Json;
                 })},
        GoodCase{"FailSlowerWithTheDefaultMinimum",
                 {"--compare", "old.tkr", "new.tkr", "--fail-slower", "12.5", "--all-threads"},
                 Comparison([](auto& o) { o.FailSlowerPercent = 12.5; })},
        GoodCase{
            "FailSlowerWithAMinimum",
            {"--compare", "old.tkr", "new.tkr", "--sort=delta", "--fail-slower=0", "--min-ms", "2"},
            Comparison([](auto& o) {
                o.ComparisonSort = ComparisonOrder::Delta;
                o.FailSlowerPercent = 0.0;
                o.FailSlowerMinMs = 2.0;
            })},
        GoodCase{"List", {"--list"}, Run("", [](auto& o) { o.What = Command::List; })}),
    [](const auto& info) { return info.param.Name; });

TEST(ReportOptionsTest, EveryNameOfAFormatAndAModeIsRead) {
    for (const auto& format : kFormats) {
        const auto parsed = ParseCommandLine({"r", "--format", std::string(format.Name)});
        ASSERT_TRUE(parsed.Options) << format.Name;
        EXPECT_EQ(parsed.Options->Output, format.Value);
    }
    for (const auto& mode : kModes) {
        const auto parsed = ParseCommandLine({"r", "--mode", std::string(mode.Name)});
        ASSERT_TRUE(parsed.Options) << mode.Name;
        EXPECT_EQ(parsed.Options->Mode, mode.Value);
    }
}

struct BadCase {
    std::string Name;
    std::vector<std::string> Args;
    std::string Says; // a part of the message
};

class ReportOptionsBadTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(ReportOptionsBadTest, OneLineAndExitCode2) {
    const BadCase& c = GetParam();
    const ParsedCommandLine parsed = ParseCommandLine(c.Args);
    EXPECT_FALSE(parsed.Options);
    EXPECT_EQ(parsed.ExitCode, kExitBadInput);
    EXPECT_EQ(parsed.Out, "");
    EXPECT_EQ(parsed.Err.rfind("tickscope-report: ", 0), 0u) << parsed.Err;
    EXPECT_EQ(parsed.Err.find('\n'), parsed.Err.size() - 1) << parsed.Err;
    EXPECT_NE(parsed.Err.find(c.Says), std::string::npos) << parsed.Err;
    EXPECT_NE(parsed.Err.find("(try --help)"), std::string::npos) << parsed.Err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportOptionsBadTest,
    ::testing::Values(
        BadCase{"NoArguments", {}, "no run file given"},
        BadCase{"TwoRuns", {"a.tkr", "b.tkr"}, "more than one run file given"},
        BadCase{"UnknownMode",
                {"r", "--mode", "median"},
                "unknown mode: median (all, avg, max or min)"},
        BadCase{"UnknownFormat",
                {"r", "--format=xml"},
                "unknown format: xml (text, csv, json or html)"},
        BadCase{"FormatNamesAreLowerCase", {"r", "--format", "CSV"}, "unknown format: CSV"},
        BadCase{"UnknownOption", {"r", "--colour"}, "--colour"},
        BadCase{"NoPrefixOfAnOption", {"r", "--form", "csv"}, "--form"},
        BadCase{"MissingValue", {"r", "--max-hits"}, "--max-hits"},
        BadCase{"BadThreadId", {"r", "--threads", "abc"}, "bad thread id list: abc"},
        BadCase{"EmptyThreadId", {"r", "--threads", "100,,200"}, "bad thread id list"},
        BadCase{"ThreadIdTooWide", {"r", "--threads", "4294967296"}, "bad thread id list"},
        BadCase{"ValueOnFlag", {"--list=yes"}, "list"},
        BadCase{"ValueOnThreadsList", {"--threads-list=1", "r"}, "threads-list"},
        BadCase{"ListWithARun", {"--list", "r"}, "--list takes no run file"},
        BadCase{"ListAndThreadsList", {"--list", "--threads-list"}, "--threads-list"},
        BadCase{"ThreadsListWithoutRun", {"--threads-list"}, "no run file given"},
        BadCase{"UnknownTable", {"r", "--by", "file"}, "unknown table: file (line or procedure)"},
        BadCase{"UnknownOrder",
                {"r", "--sort", "name"},
                "unknown order: name (time, self, hits or calls)"},
        BadCase{"TopOfNone", {"r", "--top", "0"}, "bad row count for --top: 0"},
        BadCase{"TopNegative", {"r", "--top=-2"}, "bad row count for --top: -2"},
        BadCase{"TopNotANumber", {"r", "--top", "ten"}, "bad row count for --top: ten"},
        BadCase{"CompareOneRun", {"--compare", "a"}, "--compare takes two run files"},
        BadCase{"CompareNoRun", {"--compare"}, "--compare takes two run files"},
        BadCase{"ComparisonOrder",
                {"--compare", "a", "b", "--sort", "time"},
                "unknown order: time (delta, old or new)"},
        BadCase{"FailSlowerWithoutCompare", {"r", "--fail-slower", "1"}, "goes with --compare"},
        BadCase{"MinimumAlone", {"--compare", "a", "b", "--min-ms", "1"}, "--fail-slower"},
        BadCase{"PercentWithUnit", {"--compare", "a", "b", "--fail-slower", "5%"}, "bad PCT"},
        BadCase{"PercentInfinite", {"--compare", "a", "b", "--fail-slower", "inf"}, "bad PCT"},
        BadCase{"MinimumNegative",
                {"--compare", "a", "b", "--fail-slower", "1", "--min-ms", "-1"},
                "bad MS for --min-ms"},
        BadCase{"ThresholdOnComparison",
                {"--compare", "a", "b", "--max-time", "3"},
                "--max-time does not go with --compare"},
        BadCase{"CompareAndThreadsList", {"--compare", "a", "b", "--threads-list"}, "threads-list"},
        BadCase{"BothThreadChoices", {"r", "--all-threads", "--threads", "1"}, "--threads"}),
    [](const auto& info) { return info.param.Name; });

TEST(ReportOptionsTest, HelpListsEveryOptionAndChoice) {
    for (const char* help : {"--help", "-h"}) {
        const ParsedCommandLine parsed = ParseCommandLine({"r", help});
        EXPECT_FALSE(parsed.Options);
        EXPECT_EQ(parsed.ExitCode, kExitOk);
        EXPECT_EQ(parsed.Err, "");
        EXPECT_EQ(parsed.Out.rfind("usage: tickscope-report RUN.tkr", 0), 0u) << parsed.Out;
        for (const char* option :
             {"--mode", "--threads ", "--max-hits", "--max-time", "--format", "--threads-list",
              "--list", "--help", "--version", "--by", "--sort", "--top N", "--compare",
              "--compare OLD.tkr NEW.tkr", "--all-threads", "--fail-slower PCT", "--min-ms MS",
              "exit code"}) {
            EXPECT_NE(parsed.Out.find(option), std::string::npos) << option << "\n" << parsed.Out;
        }
        EXPECT_NE(parsed.Out.find("all|avg|max|min"), std::string::npos) << parsed.Out;
        EXPECT_NE(parsed.Out.find("text|csv|json"), std::string::npos) << parsed.Out;
        EXPECT_NE(parsed.Out.find("line|procedure"), std::string::npos) << parsed.Out;
        EXPECT_NE(parsed.Out.find("time|self|hits|calls"), std::string::npos) << parsed.Out;
        EXPECT_NE(parsed.Out.find("delta|old|new"), std::string::npos) << parsed.Out;
    }
}

TEST(ReportOptionsTest, VersionIsTheProjects) {
    const ParsedCommandLine parsed = ParseCommandLine({"--version"});
    EXPECT_FALSE(parsed.Options);
    EXPECT_EQ(parsed.ExitCode, kExitOk);
    EXPECT_EQ(parsed.Out, std::string("tickscope-report ") + kTickscopeVersion + "\n");
    EXPECT_EQ(parsed.Err, "");
}

} // namespace
} // namespace tickscope::report
