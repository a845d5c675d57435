#include "analysis/run_loading.h"

#include "analysis/attribution.h"
#include "analysis/line_figures.h"
#include "common/temp_folder.h"
#include "runfiles/entry_record.h"
#include "runfiles/run_information.h"
#include "source/text_utils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tickscope {
namespace {

// Program information of a small program: a procedure Foo in the main file, called from
// an included file. Code values are stored escaped.
const std::string kProgramInformation = "Path = C:\\src\\main.pb\r\n"
                                        "\r\n"
                                        "SourceFileIds = 2\r\n"
                                        "SourceFileId.2 = C:\\src\\inc.pbi\r\n"
                                        "SourceFileId.1 = C:\\src\\main.pb\r\n"
                                        "\r\n"
                                        "ScopeIds = 2\r\n"
                                        "ScopeId.1 = ***main***\r\n"
                                        "ScopeId.2 = Foo\r\n"
                                        "\r\n"
                                        "LinesOfCode = 5\r\n"
                                        "LineOfCode.1.SourceFileId = 1\r\n"
                                        "LineOfCode.1.LineNumber = 1\r\n"
                                        "LineOfCode.1.Code = Procedure\\bFoo()\r\n"
                                        "LineOfCode.1.Instructions = 1\r\n"
                                        "LineOfCode.1.Instruction.1.ScopeId = 2\r\n"
                                        "LineOfCode.1.Instruction.1.Code = Procedure\\bFoo()\r\n"
                                        "LineOfCode.2.SourceFileId = 1\r\n"
                                        "LineOfCode.2.LineNumber = 2\r\n"
                                        "LineOfCode.2.Code = \\tx\\b{EQU}\\b1\r\n"
                                        "LineOfCode.2.Instructions = 1\r\n"
                                        "LineOfCode.2.Instruction.1.ScopeId = 2\r\n"
                                        "LineOfCode.2.Instruction.1.Code = x\\b{EQU}\\b1\r\n"
                                        "LineOfCode.3.SourceFileId = 1\r\n"
                                        "LineOfCode.3.LineNumber = 3\r\n"
                                        "LineOfCode.3.Code = EndProcedure\r\n"
                                        "LineOfCode.3.Instructions = 1\r\n"
                                        "LineOfCode.3.Instruction.1.ScopeId = 0\r\n"
                                        "LineOfCode.3.Instruction.1.Code = EndProcedure\r\n"
                                        "LineOfCode.4.SourceFileId = 2\r\n"
                                        "LineOfCode.4.LineNumber = 7\r\n"
                                        "LineOfCode.4.Code = Foo()\\b:\\ba{EQU}1\\bb\r\n"
                                        "LineOfCode.4.Instructions = 2\r\n"
                                        "LineOfCode.4.Instruction.1.ScopeId = 1\r\n"
                                        "LineOfCode.4.Instruction.1.Code = Foo()\r\n"
                                        "LineOfCode.4.Instruction.2.ScopeId = 1\r\n"
                                        "LineOfCode.4.Instruction.2.Code = a{EQU}1\\bb\r\n"
                                        "LineOfCode.5.SourceFileId = 1\r\n"
                                        "LineOfCode.5.LineNumber = 9\r\n"
                                        "LineOfCode.5.Code = path\\\\bin\r\n"
                                        "LineOfCode.5.Instructions = 0\r\n";

struct ExpectedLine {
    int SourceFileId;
    int LineNumber;
    std::string Code;
    std::vector<int> Scopes;
};

const std::vector<ExpectedLine> kExpectedLines = {
    {1, 1, "Procedure Foo()", {2}},  {1, 2, "  x = 1", {2}},  {1, 3, "EndProcedure", {0}},
    {2, 7, "Foo() : a=1 b", {1, 1}}, {1, 9, "path\\ in", {}},
};

EntryRecord Entry(std::int64_t thread, std::int64_t frame, int file, int line, int instruction,
                  int startOrStop, std::int64_t nanos) {
    EntryRecord e;
    e.ThreadId = thread;
    e.Stackframe = frame;
    e.FileId = file;
    e.LineNumber = line;
    e.InstructionNumber = static_cast<std::int8_t>(instruction);
    e.StartOrStop = static_cast<std::int8_t>(startOrStop);
    e.Nanos = nanos;
    return e;
}

constexpr std::int64_t kWideThread = 0x1FFFFFFFFLL; // shown as -1

// Thread 100 runs line 4 (file 2, line 7), which calls Foo (line 2); thread 200 starts in
// Foo; the wide thread runs a line that is not in the program.
const std::vector<EntryRecord> kEntries = {
    Entry(100, 50, 2, 7, 1, 1, 1000),      Entry(100, 40, 1, 2, 1, 1, 1010),
    Entry(200, 0, 1, 2, 1, 1, 5000),       Entry(100, 40, 1, 2, 1, 2, 1030),
    Entry(200, 0, 1, 2, 1, 2, 5005),       Entry(100, 50, 2, 7, 1, 2, 1100),
    Entry(kWideThread, 1, 9, 9, 1, 1, 10), Entry(kWideThread, 1, 9, 9, 1, 2, 20),
};

std::string BinaryLog(const std::vector<EntryRecord>& entries) {
    std::string log(1, '\0');
    for (const auto& e : entries) {
        const auto bytes = EncodeEntryRecord(e);
        log.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    return log;
}

std::string TextLog(const std::vector<EntryRecord>& entries, const std::string& lineEnd) {
    std::string log;
    for (const auto& e : entries) {
        log += std::to_string(e.FileId) + "," + std::to_string(e.LineNumber) + "," +
               std::to_string(e.InstructionNumber) + "," + std::to_string(e.ThreadId) + "," +
               std::to_string(e.Stackframe) + "," + std::to_string(e.StartOrStop) + "," +
               std::to_string(e.Nanos) + lineEnd;
    }
    return log;
}

// Records every progress call.
struct ProgressCall {
    std::int64_t Value;
    std::string Text;
    std::int64_t Maximum;
};
class RecordingProgress final : public ProgressSink {
  public:
    void ShowProgress(std::int64_t value, const std::string& text, std::int64_t maximum) override {
        Calls.push_back({value, text, maximum});
    }
    std::vector<ProgressCall> Calls;
};

// Line id -> (hits, total nanos) for all threads in mode "all".
std::map<int, std::pair<std::int64_t, std::int64_t>> Results(const LoadedRun& run) {
    std::map<int, std::pair<std::int64_t, std::int64_t>> results;
    const ThreadChecks all(run.Threads.size(), true);
    for (const auto& r : ComputeLineResults(run.Analysis, all, TimeMode::All)) {
        results[r.LineId] = {r.Hits, r.TimeNanos};
    }
    return results;
}

class RunLoadingTest : public ::testing::Test {
  protected:
    // Writes <name>.tkr (and <name>.tkl unless the log is absent) and catalogues the run.
    RunRecord& AddRun(const std::string& name, const std::string& runInformation,
                      const std::optional<std::string>& log, int lineCount = 5,
                      int sourceFileCount = 2, int scopeCount = 2) {
        RunRecord record;
        record.FileName = home_.Write("Tickscope/" + name + ".tkr", runInformation);
        if (log) {
            home_.Write("Tickscope/" + name + ".tkl", *log);
        }
        record.Path = "C:\\src\\main.pb";
        record.LineCount = lineCount;
        record.SourceFileCount = sourceFileCount;
        record.ScopeCount = scopeCount;
        catalogue_.Records.push_back(std::move(record));
        return catalogue_.Records.back();
    }
    void Load(const RunRecord& record) { run_ = LoadRun(record, progress_); }

    void ExpectSmallProgram() {
        const ProgramInfo& program = run_.Program;
        ASSERT_EQ(program.LinesOfCode.size(), kExpectedLines.size());
        for (std::size_t i = 0; i < kExpectedLines.size(); ++i) {
            SCOPED_TRACE(i + 1);
            const LineOfCode& line = program.LinesOfCode[i];
            const ExpectedLine& expected = kExpectedLines[i];
            EXPECT_EQ(line.SourceFileId, expected.SourceFileId);
            EXPECT_EQ(line.LineNumber, expected.LineNumber);
            EXPECT_EQ(line.Code, expected.Code);
            std::vector<int> scopes;
            for (const auto& instruction : line.Instructions) {
                scopes.push_back(instruction.ScopeId);
            }
            EXPECT_EQ(scopes, expected.Scopes);
        }
        EXPECT_EQ(program.SourceFileIds.Get("C:\\src\\main.pb"), 1);
        EXPECT_EQ(program.SourceFileIds.Get("C:\\src\\inc.pbi"), 2);
        EXPECT_EQ(program.SourceFileIds.Size(), 2u);
        EXPECT_EQ(program.ScopeIds.Get("***main***"), 1);
        EXPECT_EQ(program.ScopeIds.Get("Foo"), 2);
        EXPECT_EQ(program.ScopeIds.Size(), 2u);
        EXPECT_EQ(run_.Record.Path, "C:\\src\\main.pb");
    }

    void ExpectSmallRunFigures() {
        ASSERT_EQ(run_.Threads.size(), 3u);
        const std::vector<std::pair<std::int32_t, std::string>> threads = {
            {100, "***main***"}, {200, "Foo"}, {-1, ""}};
        for (std::size_t i = 0; i < threads.size(); ++i) {
            EXPECT_EQ(run_.Threads[i].ThreadId, threads[i].first);
            EXPECT_EQ(run_.Threads[i].Scope, threads[i].second);
        }
        const auto results = Results(run_);
        EXPECT_EQ(results.at(2), (std::pair<std::int64_t, std::int64_t>{2, 25}));
        EXPECT_EQ(results.at(4), (std::pair<std::int64_t, std::int64_t>{1, 100}));
        EXPECT_EQ(results.count(1), 0u);
    }

    testing::TempFolder home_;
    RunCatalogue catalogue_;
    LoadedRun run_;
    RecordingProgress progress_;
};

struct RunFileCase {
    std::string Name;
    std::string RunInformation;
    std::string Log;
};

class RunFileVariantsTest : public RunLoadingTest,
                            public ::testing::WithParamInterface<RunFileCase> {};

TEST_P(RunFileVariantsTest, LoadTheSameProgramAndFigures) {
    const RunFileCase& c = GetParam();
    RunRecord& record = AddRun("1000-1", c.RunInformation, c.Log);
    const std::string tkrBefore = testing::ReadFileBytes(record.FileName);
    const std::string tklBefore = testing::ReadFileBytes(EntryLogPath(record.FileName));
    Load(record);
    ExpectSmallProgram();
    ExpectSmallRunFigures();
    // The analyzer only reads run files.
    EXPECT_EQ(testing::ReadFileBytes(record.FileName), tkrBefore);
    EXPECT_EQ(testing::ReadFileBytes(EntryLogPath(record.FileName)), tklBefore);
}

const std::string kRunInformation = EncodeRunInformation(kProgramInformation, 4242);

INSTANTIATE_TEST_SUITE_P(
    Forms, RunFileVariantsTest,
    ::testing::Values(
        RunFileCase{"CrLfAndBinaryLog", kRunInformation, BinaryLog(kEntries)},
        RunFileCase{"Utf8ByteOrderMark", "\xEF\xBB\xBF" + kRunInformation, BinaryLog(kEntries)},
        RunFileCase{"LfOnly", ReplaceAll(kRunInformation, "\r\n", "\n"), BinaryLog(kEntries)},
        RunFileCase{"TextLogCrLf", kRunInformation, TextLog(kEntries, "\r\n")},
        RunFileCase{"TextLogLfWithEmptyLines", kRunInformation, "\n" + TextLog(kEntries, "\n\n")},
        RunFileCase{"ShortLastRecordIgnored", kRunInformation,
                    BinaryLog(kEntries) + BinaryLog({Entry(100, 50, 2, 7, 1, 1, 0)}).substr(1, 33)},
        RunFileCase{"LaterKeyOverwrites",
                    ReplaceAll(kRunInformation, "LinesOfCode = 5\r\n",
                               "LinesOfCode = 5\r\nLineOfCode.5.Code = wrong\r\n"),
                    BinaryLog(kEntries)}),
    [](const auto& info) { return info.param.Name; });

TEST_F(RunLoadingTest, LoneCarriageReturnSwallowsTheNextCharacter) {
    // The CR after line 2's number eats the "L" of the next key, which then no longer
    // starts with "LineOfCode." and is lost.
    const std::string info = ReplaceAll(kRunInformation, "LineOfCode.2.LineNumber = 2\r\n",
                                        "LineOfCode.2.LineNumber = 2\r");
    RunRecord& record = AddRun("1000-1", info, BinaryLog(kEntries));
    Load(record);
    ASSERT_EQ(run_.Program.LinesOfCode.size(), 5u);
    EXPECT_EQ(run_.Program.LinesOfCode[1].LineNumber, 2);
    EXPECT_EQ(run_.Program.LinesOfCode[1].Code, "");
    EXPECT_EQ(run_.Program.LinesOfCode[2].Code, "EndProcedure");
}

TEST_F(RunLoadingTest, ValuesReadLikeVal) {
    const std::string info = EncodeRunInformation(
        "LinesOfCode = 3\r\n"
        "LineOfCode.1.SourceFileId = 12abc\r\nLineOfCode.1.LineNumber = abc\r\n"
        "LineOfCode.1.Instructions = 2x\r\nLineOfCode.1.Instruction.1.ScopeId = 3\r\n"
        "LineOfCode.1.Instruction.2.ScopeId = zz\r\n"
        "  LineOfCode.2.LineNumber = 5\r\n"  // not at the line start: ignored
        "LineOfCode.3.LineNumber  =  -4\r\n" // blanks around the key; value after one char
        "LineOfCode.3.SourceFileId=7\r\n"    // the char after "=" is skipped whatever it is
        "LineOfCode.3.Code\r\n",             // no "=": ignored
        1);
    RunRecord& record = AddRun("1000-1", info, std::nullopt, 3, 0, 0);
    Load(record);
    const auto& lines = run_.Program.LinesOfCode;
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].SourceFileId, 12);
    EXPECT_EQ(lines[0].LineNumber, 0);
    ASSERT_EQ(lines[0].Instructions.size(), 2u);
    EXPECT_EQ(lines[0].Instructions[0].ScopeId, 3);
    EXPECT_EQ(lines[0].Instructions[1].ScopeId, 0);
    EXPECT_EQ(lines[1].LineNumber, 0);
    EXPECT_EQ(lines[2].LineNumber, -4);
    EXPECT_EQ(lines[2].SourceFileId, 0);
    EXPECT_TRUE(run_.Program.SourceFileIds.Empty());
    EXPECT_TRUE(run_.Program.ScopeIds.Empty());
}

