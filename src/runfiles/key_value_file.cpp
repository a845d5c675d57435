#include "runfiles/key_value_file.h"

#include "platform/file_reading.h"
#include "platform/platform.h"
#include "source/text_utils.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace tickscope {

namespace {

constexpr std::string_view kSeparator = " = ";
constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::size_t kReadBufferSize = 1 << 20;
constexpr std::size_t kMinReadBufferSize = 1 << 12; // holds any byte-order mark whole

} // namespace

// Consumes the file in chunks; keeps at most one line (or, for a rejected key, only the
// key) in memory.
class KeyValueFile::Parser {
  public:
    Parser(KeyValueFile& file, const KeyFilter& filter) : file_(file), filter_(filter) {}

    void Feed(std::string_view chunk) {
        if (atStart_) {
            // The first chunk is a full buffer or the whole file, so it holds the whole mark.
            atStart_ = false;
            if (StartsWith(chunk, kUtf8Mark)) {
                chunk.remove_prefix(kUtf8Mark.size());
            }
        }
        while (!chunk.empty()) {
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
        if (skipping_ || !line_.empty()) {
            EndLine();
        }
    }

  private:
    void Append(std::string_view piece) {
        const std::size_t searchFrom = line_.size() >= 2 ? line_.size() - 2 : 0;
        line_.append(piece);
        if (separator_ != std::string::npos) {
            return;
        }
        separator_ = line_.find(kSeparator, searchFrom);
        if (separator_ != std::string::npos && !Accepts(KeyOf(separator_))) {
            skipping_ = true;
            line_.clear();
        }
    }

    std::string_view KeyOf(std::size_t separator) const {
        return Trim(std::string_view(line_).substr(0, separator), kBlanks);
    }

    bool Accepts(std::string_view key) const { return !filter_ || filter_(group_, key); }

    void EndLine() {
        if (!skipping_) {
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
    const KeyFilter& filter_;
    std::string group_;
    std::string line_;
    std::size_t separator_ = std::string::npos;
    bool skipping_ = false;
    bool afterCarriageReturn_ = false;
    bool atStart_ = true;
};

bool KeyValueFile::Open(const std::string& path, const KeyFilter& filter) {
    groups_.clear();
    const platform::FileHandle file = platform::OpenRegularFile(path);
    if (!file) {
        return false;
    }
    Parser parser(*this, filter);
    // Most run-information files are small: a buffer as large as the file (up to the read
    // size), left uninitialised, spares a catalogue of thousands of runs the clearing of
    // a megabyte per file.
    const std::int64_t fileSize = platform::FileSize(path);
    const std::size_t bufferSize =
        fileSize < 0 ? kReadBufferSize
                     : std::clamp<std::size_t>(static_cast<std::size_t>(fileSize) + 1,
                                               kMinReadBufferSize, kReadBufferSize);
    const std::unique_ptr<char[]> buffer(new char[bufferSize]);
    while (true) {
        const std::size_t got = std::fread(buffer.get(), 1, bufferSize, file.get());
        if (got > 0) {
            parser.Feed(std::string_view(buffer.get(), got));
        }
        if (got < bufferSize) {
            break;
        }
    }
    if (std::ferror(file.get())) {
        groups_.clear();
        return false;
    }
    parser.Finish();
    return true;
}

void KeyValueFile::Parse(std::string_view content, const KeyFilter& filter) {
    groups_.clear();
    Parser parser(*this, filter);
    parser.Feed(content);
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
