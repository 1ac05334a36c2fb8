// Real browsers, started by a launch, against a logging proxy of the test's own on
// 127.0.0.1: the address norvax.test goes to the proxy, or straight to the test's server.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "fakes/fake_ports.h"
#include "launch/launch.h"
#include "launch/start_process.h"
#include "platform/posix/posix_processes.h"
#include "platform/proxy/desktop_proxy_stores.h"
#include "test_files.h"

namespace norvax {
namespace {

namespace fs = std::filesystem;

bool Installed(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null").c_str()) == 0;
}

struct ProxyBrowsers : ::testing::Test {
  testing::TempDir dir;
  PosixProcesses processes;
  DesktopProxyStores proxy;
  fakes::FakePorts fake;
  Ports ports{fake.settings, fake.dialogs, fake.help,    fake.remote,   fake.clock,    fake.windows,
              fake.registry, processes,    fake.program, fake.logState, fake.logFiles, proxy};
  ProgramState state;
  ProcessHandle servers[2] = {};
  std::string ports_[2];

  void SetUp() override {
    state.prefs.ResetToDefaults();
    const char* names[] = {"proxy", "target"};
    for (int i = 0; i < 2; ++i) {
      const fs::path portFile = dir / (std::string(names[i]) + ".port");
      servers[i] = processes.Start(std::string("python3 ") + NORVAX_TEST_TOOLS_DIR +
                                       "/logging_http.py " + (dir / names[i]).string() + ".log " +
                                       names[i] + " " + portFile.string(),
                                   "");
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (!fs::exists(portFile) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      ports_[i] = testing::ReadFile(portFile);
    }
    // Firefox's default profile: every name resolves to 127.0.0.1, nothing runs at its start.
    const fs::path firefox = fs::path(std::getenv("HOME")) / ".mozilla" / "firefox";
    fs::remove_all(firefox);
    fs::create_directories(firefox / "test.default");
    testing::WriteFile(firefox / "profiles.ini",
                       "[Profile0]\nName=default\nIsRelative=1\nPath=test.default\nDefault=1\n");
    testing::WriteFile(firefox / "test.default" / "user.js",
                       "user_pref(\"network.dns.forceResolve\", \"127.0.0.1\");\n"
                       "user_pref(\"network.captive-portal-service.enabled\", false);\n"
                       "user_pref(\"network.connectivity-service.enabled\", false);\n"
                       "user_pref(\"app.update.enabled\", false);\n");
    fs::create_directories(fs::path(std::getenv("XDG_CONFIG_HOME")));
  }
  void TearDown() override {
    for (ProcessHandle s : servers) processes.Terminate(s);
    unsetenv("XDG_CURRENT_DESKTOP");
  }

  // Launches an entry of browser with the proxy record; where the request arrived.
  std::string Launch(const std::string& browser, const std::string& flags,
                     const std::string& exceptions) {
    const std::string url = "http://norvax.test:" + ports_[1] + "/";
    std::string command;
    if (browser == "chromium") {
      command =
          "chromium --headless --no-sandbox --disable-background-networking "
          "--disable-component-update --user-data-dir=" +
          (dir / "chromium").string() +
          " '--host-resolver-rules=MAP norvax.test 127.0.0.1, MAP * ~NOTFOUND, EXCLUDE "
          "127.0.0.1' --dump-dom " +
          url;
    } else {
      command = "firefox-esr --headless --screenshot " + (dir / "shot.png").string() + " " + url;
    }
    state.table.Clear();
    Entry e = Entry::New();
    e[Column::Browser] = command;
    e[Column::ProxyFlags] = flags;
    e[Column::ProxyServers] = "http=127.0.0.1:" + ports_[0];
    e[Column::ProxyExceptions] = exceptions;
    state.table.Append(e);
    fs::remove(dir / "proxy.log");
    fs::remove(dir / "target.log");
    StopBrowserWatch(state, ports);
    LaunchEntry(state, ports, 0);
    EXPECT_TRUE(fake.dialogs.errors.empty());
    EXPECT_TRUE(processes.WaitForExit(state.session.browserProcess, 20000)) << command;
    processes.Terminate(state.session.browserProcess);
    const std::string wanted = "GET " + url + " HTTP";
    if (fs::exists(dir / "proxy.log") &&
        testing::ReadFile(dir / "proxy.log").find(wanted) != std::string::npos) {
      return "proxy";
    }
    if (fs::exists(dir / "target.log") &&
        testing::ReadFile(dir / "target.log").starts_with("GET / HTTP")) {
      return "direct";
    }
    return "nowhere";
  }
};

TEST_F(ProxyBrowsers, EachBrowserGoesWhereTheStoreItFollowsSays) {
  struct Case {
    const char* browser;
    const char* desktop;  // "" for none: Chromium follows the environment there
    const char* flags;
    const char* exceptions;
    const char* arrives;
  } cases[] = {
      {"chromium", "GNOME", "110", "", "proxy"},
      {"chromium", "GNOME", "110", "localhost;norvax.test", "direct"},
      {"chromium", "GNOME", "100", "", "direct"},
      {"chromium", "KDE", "110", "", "proxy"},
      {"chromium", "KDE", "110", "norvax.test", "direct"},
      {"chromium", "", "110", "", "proxy"},
      {"chromium", "", "110", " norvax.test ", "direct"},
      {"firefox-esr", "", "110", "", "proxy"},  // Firefox follows GSettings on any desktop
      {"firefox-esr", "", "110", "norvax.test", "direct"},
      {"firefox-esr", "", "100", "", "direct"},
      {"firefox-esr", "", "111", "", "proxy"},  // its own preferences
      {"firefox-esr", "", "111", "x;norvax.test", "direct"},
      {"firefox-esr", "", "101", "", "direct"},
  };
  for (const auto& c : cases) {
    if (!Installed(c.browser)) {
      std::printf("skipped %s: not installed\n", c.browser);
      continue;
    }
    if (*c.desktop) {
      setenv("XDG_CURRENT_DESKTOP", c.desktop, 1);
    } else {
      unsetenv("XDG_CURRENT_DESKTOP");
    }
    EXPECT_EQ(Launch(c.browser, c.flags, c.exceptions), c.arrives)
        << c.browser << " on " << c.desktop << ", flags " << c.flags << ", exceptions "
        << c.exceptions;
  }
}

}  // namespace
}  // namespace norvax