TEST_F(RunLoadingTest, MissingEntryLogGivesAProgramWithoutEntries) {
    RunRecord& record = AddRun("1000-1", kRunInformation, std::nullopt);
    Load(record);
    ExpectSmallProgram();
    EXPECT_TRUE(run_.Threads.empty());
    EXPECT_TRUE(run_.Analysis.Threads().empty());
    EXPECT_TRUE(Results(run_).empty());
    EXPECT_FALSE(std::filesystem::exists(EntryLogPath(record.FileName)));
}

struct BrokenCase {
    std::string Name;
    std::optional<std::string> RunInformation; // nullopt: a folder named like the file
    std::optional<std::string> Log;            // nullopt: a folder named like the log
    int LineCount;
    int SourceFileCount;
    int ScopeCount;
    std::size_t Lines;
    std::size_t SourceFiles;
    std::size_t Scopes;
};

class BrokenRunTest : public RunLoadingTest, public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(BrokenRunTest, LoadsSafely) {
    const BrokenCase& c = GetParam();
    const std::string base = "Tickscope/2000-1";
    if (!c.RunInformation) {
        std::filesystem::create_directories(home_.Path() / (base + ".tkr"));
    }
    if (!c.Log) {
        std::filesystem::create_directories(home_.Path() / (base + ".tkl"));
    }
    RunRecord& record = AddRun("2000-1", c.RunInformation.value_or(""), c.Log, c.LineCount,
                               c.SourceFileCount, c.ScopeCount);
    if (!c.RunInformation) {
        std::filesystem::remove(record.FileName);
        std::filesystem::create_directories(record.FileName);
    }
    const auto started = std::chrono::steady_clock::now();
    Load(record);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_EQ(run_.Program.LinesOfCode.size(), c.Lines);
    EXPECT_EQ(run_.Program.SourceFileIds.Size(), c.SourceFiles);
    EXPECT_EQ(run_.Program.ScopeIds.Size(), c.Scopes);
    EXPECT_EQ(run_.Analysis.LineCount(), static_cast<std::int32_t>(c.Lines));
    ASSERT_FALSE(progress_.Calls.empty());
    EXPECT_EQ(progress_.Calls.back().Maximum, -1);
    EXPECT_EQ(progress_.Calls.back().Value, progress_.Calls.front().Maximum);
}

