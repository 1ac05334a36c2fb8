// The dial road: the session's steps driven by the real worker thread, the dialler played
// by a fake whose notifications the test sends.
#include "dialup/dial_session.h"

#include <gtest/gtest.h>

#include "core/main_window_rules.h"
#include "dialup/call_record.h"
#include "dialup/connection_log.h"
#include "dialup/ras_messages.h"
#include "fakes/fake_ports.h"
#include "launch/launch.h"
#include "launch/start_process.h"
#include "launch/watch_thread.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

constexpr int kBusy = 676;

struct DialRoadWorld {
  fakes::FakePorts fake;
  ProgramState state;

  explicit DialRoadWorld(const std::string& profile) {
    state.prefs.ResetToDefaults();
    Entry e = Entry::New();
    e[Column::Id] = "taro";
    e[Column::Pass] = "secret";
    e[Column::Browser] = "/usr/bin/browser";
    e[Column::Connection] = "Provider";
    e[Column::OwnDialler] = "1";
    e[Column::Maximise] = "1";
    e[Column::DialProfile] = profile;
    state.table.Append(e);
    fake.registry.AddKey("RemoteAccess");
  }

  // A worker still running when a test ends is stopped, so that nothing waits for a main
  // thread that no longer pumps.
  ~DialRoadWorld() {
    state.worker->RequestStop();
    fake.program.PumpUntil([&] { return !state.main.watchThreadRunning; });
  }

  void Launch() { LaunchEntry(state, fake.ports, 0); }
  // Runs the main thread until the dialler has been asked for dial number n.
  void UntilDial(std::size_t n) {
    ASSERT_TRUE(fake.program.PumpUntil([&] {
      return fake.remote.dials.size() >= n && state.session.state == kSessionDialling;
    })) << "dial "
        << n;
  }
  void UntilWorkerEnds() {
    ASSERT_TRUE(fake.program.PumpUntil([&] { return !state.main.watchThreadRunning; }));
  }
  // The main window's relaunch once the worker has ended.
  void Relaunch() {
    UntilWorkerEnds();
    norvax::Relaunch(state, fake.ports, [] {});
  }
  // Presses Cancel once the main thread has let `after` ms pass from now.
  void CancelAfter(uint64_t after) {
    const uint64_t at = fake.clock.slept + after;
    fake.clock.whileSleeping = [this, at] {
      if (fake.clock.slept < at) return;
      fake.clock.whileSleeping = nullptr;
      fake.program.cancel();
    };
  }
};

std::string Profile(const char* redial, int maximum, int interval, const char* log = "0",
                    const char* phone = " ", const char* tone = "1") {
  return std::string(redial) + ";" + std::to_string(maximum) + ";" + std::to_string(interval) +
         ";" + phone + ";" + tone + ";" + log + ";0;0;0;0;0;1;10;180;10;180;10;240;0;";
}

