#include "runfiles/entry_log_reader.h"

#include <algorithm>
#include <cstring>

namespace tickscope {

namespace {

// Room before each piece for the unread end of the previous one: part of a binary record
// (text lines are gathered apart).
constexpr std::size_t kCarryRoom = 64;
static_assert(kCarryRoom >= kEntryRecordSize);

} // namespace

EntryLogReader::EntryLogReader(std::size_t bufferSize)
    : pieceSize_(bufferSize < 2 * kEntryRecordSize ? 2 * kEntryRecordSize : bufferSize) {}

EntryLogReader::~EntryLogReader() {
    Close();
}

void EntryLogReader::Close() {
    file_.reset();
    piece_ = {};
    begin_ = 0;
    text_ = false;
    position_ = 0;
    line_.clear();
}

bool EntryLogReader::Open(const std::string& path) {
    Close();
    // Only a regular file: a pipe in the run folder would block the load for ever, a device
    // such as /dev/zero would never end.
    std::optional<platform::OpenedFile> opened = platform::OpenRegularFile(path);
    if (!opened) {
        return false;
    }
    file_ = std::make_unique<ReadAheadFile>(std::move(opened->File), opened->Size, pieceSize_,
                                            kCarryRoom);
    if (!Fill()) {
        return true; // empty (or unreadable) log: no records
    }
    if (piece_[begin_] == kBinaryLogMarker) {
        ++begin_;
        position_ = 1;
    } else {
        text_ = true; // the text starts at the first byte
    }
    return true;
}

bool EntryLogReader::Fill() {
    if (!file_) {
        return false;
    }
    const std::span<unsigned char> next = file_->Next(piece_.subspan(begin_));
    if (next.empty()) {
        return false;
    }
    piece_ = next;
    begin_ = 0;
    return true;
}

bool EntryLogReader::Next(EntryRecord& record) {
    return NextBatch({&record, 1}) == 1;
}

bool EntryLogReader::HasBinaryRecord() {
    while (piece_.size() - begin_ < kEntryRecordSize) {
        if (!Fill()) {
            return false; // a shorter last record is ignored
        }
    }
    return true;
}

std::size_t EntryLogReader::NextBatch(std::span<EntryRecord> records) {
    if (!file_) {
        return 0;
    }
    std::size_t count = 0;
    if (text_) {
        while (count < records.size() && NextText(records[count])) {
            ++count;
        }
        return count;
    }
    if (!HasBinaryRecord()) {
        return 0;
    }
    count = std::min(records.size(), (piece_.size() - begin_) / kEntryRecordSize);
    const unsigned char* bytes = piece_.data() + begin_;
    for (std::size_t i = 0; i < count; ++i) {
        DecodeEntryRecord(bytes + i * kEntryRecordSize, records[i]);
    }
    begin_ += count * kEntryRecordSize;
    position_ += static_cast<std::int64_t>(count * kEntryRecordSize);
    return count;
}

bool EntryLogReader::NextText(EntryRecord& record) {
    line_.clear();
    for (;;) {
        if (begin_ == piece_.size() && !Fill()) {
            if (line_.empty()) {
                return false;
            }
            break; // last line without a line end
        }
        const unsigned char* start = piece_.data() + begin_;
        const std::size_t available = piece_.size() - begin_;
        std::size_t length = 0;
        while (length < available && start[length] != '\n' && start[length] != '\r') {
            ++length;
        }
        if (line_.size() < kMaxTextLine) {
            const std::size_t room = kMaxTextLine - line_.size();
            line_.append(reinterpret_cast<const char*>(start), length < room ? length : room);
        }
        begin_ += length;
        position_ += static_cast<std::int64_t>(length);
        if (length == available) {
            continue; // the line goes on in the next buffer
        }
        // CR, LF and CR LF all end a line; the LF of a CR LF then ends an empty line,
        // which is skipped like every empty line.
        ++begin_;
        ++position_;
        if (!line_.empty()) {
            break;
        }
    }
    record = DecodeEntryRecordText(line_);
    return true;
}

} // namespace tickscope
