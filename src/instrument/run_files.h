#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

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

// Run-information file (.tkr) layout around the embedded program information.
inline constexpr const char* kPreProgramInfosGroup = "PRE-PROGRAMINFOS";
inline constexpr const char* kPostProgramInfosGroup = "POST-PROGRAMINFOS";
std::string EncodeRunInformation(std::string_view programInformation, std::int64_t processId);

// Streams the records of an entry log one by one, in file order, through a large buffer.
// The form follows the marker byte: binary records after a 0, otherwise text lines from the
// first byte on. A last binary record shorter than 34 bytes is ignored; empty text lines
// are skipped.
class EntryLogReader {
  public:
    explicit EntryLogReader(std::size_t bufferSize = std::size_t{1} << 20);
    ~EntryLogReader();
    EntryLogReader(const EntryLogReader&) = delete;
    EntryLogReader& operator=(const EntryLogReader&) = delete;

    // False when the file cannot be opened (also for a name holding a NUL byte). An empty
    // file opens and yields no records.
    bool Open(const std::string& path);
    // The next record; false at the end of the log (or when nothing is open).
    bool Next(EntryRecord& record);
    void Close();

    bool IsText() const { return text_; }
    // Bytes consumed so far, the marker byte included; for progress against the file size.
    std::int64_t Position() const { return position_; }

    // Text lines longer than this are cut to it; no record line comes near it.
    static constexpr std::size_t kMaxTextLine = std::size_t{1} << 20;

  private:
    bool Fill(); // moves the unread bytes to the front and reads more; false if none came
    bool NextBinary(EntryRecord& record);
    bool NextText(EntryRecord& record);

    std::FILE* file_ = nullptr;
    std::vector<unsigned char> buffer_;
    std::size_t begin_ = 0; // first unread byte in buffer_
    std::size_t end_ = 0;   // one past the last valid byte in buffer_
    bool eof_ = false;
    bool text_ = false;
    std::int64_t position_ = 0;
    std::string line_;
};

} // namespace tickscope
