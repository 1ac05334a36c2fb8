// Dialogs that record what they were asked to show.
#pragma once

#include <string>
#include <vector>

#include "platform/user_dialogs.h"

namespace norvax::fakes {

class FakeUserDialogs : public UserDialogs {
 public:
  void ShowError(const std::string& text) override { errors.push_back(text); }

  std::vector<std::string> errors;
};

}  // namespace norvax::fakes