const std::string kGarbage = [] {
    std::string bytes;
    for (int i = 0; i < 5000; ++i) {
        bytes.push_back(static_cast<char>((i * 7919) % 251));
    }
    return bytes;
}();

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenRunTest,
    ::testing::Values(
        // Empty file: one "" entry per table holding the last index, empty lines.
        BrokenCase{"EmptyRunInformation", "", BinaryLog(kEntries), 3, 2, 4, 3, 1, 1},
        BrokenCase{"EmptyRunInformationZeroCounts", "", "", 0, 0, 0, 0, 0, 0},
        BrokenCase{"TruncatedRunInformation", kRunInformation.substr(0, 700), BinaryLog(kEntries),
                   5, 2, 2, 5, 2, 2},
        BrokenCase{"GarbageRunInformation", kGarbage, kGarbage, 4, 1, 1, 4, 1, 1},
        BrokenCase{"GarbageLogOnly", kRunInformation, "\0" + kGarbage, 5, 2, 2, 5, 2, 2},
        BrokenCase{"FolderRunInformation", std::nullopt, BinaryLog(kEntries), 2, 1, 1, 2, 1, 1},
        BrokenCase{"FolderLog", kRunInformation, std::nullopt, 5, 2, 2, 5, 2, 2},
        BrokenCase{"NegativeCounts", kRunInformation, BinaryLog(kEntries), -5, -1, -2, 0, 0, 0},
        // Corrupt counts far beyond the keys present are cut to the highest index present.
        BrokenCase{"HugeCounts", kRunInformation, BinaryLog(kEntries), 2147483647, 2000000000,
                   2147483647, 5, 2, 2},
        BrokenCase{"HugeCountsEmptyFile", "", "", 2147483647, 2147483647, 2147483647, 0, 0, 0},
        // Counts a little beyond the keys build the missing entries empty.
        BrokenCase{"CountsSlightlyLarger", kRunInformation, BinaryLog(kEntries), 8, 3, 5, 8, 3, 3},
        BrokenCase{"CountsSmaller", kRunInformation, BinaryLog(kEntries), 2, 1, 1, 2, 1, 1}),
    [](const auto& info) { return info.param.Name; });

