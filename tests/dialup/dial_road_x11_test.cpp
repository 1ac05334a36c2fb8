// The dial road end to end with the simulated dialler and with NetworkManager (a stand-in
// on a private bus): real dial threads and their notifications handed to the main thread,
// the browser a test program on a private X server, the log written to the program
// directory. The waits inside the steps run on the test clock.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <algorithm>
#include <future>
#include <mutex>

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
#include "nm_daemon.h"
#include "platform/cp932.h"
#include "platform/nm/nm_reasons.h"
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

std::unique_ptr<NmRemoteAccess> OnBus(const std::string& address) {
  return std::make_unique<NmRemoteAccess>(address);
}

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
  // NetworkManager on the bus at that address, dialling the connection of that name.
  DialRoadDesktop(std::unique_ptr<NmRemoteAccess> nm, const std::string& profile,
                  const std::string& password = "secret",
                  const std::string& connection = "Provider") {
    Start(std::move(nm), profile, password);
    state.table.List(Column::Connection)[0] = connection;
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
                                          registry, processes, program, logState, logFiles, proxy});
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
  // The browser-only road's main timer waiting for a connection of that name that another
  // program brings up: the connection it found is up.
  void SeenByTheMainTimer(const std::string& connection) {
    state.prefs[HangUpOnBrowserExit] = "0";
    state.launch.fillConnection = connection;
    state.main.timerEnabled = state.main.waitForConnection = true;
    ASSERT_TRUE(testing::WaitUntil(
        [&] {
          Timer1Timer(state, *ports);
          return !state.main.timerEnabled;
        },
        10s));
    int connectState = 0;
    ASSERT_NE(state.session.connection, 0u) << "seen";
    EXPECT_EQ(remote->GetConnectState(state.session.connection, connectState), 0);
    EXPECT_EQ(connectState, kConnectedState);
  }
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
void BrowseAMinuteThenEnd(DialRoadDesktop& d, const std::string& connection = "Provider",
                          const std::string& redials = "02") {
  d.clock.ticks += 60'000;
  kill(static_cast<pid_t>(d.state.session.browserProcess), SIGTERM);
  ASSERT_TRUE(d.UntilWorkerEnds());
  ConnectionHandle after = 0;
  d.remote->FindConnection(connection, after);
  EXPECT_EQ(after, 0u) << "hung up";
  auto lines = d.LogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("\"" + connection + "\""), std::string::npos);
  EXPECT_NE(lines[0].find("," + redials + ","), std::string::npos) << "redials: " << lines[0];
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

// What nmcli or the desktop's network menu does: activates the stand-in's first connection
// without an agent of NORVAX. The service's answer.
std::optional<std::string> ActivateElsewhere() {
  testing::ChildProcess other(
      {"gdbus", "call", "--system", "--dest", "org.freedesktop.NetworkManager", "--object-path",
       "/org/freedesktop/NetworkManager", "--method",
       "org.freedesktop.NetworkManager.ActivateConnection",
       "/org/freedesktop/NetworkManager/Settings/1", "/", "/"},
      {});
  return other.ReadLine(10s);
}

TEST(NmDialRoad, BusyTwiceThenConnectBrowserExitHangUpOneLogLine) {
  testing::NmMock nm(ProviderScript(R"("device:23", "device:23", "connect")"));
  DialRoadDesktop d(OnBus(nm.Address()), "1;5;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;");
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
      {R"("device:24")", "secret", 680},   // no dial tone
      {R"("late:14")", "secret", 734},     // PPP failed, said just after the activation ended
      {R"("gone:36")", "secret", 608},     // the modem was removed
      {R"("instant:14")", "secret", 734},  // PPP failed before the request was answered
      {R"("connect")", "wrong", 691},      // the agent's password is refused
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    testing::NmMock nm(ProviderScript(c.outcome));
    DialRoadDesktop d(OnBus(nm.Address()), "1;5;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;",
                      c.password);
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
  DialRoadDesktop d(OnBus(nm.Address()), "1;5;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;");
  CancelWhileDialling(d);
}

