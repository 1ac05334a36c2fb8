// The real program's life on a private X server: one copy per program directory (a later
// start hands its entry number to the running copy), and the end by a signal or a lost
// display saved as a close of the main window saves it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "core/settings.h"
#include "dialup/call_record.h"
#include "dialup/connection_log.h"
#include "platform/nm/nm_remote_access.h"
#include "platform/sim/sim_connections.h"
#include "platform/sim/sim_phonebook.h"
#include "platform/store/ini_file.h"
#include "platform/wayland/wayland_window_system.h"
#include "platform/x11/x11_window_system.h"
#include "test_files.h"
#include "x11_env.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;

// Entry 1 dials Provider as taro with the simulated dialler (which connects at once), or
// with NetworkManager where the directory has no phonebook, and logs its calls; its browser
// writes its process id to browser.pid, so that the test can end it.
void StoreCallEntry(const std::filesystem::path& dir, bool simulated = true) {
  if (simulated) {
    IniFile((dir / kPhonebookFileName).string())
        .WriteSections(
            {{"Connections", {{"1", "Provider"}}},
             {"Connection:Provider", {{"Phone", "0311112222"}, {"Attempt1", "connect 0"}}}});
  }
  IniFile settings((dir / "norvax.ini").string());
  EntryTable table;
  Entry e = Entry::New();
  e[Column::Title] = "Provider";
  e[Column::Id] = "taro";
  e[Column::Pass] = "secret";
  e[Column::Browser] =
      "sh -c 'echo $$ > " + (dir / "browser.pid").string() + "; exec sleep 600 >/dev/null 2>&1'";
  e[Column::Connection] = "Provider";
  e[Column::OwnDialler] = "1";
  e[Column::DialProfile] = "0;20;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;";
  table.Append(e);
  PreferenceList prefs;
  prefs.ResetToDefaults();
  SaveEntryTable(settings, table, prefs);
}

// The call of StoreCallEntry is up, recorded, and its browser runs (the worker watches it);
// the browser's process id, or 0.
pid_t CallUp(const std::filesystem::path& dir) {
  std::string pid;
  const bool up = testing::WaitUntil(
      [&] {
        pid = testing::ReadFile(dir / "browser.pid");
        return !pid.empty() && pid.back() == '\n' &&
               std::filesystem::exists(dir / kCallRecordFileName);
      },
      20s);
  return up ? std::stoi(pid) : 0;
}

struct ProgramDirectory {
  testing::TempDir dir;
  std::unique_ptr<testing::XServer> server = std::make_unique<testing::XServer>(false);

  // NORVAX and, beside it, norvaxctl, which guards its calls.
  ProgramDirectory() {
    std::filesystem::copy(NORVAX_PROGRAM, dir.Path());
    std::filesystem::copy(NORVAXCTL_PATH, dir.Path());
  }
  std::unique_ptr<testing::ChildProcess> Start(std::vector<std::string> args = {}) {
    args.insert(args.begin(), (dir / "norvax").string());
    return std::make_unique<testing::ChildProcess>(args, server->Env());
  }
  // A copy started with the call of StoreCallEntry up; the browser's process id, or 0.
  pid_t StartWithCall(std::unique_ptr<testing::ChildProcess>& program) {
    StoreCallEntry(dir.Path());
    program = Start({"1"});
    return Shown(*program) ? CallUp(dir.Path()) : 0;
  }
  // The copy has started: its main window shows.
  bool Shown(const testing::ChildProcess& program) {
    X11WindowSystem windows(server->Display().c_str());
    return testing::WaitUntil(
        [&] {
          for (WindowId w : windows.TopLevelWindows()) {
            if (windows.CaptionUtf8(w) == "NORVAX" &&
                windows.ProcessId(w) == static_cast<std::uint32_t>(program.Pid())) {
              return true;
            }
          }
          return false;
        },
        20s);
  }
};

// The processes that guard a call of the programs in dir (norvaxctl copied there) and run.
std::size_t Guardians(const std::filesystem::path& dir) {
  const std::string program = (dir / "norvaxctl").string();
  return static_cast<std::size_t>(
      std::ranges::count_if(std::filesystem::directory_iterator("/proc"), [&](const auto& process) {
        const std::string line = testing::ReadFile(process.path() / "cmdline");
        return line.substr(0, line.find('\0')) == program;
      }));
}

std::size_t LogLines(const std::filesystem::path& dir) {
  const std::string log = testing::ReadFile(dir / kLogFileName);
  return static_cast<std::size_t>(std::count(log.begin(), log.end(), '\n'));
}

