// Two runs of a program that was edited between them, built by build mode and recorded from
// scripts: lines inserted, deleted and changed in the middle of a procedure, a file added,
// an include moved to another folder, and the project itself in another folder. Every row
// and figure is worked out by hand below.
#include "analysis/progress.h"
#include "analysis/run_comparison.h"
#include "analysis/run_loading.h"
#include "common/edited_program.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tickscope {
namespace {

using testing::TempFolder;

RunSummary Load(const std::string& runFile) {
    SilentProgress progress;
    LoadedRun run = LoadRun(CatalogueRunFile(runFile), progress);
    EXPECT_EQ(run.Failure, "");
    const ThreadChecks all(run.Threads.size(), true);
    return SummariseRun(std::move(run), all, TimeMode::All);
}

class EditedProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const testing::EditedRuns runs =
            testing::RecordEditedRuns(sources_, oldBuild_, newBuild_, home_);
        oldRun_ = runs.Old;
        newRun_ = runs.New;
    }

    TempFolder sources_, oldBuild_, newBuild_, home_;
    std::string oldRun_, newRun_;
};

// "status old-file:line new-file:line code, old ns -> new ns" of every line row, figures
// "-" where a run has none.
std::vector<std::string> Rows(const RunComparison& comparison, const RunSummary& older,
                              const RunSummary& newer) {
    const auto place = [](const RunSummary& run, const LineSide& side, std::string& code) {
        if (side.LineId == 0) {
            return std::string("-");
        }
        const LineOfCode& line = run.Program.LinesOfCode[static_cast<std::size_t>(side.LineId - 1)];
        code = line.Code;
        return std::to_string(line.SourceFileId) + ":" + std::to_string(line.LineNumber);
    };
    const auto time = [](const LineSide& side) {
        return side.HasFigures ? std::to_string(side.TimeNanos) : std::string("-");
    };
    std::vector<std::string> rows;
    for (const LineComparison& line : comparison.Lines) {
        std::string code;
        const std::string oldPlace = place(older, line.Old, code);
        const std::string newPlace = place(newer, line.New, code);
        rows.push_back(std::string(MatchStatusName(line.Status)) + " " + oldPlace + " " + newPlace +
                       " " + code + ", " + time(line.Old) + " -> " + time(line.New));
    }
    return rows;
}

TEST_F(EditedProgramTest, LinesMatchAcrossTheEdits) {
    const RunSummary older = Load(oldRun_);
    const RunSummary newer = Load(newRun_);
    const RunComparison comparison = CompareRuns(older, newer);

    // Old: main.pb = 1, inc/util.pbi = 2. New: main.pb = 1, lib/util.pbi = 2, extra.pbi = 3.
    ASSERT_EQ(comparison.Files.size(), 3u);
    EXPECT_EQ(comparison.Files[0].Rule, FileMatchRule::RelativePath);
    EXPECT_EQ(comparison.Files[1].Status, MatchStatus::Matched);
    EXPECT_EQ(comparison.Files[1].Rule, FileMatchRule::FileName);
    EXPECT_EQ(comparison.Files[2].Status, MatchStatus::Added);
    EXPECT_EQ(comparison.Files[2].NewFileId, 3);

    // x = Work(1) takes its own 1000 ns and its calls: 1600 ns old, 1500 ns new.
    EXPECT_EQ(Rows(comparison, older, newer),
              (std::vector<std::string>{
                  "matched 1:1 1:1 ; demo, - -> -",
                  "removed 1:2 - XIncludeFile \"inc/util.pbi\", - -> -",
                  "added - 1:2 XIncludeFile \"lib/util.pbi\", - -> -",
                  "matched 2:1 2:1 Procedure Helper(v), - -> -",
                  "matched 2:2 2:2   r = v + 1, 400 -> 600",
                  "matched 2:3 2:3   ProcedureReturn r, - -> -",
                  "matched 2:4 2:4 EndProcedure, - -> -",
                  "added - 1:3 XIncludeFile \"extra.pbi\", - -> -",
                  "added - 3:1 Procedure Extra(v), - -> -",
                  "added - 3:2   w = v * 2, - -> 70",
                  "added - 3:3   ProcedureReturn w, - -> -",
                  "added - 3:4 EndProcedure, - -> -",
                  "matched 1:3 1:4 Procedure Work(n), - -> -",
                  "matched 1:4 1:5   a = n * 2, 100 -> 100",
                  "removed 1:5 -   b = a + 1, 200 -> -",
                  "removed 1:6 -   c = b * 3, 300 -> -",
                  "added - 1:6   t = a - 1, - -> 150",
                  "added - 1:7   b = a + 2, - -> 250",
                  "matched 1:7 1:8   ProcedureReturn c, - -> -",
                  "matched 1:8 1:9 EndProcedure, - -> -",
                  "matched 1:9 1:10 x = Work(1), 1600 -> 1500",
                  "matched 1:10 1:11 y = Helper(x), 450 -> 650",
                  "added - 1:12 z = Extra(y), - -> 90",
                  "matched 1:11 1:13 Debug y, 10 -> 10",
              }));

    const LineComparison& call = comparison.Lines[20];
    EXPECT_EQ(call.Old.Hits, 1);
    EXPECT_EQ(call.Old.SelfNanos, 1000);
    EXPECT_EQ(call.New.SelfNanos, 1000);
    EXPECT_EQ(TimeDelta(call), -100);
    EXPECT_EQ(DeltaPercent(call.Old.TimeNanos, call.New.TimeNanos), "-6.25");
    EXPECT_EQ(TimeDelta(comparison.Lines[14]), -200); // b = a + 1 is gone
}

