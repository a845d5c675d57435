// The example program's committed program information and runs agree with what build mode
// makes of the program today: every recorded entry is a probe the instrumented text holds.
#include "instrument/instrumenter.h"
#include "instrument/run_files.h"
#include "source/source_loader.h"
#include "source/text_utils.h"

#include "common/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <tuple>

namespace tickscope {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;

const std::string kExamples = std::string(TICKSCOPE_SOURCE_DIR) + "/examples";

std::string LinesPart(const std::string& text) {
    const auto at = text.find("LinesOfCode = ");
    return at == std::string::npos ? std::string() : text.substr(at);
}

// start/stop, file, line, instruction, stack-frame override
using ProbeKey = std::tuple<bool, int, int, int, bool>;

std::set<ProbeKey> ProbesOf(const ProgramInfo& program) {
    std::set<ProbeKey> probes;
    for (const LineOfCode& line : program.LinesOfCode) {
        for (const std::string& element : line.OutputLines) {
            for (const bool start : {true, false}) {
                const std::string name =
                    start ? "tickscope_AddStartEntry(" : "tickscope_AddStopEntry(";
                const auto at = element.find(name);
                if (at == std::string::npos) {
                    continue;
                }
                std::string_view rest = std::string_view(element).substr(at + name.size());
                int numbers[3] = {};
                for (int& number : numbers) {
                    number = ParseInteger32(rest);
                    rest = rest.substr(rest.find(',') + 1);
                }
                probes.emplace(start, numbers[0], numbers[1], numbers[2],
                               rest.find("#True") != std::string_view::npos);
            }
        }
    }
    return probes;
}

class ExampleRunsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(kExamples + "/program/main.pb")) {
            GTEST_SKIP() << "no example program in " << kExamples;
        }
        LoadSource(kExamples + "/program/main.pb", "", program_);
        InstrumentOptions options;
        options.ProbesForX86 = false;
        texts_ = InstrumentProgram(program_, options);
        embedded_ = ReadFileBytes(kExamples + "/program/tickscope.src");
    }
    ProgramInfo program_;
    InstrumentedTexts texts_;
    std::string embedded_;
};

TEST_F(ExampleRunsTest, ProgramInformationIsCurrent) {
    ASSERT_FALSE(embedded_.empty());
    EXPECT_EQ(LinesPart(embedded_), LinesPart(texts_.ProgramInfo));
    EXPECT_TRUE(StartsWith(embedded_, "Path = examples/program/main.pb\r\n"));
}

TEST_F(ExampleRunsTest, EveryEntryIsAProbeOfTheProgram) {
    const std::set<ProbeKey> probes = ProbesOf(program_);
    ASSERT_GT(probes.size(), 40u);
    int runs = 0;
    for (const auto& entry : fs::directory_iterator(kExamples + "/home/Tickscope")) {
        if (entry.path().extension() != ".tkl") {
            continue;
        }
        ++runs;
        SCOPED_TRACE(entry.path().string());
        const std::string log = entry.path().string();
        const auto size = fs::file_size(log);
        EXPECT_LT(size, 1u << 20);
        EXPECT_EQ((size - 1) % kEntryRecordSize, 0u);

        std::string information = log;
        information.replace(information.size() - 4, 4, ".tkr");
        const std::string tkr = ReadFileBytes(information);
        EXPECT_TRUE(StartsWith(tkr, "[PRE-PROGRAMINFOS]\r\n" + embedded_ +
                                        "\r\n\r\n"
                                        "[POST-PROGRAMINFOS]\r\n"
                                        "ProcessId = "));

        EntryLogReader reader;
        ASSERT_TRUE(reader.Open(log));
        EXPECT_FALSE(reader.IsText());
        EntryRecord record;
        std::set<std::int64_t> threads;
        std::int64_t lastNanos = 0;
        std::size_t records = 0;
        std::size_t starts = 0;
        while (reader.Next(record)) {
            ++records;
            starts += record.StartOrStop == kStartEntry ? 1 : 0;
            const bool override = record.Stackframe == 0;
            const ProbeKey key{record.StartOrStop == kStartEntry, record.FileId, record.LineNumber,
                               record.InstructionNumber, override};
            EXPECT_TRUE(probes.count(key))
                << record.FileId << ":" << record.LineNumber << "." << +record.InstructionNumber;
            EXPECT_GE(record.Nanos, lastNanos);
            lastNanos = record.Nanos;
            threads.insert(record.ThreadId);
        }
        EXPECT_EQ(records, (size - 1) / kEntryRecordSize);
        EXPECT_EQ(threads.size(), 2u);
        EXPECT_GT(starts, records / 3);
    }
    EXPECT_EQ(runs, 3);
}

} // namespace
} // namespace tickscope
