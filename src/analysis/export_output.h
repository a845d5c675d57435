#pragma once

#include "platform/text_sink.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace tickscope {

// Where an export goes (standard output, a file): a text sink that remembers whether a
// write failed, so that a long export stops early.
class ExportSink : public TextSink {
  public:
    virtual bool Failed() const = 0;
};

// Collects small pieces and hands them to the sink in large ones: the buffer grows up to
// its capacity, then is handed over. It is also the output stream of RapidJSON's writer
// (Ch, Put, Flush); Flush hands over what is buffered.
class OutputBuffer {
  public:
    using Ch = char;

    explicit OutputBuffer(TextSink& sink, std::size_t capacity = std::size_t{1} << 20)
        : sink_(&sink), capacity_(std::max<std::size_t>(capacity, 64)) {}
    ~OutputBuffer() { Flush(); }
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    void Put(char c) {
        if (size_ == allocated_) {
            MakeRoom(1);
        }
        data_[size_++] = c;
    }
    void Write(std::string_view text) {
        if (text.size() > allocated_ - size_) {
            MakeRoom(text.size());
            if (text.size() > allocated_ - size_) {
                sink_->Write(text); // larger than the whole buffer
                return;
            }
        }
        std::memcpy(data_.get() + size_, text.data(), text.size());
        size_ += text.size();
    }
    void WriteInteger(std::int64_t value) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        Write(std::string_view(digits, static_cast<std::size_t>(end - digits)));
    }
    void Flush() {
        if (size_ > 0) {
            sink_->Write(std::string_view(data_.get(), size_));
            size_ = 0;
        }
    }
    std::size_t Buffered() const { return size_; }

  private:
    // Grows the buffer while it is below its capacity, else hands it over.
    void MakeRoom(std::size_t bytes) {
        if (allocated_ < capacity_) {
            const std::size_t grown =
                std::min(capacity_, std::max({std::size_t{256}, 2 * allocated_, size_ + bytes}));
            std::unique_ptr<char[]> larger(new char[grown]);
            if (size_ > 0) {
                std::memcpy(larger.get(), data_.get(), size_);
            }
            data_ = std::move(larger);
            allocated_ = grown;
        }
        if (bytes > allocated_ - size_) {
            Flush();
        }
    }

    TextSink* sink_;
    std::size_t capacity_;
    std::unique_ptr<char[]> data_;
    std::size_t allocated_ = 0;
    std::size_t size_ = 0;
};

// Nanoseconds as a decimal number of microseconds with three decimals, exact: "1234.567",
// "-0.005". Writes into `buffer` (at least 32 bytes), returns the length.
std::size_t MicrosecondsText(std::int64_t nanos, char* buffer);

} // namespace tickscope
