// The dial road end to end with the simulated dialler and with NetworkManager (a stand-in
// on a private bus): real dial threads and their notifications handed to the main thread,
// the browser a test program on a private X server, the log written to the program
// directory. The waits inside the steps run on the test clock.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <algorithm>

#include "core/program_state.h"
#include "dialup/connection_log.h"
#include "dialup/dial_session.h"
#include "dialup/ras_messages.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_help.h"
#include "fakes/fake_program_control.h"
#include "fakes/fake_proxy_stores.h"
#include "fakes/fake_user_dialogs.h"
#include "launch/launch.h"
#include "launch/main_timer.h"
#include "platform/cp932.h"
#include "platform/nm/nm_remote_access.h"
#include "platform/posix/posix_file_store.h"
#include "platform/posix/posix_processes.h"
#include "platform/sim/sim_remote_access.h"
#include "platform/store/ini_file.h"
#include "platform/store/registry_store.h"
#include "platform/x11/x11_window_system.h"
#include "test_files.h"
#include "x11_env.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;

struct DialRoadDesktop {
  testing::TempDir dir;
  testing::XServer server{false};
  IniFile settings{(dir / "norvax.ini").string()};
  fakes::FakeUserDialogs dialogs;
  fakes::FakeHelp help;
  fakes::FakeClock clock;
  fakes::FakeProgramControl program;
  std::unique_ptr<RemoteAccess> remote;
  SimRemoteAccess* sim = nullptr;
  std::unique_ptr<X11WindowSystem> windows;
  RegistryStore registry{(dir / "registry.reg").string()};
  PosixProcesses processes;
  IniFile logState{(dir / kLogStateFileName).string()};
  fakes::FakeProxyStores proxy;
  PosixFileStore logFiles{dir.Path()};
  std::unique_ptr<Ports> ports;
  ProgramState state;

  DialRoadDesktop(const std::vector<std::string>& attempts, const std::string& profile) {
    IniFile book((dir / kPhonebookFileName).string());
    book.WriteValue("Connections", "1", "Provider");
    KeyValues section{{"Phone", "0311112222"}, {"User", "taro"}, {"Password", "secret"}};
    for (std::size_t i = 0; i < attempts.size(); ++i) {
      section.emplace_back("Attempt" + std::to_string(i + 1), attempts[i]);
    }
    book.WriteSection("Connection:Provider", section);
    auto owned = std::make_unique<SimRemoteAccess>((dir / kPhonebookFileName).string());
    sim = owned.get();
    Start(std::move(owned), profile, "secret");
  }
  // NetworkManager on the bus of the stand-in.
  DialRoadDesktop(const testing::NmMock* nm, const std::string& profile,
                  const std::string& password = "secret") {
    Start(std::make_unique<NmRemoteAccess>(nm->Address()), profile, password);
  }
  void Start(std::unique_ptr<RemoteAccess> access, const std::string& profile,
             const std::string& password) {
    for (const auto& entry : server.Env()) {
      const auto equals = entry.find('=');
      setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
    }
    remote = std::move(access);
    windows = std::make_unique<X11WindowSystem>(server.Display().c_str());
    ports = std::make_unique<Ports>(Ports{settings, dialogs, help, *remote, clock, *windows,
                                          registry, processes, program, logState, logFiles,
                                          proxy});
    state.prefs.ResetToDefaults();
    Entry e = Entry::New();
    e[Column::Id] = "taro";
    e[Column::Pass] = password;
    e[Column::Browser] = std::string("'") + NORVAX_TYPE_TARGET + "' browser";
    e[Column::Connection] = "Provider";
    e[Column::OwnDialler] = "1";
    e[Column::DialProfile] = profile;
    state.table.Append(e);
  }
  ~DialRoadDesktop() { testing::EndWorker(state, program, processes); }

  void Launch() { LaunchEntry(state, *ports, 0); }
  bool UntilWorkerEnds() {
    return program.PumpUntil([&] { return !state.main.watchThreadRunning; }, 20s);
  }
  std::vector<std::string> LogLines() {
    std::string text = testing::ReadFile(dir / kLogFileName);
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
      lines.push_back(text.substr(start, end - start));
    }
    return lines;
  }
};

// A minute of browsing after a dial that was busy twice, then the browser ends: the
// connection is hung up and the call logged once, with two redials.
void BrowseAMinuteThenEnd(DialRoadDesktop& d) {
  d.clock.ticks += 60'000;
  kill(static_cast<pid_t>(d.state.session.browserProcess), SIGTERM);
  ASSERT_TRUE(d.UntilWorkerEnds());
  ConnectionHandle after = 0;
  d.remote->FindConnection("Provider", after);
  EXPECT_EQ(after, 0u) << "hung up";
  auto lines = d.LogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("\"Provider\""), std::string::npos);
  EXPECT_NE(lines[0].find(",02,"), std::string::npos) << "two redials: " << lines[0];
}