TEST_F(RunLoadingTest, HugeInstructionCountIsCut) {
    const std::string info = ReplaceAll(kRunInformation, "LineOfCode.4.Instructions = 2",
                                        "LineOfCode.4.Instructions = 2147483647");
    RunRecord& record = AddRun("1000-1", info, BinaryLog(kEntries));
    Load(record);
    ASSERT_EQ(run_.Program.LinesOfCode.size(), 5u);
    EXPECT_EQ(run_.Program.LinesOfCode[3].Instructions.size(), 2u);
    ExpectSmallRunFigures();
}

TEST_F(RunLoadingTest, LoadsOneRunAfterTheOther) {
    const std::string other = EncodeRunInformation(
        "Path = C:\\b.pb\r\n\r\nSourceFileIds = 1\r\nSourceFileId.1 = C:\\b.pb\r\n\r\n"
        "ScopeIds = 1\r\nScopeId.1 = ***main***\r\n\r\nLinesOfCode = 1\r\n"
        "LineOfCode.1.SourceFileId = 1\r\nLineOfCode.1.LineNumber = 4\r\n"
        "LineOfCode.1.Code = Delay(1)\r\nLineOfCode.1.Instructions = 1\r\n"
        "LineOfCode.1.Instruction.1.ScopeId = 1\r\n",
        7);
    AddRun("3000-1", other, BinaryLog({Entry(300, 0, 1, 4, 1, 1, 0), Entry(300, 0, 1, 4, 1, 2, 9)}),
           1, 1, 1);
    AddRun("1000-1", kRunInformation, BinaryLog(kEntries));
    const RunRecord& second = catalogue_.Records[0];
    const RunRecord& first = catalogue_.Records[1];

    Load(first);
    ExpectSmallProgram();
    // The second run shows only its own lines, files and threads.
    Load(second);
    ASSERT_EQ(run_.Program.LinesOfCode.size(), 1u);
    EXPECT_EQ(run_.Program.LinesOfCode[0].Code, "Delay(1)");
    ASSERT_EQ(run_.Program.SourceFileIds.Size(), 1u);
    EXPECT_EQ(run_.Program.SourceFileIds.Get("C:\\b.pb"), 1);
    ASSERT_EQ(run_.Threads.size(), 1u);
    EXPECT_EQ(run_.Threads[0].ThreadId, 300);
    EXPECT_EQ(run_.Threads[0].Scope, "***main***");
    EXPECT_EQ(Results(run_), (std::map<int, std::pair<std::int64_t, std::int64_t>>{{1, {1, 9}}}));

    Load(first);
    ExpectSmallProgram();
    ExpectSmallRunFigures();
}

