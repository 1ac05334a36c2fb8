// The desktop's input method (ibus, fcitx5) sees every key typed into a window: in
// Japanese input mode it turns ASCII into kana and takes ENTER to end its composition. For
// as long as a DirectInput lives, the input method that runs passes keys through unchanged;
// the user's input mode is given back when it goes. Without an input method nothing is
// switched and nothing is started.
#pragma once

#include <string>

namespace norvax {

class DirectInput {
 public:
  // display: the X display the keys go to (ibus keeps one daemon per display);
  // keyboardEngine: the plain keyboard engine ibus switches to when the user has none in
  // the list of their engines.
  DirectInput(const std::string& display, const std::string& keyboardEngine);
  ~DirectInput();
  DirectInput(const DirectInput&) = delete;
  DirectInput& operator=(const DirectInput&) = delete;

  // True when an input method was switched and is switched back at the end.
  bool Switched() const { return !ibusEngine_.empty() || fcitx5Deactivated_; }

  // True when an input method runs, switched or not: programs hand every key to it and
  // handle the key when its answer comes, so a key sent before the answer for the one
  // before it may overtake that one.
  bool Runs() const { return runs_; }

  // Keys already sent are still on their way through the target program to the input
  // method when the typing ends: the input mode is given back this long after the last key.
  static constexpr int kSettleMs = 150;

  // The input-method tools are given this long to answer.
  static constexpr int kToolTimeoutMs = 3000;

 private:
  std::string display_;
  std::string ibusAddress_;
  std::string ibusEngine_;  // the ibus engine to switch back to
  bool fcitx5Deactivated_ = false;
  bool runs_ = false;
};

}  // namespace norvax
