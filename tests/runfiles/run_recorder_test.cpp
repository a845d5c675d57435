#include "runfiles/run_recorder.h"

#include "runfiles/entry_log_reader.h"

#include "common/temp_folder.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

namespace tickscope {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;

// Sources with a fixed run name and process id and a clock that advances 10 ns per read.
RecorderSources FixedSources(std::int64_t milliseconds = 4242) {
    RecorderSources sources;
    auto now = std::make_shared<std::int64_t>(1000);
    sources.Nanoseconds = [now] { return *now += 10; };
    sources.DateSeconds = [] { return 1700000000; };
    sources.Milliseconds = [milliseconds] { return milliseconds; };
    sources.ProcessId = [] { return 777; };
    return sources;
}

std::vector<EntryRecord> ReadLog(const std::string& path) {
    EntryLogReader reader;
    EXPECT_TRUE(reader.Open(path));
    EXPECT_FALSE(reader.IsText());
    std::vector<EntryRecord> records;
    EntryRecord record;
    while (reader.Next(record)) {
        records.push_back(record);
    }
    return records;
}

std::int64_t LogSize(const RunRecorder& recorder) {
    return platform::FileSize(recorder.BaseName() + ".tkl");
}

class RunRecorderTest : public ::testing::Test {
  protected:
    TempFolder home_;
};

TEST_F(RunRecorderTest, BeginWritesRunInformationAndMarker) {
    const std::string info = "[Program]\r\nPath = a.pb\r\n";
    RunRecorder recorder(home_.Folder(), info, FixedSources());
    ASSERT_TRUE(recorder.Begin());
    EXPECT_EQ(recorder.BaseName(), home_.Folder() + "Tickscope/1700000000-4242");
    EXPECT_EQ(ReadFileBytes(recorder.BaseName() + ".tkr"),
              "[PRE-PROGRAMINFOS]\r\n[Program]\r\nPath = a.pb\r\n\r\n\r\n"
              "[POST-PROGRAMINFOS]\r\nProcessId = 777\r\n");
    EXPECT_TRUE(recorder.End());
    EXPECT_EQ(ReadFileBytes(recorder.BaseName() + ".tkl"), std::string(1, '\0'));
}

TEST_F(RunRecorderTest, LogHoldsExactlyTheProbedEntriesWithoutCalibration) {
    for (const int n : {1, 2, 7, 1000}) {
        TempFolder home;
        RunRecorder recorder(home.Folder(), "", FixedSources());
        ASSERT_TRUE(recorder.Begin());
        for (int i = 0; i < n; ++i) {
            recorder.AddStartEntry(3, 100 + i, 1, false, 0x7000 - i);
        }
        ASSERT_TRUE(recorder.End());
        EXPECT_EQ(LogSize(recorder), 1 + 34 * n);
        const auto records = ReadLog(recorder.BaseName() + ".tkl");
        ASSERT_EQ(records.size(), static_cast<std::size_t>(n));
        EXPECT_EQ(records[0].FileId, 3) << "first probe must be record 0";
        EXPECT_EQ(records[0].LineNumber, 100);
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(records[i].LineNumber, 100 + i);
            EXPECT_EQ(records[i].Stackframe, 0x7000 - i);
        }
    }
}

TEST_F(RunRecorderTest, FieldsFollowTheProbeArguments) {
    RecorderSources sources = FixedSources();
    sources.ThreadId = [] { return 0x1234567890LL; };
    RunRecorder recorder(home_.Folder(), "", sources);
    ASSERT_TRUE(recorder.Begin());
    struct Probe {
        bool start;
        std::int32_t file, line, instruction;
        bool overrideStackframe;
        std::int64_t stackframe;
        std::int8_t expectedInstruction;
        std::int64_t expectedStackframe;
        std::int8_t expectedStartOrStop;
    };
    const Probe probes[] = {
        {true, 1, 12, 1, false, 4096, 1, 4096, 1},
        {false, 1, 12, 1, false, 4096, 1, 4096, 2},
        {true, 2, 7, 2, true, 4096, 2, 0, 1}, // override records no stack frame
        {false, 2, 7, 2, true, -9, 2, 0, 2},
        {true, -5, -6, 300, false, -9, 44, -9, 1}, // 300 keeps its low byte
        {false, 70000, 2147483647, 511, false, 1, -1, 1, 2},
        {true, 1, 1, 127, false, 0, 127, 0, 1},
        {true, 1, 1, 128, false, 0, -128, 0, 1},
    };
    for (const Probe& p : probes) {
        if (p.start) {
            recorder.AddStartEntry(p.file, p.line, p.instruction, p.overrideStackframe,
                                   p.stackframe);
        } else {
            recorder.AddStopEntry(p.file, p.line, p.instruction, p.overrideStackframe,
                                  p.stackframe);
        }
    }
    ASSERT_TRUE(recorder.End());
    const auto records = ReadLog(recorder.BaseName() + ".tkl");
    ASSERT_EQ(records.size(), std::size(probes));
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Probe& p = probes[i];
        EXPECT_EQ(records[i].FileId, p.file) << i;
        EXPECT_EQ(records[i].LineNumber, p.line) << i;
        EXPECT_EQ(records[i].InstructionNumber, p.expectedInstruction) << i;
        EXPECT_EQ(records[i].Stackframe, p.expectedStackframe) << i;
        EXPECT_EQ(records[i].StartOrStop, p.expectedStartOrStop) << i;
        EXPECT_EQ(records[i].ThreadId, 0x1234567890LL) << i;
    }
}