// Runs `norvaxctl log show` on dir (a log command, which finishes what an earlier copy left);
// its lines.
std::size_t LogShowLines(const std::filesystem::path& dir) {
  testing::ChildProcess show({NORVAXCTL_PATH, "log", "show", dir.string()}, {});
  EXPECT_TRUE(show.WaitForExit(20s));
  return LogLines(dir);
}

TEST(ProgramLife, ALaterStartHandsItsEntryToTheRunningCopy) {
  ProgramDirectory p;
  const auto marker = p.dir / "browser-started";
  {
    IniFile settings((p.dir / "norvax.ini").string());
    EntryTable table;
    Entry e = Entry::New();
    e[Column::Title] = "Marker";
    e[Column::Browser] = "sh -c 'echo started >> " + marker.string() + "'";
    table.Append(e);
    PreferenceList prefs;
    prefs.ResetToDefaults();
    prefs[ExitOnBrowserExit] = "0";
    SaveEntryTable(settings, table, prefs);
  }
  auto first = p.Start();
  ASSERT_TRUE(p.Shown(*first));
  EXPECT_FALSE(std::filesystem::exists(marker));
  auto second = p.Start({"1"});
  auto status = second->WaitForExit(10s);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
  EXPECT_TRUE(testing::WaitUntil([&] { return std::filesystem::exists(marker); }, 10s))
      << "the running copy launched entry 1";
  EXPECT_FALSE(first->WaitForExit(0ms)) << "the running copy goes on";
}

// `make run` without a display: a program that ends before its main window shows (a later
// copy that was refused, say) is said to have ended, and no picture is said to be saved.
TEST(ProgramLife, RunWithoutADisplaySaysThatTheProgramEndedWithoutItsWindow) {
  testing::TempDir shots;
  testing::ChildProcess run(
      {"bash", "-c", NORVAX_RUN_SCRIPT " sh -c 'echo refused >&2; exit 1' 2>&1"},
      {"DISPLAY=", "WAYLAND_DISPLAY=", "NORVAX_SCREENSHOTS=" + shots.Path().string()});
  std::string output;
  while (auto line = run.ReadLine(60s)) output += *line + "\n";
  const auto status = run.WaitForExit(10s);
  ASSERT_TRUE(status);
  EXPECT_EQ(WEXITSTATUS(*status), 1) << output;
  EXPECT_NE(output.find("refused\n"), std::string::npos) << output;
  EXPECT_NE(output.find("run-norvax: the program ended (exit status 1) before its main window "
                        "showed; no screenshot was taken\n"),
            std::string::npos)
      << output;
  EXPECT_TRUE(std::filesystem::is_empty(shots.Path()));
}

TEST(ProgramLife, SignalsAndALostDisplayEndItAsAClose) {
  for (int signal : {SIGTERM, SIGHUP, SIGINT, 0}) {
    ProgramDirectory p;
    // With a connection up whose browser the worker watches: the end hangs up and logs it.
    std::unique_ptr<testing::ChildProcess> program;
    const pid_t browser = p.StartWithCall(program);
    ASSERT_NE(browser, 0);
    const std::string stored = testing::ReadFile(p.dir / "norvax.ini");
    if (signal != 0) {
      kill(program->Pid(), signal);
    } else {
      p.server.reset();  // the display goes
    }
    auto status = program->WaitForExit(30s);
    ASSERT_TRUE(status) << signal;
    EXPECT_TRUE(WIFEXITED(*status)) << "ended by itself, not by signal " << signal;
    // The end saved the window's place, as a close does.
    EXPECT_NE(testing::ReadFile(p.dir / "norvax.ini"), stored) << signal;
    SimConnections connections((p.dir / kSimConnectionsFileName).string());
    EXPECT_FALSE(connections.Find("Provider")) << "hung up " << signal;
    // The call's guardian ends too, leaving the call as it is.
    EXPECT_TRUE(testing::WaitUntil([&] { return Guardians(p.dir.Path()) == 0; }, 10s));
    EXPECT_EQ(LogLines(p.dir.Path()), 1u) << "logged once " << signal;
    kill(browser, SIGKILL);
  }
}

