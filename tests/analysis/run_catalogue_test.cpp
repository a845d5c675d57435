#include "analysis/run_catalogue.h"

#include "common/temp_folder.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tickscope {
namespace {

// A run-information file header as instrumented programs write it.
std::string RunHeader(const std::string& path, int lines = 0, int files = 0, int scopes = 0) {
    return "[PRE-PROGRAMINFOS]\r\nPath = " + path +
           "\r\n\r\nSourceFileIds = " + std::to_string(files) +
           "\r\n\r\nScopeIds = " + std::to_string(scopes) +
           "\r\n\r\nLinesOfCode = " + std::to_string(lines) +
           "\r\n\r\n\r\n[POST-PROGRAMINFOS]\r\nProcessId = 42\r\n";
}

struct TimestampCase {
    std::int64_t Value;
    std::string Text;
};

TEST(FormatTimestampTest, FormatsUtcDateValues) {
    const std::vector<TimestampCase> cases = {
        {0, "1970/01/01-00:00:00"},         {1368783667, "2013/05/17-09:41:07"},
        {951782400, "2000/02/29-00:00:00"}, {1709164800, "2024/02/29-00:00:00"},
        {86399, "1970/01/01-23:59:59"},     {2147483647, "2038/01/19-03:14:07"},
        {-1, "1969/12/31-23:59:59"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatTimestamp(c.Value), c.Text) << c.Value;
    }
}

struct NameCase {
    std::string Path;
    std::string Program;
};

TEST(ProgramNameTest, TakesTheTextAfterTheLastSeparator) {
    const std::vector<NameCase> cases = {
        {"C:\\src\\game.pb", "game.pb"},
        {"/home/u/tool.pb", "tool.pb"},
        {"C:\\a/b\\mixed.pb", "mixed.pb"},
        {"plain.pb", "plain.pb"},
        {"", ""},
        {"C:\\dir\\", ""},
    };
    for (const auto& c : cases) {
        RunRecord record;
        record.Path = c.Path;
        EXPECT_EQ(ProgramName(record), c.Program) << c.Path;
    }
}

class RunCatalogueTest : public ::testing::Test {
  protected:
    void AddRun(const std::string& name, const std::string& content) {
        home_.Write("Tickscope/" + name, content);
    }
    bool Build() {
        const bool built = BuildRunCatalogue(home_.Folder(), catalogue_);
        programs_ = ProgramNames(catalogue_);
        return built;
    }
    std::vector<std::string> FileNames() const {
        std::vector<std::string> names;
        for (const auto& record : catalogue_.Records) {
            names.push_back(std::filesystem::path(record.FileName).filename().string());
        }
        return names;
    }

    testing::TempFolder home_;
    RunCatalogue catalogue_;
    std::vector<std::string> programs_;
};

TEST_F(RunCatalogueTest, MissingFolderCannotBeExamined) {
    catalogue_.Records.emplace_back(); // a stale record
    EXPECT_FALSE(Build());
    EXPECT_TRUE(catalogue_.Records.empty());
    EXPECT_TRUE(programs_.empty());
}

TEST_F(RunCatalogueTest, EmptyFolderGivesNothingToChoose) {
    std::filesystem::create_directories(home_.Path() / "Tickscope");
    home_.Write("Tickscope/notes.txt", "x");
    home_.Write("Tickscope/1000-1.tkl", "\0");
    EXPECT_TRUE(Build());
    EXPECT_TRUE(catalogue_.Records.empty());
    EXPECT_TRUE(programs_.empty());
}

TEST_F(RunCatalogueTest, ReadsHeaderKeysAndTimestamp) {
    AddRun("1368783667-5120.tkr", "\xEF\xBB\xBF" + RunHeader("C:\\src\\game.pb", 120, 3, 7));
    ASSERT_TRUE(Build());
    ASSERT_EQ(catalogue_.Records.size(), 1u);
    const RunRecord& r = catalogue_.Records[0];
    EXPECT_EQ(r.FileName,
              home_.Folder() + "Tickscope" + platform::PathSeparator() + "1368783667-5120.tkr");
    EXPECT_EQ(r.Timestamp, 1368783667);
    EXPECT_EQ(r.Path, "C:\\src\\game.pb");
    EXPECT_EQ(r.LineCount, 120);
    EXPECT_EQ(r.SourceFileCount, 3);
    EXPECT_EQ(r.ScopeCount, 7);
    EXPECT_EQ(programs_, std::vector<std::string>{"game.pb"});
}

TEST_F(RunCatalogueTest, NewestFirstWhateverTheMilliseconds) {
    AddRun("1000-999999.tkr", RunHeader("a.pb"));
    AddRun("3000-1.tkr", RunHeader("a.pb"));
    AddRun("2000-50.tkr", RunHeader("b.pb"));
    AddRun("900-7.tkr", RunHeader("c.pb"));
    ASSERT_TRUE(Build());
    EXPECT_EQ(FileNames(), (std::vector<std::string>{"3000-1.tkr", "2000-50.tkr", "1000-999999.tkr",
                                                     "900-7.tkr"}));
    // Each program once, ordered by its newest run.
    EXPECT_EQ(programs_, (std::vector<std::string>{"a.pb", "b.pb", "c.pb"}));
}

TEST_F(RunCatalogueTest, ProgramsGroupByFileNameExactly) {
    AddRun("100-1.tkr", RunHeader("C:\\one\\game.pb"));
    AddRun("200-1.tkr", RunHeader("D:\\two\\game.pb"));
    AddRun("300-1.tkr", RunHeader("C:\\one\\Game.pb"));
    ASSERT_TRUE(Build());
    EXPECT_EQ(programs_, (std::vector<std::string>{"Game.pb", "game.pb"}));
    const auto runs = RunsOfProgram(catalogue_, "game.pb");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0]->Timestamp, 200);
    EXPECT_EQ(runs[1]->Timestamp, 100);
    EXPECT_TRUE(RunsOfProgram(catalogue_, "GAME.PB").empty());
}

