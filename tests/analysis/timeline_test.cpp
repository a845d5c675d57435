// The timeline built from the executions: worked out by hand for the rules it follows, and
// balanced and in time order on random runs whatever their damage.
#include "analysis/timeline.h"

#include "analysis/attribution_fixtures.h"
#include "analysis/random_runs.h"

#include "common/statements.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tickscope {
namespace {

using testing::Entry;

// "O5@100" opens frame 5 at 100 ns, "C5@400" closes it; threads other than 0 are named.
class TextWriter final : public TimelineWriter {
  public:
    void BeginThread(std::int32_t thread, std::int64_t threadId, std::int32_t) override {
        Events.push_back("begin " + std::to_string(thread) + " id " + std::to_string(threadId));
    }
    void Open(std::int32_t thread, std::int32_t frame, std::int64_t nanos) override {
        Events.push_back(Prefix(thread) + "O" + std::to_string(frame) + "@" +
                         std::to_string(nanos));
    }
    void Close(std::int32_t thread, std::int32_t frame, std::int64_t nanos) override {
        Events.push_back(Prefix(thread) + "C" + std::to_string(frame) + "@" +
                         std::to_string(nanos));
    }
    void EndThread(std::int32_t thread, std::int64_t nanos) override {
        Events.push_back("end " + std::to_string(thread) + "@" + std::to_string(nanos));
    }
    std::vector<std::string> Events;

  private:
    static std::string Prefix(std::int32_t thread) {
        return thread == 0 ? std::string() : std::to_string(thread) + ":";
    }
};

// Lines 1..6 of file 1: line 1 of the main program (scope 1), lines 2 and 3 of Foo (scope
// 2), line 4 of Bar (scope 3), line 5 of the main program, line 6 without instructions.
std::vector<LineOfCode> Lines() {
    std::vector<LineOfCode> lines = testing::LinesOfFile1(6);
    const int scopes[] = {1, 2, 2, 3, 1};
    for (int i = 0; i < 5; ++i) {
        testing::AddStatement(lines[static_cast<std::size_t>(i)], "", scopes[i]);
    }
    return lines;
}

struct TimelineCase {
    std::string Name;
    TimelineOptions Options;
    std::vector<EntryRecord> Entries;
    std::vector<std::string> Expected;
};

TimelineOptions LineFrames(std::int64_t minNanos = 0) {
    TimelineOptions options;
    options.Frames = FrameKind::Line;
    options.MinNanos = minNanos;
    return options;
}

std::vector<TimelineCase> Cases() {
    TimelineOptions procedures;
    TimelineOptions onlyThread8 = LineFrames();
    onlyThread8.Threads.Ids = std::vector<std::int32_t>{8};
    return {
        {"a call and two executions inside it",
         LineFrames(),
         {Entry(7, 5, true, 1000), Entry(7, 2, true, 1100), Entry(7, 2, false, 1400),
          Entry(7, 2, true, 1500), Entry(7, 2, false, 1600), Entry(7, 5, false, 2000)},
         {"begin 0 id 7", "O5@0", "O2@100", "C2@400", "O2@500", "C2@600", "C5@1000", "end 0@1000"}},
        {"executions that never stop close at the thread's last time stamp",
         LineFrames(),
         {Entry(7, 5, true, 10), Entry(7, 2, true, 20), Entry(7, 3, true, 25),
          Entry(7, 3, false, 30), Entry(7, 9, false, 45)},
         {"begin 0 id 7", "O5@0", "O2@10", "O3@15", "C3@20", "C2@35", "C5@35", "end 0@35"}},
        {"a start replaced before anything in it was written leaves no trace",
         LineFrames(),
         {Entry(7, 5, true, 0), Entry(7, 2, true, 10), Entry(7, 2, true, 20),
          Entry(7, 2, false, 25), Entry(7, 5, false, 40)},
         {"begin 0 id 7", "O5@0", "O2@20", "C2@25", "C5@40", "end 0@40"}},
        {"a start replaced after something in it was written ends where the next begins",
         LineFrames(),
         {Entry(7, 5, true, 0), Entry(7, 3, true, 10), Entry(7, 4, true, 20),
          Entry(7, 4, false, 30), Entry(7, 3, true, 40), Entry(7, 4, true, 50),
          Entry(7, 4, false, 60), Entry(7, 3, false, 70), Entry(7, 5, false, 80)},
         {"begin 0 id 7", "O5@0", "O3@10", "O4@20", "C4@30", "C3@40", "O3@40", "O4@50", "C4@60",
          "C3@70", "C5@80", "end 0@80"}},
        {"a stop below running executions cuts them there",
         LineFrames(),
         {Entry(7, 1, true, 0), Entry(7, 2, true, 10), Entry(7, 3, true, 20), Entry(7, 4, true, 25),
          Entry(7, 4, false, 28), Entry(7, 2, false, 50), Entry(7, 3, false, 60),
          Entry(7, 1, false, 70)},
         {"begin 0 id 7", "O1@0", "O2@10", "O3@20", "O4@25", "C4@28", "C3@50", "C2@50", "C1@70",
          "end 0@70"}},
        {"executions shorter than the minimum are left out, one as long is kept",
         LineFrames(1000),
         {Entry(7, 1, true, 0), Entry(7, 2, true, 100), Entry(7, 2, false, 200),
          Entry(7, 3, true, 300), Entry(7, 4, true, 400), Entry(7, 4, false, 1400),
          Entry(7, 3, false, 1600), Entry(7, 5, true, 1700), Entry(7, 1, false, 2000)},
         {"begin 0 id 7", "O1@0", "O3@300", "O4@400", "C4@1400", "C3@1600", "C1@2000",
          "end 0@2000"}},
        {"procedures: a line of the procedure below adds no frame; a line of none is one",
         procedures,
         {Entry(7, 1, true, 0), Entry(7, 2, true, 10), Entry(7, 3, true, 20),
          Entry(7, 3, false, 30), Entry(7, 4, true, 40), Entry(7, 4, false, 50),
          Entry(7, 2, false, 60), Entry(7, 6, true, 65), Entry(7, 6, false, 66),
          Entry(7, 1, false, 70)},
         {"begin 0 id 7", "O1@0", "O2@10", "O3@40", "C3@50", "C2@60", "O0@65", "C0@66", "C1@70",
          "end 0@70"}},
        {"threads interleave; a time stamp running back counts as the latest",
         LineFrames(),
         {Entry(7, 1, true, 100), Entry(8, 2, true, 90), Entry(7, 1, false, 150),
          Entry(8, 3, true, 120), Entry(8, 3, false, 110), Entry(8, 2, false, 200)},
         {"begin 0 id 7", "begin 1 id 8", "O1@0", "C1@50", "1:O2@0", "1:O3@20", "1:C3@20",
          "1:C2@100", "end 0@50", "end 1@100"}},
        {"only the chosen threads",
         onlyThread8,
         {Entry(7, 1, true, 100), Entry(8, 2, true, 110), Entry(7, 1, false, 150),
          Entry(8, 2, false, 200)},
         {"begin 1 id 8", "1:O2@10", "1:C2@100", "end 1@100"}},
    };
}

TEST(TimelineTest, FramesAreThoseWorkedOutByHand) {
    const std::vector<LineOfCode> lines = Lines();
    for (const TimelineCase& c : Cases()) {
        SCOPED_TRACE(c.Name);
        TextWriter writer;
        TimelineBuilder builder(lines, c.Options, writer);
        ExecutionStream stream(lines, builder);
        for (const EntryRecord& e : c.Entries) {
            stream.Feed(e);
        }
        builder.Finish();
        EXPECT_EQ(writer.Events, c.Expected);
    }
}

// Checks the frames as they come: each thread's closes match its opens, last opened first,
// times never run back, and every thread ends with nothing open.
class CheckingWriter final : public TimelineWriter {
  public:
    void BeginThread(std::int32_t thread, std::int64_t, std::int32_t) override {
        ASSERT_EQ(static_cast<std::size_t>(thread), stacks_.size()); // all threads wanted
        stacks_.emplace_back();
        clocks_.push_back(0);
    }
    void Open(std::int32_t thread, std::int32_t frame, std::int64_t nanos) override {
        Tick(thread, nanos);
        stacks_[static_cast<std::size_t>(thread)].push_back(frame);
        ++Opened;
    }
    void Close(std::int32_t thread, std::int32_t frame, std::int64_t nanos) override {
        Tick(thread, nanos);
        auto& stack = stacks_[static_cast<std::size_t>(thread)];
        ASSERT_FALSE(stack.empty());
        EXPECT_EQ(stack.back(), frame);
        stack.pop_back();
    }
    void EndThread(std::int32_t thread, std::int64_t nanos) override {
        Tick(thread, nanos);
        EXPECT_TRUE(stacks_[static_cast<std::size_t>(thread)].empty());
    }
    int Opened = 0;

