#include "runfiles/program_info_file.h"

#include "source/text_utils.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>

namespace tickscope {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void AppendNumber(std::string& out, long long value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void AppendLine(std::string& out, std::string_view key, std::string_view value) {
    out += key;
    out += " = ";
    out += value;
    out += kLineEnd;
}

void AppendLine(std::string& out, std::string_view key, long long value) {
    out += key;
    out += " = ";
    AppendNumber(out, value);
    out += kLineEnd;
}

// The escaping of one byte: its replacement, of one or two bytes ("=" is handled apart).
struct Escape {
    std::array<char, 2> Bytes;
    std::uint8_t Length;
};

constexpr std::array<Escape, 256> kEscapes = [] {
    std::array<Escape, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c) {
        table[c] = {{static_cast<char>(c), 0}, 1};
    }
    table[' '] = {{'\\', 'b'}, 2};
    table['\t'] = {{'\\', 't'}, 2};
    return table;
}();

// Writes the escaped code at `at`, which has room for five bytes per byte of code.
char* PutEncoded(char* at, std::string_view code) {
    for (const char c : code) {
        if (c == '=') {
            std::memcpy(at, "{EQU}", 5);
            at += 5;
            continue;
        }
        // Both bytes are stored; a one-byte escape's second byte is overwritten next.
        const Escape& escape = kEscapes[static_cast<unsigned char>(c)];
        std::memcpy(at, escape.Bytes.data(), 2);
        at += escape.Length;
    }
    return at;
}

void AppendEncoded(std::string& out, std::string_view code) {
    const std::size_t start = out.size();
    out.resize(start + 5 * code.size());
    out.resize(static_cast<std::size_t>(PutEncoded(out.data() + start, code) - out.data()));
}

char* Put(char* at, std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

char* PutNumber(char* at, long long value) {
    return std::to_chars(at, at + 24, value).ptr;
}

// Bytes written through a pointer: room for a whole block of lines is made at once, then
// each piece is stored without a check.
class BlockBuffer {
  public:
    char* Room(std::size_t bytes) {
        if (capacity_ - size_ < bytes) {
            const std::size_t capacity = std::max(2 * capacity_, size_ + bytes);
            auto grown = std::make_unique_for_overwrite<char[]>(capacity);
            if (size_ > 0) { // data_ is null before the first room
                std::memcpy(grown.get(), data_.get(), size_);
            }
            data_ = std::move(grown);
            capacity_ = capacity;
        }
        return data_.get() + size_;
    }
    void Written(const char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }
    std::string_view View() const { return {data_.get(), size_}; }
    std::size_t Size() const { return size_; }
    void Clear() { size_ = 0; }

  private:
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// The block of line n: its fields, then the scope id and code of each instruction.
char* PutLineBlock(char* at, long long n, const LineOfCode& line) {
    char lineKey[32] = "LineOfCode.";
    const std::size_t prefix = sizeof "LineOfCode." - 1;
    const std::string_view key(
        lineKey,
        static_cast<std::size_t>(std::to_chars(lineKey + prefix, lineKey + 32, n).ptr - lineKey));
    at = Put(Put(at, key), ".SourceFileId = ");
    at = Put(PutNumber(at, line.SourceFileId), kLineEnd);
    at = Put(Put(at, key), ".LineNumber = ");
    at = Put(PutNumber(at, line.LineNumber), kLineEnd);
    at = Put(Put(at, key), ".Code = ");
    const char* const code = at;
    at = PutEncoded(at, line.Code);
    const std::string_view encodedCode(code, static_cast<std::size_t>(at - code));
    at = Put(at, kLineEnd);
    at = Put(Put(at, key), ".Instructions = ");
    at = Put(PutNumber(at, static_cast<long long>(line.Instructions.size())), kLineEnd);
    long long m = 0;
    for (const Instruction& instruction : line.Instructions) {
        at = Put(Put(at, key), ".Instruction.");
        char* const number = at;
        at = PutNumber(at, ++m);
        const std::string_view instructionKey(number, static_cast<std::size_t>(at - number));
        at = Put(PutNumber(Put(at, ".ScopeId = "), instruction.ScopeId), kLineEnd);
        at = Put(Put(Put(Put(at, key), ".Instruction."), instructionKey), ".Code = ");
        // Most lines are one statement: its code is the line's, already escaped.
        if (instruction.CodeStart == 0 && instruction.CodeLength == line.Code.size()) {
            at = Put(at, encodedCode);
        } else {
            at = PutEncoded(at, line.TextOf(instruction));
        }
        at = Put(at, kLineEnd);
    }
    return at;
}

// Room a line's block can take at most: five bytes per byte of code and of each statement's
// code, and the keys and numbers.
std::size_t BlockBound(const LineOfCode& line) {
    constexpr std::size_t kKeyAndNumber = 96;
    std::size_t bound = 4 * kKeyAndNumber + 5 * line.Code.size();
    for (const Instruction& instruction : line.Instructions) {
        bound += 2 * kKeyAndNumber + 5 * line.TextOf(instruction).size();
    }
    return bound;
}

} // namespace

std::string EncodeProgramInfoValue(std::string_view code) {
    std::string result;
    result.reserve(code.size() + code.size() / 4);
    AppendEncoded(result, code);
    return result;
}

std::string DecodeProgramInfoValue(std::string_view value) {
    std::string result = ReplaceAll(value, "{EQU}", "=");
    result = ReplaceAll(result, "\\b", " ");
    return ReplaceAll(result, "\\t", "  ");
}

void WriteProgramInfo(const ProgramInfo& program, TextSink& sink) {
    constexpr std::size_t kChunk = std::size_t{256} << 10;
    std::string out;
    out.reserve(kChunk + 4096);
    const auto flushIfFull = [&] {
        if (out.size() >= kChunk) {
            sink.Write(out);
            out.clear();
        }
    };

    AppendLine(out, "Path", program.Path);
    out += kLineEnd;
    AppendLine(out, "SourceFileIds", static_cast<long long>(program.SourceFileIds.Size()));
    for (const auto& [path, id] : program.SourceFileIds) {
        AppendLine(out, "SourceFileId." + std::to_string(id), path);
        flushIfFull();
    }
    out += kLineEnd;
    AppendLine(out, "ScopeIds", static_cast<long long>(program.ScopeIds.Size()));
    for (const auto& [name, id] : program.ScopeIds) {
        AppendLine(out, "ScopeId." + std::to_string(id), name);
        flushIfFull();
    }
    out += kLineEnd;
    AppendLine(out, "LinesOfCode", static_cast<long long>(program.LinesOfCode.size()));

    sink.Write(out);

    BlockBuffer blocks;
    long long n = 0;
    for (const LineOfCode& line : program.LinesOfCode) {
        blocks.Written(PutLineBlock(blocks.Room(BlockBound(line)), ++n, line));
        if (blocks.Size() >= kChunk) {
            sink.Write(blocks.View());
            blocks.Clear();
        }
    }
    sink.Write(blocks.View());
}

std::string WriteProgramInfo(const ProgramInfo& program) {
    StringSink sink;
    WriteProgramInfo(program, sink);
    return std::move(sink.Text);
}

} // namespace tickscope