TEST(DialRoad, BusyTwiceThenConnectStartsTheBrowserAndLogsOnceAfterIt) {
  DialRoadWorld w(Profile("1", 5, 1, "1", "0311112222"));
  w.fake.clock.now = {1999, 6, 10, 12, 0, 0, 0};
  w.Launch();
  w.UntilDial(1);
  EXPECT_TRUE(w.fake.program.statusShown);
  EXPECT_EQ(w.fake.program.statusCaption, Sjis("NORVAX  Providerに接続中"));
  for (std::size_t attempt = 1; attempt <= 2; ++attempt) {
    w.UntilDial(attempt);
    w.fake.remote.Notify(0, kBusy);
  }
  w.UntilDial(3);
  EXPECT_EQ(w.fake.remote.dials[0].dialNumber, "03111122221");
  EXPECT_EQ(w.fake.remote.dials[2].dialNumber, "03111122223");
  EXPECT_EQ(w.fake.remote.dials[2].userName, "taro");
  EXPECT_TRUE(w.fake.processes.started.empty()) << "no browser before the connection";
  const WindowId dialup = w.fake.windows.Add(Sjis("ﾀﾞｲﾔﾙｱｯﾌﾟ"));
  w.fake.clock.ticks = 10'000;
  w.fake.remote.Notify(4, 0);
  w.fake.remote.Notify(19, 0);
  w.fake.remote.Notify(kConnectedState, 0);
  ASSERT_TRUE(w.fake.program.PumpUntil([&] { return !w.fake.program.statusShown; }));
  ASSERT_EQ(w.fake.processes.started.size(), 1u);
  EXPECT_TRUE(w.fake.windows.Minimised(dialup)) << "the dialler's own window makes way";
  const WindowId browser =
      w.fake.windows.Add("Browser", "", static_cast<std::uint32_t>(w.state.session.browserProcess));
  BrowserReadyTimer(w.state, w.fake.ports);
  EXPECT_EQ(w.fake.windows.maximised, std::vector<WindowId>{browser});
  EXPECT_NE(std::find(w.fake.program.statusTexts.begin(), w.fake.program.statusTexts.end(),
                      Sjis("接続完了")),
            w.fake.program.statusTexts.end());

  w.fake.clock.ticks = 10'000 + 600'000;
  w.fake.clock.now = {1999, 6, 10, 12, 10, 0, 0};
  w.fake.processes.End(w.state.session.browserProcess);
  w.UntilWorkerEnds();
  EXPECT_EQ(w.fake.remote.hungUp.back(), w.fake.remote.lastHandle);
  const std::string& log = w.fake.logFiles.files[kLogFileName];
  ASSERT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  EXPECT_EQ(log.substr(0, 31), "1999/06/10,\"Provider\",12:00:00,");
  EXPECT_NE(log.find(",0600,"), std::string::npos) << "ten minutes: " << log;
  EXPECT_NE(log.find("\"0311112222\",02,"), std::string::npos) << "two redials: " << log;
  EXPECT_TRUE(w.fake.dialogs.errors.empty());
  EXPECT_TRUE(w.fake.program.ended) << "preference 25";
}

TEST(DialRoad, ABrowserThatHandsOverLeavesTheHangUpToTheUserOrTheLine) {
  for (bool userHangsUp : {true, false}) {
    DialRoadWorld w(Profile("0", 1, 1, "1", "0311112222"));
    w.fake.clock.now = {1999, 6, 10, 12, 0, 0, 0};
    w.Launch();
    w.UntilDial(1);
    w.fake.remote.open["Provider"] = w.fake.remote.lastHandle;
    w.fake.remote.Notify(kConnectedState, 0);
    ASSERT_TRUE(w.fake.program.PumpUntil([&] { return !w.fake.program.statusShown; }));
    // The launcher passes the address to a browser already running and ends at once.
    w.fake.clock.ticks += 1000;
    w.fake.processes.End(w.state.session.browserProcess);
    ASSERT_TRUE(w.fake.program.PumpUntil([&] { return w.fake.program.handOverShown; }));
    EXPECT_EQ(w.fake.program.handOverTexts,
              std::make_pair(Sjis("NORVAX  Providerに接続中"), HandOverText()));
    EXPECT_TRUE(w.fake.remote.hungUp.empty());
    EXPECT_TRUE(w.fake.logFiles.files[kLogFileName].empty());

    w.fake.clock.ticks += 600'000;
    w.fake.clock.now = {1999, 6, 10, 12, 10, 0, 0};
    if (userHangsUp) {
      w.fake.program.hangUp();
    } else {
      w.fake.remote.open.clear();
    }
    w.UntilWorkerEnds();
    EXPECT_FALSE(w.fake.program.handOverShown);
    EXPECT_EQ(w.fake.remote.hungUp, std::vector<ConnectionHandle>{w.fake.remote.lastHandle});
    const std::string& log = w.fake.logFiles.files[kLogFileName];
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    EXPECT_NE(log.find(",0601,"), std::string::npos) << log;
  }
}

