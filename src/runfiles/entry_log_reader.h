#pragma once

#include "platform/file_reading.h"
#include "runfiles/entry_record.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tickscope {

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

    // False when the file cannot be opened or is no regular file (also for a name holding a
    // NUL byte). An empty file opens and yields no records. The log is read up to the size
    // it had when opened: a log that grows meanwhile is not followed.
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

    platform::FileHandle file_;
    std::uint64_t unreadBytes_ = 0; // of the size the file had when opened
    std::vector<unsigned char> buffer_;
    std::size_t begin_ = 0; // first unread byte in buffer_
    std::size_t end_ = 0;   // one past the last valid byte in buffer_
    bool eof_ = false;
    bool text_ = false;
    std::int64_t position_ = 0;
    std::string line_;
};

} // namespace tickscope