TEST_F(EditedProgramTest, ProceduresAndRunTimes) {
    const RunSummary older = Load(oldRun_);
    const RunSummary newer = Load(newRun_);
    const RunComparison comparison = CompareRuns(older, newer);
    // Run time: 1600 + 450 + 10 old, 1500 + 650 + 90 + 10 new.
    EXPECT_EQ(comparison.OldRunNanos, 2060);
    EXPECT_EQ(comparison.NewRunNanos, 2250);
    std::vector<std::string> rows;
    for (const ProcedureComparison& p : comparison.Procedures) {
        rows.push_back(std::string(MatchStatusName(p.Status)) + " " + p.Name + " " +
                       std::to_string(p.Old.Calls) + "/" + std::to_string(p.New.Calls) + " " +
                       std::to_string(p.Old.SelfNanos) + "/" + std::to_string(p.New.SelfNanos) +
                       " " + std::to_string(p.Old.TotalNanos) + "/" +
                       std::to_string(p.New.TotalNanos));
    }
    // Helper is the first procedure in both runs (its file is included first), Extra comes
    // before Work in the new one.
    EXPECT_EQ(rows, (std::vector<std::string>{"matched ***main*** 0/0 1060/1080 2060/2250",
                                              "matched Helper 1/1 400/600 400/600",
                                              "added Extra 0/1 0/70 0/70",
                                              "matched Work 1/1 600/500 600/500"}));
    const std::vector<SlowerFigure> slower = FindSlower(comparison, {10.0, 100});
    ASSERT_EQ(slower.size(), 1u); // Helper: +50 %; the run: +9.22 %
    EXPECT_EQ(slower[0].Procedure, "Helper");
}

TEST_F(EditedProgramTest, ARunComparedWithItselfChangesNothing) {
    const RunSummary newer = Load(newRun_);
    const RunComparison comparison = CompareRuns(newer, newer);
    ASSERT_EQ(comparison.Lines.size(), newer.Program.LinesOfCode.size());
    for (std::size_t i = 0; i < comparison.Lines.size(); ++i) {
        const LineComparison& line = comparison.Lines[i];
        EXPECT_EQ(line.Status, MatchStatus::Matched);
        EXPECT_EQ(line.Old.LineId, static_cast<std::int32_t>(i + 1));
        EXPECT_EQ(line.New.LineId, line.Old.LineId);
        EXPECT_EQ(TimeDelta(line).value_or(0), 0);
    }
    ASSERT_EQ(comparison.Procedures.size(), 4u);
    for (const ProcedureComparison& procedure : comparison.Procedures) {
        EXPECT_EQ(TotalDelta(procedure), 0);
    }
    EXPECT_TRUE(FindSlower(comparison, {0.0, 0}).empty());
}

} // namespace
} // namespace tickscope
