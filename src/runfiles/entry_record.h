#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tickscope {

// One probe execution as the monitoring runtime records it.
struct EntryRecord {
    std::int64_t ThreadId = 0;
    std::int64_t Stackframe = 0;
    std::int32_t FileId = 0;
    std::int32_t LineNumber = 0;
    std::int8_t InstructionNumber = 0;
    std::int8_t StartOrStop = 0; // 1 = start, 2 = stop
    std::int64_t Nanos = 0;

    bool operator==(const EntryRecord&) const = default;
};

inline constexpr std::int8_t kStartEntry = 1;
inline constexpr std::int8_t kStopEntry = 2;

// Binary form: 34 bytes, fields packed in the order above, little-endian.
inline constexpr std::size_t kEntryRecordSize = 34;
using EntryRecordBytes = std::array<unsigned char, kEntryRecordSize>;

EntryRecordBytes EncodeEntryRecord(const EntryRecord& record);
EntryRecord DecodeEntryRecord(const unsigned char* bytes); // reads kEntryRecordSize bytes

// First byte of an entry log: 0 means binary records follow; any other byte means the whole
// file, from its first byte, is text with one record per line.
inline constexpr unsigned char kBinaryLogMarker = 0;

// Text variant: "FileId,LineNumber,InstructionNumber,ThreadId,Stackframe,StartOrStop,Nanos".
std::string EncodeEntryRecordText(const EntryRecord& record);
// Each field reads like a decimal integer (non-numeric gives 0), kept at its field's width.
EntryRecord DecodeEntryRecordText(std::string_view line);

} // namespace tickscope
