#pragma once

#include <string>
#include <string_view>

namespace tickscope {

// Receives a text piece by piece: a file being written, or a string in memory. Writers of
// large texts (the program information, the instrumented program) stream into one, so the
// whole text is never held.
class TextSink {
  public:
    virtual ~TextSink() = default;
    virtual void Write(std::string_view text) = 0;
};

// Collects the text in memory.
class StringSink final : public TextSink {
  public:
    void Write(std::string_view text) override { Text.append(text); }
    std::string Text;
};

} // namespace tickscope
