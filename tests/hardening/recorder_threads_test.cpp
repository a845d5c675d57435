// The run recorder under concurrent use: threads that probe across a full block, threads
// that go on probing while the run ends, and a disk that fills up while blocks are
// written. The log must hold whole records only, each thread's records in its own order,
// and nothing may crash. Also run under ThreadSanitizer by scripts/test.sh.

#include "platform/platform.h"
#include "runfiles/entry_log_reader.h"
#include "runfiles/entry_record.h"
#include "runfiles/run_recorder.h"

#include "common/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <map>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace tickscope {
namespace {

using testing::TempFolder;

std::vector<EntryRecord> ReadLog(const std::string& path) {
    EntryLogReader reader;
    std::vector<EntryRecord> records;
    if (reader.Open(path)) {
        EntryRecord record;
        while (reader.Next(record)) {
            records.push_back(record);
        }
    }
    return records;
}

// Thread t writes file id t + 1 with line numbers 0, 1, 2, ... in order; a log is sound when
// every thread's line numbers come in that order without gaps, from 0.
void ExpectOrderedPerThread(const std::vector<EntryRecord>& records, int threads) {
    std::map<std::int32_t, std::int32_t> next;
    for (const EntryRecord& record : records) {
        ASSERT_GE(record.FileId, 1);
        ASSERT_LE(record.FileId, threads);
        ASSERT_EQ(record.LineNumber, next[record.FileId]++) << "thread " << record.FileId;
        ASSERT_EQ(record.StartOrStop, record.LineNumber % 2 == 0 ? kStartEntry : kStopEntry);
    }
}

void Probe(RunRecorder& recorder, int thread, int count, std::atomic<int>* done = nullptr) {
    for (int i = 0; i < count; ++i) {
        if (i % 2 == 0) {
            recorder.AddStartEntry(thread + 1, i, 1, false, 64);
        } else {
            recorder.AddStopEntry(thread + 1, i, 1, false, 64);
        }
        if (done != nullptr) {
            done->fetch_add(1, std::memory_order_relaxed);
        }
    }
}

TEST(RecorderThreads, ThreadsFillingSeveralBlocksLoseNothing) {
    TempFolder home;
    constexpr int kThreads = 4;
    // Together more than one full block of 1,000,000 records.
    constexpr int kPerThread = static_cast<int>(RunRecorder::kBlockEntries / kThreads) + 5000;
    RunRecorder recorder(home.Folder(), "", {});
    ASSERT_TRUE(recorder.Begin());
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&recorder, t] { Probe(recorder, t, kPerThread); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    ASSERT_TRUE(recorder.End());
    const std::string log = recorder.BaseName() + ".tkl";
    EXPECT_EQ(platform::FileSize(log), 1 + 34LL * kThreads * kPerThread);
    const auto records = ReadLog(log);
    ASSERT_EQ(records.size(), static_cast<std::size_t>(kThreads) * kPerThread);
    ExpectOrderedPerThread(records, kThreads);
}

TEST(RecorderThreads, EndWhileThreadsProbeKeepsWholeRecords) {
    TempFolder home;
    constexpr int kThreads = 4;
    constexpr int kPerThread = 20000;
    RunRecorder recorder(home.Folder(), "", {});
    ASSERT_TRUE(recorder.Begin());
    std::atomic<int> done{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&recorder, &done, t] { Probe(recorder, t, kPerThread, &done); });
    }
    while (done.load(std::memory_order_relaxed) < kThreads * kPerThread / 4) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(recorder.End()); // the others go on probing into a closed run
    const std::string log = recorder.BaseName() + ".tkl";
    const std::int64_t size = platform::FileSize(log);
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ((size - 1) % 34, 0) << "a record was cut: " << size;
    const auto records = ReadLog(log);
    EXPECT_GE(records.size(), static_cast<std::size_t>(kThreads * kPerThread / 4));
    EXPECT_LE(records.size(), static_cast<std::size_t>(kThreads * kPerThread));
    ExpectOrderedPerThread(records, kThreads);
    EXPECT_EQ(platform::FileSize(log), size) << "the log changed after the run ended";
}

TEST(RecorderThreads, FullDiskWhileBlocksAreWrittenFailsTheRun) {
    TempFolder home;
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = 1000000; // room for the run information and part of one block
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        std::signal(SIGXFSZ, previous);
        GTEST_SKIP() << "the file size limit cannot be set here";
    }
    constexpr int kThreads = 2;
    constexpr int kPerThread = static_cast<int>(RunRecorder::kBlockEntries / kThreads) + 10;
    bool ended = true;
    std::string base;
    {
        RunRecorder recorder(home.Folder(), "", {});
        const bool begun = recorder.Begin();
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&recorder, t] { Probe(recorder, t, kPerThread); });
        }
        for (auto& thread : threads) {
            thread.join();
        }
        ended = recorder.End();
        base = recorder.BaseName();
        EXPECT_TRUE(begun);
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(ended) << "a run whose block did not fit reports the failure";
    const auto records = ReadLog(base + ".tkl");
    EXPECT_LE(records.size(), 1000000u / 34);
    ExpectOrderedPerThread(records, kThreads);
}

} // namespace
} // namespace tickscope
