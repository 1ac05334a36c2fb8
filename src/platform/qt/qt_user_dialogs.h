// Adapter: the user's dialogs as Qt message boxes.
#pragma once

#include "platform/user_dialogs.h"

class QString;
class QWidget;

namespace norvax {

class QtUserDialogs : public UserDialogs {
 public:
  // A box belongs to the modal window on top, else to parent's window when it is shown.
  explicit QtUserDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void ShowError(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  bool ConfirmOkCancel(const std::string& text) override;

 private:
  QWidget* parent_;
};

// UTF-16 form of CP932 text for a widget.
QString ToQString(const std::string& cp932);

}  // namespace norvax
