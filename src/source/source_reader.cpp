#include "source/source_reader.h"

#include <openssl/evp.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace tickscope {

namespace {

bool StartsWithBytes(std::string_view bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && bytes.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

std::size_t ByteOrderMarkLength(std::string_view bytes) {
    using namespace std::string_view_literals;
    // UTF-32 LE before UTF-16 LE: both start with FF FE.
    if (StartsWithBytes(bytes, "\xFF\xFE\x00\x00"sv) ||
        StartsWithBytes(bytes, "\x00\x00\xFE\xFF"sv)) {
        return 4;
    }
    if (StartsWithBytes(bytes, "\xEF\xBB\xBF"sv)) {
        return 3;
    }
    if (StartsWithBytes(bytes, "\xFF\xFE"sv) || StartsWithBytes(bytes, "\xFE\xFF"sv)) {
        return 2;
    }
    return 0;
}

std::string Md5Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1) {
        return {};
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0x0F];
    }
    return text;
}

std::uint64_t ContentHash(std::string_view bytes, std::uint64_t seed) {
    // Four independent lanes of multiply and rotate over 8-byte words, folded at the end.
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    std::uint64_t lanes[4] = {seed ^ bytes.size(), std::rotl(seed, 16) + 1, std::rotl(seed, 32) + 2,
                              std::rotl(seed, 48) + 3};
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left >= 32) {
        for (std::uint64_t& lane : lanes) {
            std::uint64_t word;
            std::memcpy(&word, data, 8);
            lane = std::rotl((lane ^ word) * kMultiplier, 29);
            data += 8;
        }
        left -= 32;
    }
    std::uint64_t hash = seed;
    for (const std::uint64_t lane : lanes) {
        hash = std::rotl((hash ^ lane) * kMultiplier, 29);
    }
    for (; left > 0; --left, ++data) {
        hash = (hash ^ static_cast<unsigned char>(*data)) * kMultiplier;
    }
    hash = (hash ^ (hash >> 31)) * kMultiplier;
    return hash ^ (hash >> 29);
}

namespace {

// Whether any byte of the word is `byte` (the classic test for a zero byte after XOR).
bool HasByte(std::uint64_t word, unsigned char byte) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    const std::uint64_t x = word ^ (kOnes * byte);
    return ((x - kOnes) & ~x & (kOnes << 7)) != 0;
}

// The first CR or LF at or after `from`, or `end`. Eight bytes are tested at a time: most
// of a line holds neither.
const char* NextLineEnd(const char* from, const char* end) {
    while (end - from >= 8) {
        std::uint64_t word;
        std::memcpy(&word, from, 8);
        if (HasByte(word, '\n') || HasByte(word, '\r')) {
            break;
        }
        from += 8;
    }
    while (from < end && *from != '\n' && *from != '\r') {
        ++from;
    }
    return from;
}

} // namespace

bool LineSplitter::Next(std::string_view& line) {
    if (position_ >= text_.size()) {
        return false;
    }
    const char* const start = text_.data() + position_;
    const char* const end = text_.data() + text_.size();
    const char* const lineEnd = NextLineEnd(start, end);
    line = std::string_view(start, static_cast<std::size_t>(lineEnd - start));
    const char* next = lineEnd;
    if (next < end) {
        next += (*next == '\r' && next + 1 < end && next[1] == '\n') ? 2 : 1;
    }
    position_ = static_cast<std::size_t>(next - text_.data());
    return true;
}

} // namespace tickscope