TEST(DialRoadEndToEnd, BusyTwiceThenConnectBrowserExitHangUpOneLogLine) {
  DialRoadDesktop d({"busy 20", "busy 20", "connect 20"},
                    "1;5;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;");
  d.Launch();
  ASSERT_TRUE(d.program.PumpUntil(
      [&] { return d.state.session.browserProcess != 0 && !d.program.statusShown; }, 20s));
  EXPECT_EQ(d.sim->LastDialNumber(), " " + RedialDigit(3)) << "the profile number, blank";
  ConnectionHandle up = 0;
  d.remote->FindConnection("Provider", up);
  EXPECT_NE(up, 0u) << "the connection is up while the browser runs";
  EXPECT_TRUE(d.state.main.watchThreadRunning) << "the worker watches the browser";

  BrowseAMinuteThenEnd(d);
  EXPECT_TRUE(d.dialogs.errors.empty());
  EXPECT_TRUE(d.program.dialErrors.empty());
}

TEST(DialRoadEndToEnd, ALauncherThatHandsOverKeepsTheConnectionUntilTheUserHangsUp) {
  DialRoadDesktop d({"connect 20"}, "0;1;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;");
  testing::ChildProcess running({NORVAX_TYPE_TARGET, "browser"}, d.server.Env());
  // The launcher finds the browser already running, hands the address over and ends.
  d.state.table.List(Column::Browser)[0] = "sh -c 'kill -0 " + std::to_string(running.Pid()) + "'";
  d.Launch();
  ASSERT_TRUE(d.program.PumpUntil([&] { return d.program.handOverShown; }, 20s));
  ConnectionHandle up = 0;
  d.remote->FindConnection("Provider", up);
  EXPECT_NE(up, 0u) << "the launcher's end leaves the connection up";
  EXPECT_TRUE(d.LogLines().empty());

  d.program.hangUp();
  ASSERT_TRUE(d.UntilWorkerEnds());
  d.remote->FindConnection("Provider", up = 0);
  EXPECT_EQ(up, 0u);
  EXPECT_EQ(d.LogLines().size(), 1u);
}

TEST(DialRoadEndToEnd, MaximumThreeAlwaysBusyRelaunchesThenReportsWithoutANewDial) {
  DialRoadDesktop d({"busy 10"}, "1;3;1; ;1;0;0;0;0;0;0;1;10;180;10;180;10;240;0;");
  d.Launch();
  ASSERT_TRUE(d.program.PumpUntil([&] { return d.program.relaunches == 1; }, 20s));
  ASSERT_TRUE(d.UntilWorkerEnds());
  EXPECT_FALSE(d.program.ended) << "a pending relaunch keeps the program";
  EXPECT_EQ(d.sim->LastDialNumber(), " 3");
  d.Launch();  // what the main window does on the relaunch message
  ASSERT_TRUE(d.UntilWorkerEnds());
  ASSERT_EQ(d.program.dialErrors.size(), 1u);
  EXPECT_EQ(d.program.dialErrors[0].second, BusyReport(3));
  EXPECT_EQ(d.sim->LastDialNumber(), " 3") << "no new dial after the relaunch";
  EXPECT_TRUE(d.LogLines().empty());
}

// Cancel pressed while the dial is under way: no connection, the empty error of a cancel and
// no browser.
void CancelWhileDialling(DialRoadDesktop& d) {
  d.Launch();
  ASSERT_TRUE(d.program.PumpUntil(
      [&] { return d.state.session.state == kSessionDialling && d.program.cancel; }, 20s));
  d.program.cancel();
  ASSERT_TRUE(d.UntilWorkerEnds());
  ASSERT_EQ(d.program.dialErrors.size(), 1u);
  EXPECT_EQ(d.program.dialErrors[0].second, "");
  ConnectionHandle up = 0;
  d.remote->FindConnection("Provider", up);
  EXPECT_EQ(up, 0u);
  EXPECT_EQ(d.state.session.browserProcess, 0) << "no browser without a connection";
}

TEST(DialRoadEndToEnd, CancelWhileDiallingLeavesNoConnectionAndAnEmptyError) {
  DialRoadDesktop d({"connect 3000"}, "1;5;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;");
  CancelWhileDialling(d);
}

// The stand-in's connection "Provider": a modem line that takes user taro with password
// secret, with the outcome of each activation in turn (the last one repeats); stored: the
// service holds those secrets itself.
std::string ProviderScript(const std::string& outcomes, bool stored = false, int stepMs = 20) {
  return R"({"step_ms": )" + std::to_string(stepMs) +
         R"(, "connections": [{"id": "Provider", "type": "gsm", "number": "*99#", "user": "taro",)"
         R"( "password": "secret", "stored": )" +
         std::string(stored ? "true" : "false") + R"(, "script": [)" + outcomes + "]}]}";
}

