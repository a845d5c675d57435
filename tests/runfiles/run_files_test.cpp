#include "runfiles/entry_log_reader.h"
#include "runfiles/entry_record.h"
#include "runfiles/run_information.h"

#include "common/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace tickscope {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;

EntryRecord Make(std::int64_t thread, std::int64_t stack, std::int32_t file, std::int32_t line,
                 std::int8_t instruction, std::int8_t startOrStop, std::int64_t nanos) {
    EntryRecord r;
    r.ThreadId = thread;
    r.Stackframe = stack;
    r.FileId = file;
    r.LineNumber = line;
    r.InstructionNumber = instruction;
    r.StartOrStop = startOrStop;
    r.Nanos = nanos;
    return r;
}

std::string Bytes(const EntryRecord& record) {
    const EntryRecordBytes bytes = EncodeEntryRecord(record);
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::vector<EntryRecord> ReadAll(const std::string& path, std::size_t bufferSize = 1 << 20) {
    EntryLogReader reader(bufferSize);
    EXPECT_TRUE(reader.Open(path));
    std::vector<EntryRecord> records;
    EntryRecord record;
    while (reader.Next(record)) {
        records.push_back(record);
    }
    return records;
}

// The same through NextBatch, `batch` records at a time.
std::vector<EntryRecord> ReadAllInBatches(const std::string& path, std::size_t bufferSize,
                                          std::size_t batch) {
    EntryLogReader reader(bufferSize);
    EXPECT_TRUE(reader.Open(path));
    std::vector<EntryRecord> records;
    std::vector<EntryRecord> room(batch);
    while (const std::size_t count = reader.NextBatch(room)) {
        EXPECT_LE(count, batch);
        records.insert(records.end(), room.begin(), room.begin() + static_cast<long>(count));
    }
    EXPECT_EQ(reader.NextBatch(room), 0u) << "stays at its end";
    return records;
}

TEST(EntryRecordCodec, FieldsSitAtTheirOffsetsLittleEndian) {
    const EntryRecord record =
        Make(0x0807060504030201, -2, 0x11223344, -1, -128, 2, 0x0102030405060708);
    const std::string expected =
        std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8) +
        std::string("\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8) + std::string("\x44\x33\x22\x11", 4) +
        std::string("\xFF\xFF\xFF\xFF", 4) + std::string("\x80", 1) + std::string("\x02", 1) +
        std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8);
    ASSERT_EQ(expected.size(), 34u);
    EXPECT_EQ(Bytes(record), expected);
}

TEST(EntryRecordCodec, RoundTripsExtremeValues) {
    constexpr auto i64min = std::numeric_limits<std::int64_t>::min();
    constexpr auto i64max = std::numeric_limits<std::int64_t>::max();
    constexpr auto i32min = std::numeric_limits<std::int32_t>::min();
    constexpr auto i32max = std::numeric_limits<std::int32_t>::max();
    const EntryRecord cases[] = {
        Make(0, 0, 0, 0, 0, 0, 0),
        Make(1, 2, 3, 4, 5, 1, 6),
        Make(-1, -1, -1, -1, -1, -1, -1),
        Make(i64min, i64max, i32min, i32max, -128, 127, i64min),
        Make(i64max, i64min, i32max, i32min, 127, -128, i64max),
        Make(0x00000000FFFFFFFF, 0x7FFF0000ABCD, 65536, 256, 100, 2, 1234567890123),
    };
    for (const EntryRecord& record : cases) {
        const EntryRecordBytes bytes = EncodeEntryRecord(record);
        EXPECT_EQ(DecodeEntryRecord(bytes.data()), record) << EncodeEntryRecordText(record);
    }
}

TEST(EntryRecordText, EncodesSevenFieldsInFileOrder) {
    EXPECT_EQ(EncodeEntryRecordText(Make(4660, -8, 3, 12, 1, 1, 123456789)),
              "3,12,1,4660,-8,1,123456789");
    EXPECT_EQ(EncodeEntryRecordText(Make(0, 0, 0, 0, -56, 2, -5)), "0,0,-56,0,0,2,-5");
}

TEST(EntryRecordText, DecodesLikeIntegerConversionPerField) {
    struct Case {
        const char* line;
        EntryRecord expected;
    };
    const Case cases[] = {
        {"3,12,1,4660,-8,1,123456789", Make(4660, -8, 3, 12, 1, 1, 123456789)},
        {"12abc", Make(0, 0, 12, 0, 0, 0, 0)},
        {"", Make(0, 0, 0, 0, 0, 0, 0)},
        {"1,,3", Make(0, 0, 1, 0, 3, 0, 0)},
        {" 7,\t8,x,9", Make(9, 0, 7, 8, 0, 0, 0)},
        {"1,2,300,4,5,2,6", Make(4, 5, 1, 2, 44, 2, 6)},  // 300 keeps its low byte
        {"1,2,-1,4,5,258,6", Make(4, 5, 1, 2, -1, 2, 6)}, // 258 -> 2
        {"5000000000,-5000000000,1,1,1,1,1", Make(1, 1, 705032704, -705032704, 1, 1, 1)},
        {"$10,%101,3,4,5,1,7", Make(4, 5, 16, 5, 3, 1, 7)},
        {"1,2,3,4,5,6,7,8,9", Make(4, 5, 1, 2, 3, 6, 7)}, // extra fields ignored
        {"-9223372036854775808,0,0,9223372036854775807,0,0,-1",
         Make(9223372036854775807, 0, 0, 0, 0, 0, -1)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeEntryRecordText(c.line), c.expected) << "line: " << c.line;
    }
}

