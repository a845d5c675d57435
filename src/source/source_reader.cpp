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

std::size_t LineSplitter::NextOf(char terminator, std::size_t& cached) {
    // A cached position before the current one is stale; one past the end means "none left".
    if (cached < position_ || cached == kUnknown) {
        const void* hit =
            std::memchr(text_.data() + position_, terminator, text_.size() - position_);
        cached = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data())
                     : text_.size();
    }
    return cached;
}

bool LineSplitter::Next(std::string_view& line) {
    if (position_ >= text_.size()) {
        return false;
    }
    // Each terminator kind is searched once per occurrence, so text with only CR (or only
    // LF) line ends is still read in linear time.
    const std::size_t end = std::min(NextOf('\n', nextLf_), NextOf('\r', nextCr_));
    line = text_.substr(position_, end - position_);
    std::size_t next = end;
    if (next < text_.size()) {
        next += (text_[next] == '\r' && next + 1 < text_.size() && text_[next + 1] == '\n') ? 2 : 1;
    }
    position_ = next;
    return true;
}

} // namespace tickscope