// Only a call the program will hang up (preference 24, or a profile that keeps a log) is
// recorded and guarded: a guardian would otherwise hang up a line the user keeps.
TEST(DialRoad, OnlyACallTheProgramHangsUpIsRecordedAndGuarded) {
  const struct {
    const char* hangUp;  // preference 24
    const char* log;
    bool guarded;
  } cases[] = {{"1", "0", true}, {"0", "1", true}, {"0", "0", false}};
  for (const auto& t : cases) {
    SCOPED_TRACE(std::string(t.hangUp) + t.log);
    DialRoadWorld w(Profile("0", 1, 1, t.log));
    w.state.prefs[HangUpOnBrowserExit] = t.hangUp;
    w.Launch();
    w.UntilDial(1);
    w.fake.remote.Notify(kConnectedState, 0);
    ASSERT_TRUE(w.fake.program.PumpUntil([&] { return !w.fake.program.statusShown; }));
    EXPECT_EQ(w.fake.logFiles.Exists(kCallRecordFileName), t.guarded);
    EXPECT_EQ(w.fake.processes.guards, t.guarded ? 1 : 0);
  }
}

TEST(DialRoad, RedialOffReportsTheBusyLineAfterOneAttempt) {
  DialRoadWorld w(Profile("0", 20, 1));
  w.Launch();
  w.UntilDial(1);
  EXPECT_EQ(w.fake.program.statusTexts.front(), Sjis("ﾀﾞｲﾔﾙ中...    (ﾘﾀﾞｲﾔﾙ   なし)"));
  w.fake.remote.Notify(0, kBusy);
  w.UntilWorkerEnds();
  EXPECT_EQ(w.fake.remote.dials.size(), 1u);
  ASSERT_EQ(w.fake.program.dialErrors.size(), 1u);
  EXPECT_EQ(w.fake.program.dialErrors[0].first, Sjis("NORVAX  Providerに接続"));
  EXPECT_EQ(w.fake.program.dialErrors[0].second, Sjis("回線がビジーです。  ﾀﾞｲﾔﾙ 1回"));
  EXPECT_TRUE(w.state.session.finished);
  EXPECT_TRUE(w.fake.program.ended) << "preference 8 ends the program after a failed dial";
}

TEST(DialRoad, AlwaysBusyRelaunchesEveryThirdAttemptUntilTheMaximum) {
  struct Case {
    int maximum;
    std::vector<int> relaunchAfter;
  } cases[] = {{3, {3}}, {20, {3, 6, 9, 12, 15, 18}}};
  for (const auto& c : cases) {
    DialRoadWorld w(Profile("1", c.maximum, 1));
    w.Launch();
    std::vector<int> relaunchedAfter;
    for (int attempt = 1; attempt <= c.maximum; ++attempt) {
      w.UntilDial(static_cast<std::size_t>(attempt));
      if (attempt == 1) {
        EXPECT_EQ(w.fake.program.statusTexts.front(), Sjis("ﾀﾞｲﾔﾙ中...    (1回目   MAX ") +
                                                          std::to_string(c.maximum) +
                                                          Sjis("回   間隔 1秒)"));
      }
      int before = w.fake.program.relaunches;
      w.fake.remote.Notify(0, kBusy);
      if (attempt % 3 == 0) {
        ASSERT_TRUE(w.fake.program.PumpUntil([&] { return w.fake.program.relaunches > before; }));
        relaunchedAfter.push_back(attempt);
        EXPECT_FALSE(w.fake.program.ended) << "a relaunch does not end the program";
        w.Relaunch();
        EXPECT_TRUE(w.fake.program.statusShown) << "the status dialog carries over";
      }
    }
    w.UntilWorkerEnds();
    EXPECT_EQ(relaunchedAfter, c.relaunchAfter) << c.maximum;
    EXPECT_EQ(w.fake.remote.dials.size(), static_cast<std::size_t>(c.maximum))
        << "no dial after the last busy attempt";
    ASSERT_EQ(w.fake.program.dialErrors.size(), 1u);
    EXPECT_EQ(w.fake.program.dialErrors[0].second, BusyReport(c.maximum));
    std::vector<std::string> digits;
    for (std::size_t i = 0; i < 5 && i < w.fake.remote.dials.size(); ++i) {
      digits.push_back(w.fake.remote.dials[i].dialNumber);
    }
    if (c.maximum == 20) {
      EXPECT_EQ(digits, (std::vector<std::string>{" 1", " 2", " 3", " 0", " 1"}));
    }
  }
}

