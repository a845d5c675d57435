// The streaming pass pairs entries as the attribution does: checked by hand on small runs
// and against the attribution's own figures on random runs.
#include "analysis/execution_stream.h"

#include "analysis/attribution.h"
#include "analysis/attribution_fixtures.h"
#include "analysis/random_runs.h"
#include "analysis/wrapping_math.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace tickscope {
namespace {

using testing::Entry;

// Writes what the pass reports as short text: "start 0:L2 #1 parent#0 opens",
// "stop 0:#1 300", "replace ...".
class TextListener final : public ExecutionListener {
  public:
    void OnThread(std::int32_t thread, std::int64_t threadId, std::int32_t firstLineId) override {
        Events.push_back("thread " + std::to_string(thread) + " id " + std::to_string(threadId) +
                         " first L" + std::to_string(firstLineId));
    }
    void OnTime(std::int32_t, std::int64_t) override {}
    void OnStart(const ExecutionStart& s) override {
        std::string text = std::string(s.Replaces ? "restart " : "start ") +
                           std::to_string(s.Thread) + ":L" + std::to_string(s.LineId) + " #" +
                           std::to_string(s.Execution) + " @" + std::to_string(s.Nanos);
        if (s.Parent >= 0) {
            text += " parent#" + std::to_string(s.Parent);
        }
        if (s.OpensLine) {
            text += " opens";
        }
        Events.push_back(text);
    }
    void OnStop(std::int32_t thread, std::int32_t execution, std::int64_t nanos,
                std::int64_t duration) override {
        Events.push_back("stop " + std::to_string(thread) + ":#" + std::to_string(execution) +
                         " @" + std::to_string(nanos) + " " + std::to_string(duration));
    }
    std::vector<std::string> Events;
};

struct PairingCase {
    std::string Name;
    std::vector<EntryRecord> Entries;
    std::vector<std::string> Expected;
};

std::vector<PairingCase> PairingCases() {
    return {
        {"a line calling a procedure: the call is the parent of the procedure's lines",
         {Entry(7, 5, true, 0), Entry(7, 2, true, 100), Entry(7, 2, false, 400),
          Entry(7, 5, false, 1000)},
         {"thread 0 id 7 first L5", "start 0:L5 #0 @0 opens", "start 0:L2 #1 @100 parent#0 opens",
          "stop 0:#1 @400 300", "stop 0:#0 @1000 1000"}},
        {"a second start with the same key replaces the first; its parent is the new one",
         {Entry(7, 5, true, 0), Entry(7, 2, true, 10), Entry(7, 3, true, 20), Entry(7, 2, true, 30),
          Entry(7, 2, false, 50)},
         {"thread 0 id 7 first L5", "start 0:L5 #0 @0 opens", "start 0:L2 #1 @10 parent#0 opens",
          "start 0:L3 #2 @20 parent#1 opens", "restart 0:L2 #1 @30 parent#2", "stop 0:#1 @50 20"}},
        {"recursion through one line: the inner stop closes the line, the outer stop is "
         "ignored",
         {Entry(7, 4, true, 0, 1, 64), Entry(7, 4, true, 10, 1, 32), Entry(7, 4, false, 15, 1, 32),
          Entry(7, 4, false, 30, 1, 64)},
         {"thread 0 id 7 first L4", "start 0:L4 #0 @0 opens", "start 0:L4 #1 @10",
          "stop 0:#1 @15 5"}},
        {"stops without an open line or without their key count nothing; time runs back",
         {Entry(9, 3, false, 5), Entry(9, 3, true, 10), Entry(9, 3, false, 20, 2),
          Entry(9, 3, true, 30), Entry(9, 3, false, 25)},
         {"thread 0 id 9 first L3", "start 0:L3 #0 @10 opens", "restart 0:L3 #0 @30 opens",
          "stop 0:#0 @25 5"}},
        {"threads pair apart; an unknown line is line 0; handles are reused",
         {Entry(1, 2, true, 0), Entry(2, 99, true, 5), Entry(1, 2, false, 9), Entry(2, 3, true, 10),
          Entry(2, 99, false, 12), Entry(1, 3, true, 20)},
         {"thread 0 id 1 first L2", "start 0:L2 #0 @0 opens", "thread 1 id 2 first L0",
          "start 1:L0 #1 @5 opens", "stop 0:#0 @9 9", "start 1:L3 #0 @10 parent#1 opens",
          "stop 1:#1 @12 7", "start 0:L3 #1 @20 opens"}},
    };
}

TEST(ExecutionStreamTest, PairsAsWorkedOutByHand) {
    const std::vector<LineOfCode> lines = testing::LinesOfFile1(5);
    for (const PairingCase& c : PairingCases()) {
        SCOPED_TRACE(c.Name);
        TextListener listener;
        ExecutionStream stream(lines, listener);
        for (const EntryRecord& e : c.Entries) {
            stream.Feed(e);
        }
        EXPECT_EQ(listener.Events, c.Expected);
    }
}

// Sums the executions the way the attribution does: per thread and line the hits, the
// total and the child time, per thread the run time.
class SummingListener final : public ExecutionListener {
  public:
    struct LineSums {
        std::int64_t Hits = 0, Total = 0, Child = 0;
    };
    struct ThreadSums {
        std::int64_t Root = 0;
        std::map<std::int32_t, LineSums> Lines;
    };

