#include "launch/launch.h"

#include <gtest/gtest.h>

#include "core/main_window_rules.h"
#include "fakes/fake_ports.h"
#include "launch/main_timer.h"
#include "launch/start_process.h"
#include "test_files.h"

namespace norvax {
namespace {

TEST(LaunchGuard, RefusesWhileAStartRelatedOperationRuns) {
  struct Case {
    bool timer, busy, worker, refused;
  } cases[] = {
      {false, false, false, false}, {true, false, false, true}, {false, true, false, true},
      {false, false, true, true},   {true, true, true, true},
  };
  for (const auto& c : cases) {
    fakes::FakePorts fake;
    ProgramState state;
    state.prefs.ResetToDefaults();
    state.table.Append(Entry::New());
    state.main.timerEnabled = c.timer;
    state.main.timerBusy = c.busy;
    state.main.watchThreadRunning = c.worker;
    LaunchEntry(state, fake.ports, 0);
    if (c.refused) {
      EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{testing::Sjis(
                                         "NORVAX 起動（関連）処理中のため起動出来ません。")});
    } else {
      EXPECT_TRUE(fake.dialogs.errors.empty());
    }
  }
}

}  // namespace
}  // namespace norvax

namespace norvax {
namespace {

using testing::Sjis;

// One browser-only entry and a desktop with the autodial key.
struct BrowserOnlyWorld {
  fakes::FakePorts fake;
  ProgramState state;

