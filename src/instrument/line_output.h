#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tickscope {

// The output lines ("elements") that stand for one line of code in the written program, kept
// as the text they make there: every element followed by a line feed. An element may hold
// line feeds of its own (the x86 probes do), so where each one ends is kept beside the text.
class LineOutput {
  public:
    void Clear() {
        text_.clear();
        ends_.clear();
    }
    std::size_t Count() const { return ends_.size(); }
    bool Empty() const { return ends_.empty(); }

    // Element i without its line feed.
    std::string_view Element(std::size_t i) const {
        const std::size_t start = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(text_).substr(start, ends_[i] - 1 - start);
    }

    void Append(std::string_view element) {
        text_.append(element);
        CloseElement();
    }
    // Writing an element in pieces: append to Open(), then CloseElement().
    std::string& Open() { return text_; }
    void CloseElement() {
        text_.push_back('\n');
        ends_.push_back(static_cast<std::uint32_t>(text_.size()));
    }

    // Puts an element before element `index` (at the end when index is Count()).
    void Insert(std::size_t index, std::string_view element) {
        const std::size_t start = index == 0 ? 0 : ends_[index - 1];
        text_.insert(start, element);
        text_.insert(start + element.size(), 1, '\n');
        const auto grown = static_cast<std::uint32_t>(element.size() + 1);
        for (std::size_t i = index; i < ends_.size(); ++i) {
            ends_[i] += grown;
        }
        ends_.insert(ends_.begin() + static_cast<std::ptrdiff_t>(index),
                     static_cast<std::uint32_t>(start + element.size() + 1));
    }

    // The elements as the program holds them, each followed by a line feed.
    const std::string& Text() const { return text_; }

    std::vector<std::string> Elements() const {
        std::vector<std::string> elements;
        elements.reserve(ends_.size());
        for (std::size_t i = 0; i < ends_.size(); ++i) {
            elements.emplace_back(Element(i));
        }
        return elements;
    }

  private:
    std::string text_;
    std::vector<std::uint32_t> ends_; // offset just past each element's line feed
};

} // namespace tickscope
