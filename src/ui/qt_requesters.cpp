#include "ui/qt_requesters.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QString>

namespace tickscope {

namespace {
// Texts are single-byte; Latin-1 maps every byte to one character and back.
QString ToQt(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
} // namespace

bool QtRequesters::AskYesNo(const std::string& title, const std::string& text) {
    return QMessageBox::question(parent_, ToQt(title), ToQt(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtRequesters::ShowMessage(const std::string& title, const std::string& text) {
    QMessageBox::information(parent_, ToQt(title), ToQt(text));
}

std::string QtRequesters::AskText(const std::string& title, const std::string& prompt,
                                  const std::string& defaultText) {
    bool ok = false;
    const QString answer = QInputDialog::getText(parent_, ToQt(title), ToQt(prompt),
                                                 QLineEdit::Normal, ToQt(defaultText), &ok);
    if (!ok) {
        return {};
    }
    const QByteArray bytes = answer.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace tickscope
