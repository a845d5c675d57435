#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace tickscope {

// The text of a line of code. It reads like a std::string_view. Assigned or copied text is a
// copy of its own; only the loader makes texts that point into bytes the program keeps (its
// source files as read, in ProgramInfo::SourceTexts), which spares a copy per line. A moved
// text keeps pointing where it did, so lines move freely within their program.
class CodeText {
  public:
    CodeText() = default;
    explicit CodeText(std::string_view text) { Assign(text); }
    CodeText(const CodeText& other) { Assign(other.View()); }
    CodeText(CodeText&& other) noexcept
        : owned_(std::move(other.owned_)), data_(other.data_), size_(other.size_) {
        other.data_ = nullptr;
        other.size_ = 0;
    }
    CodeText& operator=(const CodeText& other) {
        if (this != &other) {
            Assign(other.View());
        }
        return *this;
    }
    CodeText& operator=(CodeText&& other) noexcept {
        owned_ = std::move(other.owned_);
        data_ = other.data_;
        size_ = other.size_;
        other.data_ = nullptr;
        other.size_ = 0;
        return *this;
    }
    CodeText& operator=(std::string_view text) {
        Assign(text);
        return *this;
    }
    CodeText& operator=(const std::string& text) { return *this = std::string_view(text); }
    CodeText& operator=(const char* text) { return *this = std::string_view(text); }

    // A text that points into bytes kept elsewhere for as long as it is used.
    static CodeText Borrowed(std::string_view text) {
        CodeText borrowed;
        borrowed.data_ = text.data();
        borrowed.size_ = text.size();
        return borrowed;
    }

    std::string_view View() const { return {data_, size_}; }
    operator std::string_view() const { return View(); }
    explicit operator std::string() const { return std::string(View()); }

    const char* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    char operator[](std::size_t i) const { return data_[i]; }
    const char* begin() const { return data_; }
    const char* end() const { return data_ + size_; }
    std::size_t find(std::string_view text, std::size_t from = 0) const {
        return View().find(text, from);
    }
    std::size_t find(char c, std::size_t from = 0) const { return View().find(c, from); }

    // Puts text in front, in storage of its own. Each change copies the whole text, so a
    // text built piece by piece is built as a std::string first.
    void Prepend(std::string_view text) { Replace(text, View()); }

    friend bool operator==(const CodeText& a, const CodeText& b) { return a.View() == b.View(); }
    friend bool operator==(const CodeText& a, std::string_view b) { return a.View() == b; }
    friend std::ostream& operator<<(std::ostream& out, const CodeText& text) {
        return out << text.View();
    }

  private:
    void Assign(std::string_view text) { Replace({}, text); }
    // Makes the text head + rest in storage of its own (the parts may point into the
    // current text).
    void Replace(std::string_view head, std::string_view rest) {
        const std::size_t size = head.size() + rest.size();
        std::unique_ptr<char[]> storage(size > 0 ? new char[size] : nullptr);
        char* at = storage.get();
        for (const std::string_view part : {head, rest}) {
            if (!part.empty()) {
                std::memcpy(at, part.data(), part.size());
                at += part.size();
            }
        }
        owned_ = std::move(storage);
        data_ = owned_.get();
        size_ = size;
    }

    std::unique_ptr<char[]> owned_; // empty when the text is borrowed (or empty)
    const char* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace tickscope