  private:
    void Tick(std::int32_t thread, std::int64_t nanos) {
        std::int64_t& clock = clocks_[static_cast<std::size_t>(thread)];
        EXPECT_GE(nanos, clock);
        clock = nanos;
    }
    std::vector<std::vector<std::int32_t>> stacks_;
    std::vector<std::int64_t> clocks_;
};

TEST(TimelineTest, RandomRunsGiveBalancedFramesInTimeOrder) {
    for (std::uint64_t seed = 1; seed <= 40; ++seed) {
        std::mt19937_64 random(seed);
        const ProgramInfo program = testing::RandomProgram(random);
        const std::vector<EntryRecord> entries = testing::RandomStream(random, 2000);
        for (const FrameKind frames : {FrameKind::Line, FrameKind::Procedure}) {
            for (const std::int64_t minNanos : {0, 400}) {
                SCOPED_TRACE("seed " + std::to_string(seed) + " min " + std::to_string(minNanos));
                CheckingWriter writer;
                TimelineOptions options;
                options.Frames = frames;
                options.MinNanos = minNanos;
                TimelineBuilder builder(program.LinesOfCode, options, writer);
                ExecutionStream stream(program.LinesOfCode, builder);
                for (const EntryRecord& e : entries) {
                    stream.Feed(e);
                }
                builder.Finish();
                EXPECT_GT(writer.Opened, 0);
            }
        }
    }
}

} // namespace
} // namespace tickscope