TEST_F(RunCatalogueTest, EqualTimestampsKeepListingOrder) {
    const std::vector<std::string> names = {"500-1.tkr", "500-2.tkr", "500-3.tkr",
                                            "500-4.tkr", "700-1.tkr", "500-5.tkr"};
    for (const auto& name : names) {
        AddRun(name, RunHeader("C:\\p.pb"));
    }
    ASSERT_TRUE(Build());
    const auto listed = platform::ListFolder(home_.Folder() + "Tickscope/", ".tkr");
    ASSERT_TRUE(listed);
    std::vector<std::string> expected = {"700-1.tkr"};
    for (const auto& name : *listed) {
        if (name != "700-1.tkr") {
            expected.push_back(name);
        }
    }
    EXPECT_EQ(FileNames(), expected);

    // Runs of the same second are listed one by one: each row names its own run.
    const auto runs = RunsOfProgram(catalogue_, "p.pb");
    ASSERT_EQ(runs.size(), 6u);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i], &catalogue_.Records[i]);
    }
}

struct OddNameCase {
    std::string FileName;
    std::int32_t Timestamp;
};

TEST_F(RunCatalogueTest, TimestampsOfOddNames) {
    const std::vector<OddNameCase> cases = {
        {"123.tkr", 123},
        {"abc.tkr", 0},
        {"abc-5.tkr", 0},
        {"-5-6.tkr", 0},
        {"77x-1.tkr", 77},
        {"4294967297-1.tkr", 1},
        {"1368783667-.tkr", 1368783667},
    };
    for (const auto& c : cases) {
        AddRun(c.FileName, RunHeader("x.pb"));
    }
    ASSERT_TRUE(Build());
    ASSERT_EQ(catalogue_.Records.size(), cases.size());
    for (const auto& c : cases) {
        bool seen = false;
        for (const auto& record : catalogue_.Records) {
            if (std::filesystem::path(record.FileName).filename() == c.FileName) {
                EXPECT_EQ(record.Timestamp, c.Timestamp) << c.FileName;
                seen = true;
            }
        }
        EXPECT_TRUE(seen) << c.FileName;
    }
    const auto runs = RunsOfProgram(catalogue_, "x.pb");
    ASSERT_EQ(runs.size(), cases.size());
    EXPECT_EQ(FormatTimestamp(runs.back()->Timestamp), "1970/01/01-00:00:00");
}

TEST_F(RunCatalogueTest, UnreadableOrOddEntriesGetDefaults) {
    AddRun("100-1.tkr", "");                                    // empty
    AddRun("200-1.tkr", std::string("\0\x01\xFF garbage", 12)); // binary
    AddRun("300-1.tkr", "[OTHER]\r\nPath = wrong.pb\r\nLinesOfCode = 9\r\n");
    AddRun("400-1.tkr", "[PRE-PROGRAMINFOS]\r\nPath = p.pb\r\nLinesOfCode = many\r\n");
    std::filesystem::create_directories(home_.Path() / "Tickscope" / "500-1.tkr");
    ASSERT_TRUE(Build());
    ASSERT_EQ(catalogue_.Records.size(), 5u);
    for (const auto& record : catalogue_.Records) {
        SCOPED_TRACE(record.FileName);
        EXPECT_EQ(record.LineCount, 0);
        EXPECT_EQ(record.SourceFileCount, 0);
        EXPECT_EQ(record.ScopeCount, 0);
        EXPECT_EQ(record.Path, record.Timestamp == 400 ? "p.pb" : "");
    }
    // The empty program name is one entry, listed at the place of its newest run.
    EXPECT_EQ(programs_, (std::vector<std::string>{"", "p.pb"}));
}

TEST_F(RunCatalogueTest, ChoosingAProgramListsItsRunsNewestFirst) {
    AddRun("1368783667-1.tkr", RunHeader("C:\\a.pb"));
    AddRun("1368783600-1.tkr", RunHeader("C:\\a.pb"));
    AddRun("1368783700-1.tkr", RunHeader("C:\\b.pb"));
    ASSERT_TRUE(Build());
    const auto runs = RunsOfProgram(catalogue_, "a.pb");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(FormatTimestamp(runs[0]->Timestamp), "2013/05/17-09:41:07");
    EXPECT_EQ(runs[1], &catalogue_.Records[2]);
    EXPECT_EQ(FormatTimestamp(runs[1]->Timestamp), "2013/05/17-09:40:00");
    EXPECT_TRUE(RunsOfProgram(catalogue_, "nothing.pb").empty());
}

} // namespace
} // namespace tickscope
