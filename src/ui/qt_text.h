#pragma once

#include "source/text_encoding.h"

#include <QString>

#include <string>

namespace tickscope {

// Text as the window shows it: the bytes as UTF-8 where they are valid UTF-8, and as
// Windows-1252 otherwise, each text on its own (one cell, one file name).
inline QString ToQt(const std::string& text) {
    if (IsValidUtf8(text)) {
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    const std::string utf8 = Windows1252ToUtf8(text);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// What the user typed, as UTF-8.
inline std::string FromQt(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace tickscope
