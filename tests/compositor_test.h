// What the window-system tests on a headless compositor share: the compositor, the adapter
// under test with the window finder the program uses on it, and login dialogs (Qt programs
// on Wayland or, through Xwayland, on X11) that stand for other programs' windows.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "launch/keystrokes.h"
#include "test_files.h"
#include "x11_env.h"

namespace norvax::testing {

template <class Server, class Windows, class TestClock>
class CompositorTest : public ::testing::Test {
 protected:
  // Makes the finder over the adapter; false (a failure) when the adapter is not available.
  bool Use(std::unique_ptr<Windows> windows) {
    windows_ = std::move(windows);
    finder_ = std::make_unique<WindowFinder>(*windows_, clock_, lastCaption_);
    EXPECT_TRUE(windows_->Available());
    return windows_->Available();
  }

  std::unique_ptr<ChildProcess> StartTarget(const std::string& caption, bool x11 = false) {
    return std::make_unique<ChildProcess>(server_->AsUser({NORVAX_TYPE_TARGET, caption}),
                                          server_->Env(x11));
  }

  WindowId WaitForWindow(const std::string& captionUtf8) {
    return testing::WaitForWindow(*windows_, captionUtf8);
  }

  // norvaxctl with args on the compositor (bus: its session bus, when not this process's):
  // its exit status; what it printed in Out() and Err().
  int Norvaxctl(const std::string& args, const std::string& bus = "") {
    const std::string command = (bus.empty() ? "" : "DBUS_SESSION_BUS_ADDRESS='" + bus + "' ") +
                                "WAYLAND_DISPLAY=" + server_->Socket() + " " + NORVAXCTL_PATH +
                                " " + args + " >" + (dir_ / "out").string() + " 2>" +
                                (dir_ / "err").string();
    return WEXITSTATUS(std::system(command.c_str()));
  }
  // Another program (a second adapter) moves the focus at a random moment of the typing,
  // runs times: each key reaches the window typed into, and is counted, or is not sent at
  // all; and the first key the second window receives is the one typed into it afterwards.
  void ExpectNoKeyReachesTheWindowThatTakesTheFocus(int runs) {
    auto first = StartTarget("first");
    auto second = StartTarget("second");
    ASSERT_NE(WaitForWindow("second"), 0u);
    const WindowId a = WaitForWindow("first");
    ASSERT_NE(a, 0u);
    const auto other = Another();
    std::string otherCaption;
    const WindowId b = WindowFinder(*other, clock_, otherCaption).FindTargetWindow("second", "", 0);
    ASSERT_NE(b, 0u);
    const auto race = RaceTypingAgainstFocusChange(*windows_, *other, *first, a, b, runs);
    EXPECT_GT(race.cutShort, 0);
    EXPECT_TRUE(race.countsHold);
    EXPECT_TRUE(finder_->SendKeysText(finder_->ActivateWindow("second", "", 0), "ok"));
    EXPECT_EQ(second->ReadLine(std::chrono::seconds(5)), "1:o");
  }

  // A second adapter on the compositor, as another program has one.
  virtual std::unique_ptr<Windows> Another() {
    return std::make_unique<Windows>(server_->Socket().c_str());
  }

  std::string Out() const { return ReadFile(dir_ / "out"); }
  std::string Err() const { return ReadFile(dir_ / "err"); }

  std::unique_ptr<Server> server_;
  std::unique_ptr<Windows> windows_;
  TestClock clock_;
  std::string lastCaption_;
  std::unique_ptr<WindowFinder> finder_;
  TempDir dir_;
};

}  // namespace norvax::testing
