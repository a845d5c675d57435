#pragma once

#include "runfiles/entry_record.h"
#include "runfiles/read_ahead_file.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tickscope {

// Streams the records of an entry log in file order, read in large pieces (the next piece
// read ahead on a second thread for a large log, see ReadAheadFile).
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
    // The next records, as many as fit in `records` and the buffer holds (at least one while
    // the log has one); how many were written, 0 at the end. Loaders take records this way,
    // a few thousand per call.
    std::size_t NextBatch(std::span<EntryRecord> records);
    void Close();

    bool IsText() const { return text_; }
    // Bytes consumed so far, the marker byte included; for progress against the file size.
    std::int64_t Position() const { return position_; }

    // Text lines longer than this are cut to it; no record line comes near it.
    static constexpr std::size_t kMaxTextLine = std::size_t{1} << 20;

  private:
    bool Fill();            // the next piece after the unread bytes; false if no more came
    bool HasBinaryRecord(); // fills until a whole record is buffered; false at the end
    bool NextText(EntryRecord& record);

    std::size_t pieceSize_;
    std::unique_ptr<ReadAheadFile> file_;
    std::span<unsigned char> piece_; // the bytes read last
    std::size_t begin_ = 0;          // first unread byte in piece_
    bool text_ = false;
    std::int64_t position_ = 0;
    std::string line_;
};

} // namespace tickscope
