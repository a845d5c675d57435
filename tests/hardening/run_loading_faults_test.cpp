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
#include "ui/list_data.h"

#include "common/temp_folder.h"

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

using testing::ReadFileBytes;
using testing::TempFolder;
namespace fs = std::filesystem;

// FNV-1a of every regular file below a folder, with its size, by relative path.
std::map<std::string, std::pair<std::uintmax_t, std::uint64_t>> Checksums(const fs::path& folder) {
    std::map<std::string, std::pair<std::uintmax_t, std::uint64_t>> sums;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        std::uint64_t hash = 1469598103934665603ULL;
        char buffer[1 << 16];
        std::uintmax_t size = 0;
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
            for (std::streamsize i = 0; i < in.gcount(); ++i) {
                hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ULL;
            }
            size += static_cast<std::uintmax_t>(in.gcount());
        }
        sums[fs::relative(entry.path(), folder).string()] = {size, hash};
    }
    return sums;
}

// A program of `lines` lines in one file, each with one instruction of the main scope.
std::string ProgramInformation(int lines, const std::string& path = "C:\\src\\demo.pb") {
    ProgramInfo program;
    program.Path = path;
    program.SourceFileIds.Set(path, 1);
    program.ScopeIds.Set(kMainScopeName, 1);
    for (int n = 1; n <= lines; ++n) {
        LineOfCode& line = program.LinesOfCode.emplace_back();
        line.SourceFileId = 1;
        line.LineNumber = n;
        line.Code = "x = " + std::to_string(n);
        line.Instructions.push_back({line.Code, 1, "", 1});
    }
    return WriteProgramInfo(program);
}

// `pairs` executions: start and stop of line (i % lines) + 1, 100 ns each, one thread.
std::vector<EntryRecord> Executions(int pairs, int lines) {
    std::vector<EntryRecord> records;
    for (int i = 0; i < pairs; ++i) {
        EntryRecord start{1234, 64, 1, i % lines + 1, 1, kStartEntry, 1000LL * i};
        EntryRecord stop = start;
        stop.StartOrStop = kStopEntry;
        stop.Nanos += 100;
        records.push_back(start);
        records.push_back(stop);
    }
    return records;
}

std::string LogBytes(const std::vector<EntryRecord>& records, bool text) {
    std::string bytes;
    if (!text) {
        bytes += '\0';
    }
    for (const EntryRecord& record : records) {
        if (text) {
            bytes += EncodeEntryRecordText(record) + "\r\n";
        } else {
            const auto encoded = EncodeEntryRecord(record);
            bytes.append(reinterpret_cast<const char*>(encoded.data()), encoded.size());
        }
    }
    return bytes;
}

struct CataloguedRun {
    RunCatalogue Catalogue;
    LoadedRun Run;
    bool Catalogued = false;
};

void CatalogueAndLoadFirst(const std::string& home, CataloguedRun& run, ProgressSink& progress) {
    run.Catalogued = BuildRunCatalogue(home, run.Catalogue);
    if (run.Catalogued && !run.Catalogue.Records.empty()) {
        run.Run = LoadRun(run.Catalogue.Records.front(), progress);
    }
}

std::int64_t TotalHits(const RunAnalysis& analysis) {
    std::int64_t hits = 0;
    for (const ThreadNode& thread : analysis.Threads()) {
        for (const ThreadLineNode& line : thread.Lines) {
            for (const InstructionFigures& figures : line.Instructions) {
                hits += figures.Hits;
            }
        }
    }
    return hits;
}

bool SameFigures(const RunAnalysis& a, const RunAnalysis& b) {
    if (a.Threads().size() != b.Threads().size()) {
        return false;
    }
    for (std::size_t t = 0; t < a.Threads().size(); ++t) {
        const auto& x = a.Threads()[t].Lines;
        const auto& y = b.Threads()[t].Lines;
        if (x.size() != y.size()) {
            return false;
        }
        for (std::size_t l = 0; l < x.size(); ++l) {
            if (x[l].LineId != y[l].LineId ||
                x[l].Instructions.size() != y[l].Instructions.size()) {
                return false;
            }
            for (std::size_t i = 0; i < x[l].Instructions.size(); ++i) {
                const auto& p = x[l].Instructions[i];
                const auto& q = y[l].Instructions[i];
                if (p.Hits != q.Hits || p.TotalNanos != q.TotalNanos || p.MaxNanos != q.MaxNanos ||
                    p.MinNanos != q.MinNanos) {
                    return false;
                }
            }
        }
    }
    return true;
}

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
    const std::string junk = std::string(kLong, 'j') + "\r\n";
    const Case cases[] = {
        {"code value of 100 MB", EncodeRunInformation(longCode, 1), kLong, 14},
        {"junk line of 100 MB before the keys", junk + EncodeRunInformation(information, 1), 5, 14},
        {"path of 100 MB", EncodeRunInformation(longPath, 1), 5, kLong},
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
