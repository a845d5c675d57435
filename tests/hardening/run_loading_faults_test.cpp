// The analyzer against run folders that misbehave: entry logs that shrink or vanish while
// they load, a folder of 10,000 runs, a run-information file with one 100 MB line, run
// folders that cannot be read, and runs whose files are folders or missing. In every test
// that loads runs, every file of the run folder is checksummed before and after: the
// analyzer never writes there.

#include "analysis/attribution.h"
#include "analysis/progress.h"
#include "analysis/run_catalogue.h"
#include "analysis/run_loading.h"
#include "runfiles/entry_record.h"
#include "runfiles/program_info_file.h"
#include "runfiles/run_information.h"
#include "source/program_info.h"

#include "common/temp_folder.h"
#include "hardening/run_file_helpers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace tickscope {
namespace {

using testing::CatalogueAndLoadFirst;
using testing::CataloguedRun;
using testing::Checksums;
using testing::Executions;
using testing::LogBytes;
using testing::ProgramInformation;
using testing::ReadFileBytes;
using testing::SameFigures;
using testing::TempFolder;
using testing::TotalHits;
namespace fs = std::filesystem;

// Calls `action` once, at the first progress report past `threshold` bytes.
class TriggeringProgress final : public ProgressSink {
  public:
    TriggeringProgress(std::int64_t threshold, std::function<void()> action)
        : threshold_(threshold), action_(std::move(action)) {}
    void ShowProgress(std::int64_t value, const std::string&, std::int64_t) override {
        if (!fired_ && value > threshold_) {
            fired_ = true;
            action_();
        }
    }
    bool Fired() const { return fired_; }