TEST(DialRoad, ALineThatDoesNotClearIsPolledTwentyTimesThenRedialled) {
  DialRoadWorld w(Profile("1", 2, 1));
  w.Launch();
  w.UntilDial(1);
  w.fake.remote.open["Provider"] = w.fake.remote.lastHandle;
  w.fake.remote.lineLingers = true;
  w.fake.remote.connectStateQueries = 0;
  uint64_t before = w.fake.clock.slept;
  w.fake.remote.Notify(0, kBusy);
  w.UntilDial(2);
  EXPECT_EQ(w.fake.remote.connectStateQueries, 20);
  // 1 s after the hang-up, 2 s while disconnecting, then a second per poll.
  EXPECT_GE(w.fake.clock.slept - before, 23000u);
  EXPECT_LT(w.fake.clock.slept - before, 24000u);
  w.fake.program.cancel();
  w.UntilWorkerEnds();
}

TEST(DialRoad, TheStatusLabelBlinksGreyThenBlack) {
  DialRoadWorld w(Profile("1", 5, 1));
  w.Launch();
  w.UntilDial(1);
  ASSERT_TRUE(w.fake.program.PumpUntil([&] { return w.fake.program.labelColours.size() >= 3; }));
  EXPECT_EQ(std::vector<unsigned>(w.fake.program.labelColours.begin(),
                                  w.fake.program.labelColours.begin() + 3),
            (std::vector<unsigned>{0x808080, 0x000000, 0x808080}));
  w.fake.program.cancel();
  w.UntilWorkerEnds();
}

TEST(DialRoad, CancelHangsUpAndShowsAnEmptyErrorAfterTwoSeconds) {
  DialRoadWorld w(Profile("1", 5, 10));
  w.Launch();
  w.UntilDial(1);
  uint64_t sleptBefore = w.fake.clock.slept;
  w.fake.program.cancel();
  w.fake.remote.Notify(kConnectedState, 0);  // too late: no browser after a cancel
  w.UntilWorkerEnds();
  EXPECT_TRUE(w.fake.processes.started.empty());
  EXPECT_EQ(w.fake.remote.hungUp, std::vector<ConnectionHandle>{w.fake.remote.lastHandle});
  ASSERT_EQ(w.fake.program.dialErrors.size(), 1u);
  EXPECT_EQ(w.fake.program.dialErrors[0].second, "");
  EXPECT_GE(w.fake.clock.slept - sleptBefore, 2000u);
}

