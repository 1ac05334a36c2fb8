// The program's windows as a record of what was asked of them, and a main thread the test
// drives: work handed over from another thread waits until the test pumps it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/program_control.h"

namespace norvax::fakes {

class FakeProgramControl : public ProgramControl {
 public:
  void HideMainWindow() override {
    Log("hide");
    mainWindowVisible = false;
  }
  void ShowMainWindow() override {
    Log("show");
    mainWindowVisible = true;
  }
  void MinimiseApplication() override {
    Log("minimise");
    minimised = true;
  }
  void RestoreApplication() override {
    Log("restore");
    minimised = false;
  }
  void EndProgram() override {
    Log("end");
    ended = true;
  }
  void StartTimer() override {
    Log("timer on");
    timerRunning = true;
  }
  void StopTimer() override {
    Log("timer off");
    timerRunning = false;
  }
  void StartReadyTimer() override { readyTimerRunning = true; }
  void StopReadyTimer() override { readyTimerRunning = false; }
  void ShowWaitWindow() override {
    Log("wait window");
    waitWindowVisible = true;
  }
  void SetWaitWindowText(const std::string& text, unsigned colour) override {
    waitTexts.push_back(text);
    waitColours.push_back(colour);
  }
  void CloseWaitWindow() override {
    Log("wait window closed");
    waitWindowVisible = false;
  }
  void SetClipboardText(const std::string& text) override { clipboard = text; }
  void ShowDialStatus(const std::string& caption, std::function<void()> onCancel) override {
    Log("status shown");
    statusCaption = caption;
    statusShown = true;
    cancel = std::move(onCancel);
  }
  void SetDialStatusText(const std::string& text) override { statusTexts.push_back(text); }
  void SetDialStatusLabelColour(unsigned colour) override { labelColours.push_back(colour); }
  void CloseDialStatus() override {
    Log("status closed");
    statusShown = false;
  }
  void ShowDialError(const std::string& caption, const std::string& text) override {
    Log("dial error");
    dialErrors.push_back({caption, text});
  }
  void ShowHandOverPrompt(const std::string& caption, const std::string& text,
                          std::function<void()> onHangUp) override {
    Log("hand-over prompt");
    handOverShown = true;
    handOverTexts = {caption, text};
    hangUp = std::move(onHangUp);
  }
  void CloseHandOverPrompt() override {
    Log("hand-over prompt closed");
    handOverShown = false;
    hangUp = nullptr;
  }
  void RequestRelaunch() override { ++relaunches; }

  void RunOnMainThread(const std::function<void()>& work) override {
    if (std::this_thread::get_id() == mainThread_) {
      work();
      return;
    }
    bool done = false;
    std::unique_lock lock(mutex_);
    queue_.push_back([&] {
      work();
      std::lock_guard doneLock(mutex_);
      done = true;
      changed_.notify_all();
    });
    changed_.notify_all();
    changed_.wait(lock, [&] { return done; });
  }

  void PostToMainThread(std::function<void()> work) override {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(work));
    changed_.notify_all();
  }

  // Runs handed-over work on the test's thread until stop() holds or timeout passes; false
  // on timeout.
  bool PumpUntil(const std::function<bool()>& stop,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!stop()) {
      std::function<void()> work;
      {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_until(lock, deadline, [&] { return !queue_.empty(); })) return false;
        work = std::move(queue_.front());
        queue_.pop_front();
      }
      work();
    }
    return true;
  }

  std::vector<std::string> calls;
  std::vector<std::string> waitTexts;
  std::vector<unsigned> waitColours;
  std::string clipboard;
  std::string statusCaption;
  bool statusShown = false;
  std::function<void()> cancel;                       // the status dialog's Cancel button
  std::function<void()> hangUp;                       // the hand-over prompt's button
  std::pair<std::string, std::string> handOverTexts;  // caption, text
  std::vector<std::string> statusTexts;
  std::vector<unsigned> labelColours;
  std::vector<std::pair<std::string, std::string>> dialErrors;  // caption, text
  int relaunches = 0;
  bool mainWindowVisible = true, minimised = false, ended = false, timerRunning = false,
       waitWindowVisible = false, readyTimerRunning = false, handOverShown = false;

 private:
  void Log(const char* call) { calls.emplace_back(call); }

  std::thread::id mainThread_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> queue_;
};

}  // namespace norvax::fakes
