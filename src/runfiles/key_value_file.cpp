#include "runfiles/key_value_file.h"

#include "platform/file_reading.h"
#include "platform/platform.h"
#include "source/text_utils.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

namespace tickscope {

namespace {

constexpr std::string_view kSeparator = " = ";
constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::size_t kReadBufferSize = 1 << 20;
constexpr std::size_t kMinReadBufferSize = 1 << 12; // holds any byte-order mark whole

} // namespace

// Consumes the file in chunks; keeps at most one line (or, for a rejected key, only the
// key) in memory, and never more than the line limit.
class KeyValueFile::Parser {
  public:
    Parser(KeyValueFile& file, const ReadOptions& options) : file_(file), options_(options) {}

    // Whether a StopAt key was met: nothing more is to be read.
    bool Stopped() const { return stopped_; }

    void Feed(std::string_view chunk) {
        if (atStart_) {
            // The first chunk is a full buffer or the whole file, so it holds the whole mark.
            atStart_ = false;
            if (StartsWith(chunk, kUtf8Mark)) {
                chunk.remove_prefix(kUtf8Mark.size());
            }
        }
        while (!chunk.empty() && !stopped_) {
            if (afterCarriageReturn_) {
                afterCarriageReturn_ = false;
                if (chunk.front() == '\n') {
                    chunk.remove_prefix(1);
                    continue;
                }
            }
            const auto end = chunk.find_first_of("\r\n");
            const std::string_view piece = chunk.substr(0, end);
            if (!skipping_) {
                Append(piece);
            }
            if (end == std::string_view::npos) {
                return;
            }
            afterCarriageReturn_ = chunk[end] == '\r';
            EndLine();
            chunk.remove_prefix(end + 1);
        }
    }

    void Finish() {
        if (!stopped_ && (skipping_ || !line_.empty())) {
            EndLine();
        }
    }

  private:
    void Append(std::string_view piece) {
        if (line_.size() + piece.size() > kMaxLineLength) {
            skipping_ = true; // the whole line is dropped
            line_.clear();
            return;
        }
        const std::size_t searchFrom = line_.size() >= 2 ? line_.size() - 2 : 0;
        line_.append(piece);
        if (separator_ != std::string::npos) {
            return;
        }
        separator_ = line_.find(kSeparator, searchFrom);
        if (separator_ == std::string::npos) {
            return;
        }
        const std::string_view key = KeyOf(separator_);
        if (options_.StopAt && options_.StopAt(group_, key)) {
            stopped_ = true;
        } else if (!Accepts(key)) {
            skipping_ = true;
            line_.clear();
        }
    }

    std::string_view KeyOf(std::size_t separator) const {
        return Trim(std::string_view(line_).substr(0, separator), kBlanks);
    }

    bool Accepts(std::string_view key) const {
        return !options_.Keep || options_.Keep(group_, key);
    }

    void EndLine() {
        if (!skipping_ && !stopped_) {
            ProcessLine();
        }
        line_.clear();
        separator_ = std::string::npos;
        skipping_ = false;
    }

    void ProcessLine() {
        if (separator_ != std::string::npos) {
            Store(KeyOf(separator_),
                  std::string_view(line_).substr(separator_ + kSeparator.size()));
            return;
        }
        const std::string_view trimmed = Trim(line_, kBlanks);
        if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
            group_ = std::string(trimmed.substr(1, trimmed.size() - 2));
            return;
        }
        // "key =" whose trailing blank was lost: an empty value.
        if (EndsWith(line_, " =")) {
            const std::string_view key = KeyOf(line_.size() - 2);
            if (Accepts(key)) {
                Store(key, {});
            }
        }
    }

    void Store(std::string_view key, std::string_view value) {
        if (key.empty()) {
            return;
        }
        file_.groups_[group_].insert_or_assign(std::string(key), std::string(value));
    }

    KeyValueFile& file_;
    const ReadOptions& options_;
    std::string group_;
    std::string line_;
    std::size_t separator_ = std::string::npos;
    bool skipping_ = false;
    bool stopped_ = false;
    bool afterCarriageReturn_ = false;
    bool atStart_ = true;
};

bool KeyValueFile::Open(const std::string& path, const KeyFilter& filter) {
    return Open(path, ReadOptions{filter, {}});
}

bool KeyValueFile::Open(const std::string& path, const ReadOptions& options) {
    groups_.clear();
    const std::optional<platform::OpenedFile> opened = platform::OpenRegularFile(path);
    if (!opened) {
        return false;
    }
    std::FILE* file = opened->File.get();
    std::uint64_t unread = std::min(opened->Size, options.MaxBytes);
    Parser parser(*this, options);
    // Most run-information files are small: a buffer as large as the file (up to the read
    // size), left uninitialised, spares a catalogue of thousands of runs the clearing of
    // a megabyte per file.
    const std::size_t bufferSize = static_cast<std::size_t>(
        std::clamp<std::uint64_t>(unread + 1, kMinReadBufferSize, kReadBufferSize));
    const std::unique_ptr<char[]> buffer(new char[bufferSize]);
    while (unread > 0 && !parser.Stopped()) {
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(unread, bufferSize));
        const std::size_t got = std::fread(buffer.get(), 1, wanted, file);
        unread -= got;
        if (got > 0) {
            parser.Feed(std::string_view(buffer.get(), got));
        }
        if (got < wanted) {
            break;
        }
    }
    if (std::ferror(file)) {
        groups_.clear();
        return false;
    }
    parser.Finish();
    return true;
}

void KeyValueFile::Parse(std::string_view content, const KeyFilter& filter) {
    Parse(content, ReadOptions{filter, {}});
}

void KeyValueFile::Parse(std::string_view content, const ReadOptions& options) {
    groups_.clear();
    Parser parser(*this, options);
    parser.Feed(content.substr(
        0, static_cast<std::size_t>(std::min<std::uint64_t>(content.size(), options.MaxBytes))));
    parser.Finish();
}

const std::unordered_map<std::string, std::string>&
KeyValueFile::Group(const std::string& group) const {
    static const std::unordered_map<std::string, std::string> empty;
    const auto it = groups_.find(group);
    return it == groups_.end() ? empty : it->second;
}

bool KeyValueFile::Has(const std::string& key) const {
    return Group(group_).count(key) != 0;
}

std::string KeyValueFile::ReadString(const std::string& key, const std::string& fallback) const {
    const auto& keys = Group(group_);
    const auto it = keys.find(key);
    return it == keys.end() ? fallback : it->second;
}

} // namespace tickscope
