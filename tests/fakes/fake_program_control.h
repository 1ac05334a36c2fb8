// The program's windows as a record of what was asked of them.
#pragma once

#include <string>
#include <vector>

#include "platform/program_control.h"

namespace norvax::fakes {

class FakeProgramControl : public ProgramControl {
 public:
  void HideMainWindow() override { Log("hide"); mainWindowVisible = false; }
  void ShowMainWindow() override { Log("show"); mainWindowVisible = true; }
  void MinimiseApplication() override { Log("minimise"); minimised = true; }
  void RestoreApplication() override { Log("restore"); minimised = false; }
  void EndProgram() override { Log("end"); ended = true; }
  void StartTimer() override { Log("timer on"); timerRunning = true; }
  void StopTimer() override { Log("timer off"); timerRunning = false; }
  void ShowWaitWindow() override { Log("wait window"); waitWindowVisible = true; }
  void SetWaitWindowText(const std::string& text, unsigned colour) override {
    waitTexts.push_back(text);
    waitColours.push_back(colour);
  }
  void CloseWaitWindow() override { Log("wait window closed"); waitWindowVisible = false; }
  void SetClipboardText(const std::string& text) override { clipboard = text; }
  void RunOnMainThread(const std::function<void()>& work) override { work(); }
  void PostToMainThread(std::function<void()> work) override { posted.push_back(std::move(work)); }

  // Runs what was posted, in order, as the main thread's event loop would.
  void RunPosted() {
    while (!posted.empty()) {
      auto work = std::move(posted.front());
      posted.erase(posted.begin());
      work();
    }
  }

  std::vector<std::string> calls;
  std::vector<std::string> waitTexts;
  std::vector<unsigned> waitColours;
  std::vector<std::function<void()>> posted;
  std::string clipboard;
  bool mainWindowVisible = true, minimised = false, ended = false, timerRunning = false,
       waitWindowVisible = false;

 private:
  void Log(const char* call) { calls.emplace_back(call); }
};

}  // namespace norvax::fakes
