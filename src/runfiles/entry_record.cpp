#include "runfiles/entry_record.h"

#include "source/text_utils.h"

#include <cstring>

namespace tickscope {

namespace {

// Little-endian stores by explicit shifts: the layout never depends on the
// host's byte order or on structure packing.
void PutLittleEndian(unsigned char* out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

} // namespace

EntryRecordBytes EncodeEntryRecord(const EntryRecord& record) {
    EntryRecordBytes bytes{};
    unsigned char* out = bytes.data();
    PutLittleEndian(out + detail::kThreadIdOffset, static_cast<std::uint64_t>(record.ThreadId), 8);
    PutLittleEndian(out + detail::kStackframeOffset, static_cast<std::uint64_t>(record.Stackframe),
                    8);
    PutLittleEndian(out + detail::kFileIdOffset, static_cast<std::uint32_t>(record.FileId), 4);
    PutLittleEndian(out + detail::kLineNumberOffset, static_cast<std::uint32_t>(record.LineNumber),
                    4);
    out[detail::kInstructionNumberOffset] = static_cast<unsigned char>(record.InstructionNumber);
    out[detail::kStartOrStopOffset] = static_cast<unsigned char>(record.StartOrStop);
    PutLittleEndian(out + detail::kNanosOffset, static_cast<std::uint64_t>(record.Nanos), 8);
    return bytes;
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
