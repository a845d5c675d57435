#pragma once

#include <cstddef>
#include <string_view>

namespace tickscope {

// A text stream over bytes in memory (the bytes must outlive it).
class MemoryTextStream {
  public:
    explicit MemoryTextStream(std::string_view bytes) : bytes_(bytes) {}

    bool AtEnd() const { return position_ >= bytes_.size(); }
    std::size_t Position() const { return position_; }

    // The next line without its terminator. A CR ends the line and the byte after it is
    // taken as its LF, whatever it is; an LF alone ends the line. The line is cut at its
    // first zero byte. A CR as the last byte ends the line (the position then passes the end).
    std::string_view ReadMemoryLine();

  private:
    std::string_view bytes_;
    std::size_t position_ = 0;
};

} // namespace tickscope
