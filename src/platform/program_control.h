// Port: what the launch and the main timer ask of the program's own windows and of its
// main thread. The main window provides it; tests use a fake that records the calls.
#pragma once

#include <functional>
#include <string>

namespace norvax {

class ProgramControl {
 public:
  virtual ~ProgramControl() = default;

  virtual void HideMainWindow() = 0;
  virtual void ShowMainWindow() = 0;
  // All of the program's windows to the task bar, and back.
  virtual void MinimiseApplication() = 0;
  virtual void RestoreApplication() = 0;
  // Asks the program to end; the shut-down sequence follows.
  virtual void EndProgram() = 0;

  // The main timer (500 ms ticks of the tick handler).
  virtual void StartTimer() = 0;
  virtual void StopTimer() = 0;

  // The password-set wait window: shown on top, its text and colour (0xRRGGBB) set per tick.
  virtual void ShowWaitWindow() = 0;
  virtual void SetWaitWindowText(const std::string& text, unsigned colour) = 0;
  virtual void CloseWaitWindow() = 0;

  // Puts text (CP932) on the clipboard.
  virtual void SetClipboardText(const std::string& text) = 0;

  // Runs work on the main thread and returns when it is done (from the worker thread).
  virtual void RunOnMainThread(const std::function<void()>& work) = 0;
  // Queues work for the main thread and returns at once (from any thread).
  virtual void PostToMainThread(std::function<void()> work) = 0;
};

}  // namespace norvax