TEST_F(RunLoadingTest, ProgressCoversBothFilesInVisibleSteps) {
    // Many lines and entries: the progress must open, announce the entry phase, move
    // forward only, and close, without one call per entry.
    std::string info = "LinesOfCode = 3000\r\n";
    for (int n = 1; n <= 3000; ++n) {
        const std::string p = "LineOfCode." + std::to_string(n);
        info += p + ".SourceFileId = 1\r\n" + p + ".LineNumber = " + std::to_string(n) + "\r\n" +
                p + ".Code = x\r\n" + p + ".Instructions = 1\r\n" + p +
                ".Instruction.1.ScopeId = 1\r\n";
    }
    std::vector<EntryRecord> entries;
    for (int i = 0; i < 100000; ++i) {
        entries.push_back(Entry(1, 0, 1, 1 + i % 3000, 1, 1 + i % 2, i));
    }
    RunRecord& record =
        AddRun("1000-1", EncodeRunInformation(info, 1), BinaryLog(entries), 3000, 0, 0);
    Load(record);
    const auto& calls = progress_.Calls;
    const std::int64_t runBytes =
        static_cast<std::int64_t>(std::filesystem::file_size(record.FileName) +
                                  std::filesystem::file_size(EntryLogPath(record.FileName)));
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls.front().Value, 0);
    EXPECT_EQ(calls.front().Text, "Loading sourcecode ...");
    EXPECT_EQ(calls.front().Maximum, runBytes);
    EXPECT_EQ(calls.back().Value, runBytes);
    EXPECT_EQ(calls.back().Maximum, -1);
    EXPECT_LE(calls.size(), 2100u);
    EXPECT_GE(calls.size(), 500u); // still moves smoothly
    int announcements = 0;
    for (std::size_t i = 1; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].Maximum, -1);
        EXPECT_GE(calls[i].Value, calls[i - 1].Value) << i;
        EXPECT_LE(calls[i].Value, runBytes);
        if (calls[i].Text == "Loading profiledata ...") {
            ++announcements;
            const auto tkrSize =
                static_cast<std::int64_t>(std::filesystem::file_size(record.FileName));
            EXPECT_NEAR(static_cast<double>(calls[i].Value), static_cast<double>(tkrSize), 1.0);
        } else {
            EXPECT_EQ(calls[i].Text, "");
        }
    }
    EXPECT_EQ(announcements, 1);
}

TEST(RunInformationTest, EntryLogPathReplacesTheExtension) {
    EXPECT_EQ(EntryLogPath("/h/Tickscope/1-2.tkr"), "/h/Tickscope/1-2.tkl");
    EXPECT_EQ(EntryLogPath("/h/a.tkr.d/1-2.tkr"), "/h/a.tkr.d/1-2.tkl");
    EXPECT_EQ(EntryLogPath("/h/run"), "/h/run.tkl");
}

} // namespace
} // namespace tickscope
