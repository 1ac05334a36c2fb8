// Kill test of settings saves: kills `norvaxctl entry add` (SIGKILL) at random moments while
// it saves a settings file of 2,000 entries, and after each kill checks that the file loads
// with the old or the new table and that nothing an interrupted save left behind remains
// once the next save is done.
//
//   crashtest_settings KILLS [NORVAXCTL]
//
// Exit status 0 when every check held; 1 on the first failure, which is named on stderr and
// whose program directory is kept for a look; 2 for a command line that is not understood.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/entry_table.h"
#include "core/preferences.h"
#include "core/settings.h"
#include "platform/store/ini_file.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kEntries = 2000;
constexpr const char* kSettingsFile = "norvax.ini";
// Files that belong in the program directory; anything else is left over.
constexpr const char* kKept[] = {"norvax.ini", "norvax.lock"};

struct Failure {
  std::string what;
};

// The 2,000 entries the saves start from, written once with the program's own save.
void WriteStartTable(const fs::path& file) {
  norvax::EntryTable table;
  for (std::size_t i = 1; i <= kEntries; ++i) {
    norvax::Entry e = norvax::Entry::New();
    const std::string n = std::to_string(i);
    e[norvax::Column::Title] = "Provider " + n;
    e[norvax::Column::Id] = "user" + n;
    e[norvax::Column::Pass] = "secret" + n;
    e[norvax::Column::Browser] = "/usr/bin/firefox";
    e[norvax::Column::Connection] = "Example Net";
    e[norvax::Column::Set1] = "IE4.0";
    table.Append(e);
  }
  norvax::PreferenceList prefs;
  prefs.ResetToDefaults();
  norvax::IniFile ini(file.string());
  norvax::SaveEntryTable(ini, table, prefs);
}

// Starts `norvaxctl entry add` on the directory, its output discarded.
pid_t StartAdd(const std::string& ctl, const fs::path& dir, int round) {
  const std::string title = "kill " + std::to_string(round);
  pid_t pid = fork();
  if (pid < 0) throw Failure{"fork failed"};
  if (pid == 0) {
    int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execl(ctl.c_str(), ctl.c_str(), "entry", "add", "--title", title.c_str(), dir.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// Waits for the process; true when it ended by itself with exit status 0.
bool Finished(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw Failure{"waitpid failed"};
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
    throw Failure{"norvaxctl entry add exited with " + std::to_string(WEXITSTATUS(status))};
  }
  return WIFEXITED(status);
}

// The number of entries `norvaxctl check-settings` finds; fails unless it says ok.
std::size_t CheckedEntries(const std::string& ctl, const fs::path& file) {
  const std::string command = "'" + ctl + "' check-settings '" + file.string() + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw Failure{"popen failed"};
  std::string out;
  char buffer[256];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
  const std::string ok = "ok entries=";
  if (status != 0 || out.rfind(ok, 0) != 0) throw Failure{"check-settings says: " + out};
  return std::stoul(out.substr(ok.size()));
}

std::vector<std::string> LeftOver(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& f : fs::directory_iterator(dir)) {
    const std::string name = f.path().filename().string();
    if (std::find(std::begin(kKept), std::end(kKept), name) == std::end(kKept)) {
      names.push_back(name);
    }
  }
  return names;
}

int Run(int kills, const std::string& ctl) {
  std::string pattern = (fs::temp_directory_path() / "norvax-crashtest-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::cerr << "crashtest_settings: cannot make a temporary directory\n";
    return 1;
  }
  const fs::path dir = pattern;
  const fs::path file = dir / kSettingsFile;
  const auto started = Clock::now();
  int round = 0;
  try {
    WriteStartTable(file);
    std::size_t entries = CheckedEntries(ctl, file);
    if (entries != kEntries) throw Failure{"the start table did not load whole"};

    // How long one add takes from start to end: the kills fall within that time.
    std::vector<Clock::duration> times;
    for (int i = 0; i < 3; ++i) {
      const auto t0 = Clock::now();
      Finished(StartAdd(ctl, dir, --round));
      times.push_back(Clock::now() - t0);
    }
    std::sort(times.begin(), times.end());
    const auto addTime = times[1];
    entries = CheckedEntries(ctl, file);

    std::mt19937_64 random(std::random_device{}());
    std::uniform_int_distribution<Clock::rep> delay(0, addTime.count());
    int unchanged = 0, changed = 0, ended = 0, leftovers = 0;
    for (round = 1; round <= kills; ++round) {
      const pid_t pid = StartAdd(ctl, dir, round);
      std::this_thread::sleep_for(Clock::duration(delay(random)));
      kill(pid, SIGKILL);
      const bool finished = Finished(pid);
      const std::size_t now = CheckedEntries(ctl, file);
      if (now != entries && now != entries + 1) {
        throw Failure{"the table went from " + std::to_string(entries) + " to " +
                      std::to_string(now) + " entries"};
      }
      if (finished && now != entries + 1) throw Failure{"a finished add is missing"};
      ended += finished;
      (now == entries ? unchanged : changed) += 1;
      entries = now;
      // What this kill left may stay until the next save; nothing older may.
      const auto left = LeftOver(dir);
      if (left.size() > 1) throw Failure{"left over from earlier saves: " + left[0]};
      leftovers += !left.empty();
    }
    Finished(StartAdd(ctl, dir, round));
    if (auto left = LeftOver(dir); !left.empty()) {
      throw Failure{"left over after a finished save: " + left[0]};
    }
    const auto seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf(
        "ok kills=%d unchanged=%d changed=%d (finished before the kill: %d) "
        "left-over-until-next-save=%d entries=%zu add=%.0fms total=%.1fs\n",
        kills, unchanged, changed, ended, leftovers, CheckedEntries(ctl, file),
        std::chrono::duration<double, std::milli>(addTime).count(), seconds);
  } catch (const Failure& f) {
    std::cerr << "crashtest_settings: kill " << round << ": " << f.what << "; see " << dir.string()
              << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "crashtest_settings: " << e.what() << "; see " << dir.string() << "\n";
    return 1;
  }
  fs::remove_all(dir);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int kills = argc >= 2 ? std::atoi(argv[1]) : 0;
  if (argc < 2 || argc > 3 || kills < 1) {
    std::cerr << "usage: crashtest_settings KILLS [NORVAXCTL]\n";
    return 2;
  }
  return Run(kills, argc == 3 ? argv[2] : NORVAXCTL_PATH);
}
