#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tickscope {

// Length of the byte-order mark at the start of the bytes (UTF-8, UTF-16 or UTF-32 in
// either byte order), 0 when there is none.
std::size_t ByteOrderMarkLength(std::string_view bytes);

// MD5 digest of the bytes as 32 lower-case hexadecimal digits.
std::string Md5Hex(std::string_view bytes);

// A fast 64-bit hash of the bytes for finding equal contents; equal hashes still need a
// comparison of the bytes. A seed unknown to the files' authors keeps them from making many
// files of one hash, which would cost a comparison with each.
std::uint64_t ContentHash(std::string_view bytes, std::uint64_t seed);

// Cuts text into lines ending at CR, LF or CR LF. A last line without terminator is a
// line; a terminator at the very end does not start another one.
class LineSplitter {
  public:
    explicit LineSplitter(std::string_view text) : text_(text) {}

    // The next line without its terminator; false when the text is used up.
    bool Next(std::string_view& line);

    // Bytes not yet consumed.
    std::size_t Remaining() const { return text_.size() - position_; }

  private:
    std::string_view text_;
    std::size_t position_ = 0;
};

} // namespace tickscope
