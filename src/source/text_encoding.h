#pragma once

#include <string>
#include <string_view>

namespace tickscope {

// Text stays the bytes a source file holds. Where it is shown to people or written into a
// format that must be Unicode (the window, JSON), each piece of text is read as UTF-8 when
// its bytes are valid UTF-8 (as the PureBasic IDE saves sources today), and as Windows-1252
// otherwise (the code page of older sources). These are the only conversions.

// Whether the bytes are well-formed UTF-8 (plain ASCII is): no overlong forms, surrogates
// or code points beyond U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// The code point a Windows-1252 byte stands for. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 controls of the same value, as
// Windows reads them.
char32_t Windows1252CodePoint(unsigned char byte);

// Every byte read as Windows-1252, written as UTF-8.
std::string Windows1252ToUtf8(std::string_view bytes);

// The text as UTF-8: the bytes unchanged when they are valid UTF-8, else Windows1252ToUtf8.
std::string TextAsUtf8(std::string_view bytes);

} // namespace tickscope