  BrowserOnlyWorld() {
    state.prefs.ResetToDefaults();
    Entry e = Entry::New();
    e[Column::Title] = "Provider";
    e[Column::Id] = "user";
    e[Column::Pass] = "secret";
    e[Column::Browser] = "/usr/bin/browser --home";
    e[Column::Connection] = "Provider";
    e[Column::SetPass] = "1";
    e[Column::Set1] = "IE3.X";
    state.table.Append(e);
    fake.registry.AddKey("RemoteAccess");
  }
  void Set(Column c, const std::string& value) { state.table.List(c)[0] = value; }
  void Launch() { LaunchEntry(state, fake.ports, 0); }
};

struct BrowserOnly : ::testing::Test, BrowserOnlyWorld {};

TEST_F(BrowserOnly, StartsTheBrowserAndWaitsForTheConnectDialog) {
  Launch();
  EXPECT_TRUE(fake.dialogs.errors.empty());
  ASSERT_EQ(fake.processes.started.size(), 1u);
  EXPECT_EQ(fake.processes.started[0].commandLine, "/usr/bin/browser --home");
  EXPECT_EQ(fake.registry.Read("RemoteAccess", "InternetProfile"),
            RegistryValue::String("Provider"));
  EXPECT_TRUE(state.main.timerEnabled);
  EXPECT_TRUE(fake.program.timerRunning);
  EXPECT_TRUE(state.main.mainWindowHidden);
  EXPECT_EQ(state.launch.fillPassword, "secret");
  EXPECT_EQ(state.launch.dialupCaption, Sjis("接続"));
  EXPECT_EQ(state.launch.registryResult, RegistryResult::Written);
  EXPECT_NE(state.session.browserProcess, 0);
}

TEST_F(BrowserOnly, TheFirstWindowIsAwaitedWithoutHoldingTheLaunchUp) {
  Set(Column::Maximise, "1");
  fake.clock.ticks = 5000;
  Launch();
  // The launch has returned, the timer fills the connect dialog meanwhile.
  EXPECT_TRUE(state.main.timerEnabled);
  EXPECT_TRUE(fake.program.readyTimerRunning);
  const ProcessHandle launcher = state.session.browserProcess;
  fake.windows.Add("Other program", "", 4242);
  BrowserReadyTimer(state, fake.ports);
  EXPECT_TRUE(fake.program.readyTimerRunning) << "no window of the browser yet";
  // The launcher starts the real browser and ends; the browser's window shows.
  const ProcessHandle browser = fake.processes.StartChild(launcher);
  fake.processes.End(launcher);
  const WindowId window = fake.windows.Add("Browser", "", static_cast<std::uint32_t>(browser));
  BrowserReadyTimer(state, fake.ports);
  EXPECT_EQ(fake.windows.maximised, std::vector<WindowId>{window});
  EXPECT_FALSE(fake.program.readyTimerRunning);
  EXPECT_TRUE(state.launch.browser.windowSeen);

  // Without a window the watch ends when every process has ended, or after 30 s.
  BrowserOnlyWorld gone;
  gone.Launch();
  gone.fake.processes.End(gone.state.session.browserProcess);
  BrowserReadyTimer(gone.state, gone.fake.ports);
  EXPECT_FALSE(gone.fake.program.readyTimerRunning);
  BrowserOnlyWorld slow;
  slow.Launch();
  slow.fake.clock.ticks += kReadyWatchMs - 1;
  BrowserReadyTimer(slow.state, slow.fake.ports);
  EXPECT_TRUE(slow.fake.program.readyTimerRunning);
  slow.fake.clock.ticks += 1;
  BrowserReadyTimer(slow.state, slow.fake.ports);
  EXPECT_FALSE(slow.fake.program.readyTimerRunning);
  EXPECT_FALSE(slow.state.launch.browser.windowSeen);
}

TEST_F(BrowserOnly, OneLaunchOrClickAtATimeWhileEventsRunInItsWaits) {
  Entry other = Entry::New();
  other[Column::Pass] = "other-pw";
  other[Column::Browser] = "/usr/bin/other";
  other[Column::Connection] = "Other";
  other[Column::SetPass] = "1";
  other[Column::Set1] = "Other login";
  state.table.Append(other);
  const WindowId otherLogin = fake.windows.Add("Other login");
  const std::vector<std::string> refused(2, LaunchBusyMessage());
  auto secondClicks = [&] {  // a double click on the other entry's title, then on its PASS
    DoEntryAction(state, fake.ports, EntryAction::Launch, 1);
    DoEntryAction(state, fake.ports, EntryAction::FillPass, 1);
  };
  // While the browser starts.
  fake.processes.whileStarting = [&] {
    fake.processes.whileStarting = nullptr;
    secondClicks();
  };
  DoEntryAction(state, fake.ports, EntryAction::Launch, 0);
  EXPECT_EQ(fake.dialogs.errors, refused);
  EXPECT_EQ(fake.processes.started.size(), 1u);
  EXPECT_EQ(state.main.currentEntry, 0);
  EXPECT_EQ(state.launch.fillPassword, "secret");
  // While the main timer waits for the connect dialog to take the focus.
  fake.dialogs.errors.clear();
  fake.windows.Add(Sjis("接続"), "", 0, false);
  fake.clock.whileSleeping = [&] {
    fake.clock.whileSleeping = nullptr;
    secondClicks();
  };
  Timer1Timer(state, fake.ports);
  EXPECT_EQ(fake.dialogs.errors, refused);
  EXPECT_EQ(fake.windows.received[otherLogin], "");

  // While a click types (here: waits for its window's focus), no launch and no tick.
  BrowserOnlyWorld typing;
  typing.fake.windows.Add(Sjis("ﾈｯﾄﾜｰｸ ﾊﾟｽﾜｰﾄﾞの入力"), "", 0, false);
  typing.fake.clock.whileSleeping = [&typing] {
    typing.fake.clock.whileSleeping = nullptr;
    typing.Launch();
    typing.state.main.timerEnabled = true;
    Timer1Timer(typing.state, typing.fake.ports);
  };
  DoEntryAction(typing.state, typing.fake.ports, EntryAction::FillId, 0);
  EXPECT_EQ(typing.fake.dialogs.errors, std::vector<std::string>{LaunchBusyMessage()});
  EXPECT_TRUE(typing.fake.processes.started.empty());
  EXPECT_EQ(typing.state.main.tickCount, 0) << "the tick is dropped";

  // Until the browser's first window shows, the launch is under way.
  BrowserOnlyWorld plain;
  plain.Set(Column::SetPass, "0");
  plain.Launch();
  plain.Launch();
  EXPECT_EQ(plain.fake.dialogs.errors, std::vector<std::string>{LaunchBusyMessage()});
  plain.fake.windows.Add("Browser", "",
                         static_cast<std::uint32_t>(plain.state.session.browserProcess));
  BrowserReadyTimer(plain.state, plain.fake.ports);
  plain.Launch();
  EXPECT_EQ(plain.fake.processes.started.size(), 2u);
  EXPECT_EQ(plain.fake.processes.closed.size(), 1u) << "the first browser is let go of";
}

TEST_F(BrowserOnly, WhatTheEntryAsksDecidesTheFill) {
  struct Case {
    const char* setPass;
    const char* enterEvenIfNoPass;
    const char* connection;
    bool timer;
    const char* password;
  } cases[] = {
      {"1", "0", "Provider", true, "secret"},
      {"0", "1", "Provider", true, ""},  // ENTER alone
      {"0", "0", "Provider", false, ""},
      {"1", "0", "", false, ""},  // no connection, nothing to fill
  };
  for (const auto& c : cases) {
    BrowserOnlyWorld t;
    t.Set(Column::SetPass, c.setPass);
    t.Set(Column::Connection, c.connection);
    t.state.prefs[EnterEvenIfNoPass] = c.enterEvenIfNoPass;
    t.Launch();
    EXPECT_EQ(t.fake.processes.started.size(), 1u);
    EXPECT_EQ(t.state.main.timerEnabled, c.timer) << c.setPass << c.enterEvenIfNoPass;
    if (c.timer) {
      EXPECT_EQ(t.state.launch.fillPassword, c.password);
    }
  }
}

TEST_F(BrowserOnly, NoConnectionValueFillsTheSet1Window) {
  Set(Column::Connection, "/N");
  Set(Column::Set1, "Login - Chat");
  Launch();
  EXPECT_TRUE(fake.registry.writes.empty());
  EXPECT_EQ(state.launch.registryResult, RegistryResult::NothingDone);
  EXPECT_EQ(state.launch.dialupCaption, "Login - Chat");
  EXPECT_TRUE(state.main.timerEnabled);
}

TEST_F(BrowserOnly, ABrowserThatCannotStartIsOpenedByTheDesktopOrReported) {
  fake.processes.failStart = true;
  Launch();
  EXPECT_EQ(fake.processes.shellOpened, std::vector<std::string>{"/usr/bin/browser --home"});
  EXPECT_TRUE(fake.dialogs.errors.empty());
  EXPECT_FALSE(state.main.timerEnabled);

  BrowserOnlyWorld withDirectory;
  withDirectory.fake.processes.failStart = true;
  withDirectory.Set(Column::WorkDirectory, "/tmp");
  withDirectory.Launch();
  EXPECT_TRUE(withDirectory.fake.processes.shellOpened.empty()) << "no desktop open with a folder";
  EXPECT_EQ(withDirectory.fake.dialogs.errors,
            std::vector<std::string>{Sjis("NORVAX  起動出来ませんでした。")});
  EXPECT_TRUE(withDirectory.fake.program.ended) << "preference 8 ends the program";

  BrowserOnlyWorld noKey;
  noKey.fake.registry.keys.clear();
  noKey.fake.processes.shellOpenWorks = false;
  noKey.state.prefs[ExitOnLaunchFailure] = "0";
  noKey.Launch();
  EXPECT_TRUE(noKey.fake.processes.started.empty()) << "a failed autodial switch skips the start";
  EXPECT_EQ(noKey.fake.dialogs.errors.size(), 1u);
  EXPECT_FALSE(noKey.fake.program.ended);
}

TEST_F(BrowserOnly, NothingHappensWithoutBrowserOrWithLaunchesOff) {
  Set(Column::Browser, "");
  Launch();
  EXPECT_TRUE(fake.processes.started.empty());
  EXPECT_TRUE(fake.dialogs.errors.empty());
  EXPECT_FALSE(state.main.timerEnabled);

  BrowserOnlyWorld off;
  off.state.prefs[NoConnectNoBrowser] = "1";
  off.Launch();
  EXPECT_TRUE(off.fake.processes.started.empty());
  EXPECT_TRUE(off.fake.registry.writes.empty());
}

TEST_F(BrowserOnly, TheProxyStepGivesTheBrowserItsEnvironmentOrEndsTheLaunch) {
  Set(Column::SetPass, "0");       // no fill: one launch after another
  Set(Column::ProxyFlags, "110");  // the desktop's settings, which are missing here
  Launch();
  EXPECT_EQ(fake.dialogs.errors,
            std::vector<std::string>{
                Sjis("'org.gnome.system.proxy use-same-proxy' の設定に失敗しました")});
  EXPECT_TRUE(fake.processes.started.empty());

  fake.dialogs.errors.clear();
  fake.proxy.present = {ProxyStore::GSettings, ProxyStore::Firefox};
  Set(Column::ProxyServers, "http=p:8080");
  Launch();
  ASSERT_EQ(fake.processes.started.size(), 1u);
  EXPECT_EQ(fake.processes.started[0].environment.at("http_proxy"), "http://p:8080");
  StopBrowserWatch(state, fake.ports);
  Set(Column::ProxyFlags, "010");  // not applied: the browser inherits the program's variables
  Launch();
  EXPECT_TRUE(fake.processes.started.at(1).environment.empty());

  // Firefox reads its preferences at its start: a running one is told about, once.
  fake.proxy.firefoxRunning = true;
  Set(Column::ProxyFlags, "111");
  const std::pair<const char*, const char*> launches[] = {
      {"/usr/bin/browser", "http=q:1"},  // no Firefox
      {"'/usr/bin/firefox-esr' http://a/", "http=q:2"},
      {"firefox", "http=q:2"},  // nothing changed
  };
  for (const auto& [browser, servers] : launches) {
    StopBrowserWatch(state, fake.ports);
    Set(Column::Browser, browser);
    Set(Column::ProxyServers, servers);
    Launch();
  }
  EXPECT_EQ(fake.dialogs.messages,
            std::vector<std::string>{Sjis("NORVAX  Firefox が起動中です。ﾌﾟﾛｷｼの設定は Firefox "
                                          "を再起動した後に有効になります。")})
      << "only where Firefox's values changed";
  EXPECT_TRUE(fake.dialogs.errors.empty());
}

TEST_F(BrowserOnly, DialRoadRefusesIncompleteEntries) {
  struct Case {
    const char* browser;
    const char* connection;
    bool key;
    const char* message;
  } cases[] = {
      {"", "Provider", true, "NORVAX  ﾌﾞﾗｳｻﾞが登録されていません。"},
      {"/usr/bin/browser", "", true, "NORVAX  接続先が登録されていません。"},
      {"/usr/bin/browser", "Provider", false, "NORVAX  接続先・ﾌﾟﾛｷｼ、レジストリー変更エラー。"},
  };
  for (const auto& c : cases) {
    BrowserOnlyWorld t;
    t.Set(Column::OwnDialler, "1");
    t.Set(Column::Browser, c.browser);
    t.Set(Column::Connection, c.connection);
    if (!c.key) t.fake.registry.keys.clear();
    t.Launch();
    EXPECT_EQ(t.fake.dialogs.errors, std::vector<std::string>{Sjis(c.message)});
    EXPECT_TRUE(t.fake.processes.started.empty());
  }
}

TEST(BrowserIsNetscape, LooksAtTheFileNameAlone) {
  EXPECT_TRUE(BrowserIsNetscape("C:\\Program Files\\Netscape\\netscape.exe"));
  EXPECT_TRUE(BrowserIsNetscape("D:NETSCAPE.EXE"));
  EXPECT_FALSE(BrowserIsNetscape("C:\\Netscape\\netscape.exe -home")) << "arguments are part of it";
  EXPECT_FALSE(BrowserIsNetscape("/usr/bin/netscape"));
  EXPECT_TRUE(BrowserIsNetscape("/opt/netscape/NETSCAPE.EXE")) << "a path's last / too";
  EXPECT_FALSE(BrowserIsNetscape("/opt/netscape.exe/run"));
  // "表" ends in the byte of "\": the name starts after it only when it is a real "\".
  EXPECT_FALSE(BrowserIsNetscape(Sjis("C:\\表NETSCAPE.EXE")));
  EXPECT_TRUE(BrowserIsNetscape(Sjis("C:\\表\\NETSCAPE.EXE")));
}

}  // namespace
}  // namespace norvax
