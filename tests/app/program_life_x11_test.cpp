// The real program's life on a private X server: one copy per program directory (a later
// start hands its entry number to the running copy), and the end by a signal or a lost
// display saved as a close of the main window saves it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>

#include "core/settings.h"
#include "dialup/connection_log.h"
#include "platform/sim/sim_connections.h"
#include "platform/sim/sim_phonebook.h"
#include "platform/store/ini_file.h"
#include "platform/x11/x11_window_system.h"
#include "test_files.h"
#include "x11_env.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;

struct ProgramDirectory {
  testing::TempDir dir;
  std::unique_ptr<testing::XServer> server = std::make_unique<testing::XServer>(false);

  ProgramDirectory() { std::filesystem::copy(NORVAX_PROGRAM, dir.Path()); }
  std::unique_ptr<testing::ChildProcess> Start(std::vector<std::string> args = {}) {
    args.insert(args.begin(), (dir / "norvax").string());
    return std::make_unique<testing::ChildProcess>(args, server->Env());
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

TEST(ProgramLife, SignalsAndALostDisplayEndItAsAClose) {
  for (int signal : {SIGTERM, SIGHUP, SIGINT, 0}) {
    ProgramDirectory p;
    // With a connection up whose browser the worker watches: the end hangs up and logs it.
    IniFile book((p.dir / kPhonebookFileName).string());
    book.WriteSections(
        {{"Connections", {{"1", "Provider"}}},
         {"Connection:Provider", {{"Phone", "0311112222"}, {"Attempt1", "connect 0"}}}});
    {
      IniFile settings((p.dir / "norvax.ini").string());
      EntryTable table;
      Entry e = Entry::New();
      e[Column::Title] = "Provider";
      // Writes its process id, so that the test can end it; keeps no output of the test's.
      e[Column::Browser] = "sh -c 'echo $$ > " + (p.dir / "browser.pid").string() +
                           "; exec sleep 600 >/dev/null 2>&1'";
      e[Column::Connection] = "Provider";
      e[Column::OwnDialler] = "1";
      e[Column::DialProfile] = "0;20;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;";
      table.Append(e);
      PreferenceList prefs;
      prefs.ResetToDefaults();
      SaveEntryTable(settings, table, prefs);
    }
    auto program = p.Start({"1"});
    SimConnections connections((p.dir / kSimConnectionsFileName).string());
    ASSERT_TRUE(testing::WaitUntil([&] { return connections.Find("Provider").has_value(); }, 20s));
    ASSERT_TRUE(p.Shown(*program));
    // The browser runs: the worker watches it.
    const auto pidFile = p.dir / "browser.pid";
    ASSERT_TRUE(testing::WaitUntil(
        [&] {
          const std::string pid = testing::ReadFile(pidFile);
          return !pid.empty() && pid.back() == '\n';
        },
        20s));
    if (signal != 0) {
      kill(program->Pid(), signal);
    } else {
      p.server.reset();  // the display goes
    }
    auto status = program->WaitForExit(30s);
    ASSERT_TRUE(status) << signal;
    EXPECT_TRUE(WIFEXITED(*status)) << "ended by itself, not by signal " << signal;
    // The end saved the window's place, as a close does.
    IniFile settings((p.dir / "norvax.ini").string());
    EXPECT_FALSE(settings.ReadSection(kPreferenceSection).empty()) << signal;
    EXPECT_FALSE(connections.Find("Provider")) << "hung up " << signal;
    const std::string log = testing::ReadFile(p.dir / kLogFileName);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << "logged " << signal;
    kill(std::stoi(testing::ReadFile(pidFile)), SIGKILL);
  }
}

}  // namespace
}  // namespace norvax
