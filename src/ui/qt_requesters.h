#pragma once

#include "platform/requesters.h"

class QWidget;

namespace tickscope {

// Requesters shown as Qt dialogs over a parent window (or centred on the screen).
class QtRequesters : public Requesters {
  public:
    explicit QtRequesters(QWidget* parent) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }
    bool AskYesNo(const std::string& title, const std::string& text) override;
    void ShowMessage(const std::string& title, const std::string& text) override;
    std::string AskText(const std::string& title, const std::string& prompt,
                        const std::string& defaultText) override;

  private:
    QWidget* parent_;
};

} // namespace tickscope
