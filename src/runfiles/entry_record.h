#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
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
// Reads kEntryRecordSize bytes. Inline: the loaders decode millions of records per second.
inline EntryRecord DecodeEntryRecord(const unsigned char* bytes);
// The same into an existing record, field by field: a loop filling an array of records this
// way stores each field once (a whole record built aside and copied makes the copy wait for
// the narrow stores).
inline void DecodeEntryRecord(const unsigned char* bytes, EntryRecord& record);

// First byte of an entry log: 0 means binary records follow; any other byte means the whole
// file, from its first byte, is text with one record per line.
inline constexpr unsigned char kBinaryLogMarker = 0;

// Text variant: "FileId,LineNumber,InstructionNumber,ThreadId,Stackframe,StartOrStop,Nanos".
std::string EncodeEntryRecordText(const EntryRecord& record);
// Each field reads like a decimal integer (non-numeric gives 0), kept at its field's width.
EntryRecord DecodeEntryRecordText(std::string_view line);

namespace detail {

inline constexpr std::size_t kThreadIdOffset = 0;
inline constexpr std::size_t kStackframeOffset = 8;
inline constexpr std::size_t kFileIdOffset = 16;
inline constexpr std::size_t kLineNumberOffset = 20;
inline constexpr std::size_t kInstructionNumberOffset = 24;
inline constexpr std::size_t kStartOrStopOffset = 25;
inline constexpr std::size_t kNanosOffset = 26;

// A little-endian field as one load on little-endian hosts (memcpy of a fixed width compiles
// to a single move), byte by byte elsewhere.
template <typename Unsigned> Unsigned LoadLittleEndian(const unsigned char* bytes) {
    Unsigned value;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&value, bytes, sizeof value);
    } else {
        value = 0;
        for (std::size_t i = 0; i < sizeof value; ++i) {
            value |= static_cast<Unsigned>(static_cast<Unsigned>(bytes[i]) << (8 * i));
        }
    }
    return value;
}

} // namespace detail

inline void DecodeEntryRecord(const unsigned char* bytes, EntryRecord& record) {
    using namespace detail;
    record.ThreadId =
        static_cast<std::int64_t>(LoadLittleEndian<std::uint64_t>(bytes + kThreadIdOffset));
    record.Stackframe =
        static_cast<std::int64_t>(LoadLittleEndian<std::uint64_t>(bytes + kStackframeOffset));
    record.FileId =
        static_cast<std::int32_t>(LoadLittleEndian<std::uint32_t>(bytes + kFileIdOffset));
    record.LineNumber =
        static_cast<std::int32_t>(LoadLittleEndian<std::uint32_t>(bytes + kLineNumberOffset));
    record.InstructionNumber = static_cast<std::int8_t>(bytes[kInstructionNumberOffset]);
    record.StartOrStop = static_cast<std::int8_t>(bytes[kStartOrStopOffset]);
    record.Nanos = static_cast<std::int64_t>(LoadLittleEndian<std::uint64_t>(bytes + kNanosOffset));
}

inline EntryRecord DecodeEntryRecord(const unsigned char* bytes) {
    EntryRecord record;
    DecodeEntryRecord(bytes, record);
    return record;
}

} // namespace tickscope
