#pragma once

#include <cstdint>
#include <string>

namespace tickscope {

// Receives the progress of a long operation (loading a run). The window shows a bar; the
// command-line tool ignores it.
//   ShowProgress(0, text, total)   opens the progress display with this maximum,
//   ShowProgress(value, text, -1)  updates it (an empty text keeps the previous one),
//   ShowProgress(total, "", -1)    with the value equal to the maximum closes it.
class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
    virtual void ShowProgress(std::int64_t value, const std::string& text,
                              std::int64_t maximum) = 0;
};

// A sink that shows nothing.
class SilentProgress final : public ProgressSink {
  public:
    void ShowProgress(std::int64_t, const std::string&, std::int64_t) override {}
};

} // namespace tickscope