TEST_F(RunRecorderTest, TimeStampsSubtractCalibrationAndRecordingTime) {
    // Clock reads, in order: start of timing; calibration start entry (stamp, correction);
    // calibration stop entry (stamp, correction); then stamp and correction per probe.
    const std::vector<std::int64_t> clock = {1000, 1010, 1013, 1030, 1034, 1100,
                                             1107, 1200, 1205, 1300, 1302};
    auto next = std::make_shared<std::size_t>(0);
    RecorderSources sources = FixedSources();
    sources.Nanoseconds = [clock, next] {
        EXPECT_LT(*next, clock.size()) << "clock read more often than expected";
        return *next < clock.size() ? clock[(*next)++] : clock.back();
    };
    RunRecorder recorder(home_.Folder(), "", sources);
    ASSERT_TRUE(recorder.Begin());
    recorder.AddStartEntry(1, 1, 1, false);
    recorder.AddStopEntry(1, 1, 1, false);
    recorder.AddStartEntry(1, 2, 1, false);
    ASSERT_TRUE(recorder.End());
    EXPECT_EQ(*next, clock.size()) << "two clock reads per probe, four for calibration";

    // qc = 1030 - 1013 = 17; correction after calibration 3 + 4 = 7.
    // Probe 1: 1100 - 1000 - 17 - 7 = 76, then correction += 7.
    // Probe 2: 1200 - 1000 - 17 - 14 = 169, then correction += 5.
    // Probe 3: 1300 - 1000 - 17 - 19 = 264.
    const auto records = ReadLog(recorder.BaseName() + ".tkl");
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].Nanos, 76);
    EXPECT_EQ(records[1].Nanos, 169);
    EXPECT_EQ(records[2].Nanos, 264);
}

TEST_F(RunRecorderTest, FullBlockIsWrittenWhenTheBufferFills) {
    RunRecorder recorder(home_.Folder(), "", FixedSources());
    ASSERT_TRUE(recorder.Begin());
    const int block = static_cast<int>(RunRecorder::kBlockEntries);
    for (int i = 0; i < block - 1; ++i) {
        recorder.AddStartEntry(1, i, 1, true);
    }
    EXPECT_EQ(LogSize(recorder), 1) << "nothing is written before the buffer fills";
    recorder.AddStopEntry(1, block - 1, 1, true);
    EXPECT_EQ(LogSize(recorder), 1 + 34LL * block) << "the full block is written at once";
    ASSERT_TRUE(recorder.End());
    EXPECT_EQ(LogSize(recorder), 1 + 34LL * block) << "End adds nothing to an emptied buffer";

    EntryLogReader reader;
    ASSERT_TRUE(reader.Open(recorder.BaseName() + ".tkl"));
    EntryRecord record;
    for (int i = 0; i < block; ++i) {
        ASSERT_TRUE(reader.Next(record));
        ASSERT_EQ(record.LineNumber, i);
    }
    EXPECT_EQ(record.StartOrStop, kStopEntry);
    EXPECT_FALSE(reader.Next(record));
}

TEST_F(RunRecorderTest, EntriesAfterAFullBlockGoToTheNextBlock) {
    RunRecorder recorder(home_.Folder(), "", FixedSources());
    ASSERT_TRUE(recorder.Begin());
    const int total = static_cast<int>(RunRecorder::kBlockEntries) + 3;
    for (int i = 0; i < total; ++i) {
        recorder.AddStartEntry(2, i, 1, true);
    }
    ASSERT_TRUE(recorder.End());
    EXPECT_EQ(LogSize(recorder), 1 + 34LL * total);
    const auto records = ReadLog(recorder.BaseName() + ".tkl");
    ASSERT_EQ(records.size(), static_cast<std::size_t>(total));
    EXPECT_EQ(records.back().LineNumber, total - 1);
    for (std::size_t i = 1; i < records.size(); ++i) {
        ASSERT_GT(records[i].Nanos, records[i - 1].Nanos) << i;
    }
}