TEST(EntryRecordText, RoundTripsThroughItsOwnEncoding) {
    const EntryRecord cases[] = {
        Make(-1, -2, -3, -4, -5, 1, -6),
        Make(std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max(),
             std::numeric_limits<std::int32_t>::min(), 7, 127, 2, 0),
    };
    for (const EntryRecord& record : cases) {
        EXPECT_EQ(DecodeEntryRecordText(EncodeEntryRecordText(record)), record);
    }
}

TEST(RunInformation, LayoutAroundTheProgramInformation) {
    const std::string info = "[Program]\r\nPath = C:\\x.pb\r\nLines = 2\r\n";
    EXPECT_EQ(EncodeRunInformation(info, 4242), "[PRE-PROGRAMINFOS]\r\n"
                                                "[Program]\r\nPath = C:\\x.pb\r\nLines = 2\r\n"
                                                "\r\n"
                                                "\r\n"
                                                "[POST-PROGRAMINFOS]\r\n"
                                                "ProcessId = 4242\r\n");
    EXPECT_EQ(EncodeRunInformation("", 0),
              "[PRE-PROGRAMINFOS]\r\n\r\n\r\n[POST-PROGRAMINFOS]\r\nProcessId = 0\r\n");
}

class EntryLogReaderTest : public ::testing::Test {
  protected:
    TempFolder folder_;

    std::vector<EntryRecord> Sample(int count) {
        std::vector<EntryRecord> records;
        for (int i = 0; i < count; ++i) {
            records.push_back(Make(1000 + i % 3, -i * 16, i % 5 + 1, i * 7,
                                   static_cast<std::int8_t>(i), static_cast<std::int8_t>(i % 2 + 1),
                                   1000000LL * i - 5));
        }
        return records;
    }
    std::string BinaryLog(const std::vector<EntryRecord>& records) {
        std::string bytes(1, '\0');
        for (const EntryRecord& r : records) {
            bytes += Bytes(r);
        }
        return bytes;
    }
    std::string TextLog(const std::vector<EntryRecord>& records, const char* lineEnd) {
        std::string text;
        for (const EntryRecord& r : records) {
            text += EncodeEntryRecordText(r) + lineEnd;
        }
        return text;
    }
};

TEST_F(EntryLogReaderTest, BinaryLogYieldsRecordsInOrderAndCountsBytes) {
    const auto records = Sample(50);
    const std::string path = folder_.Write("run.tkl", BinaryLog(records));
    EntryLogReader reader;
    ASSERT_TRUE(reader.Open(path));
    EXPECT_FALSE(reader.IsText());
    EXPECT_EQ(reader.Position(), 1);
    EntryRecord record;
    for (std::size_t i = 0; i < records.size(); ++i) {
        ASSERT_TRUE(reader.Next(record));
        EXPECT_EQ(record, records[i]) << "record " << i;
        EXPECT_EQ(reader.Position(), static_cast<std::int64_t>(1 + 34 * (i + 1)));
    }
    EXPECT_FALSE(reader.Next(record));
    EXPECT_FALSE(reader.Next(record)); // stays at the end
}

TEST_F(EntryLogReaderTest, ShortLastBinaryRecordIsIgnored) {
    const auto records = Sample(3);
    for (const std::size_t tail : {1u, 20u, 33u}) {
        const std::string path =
            folder_.Write("short.tkl", BinaryLog(records) + std::string(tail, '\x7F'));
        for (const std::size_t buffer : {std::size_t{1}, std::size_t{69}, std::size_t{1} << 20}) {
            EXPECT_EQ(ReadAll(path, buffer), records)
                << "tail of " << tail << " bytes, buffer " << buffer;
        }
    }
}

TEST_F(EntryLogReaderTest, SmallBuffersGiveTheSameRecordsAsLargeOnes) {
    const auto records = Sample(301);
    const std::string binary = folder_.Write("b.tkl", BinaryLog(records));
    const std::string text = folder_.Write("t.tkl", TextLog(records, "\r\n"));
    for (const std::size_t size :
         {std::size_t{1}, std::size_t{69}, std::size_t{100}, std::size_t{4096}}) {
        EXPECT_EQ(ReadAll(binary, size), records) << "binary, buffer " << size;
        EXPECT_EQ(ReadAll(text, size), records) << "text, buffer " << size;
        for (const std::size_t batch : {std::size_t{1}, std::size_t{7}, std::size_t{512}}) {
            EXPECT_EQ(ReadAllInBatches(binary, size, batch), records)
                << "binary, buffer " << size << ", batches of " << batch;
            EXPECT_EQ(ReadAllInBatches(text, size, batch), records)
                << "text, buffer " << size << ", batches of " << batch;
        }
    }
}

