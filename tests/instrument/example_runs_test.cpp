// The example program's committed program information and runs agree with what build mode
// makes of the program today: every recorded entry is a probe the instrumented text holds.
#include "instrument/instrumenter.h"
#include "instrument/probe_text.h"
#include "runfiles/entry_log_reader.h"
#include "runfiles/entry_record.h"
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

std::set<ProbeCall> ProbesOf(const InstrumentedTexts& texts) {
    std::set<ProbeCall> probes;
    for (const std::vector<std::string>& output : texts.LineOutputs) {
        for (const std::string& element : output) {
            if (const std::optional<ProbeCall> probe = ParseProbeText(element)) {
                probes.insert(*probe);
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
    const std::set<ProbeCall> probes = ProbesOf(texts_);
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
            const ProbeCall key{
                record.StartOrStop == kStartEntry ? ProbeKind::Start : ProbeKind::Stop,
                record.FileId, record.LineNumber, record.InstructionNumber, override};
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
