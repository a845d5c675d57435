#pragma once

#include <QString>

#include <string>

namespace tickscope {

// Texts are single-byte; Latin-1 maps every byte to one character and back.
inline QString ToQt(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string FromQt(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace tickscope
