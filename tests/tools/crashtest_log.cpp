// Kill tests of the connection log (SIGKILL), each checked after every kill:
//
// - `norvaxctl log move --yes` killed at random moments while another process logs calls
//   into the same program directory. The next move, a `norvaxctl log show` or the next
//   logged call finishes the cut-off move; whenever nothing is pending, every call logged so
//   far must be in NORVA.LOG or NORVALOG.OLD exactly once.
// - The call record's log step (two ended calls of NORVACALL.INI logged), killed at every
//   change of a file in turn (before it, half-way through an append, after it) and then at
//   random moments. `norvaxctl log show` then finishes the step; every call must be in
//   NORVA.LOG exactly once, whole and in order, with the month's seconds counted once.
//
//   crashtest_log KILLS [NORVAXCTL]
//
// Runs until KILLS movers, and KILLS log steps, have been killed while they ran and prints
// what it did. Exit status 0 when every check held; 1 on the first line lost or doubled,
// which is named on stderr and whose directory is kept for a look; 2 for a command line
// that is not understood. `crashtest_log append DIR REPORT` is the logging process it starts
// itself, `crashtest_log calls DIR POINT` the log step of the calls it put in the record
// (POINT: where it kills itself, -1 for nowhere).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/decimal.h"
#include "dialup/call_record.h"
#include "dialup/connection_log.h"
#include "dialup/dial_profile.h"
#include "dialup/holidays.h"
#include "platform/posix/posix_file_store.h"
#include "platform/sim/sim_phonebook.h"
#include "platform/store/ini_file.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

volatile sig_atomic_t stopAppending = 0;