TEST_F(EntryLogReaderTest, TextLogIsReadFromItsFirstByte) {
    struct Case {
        const char* name;
        std::string content;
        std::vector<EntryRecord> expected;
    };
    const Case cases[] = {
        {"crlf",
         "1,2,3,4,5,1,100\r\n6,7,8,9,10,2,200\r\n",
         {Make(4, 5, 1, 2, 3, 1, 100), Make(9, 10, 6, 7, 8, 2, 200)}},
        {"lf, no final line end",
         "1,2,3,4,5,1,100\n6,7,8,9,10,2,200",
         {Make(4, 5, 1, 2, 3, 1, 100), Make(9, 10, 6, 7, 8, 2, 200)}},
        {"cr alone",
         "1,2,3,4,5,1,100\r6,7,8,9,10,2,200\r",
         {Make(4, 5, 1, 2, 3, 1, 100), Make(9, 10, 6, 7, 8, 2, 200)}},
        {"empty lines skipped",
         "\n\r\n12abc\n\n\n7\n",
         {Make(0, 0, 12, 0, 0, 0, 0), Make(0, 0, 7, 0, 0, 0, 0)}},
        {"blank line is a record of zeros", " \n", {Make(0, 0, 0, 0, 0, 0, 0)}},
        {"only line ends", "\r\n\r\n", {}},
    };
    for (const Case& c : cases) {
        const std::string path = folder_.Write("text.tkl", c.content);
        EntryLogReader reader;
        ASSERT_TRUE(reader.Open(path)) << c.name;
        EXPECT_TRUE(reader.IsText()) << c.name;
        std::vector<EntryRecord> records;
        EntryRecord record;
        while (reader.Next(record)) {
            records.push_back(record);
        }
        EXPECT_EQ(records, c.expected) << c.name;
        EXPECT_EQ(reader.Position(), static_cast<std::int64_t>(c.content.size())) << c.name;
    }
}

TEST_F(EntryLogReaderTest, OverlongTextLineIsCutAndTheNextLineStillRead) {
    std::string content = "5,6";
    content += std::string(3 * EntryLogReader::kMaxTextLine, '9');
    content += "\n8,1,1,1,1,1,1\n";
    const std::string path = folder_.Write("long.tkl", content);
    const auto records = ReadAll(path);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].FileId, 5);
    EXPECT_EQ(records[1], Make(1, 1, 8, 1, 1, 1, 1));
}

TEST_F(EntryLogReaderTest, EmptyMissingAndUnnamableFiles) {
    EntryRecord record;
    EntryLogReader reader;
    EXPECT_FALSE(reader.Next(record)) << "nothing open";

    ASSERT_TRUE(reader.Open(folder_.Write("empty.tkl", "")));
    EXPECT_FALSE(reader.Next(record));

    ASSERT_TRUE(reader.Open(folder_.Write("marker.tkl", std::string(1, '\0'))));
    EXPECT_FALSE(reader.IsText());
    EXPECT_FALSE(reader.Next(record));
    EXPECT_EQ(reader.Position(), 1);

    EXPECT_FALSE(reader.Open(folder_.File("missing.tkl")));
    EXPECT_FALSE(reader.Next(record));
    EXPECT_FALSE(reader.Open(""));

    // A NUL byte must not cut the name short and open a different, existing file.
    const std::string real = folder_.Write("a.tkl", BinaryLog(Sample(2)));
    EXPECT_FALSE(reader.Open(real + std::string("\0.other", 7)));
    EXPECT_FALSE(reader.Next(record));

    // A folder opens nowhere useful: no records, no crash.
    if (reader.Open(folder_.Folder())) {
        EXPECT_FALSE(reader.Next(record));
    }
}

TEST_F(EntryLogReaderTest, ReopeningSwitchesForm) {
    const auto records = Sample(4);
    const std::string text = folder_.Write("t.tkl", TextLog(records, "\n"));
    const std::string binary = folder_.Write("b.tkl", BinaryLog(records));
    EntryLogReader reader;
    EntryRecord record;
    ASSERT_TRUE(reader.Open(text));
    ASSERT_TRUE(reader.Next(record)); // leave it half read
    ASSERT_TRUE(reader.Open(binary));
    EXPECT_FALSE(reader.IsText());
    std::vector<EntryRecord> read;
    while (reader.Next(record)) {
        read.push_back(record);
    }
    EXPECT_EQ(read, records);
    EXPECT_EQ(ReadFileBytes(binary).size(), static_cast<std::size_t>(reader.Position()));
}

} // namespace
} // namespace tickscope