    void OnThread(std::int32_t, std::int64_t, std::int32_t) override { Threads.emplace_back(); }
    void OnTime(std::int32_t, std::int64_t) override {}
    void OnStart(const ExecutionStart& s) override {
        Line(s.Execution) = s.LineId;
        Parent(s.Execution) = s.Parent >= 0 ? Line(s.Parent) : -1;
        Threads[static_cast<std::size_t>(s.Thread)].Lines[s.LineId]; // started lines show
    }
    void OnStop(std::int32_t thread, std::int32_t execution, std::int64_t,
                std::int64_t duration) override {
        ThreadSums& sums = Threads[static_cast<std::size_t>(thread)];
        LineSums& line = sums.Lines[Line(execution)];
        line.Hits += 1;
        line.Total = WrappingAdd(line.Total, duration);
        const std::int32_t parent = Parent(execution);
        if (parent < 0) {
            sums.Root = WrappingAdd(sums.Root, duration);
        } else {
            LineSums& caller = sums.Lines[parent];
            caller.Child = WrappingAdd(caller.Child, duration);
        }
    }

    std::vector<ThreadSums> Threads;

  private:
    std::int32_t& Line(std::int32_t execution) { return lines_[execution]; }
    std::int32_t& Parent(std::int32_t execution) { return parents_[execution]; }
    std::map<std::int32_t, std::int32_t> lines_;   // by handle: the line
    std::map<std::int32_t, std::int32_t> parents_; // by handle: the parent's line, -1 none
};

TEST(ExecutionStreamTest, RandomStreamsGiveTheAttributionsFigures) {
    for (std::uint64_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937_64 random(seed);
        const ProgramInfo program = testing::RandomProgram(random);
        RunAnalysis analysis;
        ResetAttribution(analysis, program.LinesOfCode);
        SummingListener sums;
        ExecutionStream stream(program.LinesOfCode, sums);
        for (const EntryRecord& e :
             testing::RandomStream(random, 300 + 40 * static_cast<int>(seed))) {
            AttributeEntry(analysis, e);
            stream.Feed(e);
        }
        const std::vector<ThreadNode>& threads = analysis.Threads();
        ASSERT_EQ(sums.Threads.size(), threads.size());
        ASSERT_EQ(stream.ThreadIds().size(), threads.size());
        for (std::size_t p = 0; p < threads.size(); ++p) {
            EXPECT_EQ(static_cast<std::int32_t>(stream.ThreadIds()[p]), threads[p].ThreadId);
            EXPECT_EQ(sums.Threads[p].Root, threads[p].RootNanos) << "thread " << p;
            ASSERT_EQ(sums.Threads[p].Lines.size(), threads[p].Lines.size()) << "thread " << p;
            for (const ThreadLineNode& node : threads[p].Lines) {
                std::int64_t hits = 0;
                std::int64_t total = 0;
                for (const InstructionFigures& f : node.Instructions) {
                    hits += f.Hits;
                    total = WrappingAdd(total, f.TotalNanos);
                }
                const auto& line = sums.Threads[p].Lines[node.LineId];
                EXPECT_EQ(std::tie(line.Hits, line.Total, line.Child),
                          std::tie(hits, total, node.ChildNanos))
                    << "thread " << p << " line " << node.LineId;
            }
        }
    }
}

} // namespace
} // namespace tickscope