// Logs calls until SIGUSR1, each call's duration being its number, so that every line can
// be told apart; the number of each call logged goes to REPORT once its line is written.
// Half the calls are dated before every cut-off the test uses, half after one of them.
int Append(const fs::path& dir, const fs::path& report) {
  struct sigaction action {};
  action.sa_handler = [](int) { stopAppending = 1; };
  sigaction(SIGUSR1, &action, nullptr);
  norvax::PosixFileStore files(dir);
  norvax::IniFile state((dir / norvax::kLogStateFileName).string());
  const auto holidays = norvax::LoadHolidays();
  const auto profile = norvax::ParseProfile("0;20;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;");
  int out = open(report.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (out < 0) return 1;
  int failures = 0;
  for (int32_t n = 1; !stopAppending; ++n) {
    int month = n % 2 ? 4 : 6;
    norvax::LoggedConnection call{
        "crash", {1999, month, 10, 10, 0, 0}, {1999, month, 10, 11, 0, 0}, n, 1};
    try {
      if (auto pending = norvax::WriteLogLine(state, files, holidays, call, profile)) {
        std::cerr << "crashtest_log: pending move: " << pending->what() << "\n";
        ++failures;
      }
      std::string line = std::to_string(n) + "\n";
      if (write(out, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return 1;
    } catch (const std::exception& e) {
      std::cerr << "crashtest_log: call " << n << " not logged: " << e.what() << "\n";
      ++failures;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  close(out);
  return failures == 0 ? 0 : 1;
}

constexpr const char* kLoggingProfile = "0;20;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;";
constexpr const char* kRecordConnection = "record";

// The files of a folder, killing the process (SIGKILL) at one point of its changes: point
// 2n is just before change n (from 0), point 2n + 1 just after it, or half-way through it
// when it is an append. A negative point is never reached.
class KillingFileStore : public norvax::FileStore {
 public:
  KillingFileStore(const fs::path& dir, long point) : files_(dir), point_(point) {}

  std::string PathOf(std::string_view name) const override { return files_.PathOf(name); }
  bool Exists(std::string_view name) const override { return files_.Exists(name); }
  std::optional<uint64_t> Size(std::string_view name) const override { return files_.Size(name); }
  std::unique_ptr<norvax::LineReader> OpenLines(std::string_view name) const override {
    return files_.OpenLines(name);
  }
  std::string Read(std::string_view name, uint64_t offset, std::size_t size) const override {
    return files_.Read(name, offset, size);
  }
  void Append(std::string_view name, std::string_view data) override {
    if (Before()) {
      files_.Append(name, data.substr(0, data.size() / 2));
      raise(SIGKILL);
    }
    files_.Append(name, data);
  }
  void Replace(std::string_view name, std::string_view data) override {
    const bool after = Before();
    files_.Replace(name, data);
    if (after) raise(SIGKILL);
  }
  void Truncate(std::string_view name, uint64_t size) override {
    const bool after = Before();
    files_.Truncate(name, size);
    if (after) raise(SIGKILL);
  }
  void Remove(std::string_view name) override {
    const bool after = Before();
    files_.Remove(name);
    if (after) raise(SIGKILL);
  }
  std::unique_ptr<norvax::FileLock> Lock(std::string_view name) override {
    return files_.Lock(name);
  }
  std::unique_ptr<norvax::FileLock> TryLock(std::string_view name) override {
    return files_.TryLock(name);
  }

 private:
  // Kills the process when the point is just before this change; true when it is just after
  // it (or half-way through).
  bool Before() {
    const long change = changes_++;
    if (point_ == 2 * change) raise(SIGKILL);
    return point_ == 2 * change + 1;
  }

  norvax::PosixFileStore files_;
  long point_;
  long changes_ = 0;
};

class ErrorsToStderr : public norvax::UserDialogs {
 public:
  void ShowError(const std::string& text) override { std::cerr << text << "\n"; }
  void ShowMessage(const std::string& text) override { std::cerr << text << "\n"; }
  bool ConfirmOkCancel(const std::string&) override { return false; }
};

// The record of a program with two ended calls, of first and first + 1 seconds.
void StoreEndedCalls(const fs::path& dir, int32_t first) {
  std::vector<norvax::CallRecord> calls;
  for (int32_t seconds : {first, first + 1}) {
    norvax::CallRecord call;
    call.entry = call.connection = kRecordConnection;
    call.dialler = "simulated";
    call.profile = kLoggingProfile;
    call.log = true;
    call.start = {1999, 6, 10, 10, 0, 0};
    call.refreshed = call.end = {1999, 6, 10, 11, 0, 0};
    call.seconds = seconds;
    calls.push_back(call);
  }
  norvax::PosixFileStore files(dir);
  norvax::StoreCallRecords(files, calls);
}

// The log step of the program whose record the folder holds, which kills itself at point.
int LogCalls(const fs::path& dir, long point) {
  KillingFileStore files(dir, point);
  auto calls = norvax::ReadCallRecords(files);
  norvax::IniFile state((dir / norvax::kLogStateFileName).string());
  ErrorsToStderr report;
  norvax::WriteEndedCalls(calls, files, state, norvax::LoadHolidays(), report,
                          norvax::LockWait::kWait);
  return calls.empty() ? 0 : 1;
}

pid_t Spawn(const std::vector<std::string>& args, const char* output) {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, output, O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    std::cerr << "crashtest_log: cannot start " << args[0] << ": " << std::strerror(rc) << "\n";
    std::exit(1);
  }
  return pid;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Checks, holding the log's lock, that no move is pending and that every call reported so
// far is in the log or the archive exactly once. At the end (final) nothing else may be
// there; before it, one call may be written and not yet reported.
bool Check(const fs::path& dir, const fs::path& report, bool final, std::size_t* total) {
  norvax::PosixFileStore files(dir);
  auto lock = files.Lock(norvax::kLogLockName);
  if (files.Exists(norvax::kLogTempName)) {
    std::cerr << "crashtest_log: a move is still pending after its recovery\n";
    return false;
  }
  std::map<int32_t, int> seen;
  for (const char* name : {norvax::kLogFileName, norvax::kLogArchiveName}) {
    for (const auto& line : norvax::ReadAllLines(files, name)) {
      auto fields = norvax::SplitLogLine(line);
      auto number = fields.size() == 14 ? norvax::ParseDecimal(fields[3]) : std::nullopt;
      if (!number) {
        std::cerr << "crashtest_log: damaged line in " << name << ": " << line << "\n";
        return false;
      }
      if (++seen[*number] > 1) {
        std::cerr << "crashtest_log: call " << *number << " is there twice\n";
        return false;
      }
    }
  }
  std::size_t reported = 0;
  std::ifstream in(report);
  for (std::string text; std::getline(in, text);) {
    *total = ++reported;
    auto it = seen.find(std::stoi(text));
    if (it == seen.end()) {
      std::cerr << "crashtest_log: call " << text << " is lost\n";
      return false;
    }
    seen.erase(it);
  }
  if (seen.size() > (final ? 0u : 1u)) {
    std::cerr << "crashtest_log: " << seen.size() << " lines of calls not reported as logged\n";
    return false;
  }
  return true;
}

// Checks that the record is gone and that the log holds the calls of durations, in that
// order, each once and whole, each with the month's seconds up to it.
bool CheckCalls(const fs::path& dir, const std::vector<int32_t>& durations) {
  norvax::PosixFileStore files(dir);
  if (files.Exists(norvax::kCallRecordFileName)) {
    std::cerr << "crashtest_log: " << norvax::kCallRecordFileName << " is still there\n";
    return false;
  }
  const auto lines = norvax::ReadAllLines(files, norvax::kLogFileName);
  int64_t month = 0;
  for (std::size_t i = 0; i < std::max(lines.size(), durations.size()); ++i) {
    if (i >= lines.size() || i >= durations.size()) {
      std::cerr << "crashtest_log: the log holds " << lines.size() << " lines for "
                << durations.size() << " calls\n";
      return false;
    }
    const auto fields = norvax::SplitLogLine(lines[i]);
    month += durations[i];
    if (fields.size() != 14 || norvax::ParseDecimal(fields[3]) != durations[i] ||
        norvax::ParseDecimal(fields[12]) != month) {
      std::cerr << "crashtest_log: line " << i + 1 << " is not the call of " << durations[i]
                << " seconds with " << month << " in the month: " << lines[i] << "\n";
      return false;
    }
  }
  const std::string text = ReadText(dir / norvax::kLogFileName);
  if (!text.empty() && !text.ends_with("\r\n")) {
    std::cerr << "crashtest_log: the log ends in the middle of a line\n";
    return false;
  }
  return true;
}

struct RecordRun {
  bool ok = true;
  long points = 0;  // kill points reached
  long killed = 0;  // kills at random moments while the step ran
  long noted = 0;   // of those, ones that left a record behind
  long finished = 0;
};

// The call record's log step killed at every point in turn, then at random moments.
RecordRun KillLogSteps(const fs::path& work, long kills, const std::string& norvaxctl,
                       std::mt19937_64& random) {
  const fs::path dir = work / "record";
  fs::create_directory(dir);
  // The simulated dialler (an empty phonebook): the system bus is never asked.
  std::ofstream(dir / norvax::kPhonebookFileName) << "";
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const std::string err = (work / "record.err").string();
  std::vector<int32_t> durations;
  RecordRun run;
  double window = 20000;  // microseconds: how long an unkilled step took, smoothed
  const auto step = [&](long point) {
    const int32_t first = static_cast<int32_t>(durations.size()) + 1;
    const auto start = Clock::now();
    StoreEndedCalls(dir, first);
    pid_t child = Spawn({self, "calls", dir.string(), std::to_string(point)}, err.c_str());
    if (point < 0) {
      std::this_thread::sleep_for(std::chrono::microseconds(
          std::uniform_int_distribution<long>(0, static_cast<long>(window * 1.2))(random)));
      kill(child, SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    if (!killed && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
      std::cerr << "crashtest_log: the log step failed: " << ReadText(err);
      return run.ok = false;
    }
    if (!killed) {
      ++run.finished;
      auto took = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
      window = window * 0.8 + took * 0.2;
    } else if (point < 0) {
      ++run.killed;
      if (fs::exists(dir / norvax::kCallRecordFileName)) ++run.noted;
    }
    durations.push_back(first);
    durations.push_back(first + 1);
    pid_t show = Spawn({norvaxctl, "log", "show", dir.string()}, err.c_str());
    waitpid(show, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::cerr << "crashtest_log: log show failed: " << ReadText(err);
      return run.ok = false;
    }
    run.ok = CheckCalls(dir, durations);
    return killed;
  };
  // Every point, until the step runs to its end.
  while (run.ok && step(run.points)) ++run.points;
  while (run.ok && run.killed < kills) step(-1);
  return run;
}

int Usage() {
  std::cerr << "usage: crashtest_log KILLS [NORVAXCTL]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "append") return Append(args[1], args[2]);
  if (args.size() == 3 && args[0] == "calls") return LogCalls(args[1], std::stol(args[2]));
  if (args.empty() || args.size() > 2 || args[0].empty() ||
      args[0].find_first_not_of("0123456789") != std::string::npos) {
    return Usage();
  }
  const long kills = std::stol(args[0]);
  const std::string norvaxctl = args.size() > 1 ? args[1] : NORVAXCTL_PATH;

  char pattern[] = "/tmp/norvax-crashtest-log-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path work = pattern;
  const fs::path dir = work / "program";
  const fs::path report = work / "logged";
  const std::string err = (work / "mover.err").string();
  fs::create_directory(dir);
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  pid_t appender =
      Spawn({self, "append", dir.string(), report.string()}, (work / "appender.err").c_str());

  std::mt19937_64 random(std::random_device{}());
  const auto started = Clock::now();
  double window = 20000;  // microseconds: how long an unkilled move took, smoothed
  long killed = 0, finished = 0, pending = 0, checks = 0;
  std::size_t logged = 0;
  bool ok = true;
  while (ok && killed < kills) {
    // Mostly the lines of April move and those of June stay; now and then all move.
    const char* cutoff = random() % 4 ? "1999/05/01" : "1999/12/31";
    const auto start = Clock::now();
    pid_t mover =
        Spawn({norvaxctl, "log", "move", "--yes", "--before", cutoff, dir.string()}, err.c_str());
    std::this_thread::sleep_for(std::chrono::microseconds(
        std::uniform_int_distribution<long>(0, static_cast<long>(window * 1.2))(random)));
    kill(mover, SIGKILL);
    int status = 0;
    waitpid(mover, &status, 0);
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
      ++killed;
      if (fs::exists(dir / norvax::kLogTempName)) ++pending;
    } else {
      ++finished;
      auto took = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
      window = window * 0.8 + took * 0.2;
      // A log that all moved a moment ago may hold no line yet: the move refuses.
      std::string message = ReadText(err);
      if (!(WIFEXITED(status) &&
            (WEXITSTATUS(status) == 0 || message.find("ログが０件です") != std::string::npos ||
             message.find("ログファイルがありません") != std::string::npos))) {
        std::cerr << "crashtest_log: the move failed: " << message;
        ok = false;
        break;
      }
    }
    // Every other time the cut-off move is finished by `log show` and everything checked;
    // otherwise the next move or the next logged call finishes it.
    if (random() % 2) {
      pid_t show = Spawn({norvaxctl, "log", "show", dir.string()}, err.c_str());
      waitpid(show, &status, 0);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << "crashtest_log: log show failed: " << ReadText(err);
        ok = false;
        break;
      }
      ++checks;
      ok = Check(dir, report, false, &logged);
    }
  }
  kill(appender, SIGUSR1);
  int status = 0;
  waitpid(appender, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::cerr << "crashtest_log: the logging process failed: " << ReadText(work / "appender.err");
    ok = false;
  }
  if (ok) {
    pid_t show = Spawn({norvaxctl, "log", "show", dir.string()}, err.c_str());
    waitpid(show, &status, 0);
    ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && Check(dir, report, true, &logged);
  }
  auto seconds = std::chrono::duration<double>(Clock::now() - started).count();
  std::printf(
      "%s: %ld kills (%ld left a move pending), %ld moves finished, %ld checks, %zu calls "
      "logged, %.1f s, window %.0f us\n",
      ok ? "ok" : "FAILED", killed, pending, finished, checks, logged, seconds, window);
  if (ok) {
    const auto steps = Clock::now();
    const RecordRun run = KillLogSteps(work, kills, norvaxctl, random);
    ok = run.ok;
    std::printf(
        "%s: log step killed at %ld points, then %ld times at random (%ld left its record), "
        "%ld steps finished, %.1f s\n",
        ok ? "ok" : "FAILED", run.points, run.killed, run.noted, run.finished,
        std::chrono::duration<double>(Clock::now() - steps).count());
  }
  if (ok) {
    fs::remove_all(work);
  } else {
    std::printf("directory: %s\n", work.c_str());
  }
  return ok ? 0 : 1;
}