TEST(NmDialRoad, AServiceThatGoesAwayEndsTheDialWithItsText) {
  testing::NmMock nm(ProviderScript(R"("connect")", false, 1000));
  DialRoadDesktop d(OnBus(nm.Address()), "1;5;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;");
  d.Launch();
  ASSERT_TRUE(d.program.PumpUntil([&] { return d.state.session.state == kSessionDialling; }, 20s));
  nm.StopService();
  ASSERT_TRUE(d.UntilWorkerEnds());
  ASSERT_EQ(d.program.dialErrors.size(), 1u);
  EXPECT_EQ(d.program.dialErrors[0].second, Sjis("NetworkManager が応答しません。"));
}

TEST(NmDialRoad, TheMainTimerSeesAConnectionAnotherProgramBroughtUp) {
  testing::NmMock nm(ProviderScript(R"("connect")", true));
  DialRoadDesktop d(OnBus(nm.Address()), "0;1;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;");
  ASSERT_TRUE(ActivateElsewhere()) << "the activation has begun";
  ConnectionHandle seen = 0;
  ASSERT_TRUE(
      testing::WaitUntil([&] { return d.remote->FindConnection("Provider", seen), seen; }, 10s))
      << "the adapter reads it in the background";
  ASSERT_NO_FATAL_FAILURE(d.SeenByTheMainTimer("Provider"));
  EXPECT_TRUE(d.remote->HangUp(d.state.session.connection));
}

// A dial of the stand-in's "Provider" with user taro straight on an adapter: the error code of
// its last notification once it has ended (0: connected), or nothing when it was refused,
// with the refusal's text.
struct AdapterDial {
  std::mutex mutex;
  std::optional<int> ended;
  ConnectionHandle handle = 0;
  std::string refusal;

  AdapterDial(RemoteAccess& nm, const std::string& password) {
    auto notify = [this](int, int state, int error) {
      if (error == 0 && state != kConnectedState) return;
      std::lock_guard lock(mutex);
      ended = error;
    };
    if (nm.DialEntry("Provider", "taro", password, "", notify, handle, refusal) != 0) ended = -1;
  }
  std::optional<int> Ended() {
    testing::WaitUntil([&] { return std::lock_guard(mutex), ended.has_value(); }, 10s);
    std::lock_guard lock(mutex);
    return ended;
  }
};

TEST(NmSecretAgent, EachCopyRegistersAnAgentOfItsOwnAndARefusalFailsTheDial) {
  testing::NmMock nm(ProviderScript(R"("connect")"));
  NmRemoteAccess first(nm.Address()), second(nm.Address());
  AdapterDial firstDial(first, "secret");
  EXPECT_EQ(firstDial.Ended(), 0);
  AdapterDial secondDial(second, "secret");
  EXPECT_EQ(secondDial.Ended(), 0) << "the second copy's agent gave the entry's password";

  testing::NmMock refusing(R"({"refuse_agents": true, "connections": [{"id": "Provider",)"
                           R"( "type": "gsm", "user": "taro", "password": "secret"}]})");
  NmRemoteAccess third(refusing.Address());
  AdapterDial refused(third, "secret");
  EXPECT_EQ(refused.Ended(), -1);
  EXPECT_EQ(refused.refusal, Sjis("NetworkManager にユーザー ID とパスワードを渡せませんでした。"));
}

