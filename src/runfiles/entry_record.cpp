#include "runfiles/entry_record.h"

#include "source/text_utils.h"

#include <cstring>

namespace tickscope {

namespace {

// Little-endian stores and loads by explicit shifts: the layout never depends on the
// host's byte order or on structure packing.
void PutLittleEndian(unsigned char* out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

std::uint64_t GetLittleEndian(const unsigned char* in, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value |= static_cast<std::uint64_t>(in[i]) << (8 * i);
    }
    return value;
}

constexpr std::size_t kThreadIdOffset = 0;
constexpr std::size_t kStackframeOffset = 8;
constexpr std::size_t kFileIdOffset = 16;
constexpr std::size_t kLineNumberOffset = 20;
constexpr std::size_t kInstructionNumberOffset = 24;
constexpr std::size_t kStartOrStopOffset = 25;
constexpr std::size_t kNanosOffset = 26;

} // namespace

EntryRecordBytes EncodeEntryRecord(const EntryRecord& record) {
    EntryRecordBytes bytes{};
    unsigned char* out = bytes.data();
    PutLittleEndian(out + kThreadIdOffset, static_cast<std::uint64_t>(record.ThreadId), 8);
    PutLittleEndian(out + kStackframeOffset, static_cast<std::uint64_t>(record.Stackframe), 8);
    PutLittleEndian(out + kFileIdOffset, static_cast<std::uint32_t>(record.FileId), 4);
    PutLittleEndian(out + kLineNumberOffset, static_cast<std::uint32_t>(record.LineNumber), 4);
    out[kInstructionNumberOffset] = static_cast<unsigned char>(record.InstructionNumber);
    out[kStartOrStopOffset] = static_cast<unsigned char>(record.StartOrStop);
    PutLittleEndian(out + kNanosOffset, static_cast<std::uint64_t>(record.Nanos), 8);
    return bytes;
}

EntryRecord DecodeEntryRecord(const unsigned char* bytes) {
    EntryRecord record;
    record.ThreadId = static_cast<std::int64_t>(GetLittleEndian(bytes + kThreadIdOffset, 8));
    record.Stackframe = static_cast<std::int64_t>(GetLittleEndian(bytes + kStackframeOffset, 8));
    record.FileId = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(GetLittleEndian(bytes + kFileIdOffset, 4)));
    record.LineNumber = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(GetLittleEndian(bytes + kLineNumberOffset, 4)));
    record.InstructionNumber = static_cast<std::int8_t>(bytes[kInstructionNumberOffset]);
    record.StartOrStop = static_cast<std::int8_t>(bytes[kStartOrStopOffset]);
    record.Nanos = static_cast<std::int64_t>(GetLittleEndian(bytes + kNanosOffset, 8));
    return record;
}

std::string EncodeEntryRecordText(const EntryRecord& record) {
    std::string line;
    line += std::to_string(record.FileId);
    line += ',';
    line += std::to_string(record.LineNumber);
    line += ',';
    line += std::to_string(static_cast<int>(record.InstructionNumber));
    line += ',';
    line += std::to_string(record.ThreadId);
    line += ',';
    line += std::to_string(record.Stackframe);
    line += ',';
    line += std::to_string(static_cast<int>(record.StartOrStop));
    line += ',';
    line += std::to_string(record.Nanos);
    return line;
}

EntryRecord DecodeEntryRecordText(std::string_view line) {
    std::int64_t fields[7] = {};
    std::size_t start = 0;
    for (int i = 0; i < 7; ++i) {
        const std::size_t comma = line.find(',', start);
        fields[i] = ParseInteger(line.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) {
            break; // missing fields stay 0
        }
        start = comma + 1;
    }
    const auto low32 = [](std::int64_t v) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    };
    const auto low8 = [](std::int64_t v) {
        return static_cast<std::int8_t>(static_cast<std::uint8_t>(v));
    };
    EntryRecord record;
    record.FileId = low32(fields[0]);
    record.LineNumber = low32(fields[1]);
    record.InstructionNumber = low8(fields[2]);
    record.ThreadId = fields[3];
    record.Stackframe = fields[4];
    record.StartOrStop = low8(fields[5]);
    record.Nanos = fields[6];
    return record;
}

} // namespace tickscope
