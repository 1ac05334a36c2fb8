// The browser-only road end to end on a private X server: a launcher starts the browser (a
// test program) and ends, the simulated connect dialog appears a moment later, the main timer types
// the password and ENTER into it, sees the connection, and the worker hangs up once the browser has
// ended.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include "core/program_state.h"
#include "dialup/connection_log.h"
#include "fakes/fake_program_control.h"
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
#include "platform/x11/x11_window_system.h"
#include "test_files.h"
#include "x11_env.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;

TEST(BrowserOnlyRoad, ConnectDialogFilledConnectionWatchedHungUpAfterTheBrowser) {
  testing::TempDir dir;
  IniFile book((dir / kPhonebookFileName).string());
  book.WriteValue("Connections", "1", "Provider");
  book.WriteSection("Connection:Provider", {{"Phone", "0311112222"},
                                            {"User", "taro"},
                                            {"Password", "secret"},
                                            {"Attempt1", "connect 0"}});
  testing::XServer server(true);
  for (const auto& entry : server.Env()) putenv(strdup(entry.c_str()));

  IniFile settings((dir / "norvax.ini").string());
  fakes::FakeUserDialogs dialogs;
  fakes::FakeProgramControl program;
  struct NoHelp : Help {
    void ShowTopic(const std::string&) override {}
    void ShowFinder() override {}
  } help;
  SimRemoteAccess remote((dir / kPhonebookFileName).string());
  SystemClock clock;
  X11WindowSystem windows(server.Display().c_str());
  RegistryStore registry((dir / "registry.reg").string());
  PosixProcesses processes;
  IniFile logState((dir / kLogStateFileName).string());
  PosixFileStore logFiles(dir.Path());
  Ports ports{settings, dialogs,   help,    remote,   clock,   windows,
              registry, processes, program, logState, logFiles};

  ProgramState state;
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
                               server.Env());
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

  while (state.launch.browser.watching) {
    BrowserReadyTimer(state, ports);
    clock.Sleep(kReadyTimerMs);
  }
  EXPECT_TRUE(state.launch.browser.windowSeen) << "the window of the browser the launcher started";
  const auto browser = processes.ProcessTree(state.session.browserProcess);
  ASSERT_EQ(browser.size(), 1u);
  ASSERT_NE(browser[0], static_cast<std::uint32_t>(state.session.browserProcess));
  kill(static_cast<pid_t>(browser[0]), SIGTERM);
  ASSERT_TRUE(program.PumpUntil([&] { return !state.main.watchThreadRunning; }, 20s));
  SimConnections connections((dir / kSimConnectionsFileName).string());
  EXPECT_FALSE(connections.Find("Provider")) << "hung up after the browser ended";
  EXPECT_TRUE(program.ended);
}

}  // namespace
}  // namespace norvax
