#include "runfiles/entry_log_reader.h"

#include <cstring>

namespace tickscope {

EntryLogReader::EntryLogReader(std::size_t bufferSize)
    : buffer_(bufferSize < 2 * kEntryRecordSize ? 2 * kEntryRecordSize : bufferSize) {}

EntryLogReader::~EntryLogReader() {
    Close();
}

void EntryLogReader::Close() {
    file_.reset();
    unreadBytes_ = 0;
    begin_ = end_ = 0;
    eof_ = true;
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
    file_ = std::move(opened->File);
    unreadBytes_ = opened->Size;
    eof_ = false;
    if (!Fill()) {
        return true; // empty (or unreadable) log: no records
    }
    if (buffer_[begin_] == kBinaryLogMarker) {
        ++begin_;
        position_ = 1;
    } else {
        text_ = true; // the text starts at the first byte
    }
    return true;
}

bool EntryLogReader::Fill() {
    if (eof_ || !file_) {
        return false;
    }
    const std::size_t unread = end_ - begin_;
    if (unread > 0 && begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, unread);
    }
    begin_ = 0;
    end_ = unread;
    const std::size_t room = buffer_.size() - end_;
    const std::size_t wanted = unreadBytes_ < room ? static_cast<std::size_t>(unreadBytes_) : room;
    const std::size_t got =
        wanted == 0 ? 0 : std::fread(buffer_.data() + end_, 1, wanted, file_.get());
    unreadBytes_ -= got;
    end_ += got;
    if (got == 0) {
        eof_ = true; // end of file, or a read error (e.g. a folder): no more bytes either way
    }
    return got > 0;
}

bool EntryLogReader::Next(EntryRecord& record) {
    if (!file_) {
        return false;
    }
    return text_ ? NextText(record) : NextBinary(record);
}

bool EntryLogReader::NextBinary(EntryRecord& record) {
    while (end_ - begin_ < kEntryRecordSize) {
        if (!Fill()) {
            return false; // a shorter last record is ignored
        }
    }
    record = DecodeEntryRecord(buffer_.data() + begin_);
    begin_ += kEntryRecordSize;
    position_ += static_cast<std::int64_t>(kEntryRecordSize);
    return true;
}

bool EntryLogReader::NextText(EntryRecord& record) {
    line_.clear();
    for (;;) {
        if (begin_ == end_ && !Fill()) {
            if (line_.empty()) {
                return false;
            }
            break; // last line without a line end
        }
        const unsigned char* start = buffer_.data() + begin_;
        const std::size_t available = end_ - begin_;
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
