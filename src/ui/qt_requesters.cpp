#include "ui/qt_requesters.h"

#include "ui/qt_text.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QString>

namespace tickscope {

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
    return FromQt(answer);
}

} // namespace tickscope
