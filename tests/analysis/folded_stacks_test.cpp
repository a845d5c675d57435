// Folded stacks: worked out by hand, and on random nested runs their self times add up to
// the run profile's per line, per procedure and in all.
#include "analysis/folded_stacks.h"

#include "analysis/attribution.h"
#include "analysis/attribution_fixtures.h"
#include "analysis/random_runs.h"
#include "analysis/run_profile.h"

#include "common/statements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace tickscope {
namespace {

using testing::Entry;

// "1;2;3 40" per stack.
std::vector<std::string> StackTexts(const FoldedStacks& stacks) {
    std::vector<std::string> texts;
    stacks.ForEachStack([&](const std::vector<std::int32_t>& frames, std::int64_t nanos) {
        std::string text;
        for (const std::int32_t frame : frames) {
            text += (text.empty() ? "" : ";") + std::to_string(frame);
        }
        texts.push_back(text + " " + std::to_string(nanos));
    });
    return texts;
}

// Lines 1..5 of file 1: 1 main (scope 1), 2 and 3 Foo (scope 2), 4 Bar (scope 3), 5 main.
std::vector<LineOfCode> Lines() {
    std::vector<LineOfCode> lines = testing::LinesOfFile1(5);
    const int scopes[] = {1, 2, 2, 3, 1};
    for (int i = 0; i < 5; ++i) {
        testing::AddStatement(lines[static_cast<std::size_t>(i)], "", scopes[i]);
    }
    return lines;
}

// Main line 1 calls Foo (line 2, which runs line 3 and calls Bar at line 3); line 5 runs
// alone; one start never stops; thread 9 runs line 4 alone.
std::vector<EntryRecord> Entries() {
    return {Entry(7, 1, true, 0),    Entry(7, 2, true, 10),   Entry(7, 3, true, 20),
            Entry(7, 4, true, 25),   Entry(7, 4, false, 45),  Entry(7, 3, false, 50),
            Entry(7, 2, false, 90),  Entry(7, 1, false, 100), Entry(9, 4, true, 100),
            Entry(9, 4, false, 107), Entry(7, 5, true, 110),  Entry(7, 5, false, 115),
            Entry(7, 5, true, 120)};
}

TEST(FoldedStacksTest, StacksAreThoseWorkedOutByHand) {
    const std::vector<LineOfCode> lines = Lines();
    struct Case {
        FrameKind Frames;
        std::optional<std::vector<std::int32_t>> Threads;
        std::vector<std::string> Expected;
    };
    const std::vector<Case> cases = {
        {FrameKind::Line, std::nullopt, {"1 20", "1;2 50", "1;2;3 10", "1;2;3;4 20", "4 7", "5 5"}},
        {FrameKind::Procedure, std::nullopt, {"1 25", "1;2 60", "1;2;3 20", "3 7"}},
        {FrameKind::Procedure, std::vector<std::int32_t>{9}, {"3 7"}},
    };
    for (const Case& c : cases) {
        FoldedStacks stacks(lines, c.Frames, ThreadFilter{c.Threads});
        ExecutionStream stream(lines, stacks);
        for (const EntryRecord& e : Entries()) {
            stream.Feed(e);
        }
        EXPECT_EQ(StackTexts(stacks), c.Expected);
    }
}

TEST(FoldedStacksTest, DeepStacksStopGrowingAtTheLimit) {
    const std::vector<LineOfCode> lines = testing::LinesOfFile1(FoldedStacks::kMaxDepth + 10);
    FoldedStacks stacks(lines, FrameKind::Line, {});
    ExecutionStream stream(lines, stacks);
    const auto depth = FoldedStacks::kMaxDepth + 10;
    for (std::int32_t line = 1; line <= depth; ++line) {
        stream.Feed(Entry(7, line, true, line));
    }
    for (std::int32_t line = depth; line >= 1; --line) {
        stream.Feed(Entry(7, line, false, 2 * depth + 1 - line));
    }
    std::size_t deepest = 0;
    std::int64_t sum = 0;
    stacks.ForEachStack([&](const std::vector<std::int32_t>& frames, std::int64_t nanos) {
        deepest = std::max(deepest, frames.size());
        sum += nanos;
    });
    EXPECT_EQ(deepest, static_cast<std::size_t>(FoldedStacks::kMaxDepth));
    EXPECT_EQ(sum, 2 * depth - 1); // line 1's whole time
}

// Nested executions on several threads: every line started is stopped before its caller
// and before the end, no line starts while it is open in its thread, and the clock runs
// forward. (An execution that never stops leaves its line's self time below its children's
// in the run profile, which raises it to 0, while its stack keeps the children's.)
std::vector<EntryRecord> NestedStream(std::mt19937_64& random, std::size_t lineCount) {
    std::vector<EntryRecord> entries;
    const std::int64_t threads[] = {3, 4, 5};
    std::vector<std::vector<std::int32_t>> stacks(3);
    std::vector<std::int64_t> clocks(3, 0);
    for (int step = 0; step < 3000; ++step) {
        const std::size_t t = random() % 3;
        auto& stack = stacks[t];
        clocks[t] += static_cast<std::int64_t>(random() % 300);
        const bool start = stack.size() < 6 && (stack.empty() || random() % 2 == 0);
        if (start) {
            const auto line = static_cast<std::int32_t>(1 + random() % lineCount);
            if (std::find(stack.begin(), stack.end(), line) != stack.end()) {
                continue;
            }
            stack.push_back(line);
            entries.push_back(Entry(threads[t], line, true, clocks[t]));
        } else if (!stack.empty()) {
            entries.push_back(Entry(threads[t], stack.back(), false, clocks[t]));
            stack.pop_back();
        }
    }
    for (std::size_t t = 0; t < 3; ++t) {
        for (auto line = stacks[t].rbegin(); line != stacks[t].rend(); ++line) {
            entries.push_back(Entry(threads[t], *line, false, ++clocks[t]));
        }
    }
    return entries;
}

TEST(FoldedStacksTest, NestedRunsAddUpToTheRunProfile) {
    for (std::uint64_t seed = 1; seed <= 30; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937_64 random(seed);
        ProgramInfo program;
        program.LinesOfCode = testing::LinesOfFile1(20);
        for (LineOfCode& line : program.LinesOfCode) {
            testing::AddStatement(line, "", static_cast<int>(random() % 4));
        }
        const std::vector<EntryRecord> entries = NestedStream(random, 20);
        RunAnalysis analysis;
        ResetAttribution(analysis, program.LinesOfCode);
        testing::Attribute(analysis, entries);
        ASSERT_EQ(analysis.Threads().size(), 3u);
        ThreadChecks checks(analysis.Threads().size(), true);
        ThreadFilter filter;
        if (seed % 2 == 0) {
            checks[1] = false; // the second thread (id 3, 4 or 5) is left out
            const std::int64_t left = analysis.Threads()[1].ThreadId;
            filter.Ids.emplace();
            for (const ThreadNode& node : analysis.Threads()) {
                if (node.ThreadId != left) {
                    filter.Ids->push_back(node.ThreadId);
                }
            }
        }
        const RunProfile profile = ComputeRunProfile(analysis, program, checks);

        for (const FrameKind frames : {FrameKind::Line, FrameKind::Procedure}) {
            FoldedStacks stacks(program.LinesOfCode, frames, filter);
            ExecutionStream stream(program.LinesOfCode, stacks);
            for (const EntryRecord& e : entries) {
                stream.Feed(e);
            }
            std::map<std::int32_t, std::int64_t> byLastFrame;
            std::int64_t all = 0;
            stacks.ForEachStack([&](const std::vector<std::int32_t>& f, std::int64_t nanos) {
                byLastFrame[f.back()] += nanos;
                all += nanos;
            });
            EXPECT_EQ(all, profile.RunNanos);
            std::map<std::int32_t, std::int64_t> expected;
            for (const LineProfile& line : profile.Lines) {
                const std::int32_t frame = frames == FrameKind::Line ? line.LineId : line.ScopeId;
                if (line.SelfNanos > 0) {
                    expected[frame] += line.SelfNanos;
                }
            }
            EXPECT_EQ(byLastFrame, expected)
                << (frames == FrameKind::Line ? "lines" : "procedures");
        }
    }
}

} // namespace
} // namespace tickscope
