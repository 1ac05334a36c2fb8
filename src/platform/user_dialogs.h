// Port: messages and questions put to the user. Texts are CP932.
#pragma once

#include <string>

namespace norvax {

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;

  // An error message box (caption "ｴﾗｰ", error icon, one OK button), modal.
  virtual void ShowError(const std::string& text) = 0;

  // A plain message box (no icon) with one OK button, modal.
  virtual void ShowMessage(const std::string& text) = 0;

  // A plain message box (no icon) with OK and Cancel; true for OK.
  virtual bool ConfirmOkCancel(const std::string& text) = 0;
};

}  // namespace norvax
