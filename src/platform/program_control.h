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

  // The ready timer: ticks of BrowserReadyTimer while the browser's first window is awaited.
  virtual void StartReadyTimer() = 0;
  virtual void StopReadyTimer() = 0;

  // The password-set wait window: shown on top, its text and colour (0xRRGGBB) set per tick.
  virtual void ShowWaitWindow() = 0;
  virtual void SetWaitWindowText(const std::string& text, unsigned colour) = 0;
  virtual void CloseWaitWindow() = 0;

  // The dial status dialog: shown modeless with its caption (CP932) until closed; its
  // Cancel button calls onCancel.
  virtual void ShowDialStatus(const std::string& caption, std::function<void()> onCancel) = 0;
  virtual void SetDialStatusText(const std::string& text) = 0;
  // Colour (0xRRGGBB) of the dialog's "接続状況：" label.
  virtual void SetDialStatusLabelColour(unsigned colour) = 0;
  virtual void CloseDialStatus() = 0;
  // The dial error dialog, shown modally with its caption and the error text.
  virtual void ShowDialError(const std::string& caption, const std::string& text) = 0;

  // The hand-over prompt: shown modeless while a connection stays up after the browser
  // handed the address to a browser that was already running, with its caption and text
  // (CP932); its hang-up button calls onHangUp.
  virtual void ShowHandOverPrompt(const std::string& caption, const std::string& text,
                                  std::function<void()> onHangUp) = 0;
  virtual void CloseHandOverPrompt() = 0;

  // Asks the main window to launch the current entry again once the worker has ended.
  virtual void RequestRelaunch() = 0;

  // Puts text (CP932) on the clipboard.
  virtual void SetClipboardText(const std::string& text) = 0;

  // Runs work on the main thread and returns when it is done (from the worker thread).
  virtual void RunOnMainThread(const std::function<void()>& work) = 0;
  // Queues work for the main thread and returns at once (from any thread).
  virtual void PostToMainThread(std::function<void()> work) = 0;
};

}  // namespace norvax