// Whenever Cancel is pressed, the dial ends at once with the cancel's empty error dialog:
// no further dial, no relaunch, no dialling text and no stale busy text.
TEST(DialRoad, CancelDuringTheBusyHandlingStopsTheRedialAtOnce) {
  struct Case {
    const char* moment;
    int busyAttempts;
    uint64_t cancelAfter;
  } cases[] = {{"redial interval", 1, 60'000}, {"hang-up of every third attempt", 3, 1500}};
  for (const auto& c : cases) {
    DialRoadWorld w(Profile("1", 9, 997));
    w.Launch();
    for (int attempt = 1; attempt <= c.busyAttempts; ++attempt) {
      w.UntilDial(static_cast<std::size_t>(attempt));
      if (attempt == c.busyAttempts) w.CancelAfter(c.cancelAfter);
      w.fake.remote.Notify(0, kBusy);
    }
    const uint64_t sleptBefore = w.fake.clock.slept;
    const std::size_t textsBefore = w.fake.program.statusTexts.size();
    w.UntilWorkerEnds();
    EXPECT_EQ(w.fake.remote.dials.size(), static_cast<std::size_t>(c.busyAttempts)) << c.moment;
    EXPECT_EQ(w.fake.program.relaunches, 0) << c.moment;
    EXPECT_EQ(w.state.session.state, kSessionIdle) << c.moment;
    EXPECT_FALSE(w.fake.program.statusShown) << c.moment;
    ASSERT_EQ(w.fake.program.dialErrors.size(), 1u) << c.moment;
    EXPECT_EQ(w.fake.program.dialErrors[0].second, "") << c.moment;
    EXPECT_LT(w.fake.clock.slept - sleptBefore, c.cancelAfter + 10'000) << c.moment;
    for (std::size_t i = textsBefore; i < w.fake.program.statusTexts.size(); ++i) {
      EXPECT_NE(w.fake.program.statusTexts[i].rfind(Sjis("ﾀﾞｲﾔﾙ中"), 0), 0u) << c.moment;
    }
  }
}

// Closing the program during a busy wait hangs up and ends the dial: no redial, no relaunch,
// no wait left to run out and no dialog.
TEST(DialRoad, ClosingTheProgramDuringABusyWaitEndsTheDial) {
  for (int busyAttempts : {1, 3}) {
    DialRoadWorld w(Profile("1", 9, 997));
    w.Launch();
    for (int attempt = 1; attempt <= busyAttempts; ++attempt) {
      w.UntilDial(static_cast<std::size_t>(attempt));
      w.fake.remote.Notify(0, kBusy);
    }
    const uint64_t at = w.fake.clock.slept + 1500;
    w.fake.clock.whileSleeping = [&w, at] {
      if (w.fake.clock.slept >= at) w.state.main.ending = true;
    };
    const uint64_t sleptBefore = w.fake.clock.slept;
    w.UntilWorkerEnds();
    EXPECT_EQ(w.fake.remote.dials.size(), static_cast<std::size_t>(busyAttempts));
    EXPECT_EQ(w.fake.program.relaunches, 0);
    EXPECT_EQ(w.state.session.state, kSessionIdle);
    EXPECT_FALSE(w.fake.program.statusShown);
    EXPECT_TRUE(w.fake.program.dialErrors.empty());
    EXPECT_LT(w.fake.clock.slept - sleptBefore, 10'000u);
    EXPECT_TRUE(w.fake.logFiles.files[kLogFileName].empty());
  }
}

TEST(DialRoad, CancelDuringTheRelaunchHandOverEndsTheSession) {
  DialRoadWorld w(Profile("1", 9, 1));
  w.Launch();
  for (std::size_t attempt = 1; attempt <= 3; ++attempt) {
    w.UntilDial(attempt);
    w.fake.remote.Notify(0, kBusy);
  }
  ASSERT_TRUE(w.fake.program.PumpUntil([&] { return w.fake.program.relaunches > 0; }));
  w.UntilWorkerEnds();
  w.fake.program.cancel();
  w.Relaunch();
  EXPECT_EQ(w.fake.remote.dials.size(), 3u);
  EXPECT_EQ(w.state.session.state, kSessionIdle);
  EXPECT_FALSE(w.fake.program.statusShown);
  ASSERT_EQ(w.fake.program.dialErrors.size(), 1u);
  EXPECT_EQ(w.fake.program.dialErrors[0].second, "");
  EXPECT_FALSE(w.state.main.mainWindowHidden);
  EXPECT_TRUE(w.fake.program.ended) << "preference 8, as after any cancel";
}

TEST(DialRoad, ARelaunchDialsTheSessionsOwnEntry) {
  DialRoadWorld w(Profile("1", 9, 1));
  Entry other = w.state.table.Get(0);
  other[Column::Id] = "hanako";
  other[Column::Connection] = "Other";
  other[Column::Browser] = "/usr/bin/other";
  w.state.table.Append(other);
  w.Launch();
  for (std::size_t attempt = 1; attempt <= 3; ++attempt) {
    w.UntilDial(attempt);
    w.fake.remote.Notify(0, kBusy);
  }
  ASSERT_TRUE(w.fake.program.PumpUntil([&] { return w.fake.program.relaunches > 0; }));
  w.state.main.currentEntry = 1;  // a double-click on another entry, refused meanwhile
  w.Relaunch();
  w.UntilDial(4);
  EXPECT_EQ(w.fake.remote.dials[3].entryName, "Provider");
  EXPECT_EQ(w.fake.remote.dials[3].userName, "taro");
  w.fake.remote.Notify(kConnectedState, 0);
  ASSERT_TRUE(w.fake.program.PumpUntil([&] { return !w.fake.program.statusShown; }));
  ASSERT_EQ(w.fake.processes.started.size(), 1u);
  EXPECT_EQ(w.fake.processes.started[0].commandLine, "/usr/bin/browser");
}

TEST(DialRoad, ARelaunchThatStopsEarlyClosesTheStatusDialog) {
  DialRoadWorld w(Profile("1", 9, 1));
  w.Launch();
  for (std::size_t attempt = 1; attempt <= 3; ++attempt) {
    w.UntilDial(attempt);
    w.fake.remote.Notify(0, kBusy);
  }
  ASSERT_TRUE(w.fake.program.PumpUntil([&] { return w.fake.program.relaunches > 0; }));
  w.state.prefs[NoConnectNoBrowser] = "1";
  w.Relaunch();
  EXPECT_EQ(w.fake.remote.dials.size(), 3u);
  EXPECT_EQ(w.state.session.state, kSessionIdle);
  EXPECT_FALSE(w.fake.program.statusShown);
  EXPECT_FALSE(w.state.main.mainWindowHidden);
}

TEST(DialRoad, CancelWhileTheBrowserStartsKeepsNoBrowserAndEndsTheSession) {
  DialRoadWorld w(Profile("1", 5, 1));
  w.Launch();
  w.UntilDial(1);
  w.fake.processes.whileStarting = [&] { w.fake.program.cancel(); };
  w.fake.remote.Notify(kConnectedState, 0);
  w.UntilWorkerEnds();
  ASSERT_EQ(w.fake.processes.started.size(), 1u);
  EXPECT_EQ(w.fake.processes.terminated, std::vector<ProcessHandle>{w.fake.processes.next - 1});
  EXPECT_EQ(w.state.session.browserProcess, 0u);
  EXPECT_EQ(w.state.session.state, kSessionIdle);
  EXPECT_EQ(w.fake.remote.hungUp, std::vector<ConnectionHandle>{w.fake.remote.lastHandle});
  ASSERT_EQ(w.fake.program.dialErrors.size(), 1u);
  EXPECT_EQ(w.fake.program.dialErrors[0].second, "");
}

// Cancel pressed as the line comes up, at each moment the hand-overs between the dialler's
// notification, the worker and the main thread allow after the browser has started: the
// cancel has the last word. The browser is ended with its processes, the line hung up, the
// cancel's dialog shown, no call logged, and the next launch is taken.
TEST(DialRoad, CancelAsTheLineComesUpEndsTheBrowserOfTheRace) {
  for (bool workerSawTheConnection : {false, true}) {
    SCOPED_TRACE(workerSawTheConnection ? "after the worker saw the connection"
                                        : "before the worker looked");
    DialRoadWorld w(Profile("1", 5, 1, "1", "0311112222"));
    w.Launch();
    w.UntilDial(1);
    // Right after a blink of the status label: the worker's next hand-over is its look.
    const std::size_t blinks = w.fake.program.labelColours.size();
    ASSERT_TRUE(
        w.fake.program.PumpUntil([&] { return w.fake.program.labelColours.size() > blinks; }));
    DialNotify(w.state, w.fake.ports, 0, kConnectedState, 0);
    ASSERT_EQ(w.fake.processes.started.size(), 1u);
    const ProcessHandle browser = w.state.session.browserProcess;
    if (workerSawTheConnection) {
      int handOvers = 0;
      ASSERT_TRUE(w.fake.program.PumpUntil([&] { return handOvers++ == 1; }));
    }
    w.fake.program.cancel();
    w.UntilWorkerEnds();
    EXPECT_EQ(w.fake.processes.terminated, std::vector<ProcessHandle>{browser});
    EXPECT_EQ(w.fake.remote.hungUp, std::vector<ConnectionHandle>{w.fake.remote.lastHandle});
    ASSERT_EQ(w.fake.program.dialErrors.size(), 1u);
    EXPECT_EQ(w.fake.program.dialErrors[0].second, "");
    EXPECT_TRUE(w.fake.logFiles.files[kLogFileName].empty());
    EXPECT_FALSE(LaunchGuardBlocks(w.state));
  }
}

// The program ends during a later dial of the same run: the dial is hung up and the earlier
// call is not logged a second time.
TEST(DialRoad, AStoppedDialIsHungUpAndLogsNoCall) {
  DialRoadWorld w(Profile("1", 5, 1, "1", "0311112222"));
  w.Launch();
  w.UntilDial(1);
  w.fake.remote.Notify(kConnectedState, 0);
  ASSERT_TRUE(w.fake.program.PumpUntil([&] { return !w.fake.program.statusShown; }));
  w.fake.clock.ticks += 60'000;
  w.fake.processes.End(w.state.session.browserProcess);
  w.UntilWorkerEnds();
  const std::string& log = w.fake.logFiles.files[kLogFileName];
  ASSERT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;

  StopBrowserWatch(w.state, w.fake.ports);  // the browser's window came up long ago
  w.Launch();
  w.UntilDial(2);
  w.state.worker->RequestStop();
  w.UntilWorkerEnds();
  EXPECT_EQ(w.fake.remote.hungUp.back(), w.fake.remote.lastHandle);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  EXPECT_FALSE(w.fake.program.statusShown);
}

TEST(DialRoad, TheFirstErrorOfAnAttemptIsShown) {
  DialRoadWorld w(Profile("1", 5, 1));
  w.Launch();
  w.UntilDial(1);
  w.fake.remote.Notify(0, 678);
  w.fake.remote.Notify(0, 691);
  w.UntilWorkerEnds();
  ASSERT_EQ(w.fake.program.dialErrors.size(), 1u);
  EXPECT_EQ(w.fake.program.dialErrors[0].second, RasErrorText(678));
  EXPECT_EQ(w.fake.remote.dials.size(), 1u) << "only a busy line is redialled";
}

TEST(DialRoad, ARefusedDialShowsThePlatformText) {
  DialRoadWorld w(Profile("1", 5, 1, "0", "123", "0"));
  w.fake.remote.refuseDial = true;
  w.fake.remote.refusalText = "no modem";
  w.state.prefs[ExitOnLaunchFailure] = "0";
  w.Launch();
  w.UntilWorkerEnds();
  ASSERT_EQ(w.fake.remote.dials.size(), 1u);
  EXPECT_EQ(w.fake.remote.dials[0].dialNumber, "P1231") << "pulse dialling";
  ASSERT_EQ(w.fake.program.dialErrors.size(), 1u);
  EXPECT_EQ(w.fake.program.dialErrors[0].second, "no modem");
  EXPECT_FALSE(w.fake.program.ended);
  EXPECT_FALSE(w.state.main.mainWindowHidden) << "the main window comes back";
}

TEST(DialRoad, IntervalWaitsTwoSecondsLessBeforeARedial) {
  for (int interval : {1, 2, 10}) {
    DialRoadWorld w(Profile("1", 2, interval));
    w.Launch();
    w.UntilDial(1);
    uint64_t before = w.fake.clock.slept;
    w.fake.remote.Notify(0, kBusy);
    w.UntilDial(2);
    // The busy handling waits 1 s, 2 s and 1 s for the line to clear, then the interval.
    uint64_t waited = w.fake.clock.slept - before;
    uint64_t extra = interval > 2 ? (interval - 2) * 1000u : 0u;
    EXPECT_GE(waited, 4000u + extra) << interval;
    EXPECT_LT(waited, 4000u + extra + 1000u) << interval;
    // The first dial's text, then each step of the busy handling and the redial's text.
    const auto& texts = w.fake.program.statusTexts;
    ASSERT_EQ(texts.size(), 5u) << interval;
    EXPECT_EQ(std::vector<std::string>(texts.end() - 4, texts.end()),
              (std::vector<std::string>{Sjis("回線がビジーです"), Sjis("切断中..."),
                                        Sjis("待機中..."), DialStatusText(w.state.session)}))
        << interval;
    w.fake.program.cancel();
    w.UntilWorkerEnds();
  }
}

}  // namespace
}  // namespace norvax