TEST(NmDialRoad, BusyTwiceThenConnectBrowserExitHangUpOneLogLine) {
  testing::NmMock nm(ProviderScript(R"("device:23", "device:23", "connect")"));
  DialRoadDesktop d(&nm, "1;5;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;");
  EXPECT_EQ(d.remote->EnumPhonebookEntries(), std::vector<std::string>{"Provider"});
  EXPECT_EQ(d.remote->GetEntryPhoneNumber("Provider"), "*99#");
  d.Launch();
  // The stand-in connects only with the entry's user and password from the secret agent.
  ASSERT_TRUE(d.program.PumpUntil(
      [&] { return d.state.session.browserProcess != 0 && !d.program.statusShown; }, 20s));
  EXPECT_EQ(d.state.session.attempts, 3);
  ConnectionHandle up = 0;
  d.remote->FindConnection("Provider", up);
  int state = 0;
  ASSERT_EQ(d.remote->GetConnectState(up, state), 0);
  EXPECT_EQ(state, kConnectedState);

  BrowseAMinuteThenEnd(d);
  EXPECT_TRUE(d.program.dialErrors.empty());
}

TEST(NmDialRoad, FailuresShowTheirTextWithoutRedial) {
  const struct {
    const char* outcome;
    const char* password;
    int error;
  } cases[] = {
      {R"("device:24")", "secret", 680},  // no dial tone
      {R"("connect")", "wrong", 691},     // the agent's password is refused
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    testing::NmMock nm(ProviderScript(c.outcome));
    DialRoadDesktop d(&nm, "1;5;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;", c.password);
    d.Launch();
    ASSERT_TRUE(d.UntilWorkerEnds());
    ASSERT_EQ(d.program.dialErrors.size(), 1u);
    EXPECT_EQ(d.program.dialErrors[0].second, RasErrorText(c.error));
    EXPECT_EQ(d.state.session.attempts, 1);
    EXPECT_EQ(d.state.session.browserProcess, 0);
  }
}

TEST(NmDialRoad, CancelWhileActivatingHangsUpAndStartsNoBrowser) {
  testing::NmMock nm(ProviderScript(R"("connect")", false, 1000));
  DialRoadDesktop d(&nm, "1;5;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;");
  CancelWhileDialling(d);
}

TEST(NmDialRoad, AServiceThatGoesAwayEndsTheDialWithItsText) {
  testing::NmMock nm(ProviderScript(R"("connect")", false, 1000));
  DialRoadDesktop d(&nm, "1;5;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;");
  d.Launch();
  ASSERT_TRUE(d.program.PumpUntil([&] { return d.state.session.state == kSessionDialling; }, 20s));
  nm.StopService();
  ASSERT_TRUE(d.UntilWorkerEnds());
  ASSERT_EQ(d.program.dialErrors.size(), 1u);
  EXPECT_EQ(d.program.dialErrors[0].second, Sjis("NetworkManager が応答しません。"));
}

TEST(NmDialRoad, TheMainTimerSeesAConnectionAnotherProgramBroughtUp) {
  testing::NmMock nm(ProviderScript(R"("connect")", true));
  DialRoadDesktop d(&nm, "0;1;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;");
  // What nmcli or the desktop's network menu does: activate without an agent of NORVAX.
  testing::ChildProcess other(
      {"gdbus", "call", "--system", "--dest", "org.freedesktop.NetworkManager", "--object-path",
       "/org/freedesktop/NetworkManager", "--method",
       "org.freedesktop.NetworkManager.ActivateConnection",
       "/org/freedesktop/NetworkManager/Settings/1", "/", "/"},
      {});
  ASSERT_TRUE(other.WaitForExit(10s)) << "the activation has begun";
  d.state.prefs[HangUpOnBrowserExit] = "0";
  d.state.launch.fillConnection = "Provider";
  d.state.main.timerEnabled = d.state.main.waitForConnection = true;
  ASSERT_TRUE(testing::WaitUntil(
      [&] {
        Timer1Timer(d.state, *d.ports);
        return !d.state.main.timerEnabled;
      },
      10s));
  int state = 0;
  ASSERT_NE(d.state.session.connection, 0u) << "seen";
  EXPECT_EQ(d.remote->GetConnectState(d.state.session.connection, state), 0);
  EXPECT_EQ(state, kConnectedState);
  EXPECT_TRUE(d.remote->HangUp(d.state.session.connection));
}

}  // namespace
}  // namespace norvax
