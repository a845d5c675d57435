#pragma once

// What the HTML pages of the report tool share: escaping, the buffered writer over a text
// sink, and the page's frame (style, script, heading) that needs nothing from the network.

#include "analysis/time_mode.h"
#include "platform/text_sink.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tickscope {

// Text for an HTML element or a quoted attribute: the text as TextAsUtf8 gives it, with
// & < > " ' as character references and control characters (but tab) in caret notation,
// "^[" for ESC, so that no text of a run can open an element or end an attribute.
std::string HtmlText(std::string_view text);

// JSON text made safe inside a <script> element: "<", ">" and "&" written as \u003c,
// \u003e and \u0026 (they can only stand inside strings), so no "</script>" or "<!--"
// can appear, and U+2028 and U+2029 escaped as well.
std::string ScriptJson(std::string_view json);

// A JSON integer that JavaScript reads exactly: a number up to 2^53 - 1 in size, else a
// string of its digits (the page turns both into BigInt).
std::string ExactJsonInteger(std::int64_t value);

// Collects the page in pieces of about 64 KiB before handing them to the sink, so that a
// large page is never held whole.
class HtmlWriter {
  public:
    explicit HtmlWriter(TextSink& sink) : sink_(sink) {}
    ~HtmlWriter() { Flush(); }
    HtmlWriter(const HtmlWriter&) = delete;
    HtmlWriter& operator=(const HtmlWriter&) = delete;

    HtmlWriter& operator<<(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= kPiece) {
            Flush();
        }
        return *this;
    }
    HtmlWriter& operator<<(std::int64_t value) {
        return *this << std::string_view(std::to_string(value));
    }
    // Escaped with HtmlText.
    HtmlWriter& Text(std::string_view text) { return *this << std::string_view(HtmlText(text)); }
    // A piece of the page's data, whole JSON tokens, made safe with ScriptJson.
    HtmlWriter& Json(std::string_view json) { return *this << std::string_view(ScriptJson(json)); }
    void Flush() {
        if (!buffer_.empty()) {
            sink_.Write(buffer_);
            buffer_.clear();
        }
    }

  private:
    static constexpr std::size_t kPiece = std::size_t{1} << 16;
    TextSink& sink_;
    std::string buffer_;
};

// "<!DOCTYPE html>" up to the opening of <body>: the title (escaped), the style sheet.
void WritePageStart(HtmlWriter& out, std::string_view title);

// Opens the script element that holds the page's data: write it with HtmlWriter::Json.
void WriteDataStart(HtmlWriter& out);

// Closes the data, then the page's script and the end of the document.
void WritePageEnd(HtmlWriter& out);

// One fact of a heading: "<dt>name</dt><dd>value</dd>", the value escaped.
void WriteFact(HtmlWriter& out, std::string_view name, std::string_view value);

// A column of a sortable table: numeric columns sort by their cells' data-v (an integer,
// empty for none), the others by their text.
struct HtmlColumn {
    std::string Title;
    bool Numeric = true;
};

// Opens a table that sorts by a click on a column's title, up to its open <tbody>; sorted
// by `sortedBy`, the largest first (no column: npos). Close it with kTableEnd.
void WriteSortableTable(HtmlWriter& out, std::string_view id,
                        const std::vector<HtmlColumn>& columns, std::size_t sortedBy);
inline constexpr std::string_view kTableEnd = "</tbody></table></div>\n";

// The part of a path after its last "\" or "/".
std::string_view PathFileName(std::string_view path);

// The title of the time column: "Total (ms)", or "Time avg (ms)" for another mode.
std::string TimeTitle(TimeMode mode);

// A heat as a cell style: "background:rgb(R,0,0)", the window's heat colour; "" for none.
std::string HeatStyle(int red);

} // namespace tickscope
