// A password dialog that answers from a script and records how it was laid out.
#pragma once

#include <deque>
#include <string>

#include "core/password_lock.h"

namespace norvax::fakes {

class FakePasswordPrompt : public PasswordPrompt {
 public:
  struct Answer {
    bool ok;
    std::string first, second;
  };
  void Setup(const PasswordPromptSetup& s) override {
    setup = s;
    ++setups;
  }
  // With the script used up, the dialog is cancelled.
  bool Show() override {
    ++shown;
    if (answers.empty()) return false;
    Answer a = answers.front();
    answers.pop_front();
    first = a.first;
    second = a.second;
    return a.ok;
  }
  std::string First() const override { return first; }
  std::string Second() const override { return second; }

  std::deque<Answer> answers;
  PasswordPromptSetup setup;
  int setups = 0;
  int shown = 0;
  std::string first, second;
};

}  // namespace norvax::fakes
