#include "launch/main_timer.h"

#include <gtest/gtest.h>

#include "core/main_window_rules.h"
#include "dialup/connection_log.h"
#include "fakes/fake_ports.h"
#include "launch/launch.h"
#include "launch/login_fill.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

// A browser-only launch of an entry whose connect dialog the timer waits for.
struct TimerWorld {
  fakes::FakePorts fake;
  ProgramState state;

  TimerWorld() {
    state.prefs.ResetToDefaults();
    Entry e = Entry::New();
    e[Column::Pass] = "secret";
    e[Column::Browser] = "/usr/bin/browser";
    e[Column::Connection] = "Provider";
    e[Column::SetPass] = "1";
    e[Column::DialProfile] = "0;20;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;";  // logged
    state.table.Append(e);
    fake.registry.AddKey("RemoteAccess");
    LaunchEntry(state, fake.ports, 0);
  }
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) Timer1Timer(state, fake.ports);
  }
  WindowId Dialog() { return fake.windows.Add(Sjis("接続")); }
};

struct Timer : ::testing::Test, TimerWorld {};

TEST_F(Timer, DialogAlreadyOpenIsFilledAtOnceWithoutWaitWindow) {
  WindowId dialog = Dialog();
  Tick();
  EXPECT_EQ(fake.windows.received[dialog], "secret<ENTER>");
  EXPECT_TRUE(fake.program.waitTexts.empty());
  EXPECT_TRUE(state.main.waitForConnection) << "preference 24 watches for the connection";
  EXPECT_TRUE(state.main.timerEnabled);
  EXPECT_TRUE(fake.program.mainWindowVisible);
  EXPECT_FALSE(state.main.mainWindowHidden);
}

TEST_F(Timer, TheBrowserStaysInFrontOfTheMainWindowThatComesBack) {
  const WindowId browser =
      fake.windows.Add("Browser", "", static_cast<std::uint32_t>(state.session.browserProcess));
  Dialog();
  Tick();
  EXPECT_TRUE(fake.program.mainWindowVisible);
  EXPECT_EQ(fake.windows.foreground, browser);
}

TEST_F(Timer, DialogThatNeverAppearsCountsDownThirtySeconds) {
  Tick(60);
  ASSERT_EQ(fake.program.waitTexts.size(), 60u);
  EXPECT_EQ(fake.program.waitTexts.front(), WaitCountdownText(1));
  EXPECT_NE(fake.program.waitTexts.front().find("30"), std::string::npos);
  EXPECT_NE(fake.program.waitTexts.back().find("  1  SEC"), std::string::npos);
  EXPECT_EQ(fake.program.waitColours[0], kWaitTextWhite);
  EXPECT_EQ(fake.program.waitColours[1], kWaitTextGreen);
  EXPECT_TRUE(fake.program.waitWindowVisible);
  EXPECT_TRUE(fake.dialogs.errors.empty());
  Tick();
  EXPECT_FALSE(fake.program.waitWindowVisible);
  EXPECT_FALSE(state.main.timerEnabled);
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{PasswordNotSetMessage()});
  EXPECT_EQ(fake.dialogs.errors[0], Sjis("NORVAX  パスワードをセット出来ませんでした。"));
}

TEST_F(Timer, CancelEndsTheWaitAtTheNextTick) {
  Tick(3);
  state.main.waitCancelled = true;
  Tick();
  EXPECT_FALSE(state.main.timerEnabled);
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{PasswordNotSetMessage()});
}

TEST_F(Timer, TypingThatStopsEndsTheWaitWithItsMessageAndTypesNoMore) {
  WindowId dialog = Dialog();
  fake.windows.stealAfterBytes = 3;
  fake.windows.stealTo = fake.windows.Add("Editor");
  Tick();
  EXPECT_EQ(fake.windows.received[dialog], "sec");
  EXPECT_FALSE(state.main.timerEnabled);
  EXPECT_FALSE(state.main.waitForConnection) << "no connection watch follows";
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{TypingStoppedMessage()});
  EXPECT_TRUE(fake.program.mainWindowVisible);
  fake.windows.foreground = dialog;
  Tick();
  EXPECT_EQ(fake.windows.received[dialog], "sec") << "the dialog is never typed into again";
}

TEST_F(Timer, APasswordTheDesktopCannotTypeEndsTheWaitAtOnce) {
  WindowId dialog = Dialog();
  fake.windows.untypable = "c";
  Tick();
  EXPECT_EQ(fake.windows.received[dialog], "");
  EXPECT_FALSE(state.main.timerEnabled);
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{UntypableMessage("c")});
}

TEST_F(Timer, ADesktopWhoseWindowsCannotBeReachedEndsTheWaitAtOnceSayingWhy) {
  fake.windows.problem = "no list";
  Tick();
  EXPECT_FALSE(state.main.timerEnabled);
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{PasswordNotSetMessage() + "\nno list"});
}