// The usual end of a session: the program is asked to end, and the X server ends while the
// program's end still waits, here for the log, which another program holds (a long log
// move). The call is hung up, the settings saved, and the call's line, kept, is written by
// the next log command, once.
TEST(ProgramLife, TheServerEndingWhileTheEndWaitsForTheLogLosesNothing) {
  ProgramDirectory p;
  std::unique_ptr<testing::ChildProcess> program;
  const pid_t browser = p.StartWithCall(program);
  ASSERT_NE(browser, 0);
  const std::string stored = testing::ReadFile(p.dir / "norvax.ini");
  const int lock = open((p.dir / kLogLockName).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  kill(program->Pid(), SIGTERM);
  SimConnections connections((p.dir / kSimConnectionsFileName).string());
  // Hung up: the log step, which waits for the log, comes next.
  ASSERT_TRUE(testing::WaitUntil([&] { return !connections.Find("Provider"); }, 20s));
  p.server.reset();
  ASSERT_TRUE(program->WaitForExit(30s));
  EXPECT_NE(testing::ReadFile(p.dir / "norvax.ini"), stored) << "saved";
  EXPECT_TRUE(testing::ReadFile(p.dir / kLogFileName).empty());
  close(lock);
  EXPECT_EQ(LogShowLines(p.dir.Path()), 1u);
  EXPECT_EQ(LogShowLines(p.dir.Path()), 1u) << "once";
  kill(browser, SIGKILL);
}

// A copy that ends without its own end in the middle of a call (Qt ends a Wayland program at
// once when the compositor goes, without any end of its own; a kill) leaves the call to its
// guardian, which hangs it up, logs it once and ends, with either dialler. Without a guardian
// (its norvaxctl missing, or killed too) the next log move (or start) does; a listing leaves
// the call and its connection as they are.
TEST(ProgramLife, ACallLeftWithoutTheProgramsOwnEndIsHungUpAndLoggedOnce) {
  const struct {
    const char* what;
    bool compositorGoes;  // else NORVAX is killed
    bool guardian;
    bool simulated;  // else NetworkManager dials
  } cases[] = {
      {"the compositor gone", true, true, true},
      {"killed", false, true, true},
      {"the compositor gone, NetworkManager's call", true, true, false},
      {"the compositor gone, no guardian", true, false, true},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.what);
    auto sway = testing::SwayServer::Start();
    if (!sway) GTEST_SKIP() << "no headless sway";
    std::optional<testing::NmMock> nm;
    if (!t.simulated) {
      nm.emplace(R"({"step_ms": 20, "connections": [{"id": "Provider", "type": "gsm", )"
                 R"("user": "taro", "password": "secret", "script": ["connect"]}]})");
    }
    testing::TempDir dir;
    std::filesystem::copy(NORVAX_PROGRAM, dir.Path());
    if (t.guardian) std::filesystem::copy(NORVAXCTL_PATH, dir.Path());
    StoreCallEntry(dir.Path(), t.simulated);
    testing::ChildProcess program({(dir / "norvax").string(), "1"}, sway->Env());
    const pid_t browser = CallUp(dir.Path());
    ASSERT_NE(browser, 0);
    // The window's app id names the menu entry, so the taskbar shows the entry's icon.
    WaylandWindowSystem windows(sway->Socket().c_str());
    EXPECT_TRUE(std::ranges::any_of(windows.TopLevelWindows(), [&](WindowId w) {
      return windows.Caption(w) == "NORVAX" && windows.ClassName(w) == "org.norvax.norvax";
    }));
    SimConnections connections((dir / kSimConnectionsFileName).string());
    std::optional<NmRemoteAccess> service;
    if (nm) {
      service.emplace(nm->Address());
      service->WaitForActiveConnections();
    }
    const auto up = [&] {
      ConnectionHandle handle = 0;
      return service ? service->FindConnection("Provider", handle) == 0 && handle != 0
                     : connections.Find("Provider").has_value();
    };
    ASSERT_TRUE(up());
    if (t.compositorGoes) {
      sway.reset();
    } else {
      kill(program.Pid(), SIGKILL);
    }
    ASSERT_TRUE(program.WaitForExit(30s));
    if (t.guardian) {
      EXPECT_TRUE(testing::WaitUntil(
          [&] {
            return !up() && LogLines(dir.Path()) == 1 &&
                   !std::filesystem::exists(dir / kCallRecordFileName) &&
                   Guardians(dir.Path()) == 0;
          },
          10s))
          << "hung up: " << !up() << ", lines: " << LogLines(dir.Path())
          << ", guardians left: " << Guardians(dir.Path());
    } else {
      EXPECT_EQ(LogShowLines(dir.Path()), 0u);
      EXPECT_TRUE(up()) << "a listing never hangs up";
      testing::ChildProcess move(
          {NORVAXCTL_PATH, "log", "move", "--yes", "--before", "1990/01/01", dir.Path().string()},
          {});
      EXPECT_TRUE(move.WaitForExit(20s));
    }
    EXPECT_EQ(LogShowLines(dir.Path()), 1u) << "once";
    EXPECT_FALSE(up()) << "hung up";
    EXPECT_FALSE(std::filesystem::exists(dir / kCallRecordFileName));
    kill(browser, SIGKILL);
  }
}

}  // namespace
}  // namespace norvax
