#pragma once

// Shared helpers of the fuzz targets. Every target defines LLVMFuzzerTestOneInput; a broken
// invariant prints what went wrong and aborts, which libFuzzer reports as a crash and the
// regression replay as a failed test.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace tickscope::fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* condition,
                              const std::string& detail) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    if (!detail.empty()) {
        std::fprintf(stderr, "  %s\n", detail.c_str());
    }
    std::fflush(stderr);
    std::abort();
}

// Printable form of a text for failure messages: control bytes as \xNN, cut to 200 bytes.
inline std::string Show(std::string_view text) {
    std::string shown = "\"";
    for (std::size_t i = 0; i < text.size() && i < 200; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
            shown += buffer;
        } else {
            shown += static_cast<char>(c);
        }
    }
    shown += text.size() > 200 ? "\"..." : "\"";
    return shown;
}

// Length of a leading byte-order mark (UTF-32 either order, UTF-8, UTF-16 either order).
inline std::size_t MarkLength(std::string_view bytes) {
    using namespace std::string_view_literals;
    for (const std::string_view mark : {"\xFF\xFE\x00\x00"sv, "\x00\x00\xFE\xFF"sv,
                                        "\xEF\xBB\xBF"sv, "\xFF\xFE"sv, "\xFE\xFF"sv}) {
        if (bytes.starts_with(mark)) {
            return mark.size();
        }
    }
    return 0;
}

// Reads the fuzz input front to back; past the end every read yields 0 / empty.
class InputReader {
  public:
    InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool AtEnd() const { return position_ >= size_; }
    std::size_t Remaining() const { return AtEnd() ? 0 : size_ - position_; }
    std::uint8_t Byte() { return AtEnd() ? 0 : data_[position_++]; }
    std::uint64_t Bytes(int count) {
        std::uint64_t value = 0;
        for (int i = 0; i < count; ++i) {
            value |= static_cast<std::uint64_t>(Byte()) << (8 * i);
        }
        return value;
    }
    std::string_view Rest() {
        std::string_view rest(reinterpret_cast<const char*>(data_) + position_, Remaining());
        position_ = size_;
        return rest;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// One scratch folder per process below the temporary folder, emptied between inputs and
// removed at exit. The folder name carries the process id so that parallel fuzzers and test
// programs never share it.
class ScratchFolder {
  public:
    static ScratchFolder& Get() {
        static ScratchFolder folder;
        return folder;
    }
    const std::filesystem::path& Path() const { return path_; }

    // Removes everything inside (the folder itself stays).
    void Empty() const {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(path_, ignored)) {
            std::filesystem::remove_all(entry.path(), ignored);
        }
    }
    std::string Write(const std::string& name, std::string_view bytes) const {
        const std::filesystem::path file = path_ / name;
        std::error_code ignored;
        std::filesystem::create_directories(file.parent_path(), ignored);
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }

  private:
    ScratchFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("tickscope-fuzz-" + std::to_string(::getpid()));
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
        std::filesystem::create_directories(path_, ignored);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::filesystem::path path_;
};

} // namespace tickscope::fuzz

#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            ::tickscope::fuzz::Fail(__FILE__, __LINE__, #condition, (detail));                     \
        }                                                                                          \
    } while (false)