TEST_F(Timer, ATickDuringATickIsDropped) {
  state.main.timerBusy = true;
  Dialog();
  Tick();
  EXPECT_EQ(state.main.tickCount, 0);
  EXPECT_FALSE(state.main.passwordFilled);
}

TEST_F(Timer, WithoutWatchingTheTimerStopsOnceTyped) {
  state.prefs[HangUpOnBrowserExit] = "0";
  Dialog();
  Tick();
  EXPECT_FALSE(state.main.timerEnabled);
  EXPECT_FALSE(fake.program.ended);
}

TEST_F(Timer, NoConnectionEntryEndsTheProgramAfterTyping) {
  TimerWorld t;
  t.state.table.List(Column::Connection)[0] = "/N";
  t.state.table.List(Column::Set1)[0] = "Chat login";
  t.state.main = MainState{};  // the world's own launch is forgotten
  t.state.launch.browser = BrowserWatch{};
  LaunchEntry(t.state, t.fake.ports, 0);
  WindowId chat = t.fake.windows.Add("Chat login");
  t.Tick();
  EXPECT_EQ(t.fake.windows.received[chat], "secret<ENTER>");
  EXPECT_TRUE(t.fake.program.ended);
}

TEST_F(Timer, ConnectionWatchEndsWhenTheDialogGoesOrTimeRunsOut) {
  WindowId dialog = Dialog();
  Tick();
  state.launch.browserIsNetscape = true;
  Tick();
  EXPECT_TRUE(state.main.timerEnabled) << "the dialog is still there";
  fake.windows.Remove(dialog);
  Tick();
  EXPECT_FALSE(state.main.timerEnabled);
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{DialupNotMinimisedMessage()});

  TimerWorld late;
  late.Dialog();
  late.Tick();
  late.state.main.tickCount = kConnectionTicks;
  late.Tick();
  EXPECT_FALSE(late.state.main.timerEnabled);
  EXPECT_TRUE(late.fake.dialogs.errors.empty()) << "silent for a browser other than Netscape";
}

TEST_F(Timer, ConnectionSeenStartsTheWorkerThatHangsUpAndLogsAfterTheBrowser) {
  Dialog();
  Tick();
  fake.remote.open["Provider"] = 7;
  fake.clock.ticks = 1000;
  fake.clock.now = {1999, 6, 10, 22, 0, 0, 0};
  Tick();
  EXPECT_FALSE(state.main.timerEnabled);
  EXPECT_EQ(state.session.connection, 7u);
  EXPECT_EQ(state.session.startTick, 1000u);
  ASSERT_TRUE(state.main.watchThreadRunning);

  fake.clock.ticks = 1000 + 125 * 1000;
  fake.clock.now = {1999, 6, 10, 22, 2, 5, 0};
  fake.processes.End(state.session.browserProcess);
  ASSERT_TRUE(fake.program.PumpUntil([&] { return !state.main.watchThreadRunning; }));
  EXPECT_EQ(fake.remote.hungUp, std::vector<ConnectionHandle>{7});
  EXPECT_TRUE(fake.program.ended) << "preference 25 ends the program with the browser";
  const std::string& log = fake.logFiles.files[kLogFileName];
  EXPECT_EQ(log.substr(0, 26), "1999/06/10,\"Provider\",22:0");
  EXPECT_NE(log.find(",0125,"), std::string::npos) << log;
}

TEST(WatchThreadEnd, DecidesWhetherTheProgramEnds) {
  struct Case {
    bool finished;
    int sessionState;
    const char* exitOnBrowserExit;
    const char* exitAfterStart;
    const char* exitOnFailure;
    bool ends;
  } cases[] = {
      {false, kSessionIdle, "1", "0", "0", true},
      {false, kSessionIdle, "0", "1", "0", true},
      {false, kSessionIdle, "0", "0", "1", false},
      {true, kSessionIdle, "1", "1", "0", false},
      {true, kSessionIdle, "0", "0", "1", true},
      {true, kSessionRelaunchRequested, "0", "0", "1", false},
  };
  for (const auto& c : cases) {
    fakes::FakePorts fake;
    ProgramState state;
    state.prefs.ResetToDefaults();
    state.prefs[ExitOnBrowserExit] = c.exitOnBrowserExit;
    state.prefs[ExitAfterBrowserStart] = c.exitAfterStart;
    state.prefs[ExitOnLaunchFailure] = c.exitOnFailure;
    state.session.finished = c.finished;
    state.session.state = c.sessionState;
    state.main.watchThreadRunning = true;
    WatchThreadTerminated(state, fake.ports);
    EXPECT_FALSE(state.main.watchThreadRunning);
    EXPECT_EQ(fake.program.ended, c.ends) << c.finished << c.sessionState;
  }
}

}  // namespace
}  // namespace norvax
