// Comparisons of hand-made runs: which files match and by which rule, where the rows of lines
// and procedures stand, the changes and their percentages, the order of the rows, and when a
// new run counts as slower.
#include "analysis/run_comparison.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tickscope {
namespace {

// A line of a hand-made run: its file (a path of the run's table), line number, code, and
// its figures when it ran (hits, time, self time).
struct Line {
    std::string File;
    int Number = 0;
    std::string Code;
    std::int64_t Hits = -1; // -1: the line did not run
    std::int64_t Nanos = 0;
    std::int64_t SelfNanos = 0;
};

// A run of a program whose main file is `main` (the first path of the table), with the given
// lines; file ids are given in the order the paths first appear.
RunSummary Summary(const std::string& main, const std::vector<Line>& lines) {
    RunSummary run;
    run.Record.Path = main;
    run.Program.SourceFileIds.Set(main, 1);
    for (const Line& line : lines) {
        if (!run.Program.SourceFileIds.Contains(line.File)) {
            run.Program.SourceFileIds.Set(line.File,
                                          static_cast<int>(run.Program.SourceFileIds.Size()) + 1);
        }
        LineOfCode& code = run.Program.LinesOfCode.emplace_back();
        code.SourceFileId = run.Program.SourceFileIds.Get(line.File);
        code.LineNumber = line.Number;
        code.Code = line.Code;
        LineReport& figures = run.Figures.Lines.emplace_back();
        if (line.Hits >= 0) {
            figures.HasResults = true;
            figures.Hits = line.Hits;
            figures.TimeNanos = line.Nanos;
            LineProfile& profile = run.Profile.Lines.emplace_back();
            profile.LineId = static_cast<std::int32_t>(run.Program.LinesOfCode.size());
            profile.SelfNanos = line.SelfNanos;
        }
    }
    return run;
}

// "status old-file:line new-file:line" of every line row.
std::vector<std::string> Rows(const RunComparison& comparison, const RunSummary& older,
                              const RunSummary& newer) {
    const auto place = [](const RunSummary& run, std::int32_t id) {
        if (id == 0) {
            return std::string("-");
        }
        const LineOfCode& line = run.Program.LinesOfCode[static_cast<std::size_t>(id - 1)];
        return std::to_string(line.SourceFileId) + ":" + std::to_string(line.LineNumber);
    };
    std::vector<std::string> rows;
    for (const LineComparison& line : comparison.Lines) {
        rows.push_back(std::string(MatchStatusName(line.Status)) + " " +
                       place(older, line.Old.LineId) + " " + place(newer, line.New.LineId));
    }
    return rows;
}

// --- files ------------------------------------------------------------------------------

struct FileCase {
    std::string Name;
    std::string OldMain;
    std::vector<std::string> OldIncludes;
    std::string NewMain;
    std::vector<std::string> NewIncludes;
    // "old new rule" of every matched file, ids as in the tables (main is 1).
    std::vector<std::string> Matched;
};

class FileMatchTest : public ::testing::TestWithParam<FileCase> {};

// Every file has one line "x"; files match when their lines do.
RunSummary FilesRun(const std::string& main, const std::vector<std::string>& includes) {
    std::vector<Line> lines = {{main, 1, "x"}};
    for (const std::string& include : includes) {
        lines.push_back({include, 1, "x"});
    }
    return Summary(main, lines);
}

TEST_P(FileMatchTest, MatchesByRelativePathThenByAUniqueName) {
    const FileCase& c = GetParam();
    const RunSummary older = FilesRun(c.OldMain, c.OldIncludes);
    const RunSummary newer = FilesRun(c.NewMain, c.NewIncludes);
    const RunComparison comparison = CompareRuns(older, newer);
    std::vector<std::string> matched;
    for (const FileComparison& file : comparison.Files) {
        if (file.Status == MatchStatus::Matched) {
            matched.push_back(std::to_string(file.OldFileId) + " " +
                              std::to_string(file.NewFileId) + " " +
                              (file.Rule == FileMatchRule::FileName ? "name" : "path"));
        }
    }
    EXPECT_EQ(matched, c.Matched);
    EXPECT_EQ(comparison.SharesFiles(), !c.Matched.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileMatchTest,
    ::testing::Values(
        FileCase{"SamePlace",
                 "/p/main.pb",
                 {"/p/a.pbi", "/p/lib/b.pbi"},
                 "/p/main.pb",
                 {"/p/lib/b.pbi", "/p/a.pbi"},
                 {"1 1 path", "3 2 path", "2 3 path"}},
        FileCase{"ProjectMovedToAnotherDrive",
                 "C:\\work\\game\\main.pb",
                 {"C:\\work\\game\\inc\\gfx.pbi", "C:\\work\\common\\util.pbi"},
                 "D:\\backup\\game\\main.pb",
                 {"D:\\backup\\common\\util.pbi", "D:\\backup\\game\\inc\\gfx.pbi"},
                 {"1 1 path", "3 2 path", "2 3 path"}},
        FileCase{"SeparatorsAndLetterCase",
                 "C:\\Game\\Main.pb",
                 {"C:\\Game\\Inc\\GFX.pbi"},
                 "c:/game/main.pb",
                 {"c:/game/inc/gfx.pbi"},
                 {"1 1 path", "2 2 path"}},
        FileCase{"DotsInAPath",
                 "/p/main.pb",
                 {"/p/inc/../lib/./b.pbi"},
                 "/q/main.pb",
                 {"/q/lib/b.pbi"},
                 {"1 1 path", "2 2 path"}},
        FileCase{"IncludeMovedToAnotherFolder",
                 "/p/main.pb",
                 {"/p/inc/util.pbi"},
                 "/p/main.pb",
                 {"/p/lib/util.pbi"},
                 {"1 1 path", "2 2 name"}},
        FileCase{"NameCarriedByTwoPathsInOneRun",
                 "/p/main.pb",
                 {"/p/inc/util.pbi"},
                 "/p/main.pb",
                 {"/p/lib/util.pbi", "/p/gfx/util.pbi"},
                 {"1 1 path"}},
        FileCase{"NameCarriedByTwoPathsInTheOtherRun",
                 "/p/main.pb",
                 {"/p/a/util.pbi", "/p/b/util.pbi"},
                 "/p/main.pb",
                 {"/p/a/util.pbi", "/p/c/util.pbi"},
                 {"1 1 path", "2 2 path"}},
        FileCase{"FileAdded", "/p/main.pb", {}, "/p/main.pb", {"/p/extra.pbi"}, {"1 1 path"}},
        FileCase{"IncludedTwice",
                 "/p/main.pb",
                 {"/p/part.pbi", "/p/part.pbi#3"},
                 "/p/main.pb",
                 {"/p/other.pbi", "/p/part.pbi", "/p/part.pbi#4"},
                 {"1 1 path", "2 3 path", "3 4 path"}},
        FileCase{
            "DifferentPrograms", "/p/game.pb", {"/p/gfx.pbi"}, "/q/editor.pb", {"/q/ui.pbi"}, {}}),
    [](const auto& info) { return info.param.Name; });

// --- lines ------------------------------------------------------------------------------

TEST(RunComparisonTest, RemovedLinesFollowTheMatchedLineBeforeThem) {
    // Old: main.pb 1..5 with util.pbi included after line 2; new: line 3 changed, line 4
    // deleted, a line inserted after 5, util.pbi gone and gfx.pbi included instead.
    const RunSummary older = Summary("/p/main.pb", {
                                                       {"/p/main.pb", 1, "a"},
                                                       {"/p/main.pb", 2, "XIncludeFile u"},
                                                       {"/p/util.pbi", 1, "u1"},
                                                       {"/p/util.pbi", 2, "u2"},
                                                       {"/p/main.pb", 3, "b = 1"},
                                                       {"/p/main.pb", 4, "c"},
                                                       {"/p/main.pb", 5, "d"},
                                                   });
    const RunSummary newer = Summary("/p/main.pb", {
                                                       {"/p/main.pb", 1, "a"},
                                                       {"/p/main.pb", 2, "XIncludeFile g"},
                                                       {"/p/gfx.pbi", 1, "g1"},
                                                       {"/p/main.pb", 3, "b = 2"},
                                                       {"/p/main.pb", 4, "d"},
                                                       {"/p/main.pb", 5, "e"},
                                                   });
    const RunComparison comparison = CompareRuns(older, newer);
    EXPECT_EQ(
        Rows(comparison, older, newer),
        (std::vector<std::string>{"matched 1:1 1:1", "removed 1:2 -", "removed 2:1 -",
                                  "removed 2:2 -", "removed 1:3 -", "removed 1:4 -", "added - 1:2",
                                  "added - 2:1", "added - 1:3", "matched 1:5 1:4", "added - 1:5"}));
}

TEST(RunComparisonTest, RemovedLinesBeforeAnyMatchedLineComeFirst) {
    const RunSummary older =
        Summary("/p/main.pb", {{"/p/main.pb", 1, "gone"}, {"/p/main.pb", 2, "kept"}});
    const RunSummary newer =
        Summary("/p/main.pb", {{"/p/main.pb", 1, "new"}, {"/p/main.pb", 2, "kept"}});
    EXPECT_EQ(Rows(CompareRuns(older, newer), older, newer),
              (std::vector<std::string>{"removed 1:1 -", "added - 1:1", "matched 1:2 1:2"}));
}

TEST(RunComparisonTest, LinesOfADifferentProgramAreAllAddedOrRemoved) {
    const RunSummary older = Summary("/p/game.pb", {{"/p/game.pb", 1, "x = 1"}});
    const RunSummary newer = Summary("/q/editor.pb", {{"/q/editor.pb", 1, "x = 1"}});
    const RunComparison comparison = CompareRuns(older, newer);
    EXPECT_FALSE(comparison.SharesFiles());
    EXPECT_EQ(Rows(comparison, older, newer),
              (std::vector<std::string>{"removed 1:1 -", "added - 1:1"}));
}

struct DeltaCase {
    std::string Name;
    std::int64_t OldHits, OldNanos; // hits -1: no figure
    std::int64_t NewHits, NewNanos;
    std::optional<std::int64_t> Delta;
    std::string Percent;
};

class LineDeltaTest : public ::testing::TestWithParam<DeltaCase> {};

TEST_P(LineDeltaTest, ChangeAndPercentOfTheTime) {
    const DeltaCase& c = GetParam();
    const RunSummary older = Summary("/p/m.pb", {{"/p/m.pb", 1, "x", c.OldHits, c.OldNanos}});
    const RunSummary newer = Summary("/p/m.pb", {{"/p/m.pb", 1, "x", c.NewHits, c.NewNanos}});
    const RunComparison comparison = CompareRuns(older, newer);
    ASSERT_EQ(comparison.Lines.size(), 1u);
    const LineComparison& line = comparison.Lines[0];
    EXPECT_EQ(TimeDelta(line), c.Delta);
    const std::string percent =
        line.Old.HasFigures ? DeltaPercent(line.Old.TimeNanos, line.New.TimeNanos) : "";
    EXPECT_EQ(percent, c.Percent);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineDeltaTest,
    ::testing::Values(DeltaCase{"Slower", 2, 1000, 2, 1500, 500, "50.00"},
                      DeltaCase{"Faster", 3, 3000, 3, 1000, -2000, "-66.67"},
                      DeltaCase{"Same", 1, 777, 1, 777, 0, "0.00"},
                      DeltaCase{"FromZero", 1, 0, 1, 40, 40, ""},
                      DeltaCase{"RanOnlyInTheNewRun", -1, 0, 4, 900, 900, ""},
                      DeltaCase{"RanOnlyInTheOldRun", 4, 900, -1, 0, -900, "-100.00"},
                      DeltaCase{"RanInNeither", -1, 0, -1, 0, std::nullopt, ""},
                      DeltaCase{"ThirdRoundsHalfAway", 3, 3, 3, 4, 1, "33.33"},
                      DeltaCase{"TwoThirdsRoundUp", 3, 3, 3, 5, 2, "66.67"}),
    [](const auto& info) { return info.param.Name; });

TEST(RunComparisonTest, RowsAreRankedByChangeOldOrNewWithoutFiguresLast) {
    const RunSummary older = Summary("/p/m.pb", {{"/p/m.pb", 1, "a", 1, 100},
                                                 {"/p/m.pb", 2, "b", 1, 500},
                                                 {"/p/m.pb", 3, "c"},
                                                 {"/p/m.pb", 4, "d", 1, 300}});
    const RunSummary newer = Summary("/p/m.pb", {{"/p/m.pb", 1, "a", 1, 400},
                                                 {"/p/m.pb", 2, "b", 1, 200},
                                                 {"/p/m.pb", 3, "c"},
                                                 {"/p/m.pb", 4, "d", 1, 300},
                                                 {"/p/m.pb", 5, "e", 1, 50}});
    const RunComparison comparison = CompareRuns(older, newer);
    // Deltas: a +300, b -300, c none, d 0, e +50.
    EXPECT_EQ(RankComparedLines(comparison, ComparisonOrder::Delta),
              (std::vector<std::size_t>{0, 4, 3, 1, 2}));
    EXPECT_EQ(RankComparedLines(comparison, ComparisonOrder::Old),
              (std::vector<std::size_t>{1, 3, 0, 2, 4}));
    EXPECT_EQ(RankComparedLines(comparison, ComparisonOrder::New),
              (std::vector<std::size_t>{0, 3, 1, 4, 2}));
    EXPECT_EQ(MostChangedLines(comparison, true, 10), (std::vector<std::size_t>{0, 4}));
    EXPECT_EQ(MostChangedLines(comparison, true, 1), (std::vector<std::size_t>{0}));
    EXPECT_EQ(MostChangedLines(comparison, false, 10), (std::vector<std::size_t>{1}));
}

// --- procedures ---------------------------------------------------------------------------

ProcedureProfile Procedure(std::int32_t scope, const std::string& name, std::int64_t total,
                           std::int64_t calls = 1) {
    ProcedureProfile procedure;
    procedure.ScopeId = scope;
    procedure.Name = name;
    procedure.FirstLineId = 1;
    procedure.Calls = calls;
    procedure.SelfNanos = total / 2;
    procedure.TotalNanos = total;
    return procedure;
}

RunSummary ProcedureRun(const std::vector<std::string>& scopes,
                        const std::vector<ProcedureProfile>& figures, std::int64_t runNanos) {
    RunSummary run = Summary("/p/m.pb", {{"/p/m.pb", 1, "x"}});
    for (std::size_t i = 0; i < scopes.size(); ++i) {
        run.Program.ScopeIds.Set(scopes[i], static_cast<int>(i) + 1);
    }
    run.Profile.Procedures = figures;
    run.Profile.RunNanos = runNanos;
    return run;
}

TEST(RunComparisonTest, ProceduresMatchByNameInTheNewRunsOrder) {
    // Old scopes: main, Load, Draw, Gone; new: main, Draw, Fresh, Load, Idle.
    const RunSummary older =
        ProcedureRun({"***main***", "Load", "Draw", "Gone"},
                     {Procedure(1, "***main***", 9000, 0), Procedure(2, "Load", 4000),
                      Procedure(3, "Draw", 3000), Procedure(4, "Gone", 1000)},
                     9000);
    const RunSummary newer =
        ProcedureRun({"***main***", "Draw", "Fresh", "Load", "Idle"},
                     {Procedure(1, "***main***", 8000, 0), Procedure(2, "Draw", 4500, 3),
                      Procedure(3, "Fresh", 500)},
                     8000);
    const RunComparison comparison = CompareRuns(older, newer);
    std::vector<std::string> rows;
    for (const ProcedureComparison& p : comparison.Procedures) {
        rows.push_back(std::string(MatchStatusName(p.Status)) + " " + p.Name + " " +
                       std::to_string(p.Old.ScopeId) + (p.Old.HasFigures ? "*" : "") + " " +
                       std::to_string(p.New.ScopeId) + (p.New.HasFigures ? "*" : ""));
    }
    // Load has no figures in the new run but is still a procedure of it; Gone follows Draw,
    // the matched procedure before it in the old run; Idle ran in neither run.
    EXPECT_EQ(rows, (std::vector<std::string>{"matched ***main*** 1* 1*", "matched Draw 3* 2*",
                                              "removed Gone 4* 0", "added Fresh 0 3*",
                                              "matched Load 2* 4"}));
    EXPECT_EQ(TotalDelta(comparison.Procedures[1]), 1500);
    EXPECT_EQ(TotalDelta(comparison.Procedures[4]), -4000);
    EXPECT_EQ(comparison.Procedures[1].New.Calls, 3);
    EXPECT_EQ(MostChangedProcedures(comparison, true, 5), (std::vector<std::size_t>{1, 3}));
    EXPECT_EQ(MostChangedProcedures(comparison, false, 5), (std::vector<std::size_t>{4, 0, 2}));
}

struct SlowerCase {
    std::string Name;
    double Percent;
    std::int64_t MinNanos;
    std::int64_t OldRun, NewRun;
    std::int64_t OldWork, NewWork; // -1: no figures for Work in that run
    std::vector<std::string> Slower;
};

class FindSlowerTest : public ::testing::TestWithParam<SlowerCase> {};

TEST_P(FindSlowerTest, GrowthBeyondThePercentAndTheMinimum) {
    const SlowerCase& c = GetParam();
    const auto run = [](std::int64_t runNanos, std::int64_t work) {
        std::vector<ProcedureProfile> figures = {Procedure(1, "***main***", runNanos, 0)};
        if (work >= 0) {
            figures.push_back(Procedure(2, "Work", work));
        }
        return ProcedureRun({"***main***", "Work"}, figures, runNanos);
    };
    const RunComparison comparison =
        CompareRuns(run(c.OldRun, c.OldWork), run(c.NewRun, c.NewWork));
    std::vector<std::string> slower;
    for (const SlowerFigure& figure : FindSlower(comparison, {c.Percent, c.MinNanos})) {
        slower.push_back((figure.Procedure.empty() ? "run" : figure.Procedure) + " " +
                         std::to_string(figure.OldNanos) + " " + std::to_string(figure.NewNanos));
    }
    EXPECT_EQ(slower, c.Slower);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindSlowerTest,
    ::testing::Values(
        SlowerCase{"Unchanged", 0, 0, 1000000, 1000000, 400000, 400000, {}},
        SlowerCase{"RunGrewBeyond",
                   10,
                   100000,
                   1000000,
                   1200000,
                   400000,
                   400000,
                   {"run 1000000 1200000", "***main*** 1000000 1200000"}},
        SlowerCase{"ExactlyThePercentIsNotMore", 20, 0, 1000000, 1200000, 1, 1, {}},
        SlowerCase{"JustAboveThePercent",
                   20,
                   0,
                   1000000,
                   1200001,
                   1,
                   1,
                   {"run 1000000 1200001", "***main*** 1000000 1200001"}},
        SlowerCase{"BelowTheMinimum", 10, 300000, 1000000, 1250000, 400000, 400000, {}},
        SlowerCase{"ExactlyTheMinimum",
                   10,
                   250000,
                   1000000,
                   1250000,
                   400000,
                   400000,
                   {"run 1000000 1250000", "***main*** 1000000 1250000"}},
        SlowerCase{
            "OnlyAProcedure", 50, 100000, 1000000, 1100000, 100000, 200000, {"Work 100000 200000"}},
        SlowerCase{"FromZero", 1000, 1, 0, 5, -1, -1, {"run 0 5", "***main*** 0 5"}},
        SlowerCase{"ProcedureThatRanOnlyInTheNewRun", 10, 0, 1000000, 1000000, -1, 900000, {}},
        SlowerCase{"Faster", 0, 0, 1000000, 900000, 400000, 100000, {}}),
    [](const auto& info) { return info.param.Name; });

} // namespace
} // namespace tickscope