TEST_F(RunRecorderTest, EveryThreadsEntriesArePresentOnce) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 10000;
    RunRecorder recorder(home_.Folder(), "", {});
    ASSERT_TRUE(recorder.Begin());
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&recorder, t] {
            for (int i = 0; i < kPerThread; i += 2) {
                recorder.AddStartEntry(t + 1, i, 1, false, 64);
                recorder.AddStopEntry(t + 1, i + 1, 1, false, 64);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    ASSERT_TRUE(recorder.End());
    const auto records = ReadLog(recorder.BaseName() + ".tkl");
    ASSERT_EQ(records.size(), static_cast<std::size_t>(kThreads * kPerThread));

    std::map<std::int32_t, int> countPerFile;
    std::map<std::int32_t, std::set<std::int64_t>> threadIdsPerFile;
    std::set<std::pair<std::int32_t, std::int32_t>> seen;
    for (const EntryRecord& r : records) {
        ++countPerFile[r.FileId];
        threadIdsPerFile[r.FileId].insert(r.ThreadId);
        EXPECT_TRUE(seen.insert({r.FileId, r.LineNumber}).second) << "duplicate entry";
        EXPECT_EQ(r.StartOrStop, r.LineNumber % 2 == 0 ? kStartEntry : kStopEntry);
    }
    std::set<std::int64_t> distinctThreads;
    for (int t = 1; t <= kThreads; ++t) {
        EXPECT_EQ(countPerFile[t], kPerThread) << "thread " << t;
        ASSERT_EQ(threadIdsPerFile[t].size(), 1u) << "one thread id per thread";
        distinctThreads.insert(*threadIdsPerFile[t].begin());
    }
    EXPECT_EQ(distinctThreads.size(), static_cast<std::size_t>(kThreads));
    EXPECT_EQ(countPerFile.size(), static_cast<std::size_t>(kThreads)) << "no stray entries";
}

TEST_F(RunRecorderTest, EntriesOutsideTheRunAreDroppedSafely) {
    RunRecorder recorder(home_.Folder(), "", FixedSources());
    recorder.AddStartEntry(9, 9, 9, false); // before Begin
    ASSERT_TRUE(recorder.Begin());
    recorder.AddStartEntry(1, 1, 1, false);
    ASSERT_TRUE(recorder.End());
    for (int i = 0; i < 5; ++i) {
        recorder.AddStopEntry(1, 1, 1, false); // after End: dropped, no write
    }
    EXPECT_TRUE(recorder.End()) << "a second End changes nothing";
    EXPECT_FALSE(recorder.Begin()) << "a recorder records one run";
    const auto records = ReadLog(recorder.BaseName() + ".tkl");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].FileId, 1);
}

TEST_F(RunRecorderTest, UnusableHomeFolderFailsWithoutCrashing) {
    const std::string blocker = home_.Write("file", "not a folder");
    RunRecorder recorder(blocker + "/", "", FixedSources());
    EXPECT_FALSE(recorder.Begin());
    EXPECT_TRUE(recorder.BaseName().empty());
    recorder.AddStartEntry(1, 1, 1, false);
    EXPECT_FALSE(recorder.End());
}

TEST_F(RunRecorderTest, SecondRunInTheSameMillisecondKeepsTheFirst) {
    RunRecorder first(home_.Folder(), "first", FixedSources());
    ASSERT_TRUE(first.Begin());
    first.AddStartEntry(1, 1, 1, false);
    ASSERT_TRUE(first.End());
    RunRecorder second(home_.Folder(), "second", FixedSources());
    ASSERT_TRUE(second.Begin());
    ASSERT_TRUE(second.End());
    EXPECT_EQ(second.BaseName(), home_.Folder() + "Tickscope/1700000000-4243");
    EXPECT_NE(ReadFileBytes(first.BaseName() + ".tkr").find("first"), std::string::npos);
    EXPECT_EQ(LogSize(first), 1 + 34);
}

TEST_F(RunRecorderTest, DestructionEndsAnOpenRun) {
    std::string base;
    {
        RunRecorder recorder(home_.Folder(), "", FixedSources());
        ASSERT_TRUE(recorder.Begin());
        recorder.AddStartEntry(1, 1, 1, false);
        recorder.AddStopEntry(1, 1, 1, false);
        base = recorder.BaseName();
    }
    EXPECT_EQ(ReadLog(base + ".tkl").size(), 2u);
}

} // namespace
} // namespace tickscope
