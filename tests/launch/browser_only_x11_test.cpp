// The browser-only road end to end on a private X server, and on a headless sway where the
// simulated connect dialog is a Wayland window: a launcher starts the browser (a test program)
// and ends, the connect dialog appears a moment later, the main timer types the password and
// ENTER into it, sees the connection, and the worker hangs up once the browser has ended.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include "core/program_state.h"
#include "dialup/connection_log.h"
#include "fakes/fake_program_control.h"
#include "fakes/fake_proxy_stores.h"
#include "fakes/fake_user_dialogs.h"
#include "launch/launch.h"
#include "launch/main_timer.h"
#include "launch/start_process.h"
#include "platform/cp932.h"
#include "platform/help.h"
#include "platform/posix/posix_file_store.h"
#include "platform/posix/posix_processes.h"
#include "platform/posix/system_clock.h"
#include "platform/sim/sim_connections.h"
#include "platform/sim/sim_remote_access.h"
#include "platform/store/ini_file.h"
#include "platform/store/registry_store.h"
#include "platform/wayland/wayland_window_system.h"
#include "platform/x11/x11_window_system.h"
#include "test_files.h"
#include "x11_env.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;

class BrowserOnlyRoad : public ::testing::TestWithParam<bool> {};

TEST_P(BrowserOnlyRoad, ConnectDialogFilledConnectionWatchedHungUpAfterTheBrowser) {
  const bool wayland = GetParam();
  std::optional<testing::XServer> server;
  std::unique_ptr<testing::SwayServer> sway;
  std::unique_ptr<WindowSystem> windows;
  if (wayland) {
    sway = testing::SwayServer::Start();
    if (!sway) GTEST_SKIP() << "no headless sway";
    windows = std::make_unique<WaylandWindowSystem>(sway->Socket().c_str());
  } else {
    server.emplace(true);
    windows = std::make_unique<X11WindowSystem>(server->Display().c_str());
  }
  // The programs share the program directory with this test, so they run as its user.
  const auto env = wayland ? sway->Env() : server->Env();
  for (const auto& entry : env) putenv(strdup(entry.c_str()));
  testing::TempDir dir;
  IniFile book((dir / kPhonebookFileName).string());
  book.WriteValue("Connections", "1", "Provider");
  book.WriteSection("Connection:Provider", {{"Phone", "0311112222"},
                                            {"User", "taro"},
                                            {"Password", "secret"},
                                            {"Attempt1", "connect 0"}});

  IniFile settings((dir / "norvax.ini").string());
  fakes::FakeUserDialogs dialogs;
  fakes::FakeProgramControl program;
  struct NoHelp : Help {
    void ShowTopic(const std::string&) override {}
    void ShowFinder() override {}
  } help;
  SimRemoteAccess remote((dir / kPhonebookFileName).string());
  SystemClock clock;
  RegistryStore registry((dir / "registry.reg").string());
  PosixProcesses processes;
  IniFile logState((dir / kLogStateFileName).string());
  PosixFileStore logFiles(dir.Path());
  fakes::FakeProxyStores proxy;
  Ports ports{settings, dialogs,   help,    remote,   clock,    *windows,
              registry, processes, program, logState, logFiles, proxy};

  ProgramState state;
  struct EndAtExit {
    ProgramState& state;
    fakes::FakeProgramControl& program;
    PosixProcesses& processes;
    ~EndAtExit() { testing::EndWorker(state, program, processes); }
  } endAtExit{state, program, processes};
  state.prefs.ResetToDefaults();
  Entry e = Entry::New();
  e[Column::Title] = "Provider";
  e[Column::Pass] = "secret";
  // A launcher that starts the real browser and ends at once.
  e[Column::Browser] = std::string("sh -c \"'") + NORVAX_TYPE_TARGET + "' browser & exit 0\"";
  e[Column::Connection] = "Provider";
  e[Column::SetPass] = "1";
  state.table.Append(e);

  testing::ChildProcess dialog({NORVAX_CONNECT, "--connection", "Provider", "--delay", "1500",
                                "--program-dir", dir.Path().string()},
                               env);
  LaunchEntry(state, ports, 0);
  ASSERT_TRUE(dialogs.errors.empty());
  ASSERT_NE(state.session.browserProcess, 0);
  EXPECT_EQ(registry.Read("RemoteAccess", "InternetProfile"), RegistryValue::String("Provider"));
  ASSERT_TRUE(state.main.timerEnabled);

  for (int tick = 0; state.main.timerEnabled && tick < 120; ++tick) {
    Timer1Timer(state, ports);
    BrowserReadyTimer(state, ports);
    if (state.main.timerEnabled) clock.Sleep(500);
  }
  EXPECT_FALSE(program.waitTexts.empty()) << "the countdown showed while the dialog was missing";
  EXPECT_TRUE(dialog.WaitForLine("connected", 5s));
  EXPECT_TRUE(state.main.passwordFilled);
  ASSERT_TRUE(state.main.watchThreadRunning) << "the connection was seen";
  EXPECT_TRUE(dialogs.errors.empty());

  // A Wayland window does not tell its process: there the browser's window is not known and
  // the watch for it runs until the browser ends.
  while (state.launch.browser.watching && !wayland) {
    BrowserReadyTimer(state, ports);
    clock.Sleep(kReadyTimerMs);
  }
  if (!wayland) {
    EXPECT_TRUE(state.launch.browser.windowSeen)
        << "the window of the browser the launcher started";
  }
  // The launcher ends on its own, leaving the browser it started.
  std::vector<std::uint32_t> browser;
  ASSERT_TRUE(testing::WaitUntil(
      [&] { return (browser = processes.ProcessTree(state.session.browserProcess)).size() == 1; },
      10s));
  ASSERT_NE(browser[0], static_cast<std::uint32_t>(state.session.browserProcess));
  kill(static_cast<pid_t>(browser[0]), SIGTERM);
  if (wayland) {
    // Without a window of its own, a browser that ends soon may have handed over to one that
    // already ran: the user is asked.
    ASSERT_TRUE(program.PumpUntil([&] { return program.handOverShown; }, 20s));
    program.hangUp();
  }
  ASSERT_TRUE(program.PumpUntil([&] { return !state.main.watchThreadRunning; }, 20s));
  SimConnections connections((dir / kSimConnectionsFileName).string());
  EXPECT_FALSE(connections.Find("Provider")) << "hung up after the browser ended";
  EXPECT_TRUE(program.ended);
}

INSTANTIATE_TEST_SUITE_P(Display, BrowserOnlyRoad, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "wayland" : "x11"; });

}  // namespace
}  // namespace norvax
