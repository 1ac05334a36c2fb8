// Dialogs that record what they were asked to show and answer as told.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/user_dialogs.h"

namespace norvax::fakes {

class FakeUserDialogs : public UserDialogs {
 public:
  void ShowError(const std::string& text) override { errors.push_back(text); }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool ConfirmOkCancel(const std::string& text) override {
    confirmations.push_back(text);
    if (whileAsking) whileAsking();
    return confirmAnswer;
  }

  std::vector<std::string> errors;
  std::vector<std::string> messages;
  std::vector<std::string> confirmations;
  bool confirmAnswer = true;
  // Runs while a confirmation is open, as the event loop of a message box runs other work.
  std::function<void()> whileAsking;
};

}  // namespace norvax::fakes