TEST(NmSecretAgent, AnswersNetworkManagerOnly) {
  testing::NmMock nm(ProviderScript(R"("connect")", false, 1000));
  NmRemoteAccess adapter(nm.Address());
  AdapterDial dial(adapter, "secret");  // armed while it authenticates
  QDBusConnection stranger = testing::OpenBus(nm.Address());
  auto call = [&](const QString& service, const QString& path, const QString& iface,
                  const QString& method, const QList<QVariant>& args) {
    auto message = QDBusMessage::createMethodCall(service, path, iface, method);
    message.setArguments(args);
    return stranger.call(message, QDBus::Block, 5000);
  };
  const QString agent =
      call("org.freedesktop.NetworkManager", "/org/freedesktop/NetworkManager/AgentManager",
           "org.freedesktop.NetworkManager.AgentManager", "GetAgent", {})
          .arguments()
          .value(0)
          .toString();
  ASSERT_FALSE(agent.isEmpty());
  const QDBusMessage reply =
      call(agent, "/org/freedesktop/NetworkManager/SecretAgent",
           "org.freedesktop.NetworkManager.SecretAgent", "GetSecrets",
           {QVariant::fromValue(QMap<QString, QVariantMap>{{"connection", {{"id", "Provider"}}}}),
            QVariant::fromValue(QDBusObjectPath("/org/freedesktop/NetworkManager/Settings/1")),
            QStringLiteral("gsm"), QStringList{}, 1u});
  EXPECT_EQ(reply.errorName(), "org.freedesktop.NetworkManager.SecretAgent.PermissionDenied")
      << reply.arguments().value(0).toString().toStdString();
}

// A service that goes and comes back numbers its active connections from the start again, as
// the real daemon does.
TEST(NmDialRoad, HandlesOfAServiceThatWentNeverReachItsSuccessor) {
  testing::NmMock nm(ProviderScript(R"("connect")", true, 1000));
  NmRemoteAccess adapter(nm.Address());
  AdapterDial dial(adapter, "");
  const std::string activation = adapter.ActivationOf(dial.handle);
  EXPECT_NE(activation, "");
  nm.StopService();
  EXPECT_EQ(dial.Ended(), nm::error::kServiceGone);
  nm.RestartService();
  // The new service numbers its active connections from 1 again, as the old one did.
  ASSERT_EQ(ActivateElsewhere(),
            "(objectpath '/org/freedesktop/NetworkManager/ActiveConnection/1',)");
  int state = 0;
  EXPECT_NE(adapter.GetConnectState(dial.handle, state), 0);
  EXPECT_FALSE(adapter.HangUp(dial.handle));
  ConnectionHandle up = 0;
  EXPECT_TRUE(testing::WaitUntil([&] { return adapter.FindConnection("Provider", up), up; }, 10s))
      << "the other connection stays up";
  EXPECT_NE(adapter.ActivationOf(up), "");
  EXPECT_NE(adapter.ActivationOf(up), activation) << "another activation";
}

// The program's start and its main timer ask on the main thread: a service that does not
// answer never holds FindConnection up. It answers at once from what the adapter knows (the
// active connections are still being read, so they cannot be listed), and finds the
// connection once the service has answered.
TEST(NmDialRoad, FindConnectionNeverWaitsForAStalledService) {
  testing::NmMock nm(ProviderScript(R"("connect")", true));
  ASSERT_TRUE(ActivateElsewhere());
  nm.Stall(true);
  NmRemoteAccess adapter(nm.Address(), 1min);
  auto found = std::async(std::launch::async, [&] {
    ConnectionHandle up = 0;
    return adapter.FindConnection("Provider", up);
  });
  const bool answered =
      testing::WaitUntil([&] { return found.wait_for(0s) == std::future_status::ready; }, 10s);
  nm.Stall(false);
  ASSERT_TRUE(answered) << "answered while the reading of the active connections waits";
  EXPECT_EQ(found.get(), 9);
  ConnectionHandle up = 0;
  EXPECT_TRUE(testing::WaitUntil([&] { return adapter.FindConnection("Provider", up), up; }, 10s));
}