  private:
    std::int64_t threshold_;
    std::function<void()> action_;
    bool fired_ = false;
};

TEST(RunLoadingFaults, EntryLogThatShrinksOrVanishesWhileLoading) {
    constexpr int kLines = 50;
    constexpr int kPairs = 100000; // 6.8 MB binary: several reads of the reader's buffer
    const std::vector<EntryRecord> records = Executions(kPairs, kLines);
    struct Case {
        const char* Name;
        bool Text;
        std::function<void(const std::string& log)> Action;
        bool Shortened; // the open log loses bytes (a removed or replaced file stays readable)
    };
    const auto truncateTo = [](std::uintmax_t size) {
        return [size](const std::string& log) { fs::resize_file(log, size); };
    };
    const Case cases[] = {
        {"binary, truncated to nothing", false, truncateTo(0), true},
        {"binary, cut inside a record", false, truncateTo(1 + 34 * 1000 + 17), true},
        {"binary, cut to the marker", false, truncateTo(1), true},
        {"binary, removed", false, [](const std::string& log) { fs::remove(log); }, false},
        // A log is read up to the size it had when it was opened.
        {"binary, grows", false,
         [](const std::string& log) {
             std::ofstream(log, std::ios::binary | std::ios::app)
                 << LogBytes(Executions(1000, 3), false).substr(1);
         },
         false},
        {"text, grows", true,
         [](const std::string& log) {
             std::ofstream(log, std::ios::binary | std::ios::app)
                 << LogBytes(Executions(1000, 3), true);
         },
         false},
        {"binary, replaced by a short log", false,
         [](const std::string& log) {
             std::ofstream(log + ".new", std::ios::binary) << std::string(1, '\0') << "abc";
             fs::rename(log + ".new", log);
         },
         false},
        {"text, truncated to nothing", true, truncateTo(0), true},
        {"text, cut inside a line", true, truncateTo(12345), true},
        {"text, removed", true, [](const std::string& log) { fs::remove(log); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder home;
        const std::string run = home.Write("Tickscope/1700000000-1.tkr",
                                           EncodeRunInformation(ProgramInformation(kLines), 42));
        const std::string log = home.Write("Tickscope/1700000000-1.tkl", LogBytes(records, c.Text));
        const auto runSum = Checksums(home.Path())["Tickscope/1700000000-1.tkr"];
        const std::int64_t runSize = static_cast<std::int64_t>(fs::file_size(run));
        const std::int64_t logSize = static_cast<std::int64_t>(fs::file_size(log));

        CataloguedRun loaded;
        TriggeringProgress progress(runSize + logSize / 3, [&] { c.Action(log); });
        CatalogueAndLoadFirst(home.Folder(), loaded, progress);
        ASSERT_TRUE(progress.Fired()) << "the log was not changed during the load";

        // What was counted is exactly a prefix of the log: the whole records read before the
        // log changed, whatever the reader still had in its buffer.
        const std::int64_t hits = TotalHits(loaded.Run.Analysis);
        if (c.Shortened) {
            EXPECT_LT(hits, kPairs) << "the shortened log was read in full";
        } else {
            EXPECT_EQ(hits, kPairs) << "an open log that is removed or replaced stays readable";
        }
        bool prefix = false;
        for (std::int64_t extra = 0; extra <= 1 && !prefix; ++extra) {
            RunAnalysis expected;
            ResetAttribution(expected, loaded.Run.Program.LinesOfCode);
            for (std::int64_t i = 0; i < 2 * hits + extra; ++i) {
                AttributeEntry(expected, records[static_cast<std::size_t>(i)]);
            }
            prefix = SameFigures(expected, loaded.Run.Analysis);
        }
        EXPECT_TRUE(prefix) << hits << " hits are not a prefix of the log";
        EXPECT_EQ(loaded.Run.Program.LinesOfCode.size(), static_cast<std::size_t>(kLines));
        EXPECT_EQ(loaded.Run.Threads.size(), loaded.Run.Analysis.Threads().size());
        EXPECT_EQ(Checksums(home.Path())["Tickscope/1700000000-1.tkr"], runSum);
    }
}

TEST(RunLoadingFaults, TenThousandRunsAreCataloguedInOrder) {
    constexpr int kRuns = 10000;
    struct Case {
        const char* Name;
        int Programs;
    };
    for (const Case c : {Case{"ten programs", 10}, Case{"every run its own program", kRuns}}) {
        SCOPED_TRACE(c.Name);
        TempFolder home;
        const std::string small = ProgramInformation(3);
        for (int i = 0; i < kRuns; ++i) {
            // Timestamps in a scrambled order, so that the sort has work to do.
            const long long timestamp = 1600000000LL + (i * 7919LL) % kRuns;
            const std::string path = "C:\\p\\program" + std::to_string(i % c.Programs) + ".pb";
            std::string info = small;
            info.replace(0, info.find("\r\n"), "Path = " + path);
            home.Write("Tickscope/" + std::to_string(timestamp) + "-" + std::to_string(i) + ".tkr",
                       EncodeRunInformation(info, i));
        }
        const auto before = Checksums(home.Path());

        RunCatalogue catalogue;
        // The time is measured by bench/bench_catalogue.cpp; here the result must be right.
        ASSERT_TRUE(BuildRunCatalogue(home.Folder(), catalogue));

        ASSERT_EQ(catalogue.Records.size(), static_cast<std::size_t>(kRuns));
        for (std::size_t i = 1; i < catalogue.Records.size(); ++i) {
            ASSERT_GE(catalogue.Records[i - 1].Timestamp, catalogue.Records[i].Timestamp);
        }
        EXPECT_EQ(ProgramNames(catalogue).size(), static_cast<std::size_t>(c.Programs));
        EXPECT_EQ(catalogue.Records.front().LineCount, 3);
        EXPECT_EQ(RunsOfProgram(catalogue, "program1.pb").size(),
                  static_cast<std::size_t>(kRuns / c.Programs));
        EXPECT_EQ(Checksums(home.Path()), before);
    }
}

TEST(RunLoadingFaults, HundredMegabyteLine) {
    const std::size_t kLong = 100u << 20;
    const std::string information = ProgramInformation(2);
    struct Case {
        const char* Name;
        std::string Text;       // run-information file
        std::size_t CodeLength; // expected length of line 1's code
        std::size_t PathLength;
    };
    const std::string code1 = "LineOfCode.1.Code = x\\b{EQU}\\b1";
    std::string longCode = information;
    longCode.replace(longCode.find(code1), code1.size(),
                     "LineOfCode.1.Code = " + std::string(kLong, 'x'));
    std::string longPath = information;
    longPath.replace(0, longPath.find("\r\n"), "Path = " + std::string(kLong, 'p'));
    const std::string junk = std::string(kLong / 4, 'j') + "\r\n";
    const std::string farJunk = std::string(kLong, 'j') + "\r\n";
    const Case cases[] = {
        {"code value of 100 MB", EncodeRunInformation(longCode, 1), kLong, 14},
        {"junk line of 25 MB before the keys", junk + EncodeRunInformation(information, 1), 5, 14},
        // The header is looked for in the first 64 MiB only.
        {"junk line of 100 MB before the keys", farJunk + EncodeRunInformation(information, 1), 0,
         0},
        // No header value needs more than a few KB: a longer line is dropped, and a header
        // that does not end within 64 MiB is not looked for further.
        {"path of 100 MB", EncodeRunInformation(longPath, 1), 0, 0},
        {"100 MB without any line end", std::string(kLong, 'z'), 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder home;
        home.Write("Tickscope/1700000000-1.tkr", c.Text);
        home.Write("Tickscope/1700000000-1.tkl", LogBytes(Executions(10, 2), false));
        const auto before = Checksums(home.Path());
        const auto start = std::chrono::steady_clock::now();
        CataloguedRun loaded;
        SilentProgress progress;
        CatalogueAndLoadFirst(home.Folder(), loaded, progress);
        std::printf(
            "[ measure  ] %s: catalogued and loaded in %.2f s\n", c.Name,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        ASSERT_EQ(loaded.Catalogue.Records.size(), 1u);
        const RunRecord& record = loaded.Catalogue.Records.front();
        EXPECT_EQ(record.Path.size(), c.PathLength);
        if (c.CodeLength > 0) {
            ASSERT_EQ(loaded.Run.Program.LinesOfCode.size(), 2u);
            EXPECT_EQ(loaded.Run.Program.LinesOfCode[0].Code.size(), c.CodeLength);
            EXPECT_EQ(TotalHits(loaded.Run.Analysis), 10);
        } else {
            EXPECT_TRUE(loaded.Run.Program.LinesOfCode.empty());
        }
        EXPECT_EQ(Checksums(home.Path()), before);
    }
}

TEST(RunLoadingFaults, RunFolderThatCannotBeRead) {
    struct Case {
        const char* Name;
        std::function<void(const TempFolder&)> Prepare;
        bool NeedsNonRoot;
    };
    const Case cases[] = {
        {"missing", [](const TempFolder&) {}, false},
        {"a regular file", [](const TempFolder& home) { home.Write("Tickscope", "file"); }, false},
        {"permission denied",
         [](const TempFolder& home) {
             home.Write("Tickscope/1700000000-1.tkr",
                        EncodeRunInformation(ProgramInformation(1), 1));
             fs::permissions(home.Path() / "Tickscope", fs::perms::none);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        if (c.NeedsNonRoot && ::geteuid() == 0) {
            std::printf("[ skipped  ] %s: running as root, permissions do not apply\n", c.Name);
            continue;
        }
        TempFolder home;
        c.Prepare(home);
        RunCatalogue catalogue;
        EXPECT_FALSE(BuildRunCatalogue(home.Folder(), catalogue));
        EXPECT_TRUE(catalogue.Records.empty());
        EXPECT_TRUE(ProgramNames(catalogue).empty());
        std::error_code ignored;
        fs::permissions(home.Path() / "Tickscope", fs::perms::owner_all, ignored);
    }
}

TEST(RunLoadingFaults, RunFilesThatAreFoldersOrMissing) {
    struct Case {
        const char* Name;
        std::function<void(const TempFolder&)> Prepare;
        std::size_t Lines;
        std::int64_t Hits;
    };
    const std::string info = EncodeRunInformation(ProgramInformation(4), 1);
    const std::string log = LogBytes(Executions(8, 4), false);
    const Case cases[] = {
        {"entry log missing",
         [&](const TempFolder& home) { home.Write("Tickscope/1700000000-1.tkr", info); }, 4, 0},
        {"entry log is a folder",
         [&](const TempFolder& home) {
             home.Write("Tickscope/1700000000-1.tkr", info);
             fs::create_directories(home.Path() / "Tickscope/1700000000-1.tkl");
         },
         4, 0},
        {"entry log empty",
         [&](const TempFolder& home) {
             home.Write("Tickscope/1700000000-1.tkr", info);
             home.Write("Tickscope/1700000000-1.tkl", "");
         },
         4, 0},
        {"run information is a folder",
         [&](const TempFolder& home) {
             fs::create_directories(home.Path() / "Tickscope/1700000000-1.tkr");
             home.Write("Tickscope/1700000000-1.tkl", log);
         },
         0, 8}, // entries that match no line still count, under line id 0
        {"run information empty",
         [&](const TempFolder& home) {
             home.Write("Tickscope/1700000000-1.tkr", "");
             home.Write("Tickscope/1700000000-1.tkl", log);
         },
         0, 8},
        {"both present",
         [&](const TempFolder& home) {
             home.Write("Tickscope/1700000000-1.tkr", info);
             home.Write("Tickscope/1700000000-1.tkl", log);
         },
         4, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder home;
        c.Prepare(home);
        const auto before = Checksums(home.Path());
        CataloguedRun loaded;
        SilentProgress progress;
        CatalogueAndLoadFirst(home.Folder(), loaded, progress);
        ASSERT_TRUE(loaded.Catalogued);
        ASSERT_EQ(loaded.Catalogue.Records.size(), 1u);
        EXPECT_EQ(loaded.Run.Program.LinesOfCode.size(), c.Lines);
        EXPECT_EQ(TotalHits(loaded.Run.Analysis), c.Hits);
        EXPECT_EQ(Checksums(home.Path()), before);
    }
}

} // namespace
} // namespace tickscope