TEST(NmDialRoad, AStalledServiceIsReportedAndNeverWaitedFor) {
  testing::NmMock nm(R"({"stall_settings": true, "connections": [{"id": "Provider",)"
                     R"( "type": "gsm", "number": "*99#"}]})");
  const auto timeout = 3s;
  NmRemoteAccess adapter(nm.Address(), timeout);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(adapter.EnumPhonebookEntries(), std::vector<std::string>{});
  EXPECT_EQ(adapter.GetEntryPhoneNumber("Provider"), std::nullopt);
  EXPECT_LT(std::chrono::steady_clock::now() - start, timeout / 2) << "answered at once";
  EXPECT_EQ(adapter.PhonebookProblem(), Sjis("NetworkManager から接続の一覧を読んでいます。"));
  EXPECT_EQ(adapter.WaitForPhonebook(), Sjis("NetworkManager が応答しません。"));
  EXPECT_EQ(adapter.PhonebookProblem(), Sjis("NetworkManager が応答しません。"));
}

TEST(NmDialRoad, AnActivationAnsweredTooLateIsTheDialsAndItsHangUpEndsIt) {
  testing::NmMock nm(R"({"answer_after_ms": 3000, "connections": [{"id": "Provider",)"
                     R"( "type": "gsm"}]})");
  NmRemoteAccess adapter(nm.Address(), 1s);
  AdapterDial dial(adapter, "");
  ASSERT_EQ(dial.Ended(), 0) << "the timed-out request's connection is followed: " << dial.refusal;
  ConnectionHandle up = 0;
  adapter.FindConnection("Provider", up);
  EXPECT_EQ(up, dial.handle);
  EXPECT_TRUE(adapter.HangUp(dial.handle));
  EXPECT_TRUE(
      testing::WaitUntil([&] { return adapter.FindConnection("Provider", up = 0), !up; }, 10s));
}

// An adapter that goes while the service still talks to it (a connection brought up and hung
// up a moment ago) leaves nothing behind that the next one, or the program, trips over.
TEST(NmDialRoad, AdaptersThatComeAndGoWhileTheServiceTalksLeaveNoHarm) {
  testing::NmMock nm(ProviderScript(R"("connect")"));
  for (int round = 0; round < 20; ++round) {
    NmRemoteAccess adapter(nm.Address());
    AdapterDial dial(adapter, "secret");
    ASSERT_EQ(dial.Ended(), 0) << "round " << round;
    EXPECT_TRUE(adapter.HangUp(dial.handle));
  }
}

// The real NetworkManager: the veth pair stands for the line. "Home LAN" comes up at once,
// "会社回線" waits for a DHCP server that never answers (a dial that stays under way),
// "Provider" is PPPoE whose secrets only an agent gives (pppd then fails: no PPP here).
std::string Ethernet(const std::string& id, const std::string& ipv4) {
  return "[connection]\nid=" + id +
         "\ntype=ethernet\ninterface-name=veth-line\n"
         "autoconnect=false\n[ipv4]\n" +
         ipv4 + "\n[ipv6]\nmethod=disabled\n";
}

std::unique_ptr<testing::NmDaemon> StartNetworkManager(std::string& why) {
  return testing::NmDaemon::Start(
      {{"home.nmconnection", Ethernet("Home LAN", "method=manual\naddress1=10.99.0.2/24")},
       {"office.nmconnection", Ethernet("会社回線", "method=auto")},
       {"provider.nmconnection",
        "[connection]\nid=Provider\ntype=pppoe\ninterface-name=veth-line\nautoconnect=false\n"
        "[pppoe]\nusername=taro\npassword-flags=2\n[ppp]\n[ipv4]\nmethod=auto\n[ipv6]\nmethod="
        "disabled\n"}},
      why);
}

#define START_NETWORK_MANAGER(nm)     \
  std::string why;                    \
  auto nm = StartNetworkManager(why); \
  if (!nm) GTEST_SKIP() << why

const char kDaemonProfile[] = "0;1;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;";

TEST(NmDaemonRoad, TheConnectionsCommandListsTheDialableSavedConnectionsSorted) {
  START_NETWORK_MANAGER(nm);
  testing::TempDir programDir;
  testing::ChildProcess ctl({NORVAXCTL_PATH, "connections", programDir.Path().string()},
                            {"DBUS_SYSTEM_BUS_ADDRESS=" + nm->Address()});
  std::vector<std::string> lines;
  while (auto line = ctl.ReadLine(15s)) lines.push_back(*line);
  const auto status = ctl.WaitForExit(15s);
  ASSERT_TRUE(status && WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 0);
  // The loopback connection NetworkManager keeps in memory is none a user dials.
  EXPECT_EQ(lines, (std::vector<std::string>{"Home LAN", "Provider", "会社回線"}));
}

TEST(NmDaemonRoad, AnEthernetLineConnectsStartsTheBrowserAndHangsUpWithOneLogLine) {
  START_NETWORK_MANAGER(nm);
  DialRoadDesktop d(OnBus(nm->Address()), kDaemonProfile, "secret", "Home LAN");
  d.Launch();
  ASSERT_TRUE(d.program.PumpUntil(
      [&] { return d.state.session.browserProcess != 0 && !d.program.statusShown; }, 20s));
  std::vector<std::string> texts;
  for (const auto& text : d.program.statusTexts) texts.push_back(Cp932ToUtf8(text));
  EXPECT_EQ(texts,
            (std::vector<std::string>{"ﾀﾞｲﾔﾙ中...    (ﾘﾀﾞｲﾔﾙ   なし)", "All devices connected",
                                      "ﾕｰｻﾞｰID､ﾊﾟｽﾜｰﾄﾞを認証中...", "接続完了"}));
  EXPECT_NE(nm->Nmcli({"-t", "-f", "NAME", "con", "show", "--active"})->find("Home LAN"),
            std::string::npos);
  BrowseAMinuteThenEnd(d, "Home LAN", "00");
  EXPECT_TRUE(testing::WaitUntil(
      [&] {
        return nm->Nmcli({"-t", "-f", "NAME", "con", "show", "--active"})->find("Home LAN") ==
               std::string::npos;
      },
      10s))
      << "deactivated";
  EXPECT_TRUE(d.program.dialErrors.empty());
}

TEST(NmDaemonRoad, APppoeLineGetsTheEntrysCredentialsFromTheAgentThenPppFails) {
  START_NETWORK_MANAGER(nm);
  DialRoadDesktop d(OnBus(nm->Address()), kDaemonProfile, "s3cr3t-pw", "Provider");
  d.Launch();
  ASSERT_TRUE(d.UntilWorkerEnds());
  ASSERT_EQ(d.program.dialErrors.size(), 1u);
  EXPECT_EQ(d.program.dialErrors[0].second, RasErrorText(734)) << "PPP failed (reason 14)";
  // NetworkManager takes the user name from the saved connection and asks the agent for the
  // password only when pppd authenticates, which it never reaches in a kernel without PPP.
  const std::string log = nm->Log();
  EXPECT_NE(log.find("/norvax.dialler."), std::string::npos) << "the agent registered";
  EXPECT_NE(log.find("pppd nodetach"), std::string::npos);
  EXPECT_NE(log.find(" user taro "), std::string::npos);
  for (const auto& file : std::filesystem::directory_iterator(d.dir.Path())) {
    EXPECT_EQ(testing::ReadFile(file.path()).find("s3cr3t-pw"), std::string::npos) << file.path();
  }
}

TEST(NmDaemonRoad, AConnectionUpBeforeTheProgramIsFoundAndItsEndSeen) {
  START_NETWORK_MANAGER(nm);
  ASSERT_TRUE(nm->Nmcli({"con", "up", "Home LAN"}));
  DialRoadDesktop d(OnBus(nm->Address()), kDaemonProfile, "secret", "Home LAN");
  ASSERT_NO_FATAL_FAILURE(d.SeenByTheMainTimer("Home LAN"));
  const ConnectionHandle up = d.state.session.connection;
  int state = 0;
  ASSERT_TRUE(nm->Nmcli({"con", "down", "Home LAN"}));
  EXPECT_TRUE(testing::WaitUntil([&] { return d.remote->GetConnectState(up, state) != 0; }, 10s))
      << "its end is seen";
}

}  // namespace
}  // namespace norvax
