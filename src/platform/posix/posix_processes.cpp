#include "platform/posix/posix_processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>

#include "platform/cp932.h"
#include "platform/posix/random_token.h"
#include "platform/program_directory.h"

extern char** environ;

namespace norvax {
namespace {

// How often a wait for the end of a program looks at its processes.
constexpr std::chrono::milliseconds kTreePoll{250};

// The environment variable that marks every process of one started program: it goes with
// the processes wherever they go - a session or process group of their own, a new parent
// once theirs has ended - which neither the group nor the parent chain follows.
constexpr const char* kMarkVariable = "NORVAX_LAUNCH";

// How a started program stands to this one.
enum class Tie {
  kGroup,     // a process group of its own
  kDetached,  // a session of its own (no controlling terminal, so not ended by its hang-up
              // or a Ctrl+C there), with none of this program's files but the standard three
};

// Starts argv in directory, in a process group of its own (so that what the program starts
// can be told from the rest of the desktop even after the program itself has ended), or
// detached. The child changes directory itself before exec, so the program's own working
// directory never changes. A program that cannot be executed, or a directory that cannot be
// entered, fails here. A mark, when given, is added to the program's environment as
// kMarkVariable; the changes set or remove variables of that environment.
pid_t Spawn(std::vector<std::string> argv, const std::string& directory,
            const std::string& mark = {}, EnvironmentChanges changes = {}, Tie tie = Tie::kGroup) {
  if (argv.empty()) return 0;
  std::vector<char*> raw;
  for (auto& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  changes[kMarkVariable] = mark;
  std::vector<std::string> added;
  for (const auto& [name, value] : changes) {
    if (!value.empty()) added.push_back(name + "=" + value);
  }
  std::vector<char*> environment;
  for (char** e = environ; *e; ++e) {
    const char* equals = std::strchr(*e, '=');
    if (!equals || changes.count(std::string(*e, static_cast<std::size_t>(equals - *e))) == 0) {
      environment.push_back(*e);
    }
  }
  for (auto& entry : added) environment.push_back(entry.data());
  environment.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  if (tie == Tie::kDetached) posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (tie == Tie::kDetached) {
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  } else {
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
  }
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, raw[0], &actions, &attributes, raw.data(), environment.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : 0;
}

struct ProcessInfo {
  pid_t pid = 0;
  pid_t parent = 0;
  pid_t group = 0;
  unsigned long long startTime = 0;
  bool alive = false;  // neither a zombie nor dead
};

// One process from /proc/<pid>/stat; nothing when it is gone.
std::optional<ProcessInfo> ReadProcess(pid_t pid) {
  char path[32];
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  char buffer[1024];
  ssize_t n = read(fd, buffer, sizeof buffer - 1);
  close(fd);
  if (n <= 0) return std::nullopt;
  buffer[n] = '\0';
  // "pid (name) state parent group session tty tpgid flags minflt cminflt majflt cmajflt
  //  utime stime cutime cstime priority nice threads itrealvalue starttime ..."; the name
  // may hold any character, so the fields are read from its last ')'.
  const char* p = std::strrchr(buffer, ')');
  if (!p || p[1] != ' ' || !p[2]) return std::nullopt;
  ProcessInfo info;
  info.pid = pid;
  const char state = p[2];
  info.alive = state != 'Z' && state != 'X' && state != 'x';
  char* cursor = const_cast<char*>(p + 3);
  info.parent = static_cast<pid_t>(std::strtol(cursor, &cursor, 10));
  info.group = static_cast<pid_t>(std::strtol(cursor, &cursor, 10));
  for (int field = 0; field < 16; ++field) std::strtoll(cursor, &cursor, 10);
  info.startTime = std::strtoull(cursor, &cursor, 10);
  return info;
}

std::vector<ProcessInfo> LiveProcesses() {
  std::vector<ProcessInfo> out;
  DIR* proc = opendir("/proc");
  if (!proc) return out;
  while (dirent* entry = readdir(proc)) {
    char* end = nullptr;
    long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0') continue;
    auto info = ReadProcess(static_cast<pid_t>(pid));
    if (info && info->alive) out.push_back(*info);
  }
  closedir(proc);
  return out;
}

// Whether the environment a process started with holds the variable entry ("NAME=value").
bool HasEnvironmentEntry(pid_t pid, const std::string& entry) {
  char path[32];
  std::snprintf(path, sizeof path, "/proc/%d/environ", static_cast<int>(pid));
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::string environment;
  char buffer[4096];
  ssize_t n;
  while (environment.size() < (1u << 20) && (n = read(fd, buffer, sizeof buffer)) > 0) {
    environment.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  const std::string needle = '\0' + entry + '\0';
  return ('\0' + environment).find(needle) != std::string::npos;
}

// The live processes of a started program: those seen before (same start time), those of
// its process group, those that carry its mark in their environment (started after it), and
// the children of members (also those that have left the group), until nothing more joins.
std::map<pid_t, unsigned long long> Members(const std::map<pid_t, unsigned long long>& seen,
                                            pid_t root, unsigned long long rootStart,
                                            const std::string& mark,
                                            const std::vector<ProcessInfo>& live) {
  std::map<pid_t, unsigned long long> members;
  const std::string markEntry = std::string(kMarkVariable) + "=" + mark;
  for (const ProcessInfo& p : live) {
    auto known = seen.find(p.pid);
    if ((known != seen.end() && known->second == p.startTime) || p.group == root ||
        (p.startTime >= rootStart && HasEnvironmentEntry(p.pid, markEntry))) {
      members[p.pid] = p.startTime;
    }
  }
  for (bool grew = true; grew;) {
    grew = false;
    for (const ProcessInfo& p : live) {
      if (members.count(p.parent) && members.emplace(p.pid, p.startTime).second) grew = true;
    }
  }
  return members;
}

// An address such as "http://host/" or "mailto:name@host": a scheme, then ":".
bool HasScheme(const std::string& target) {
  const auto colon = target.find(':');
  if (colon == std::string::npos || colon < 2) return false;  // "C:" names a drive
  if (!std::isalpha(static_cast<unsigned char>(target[0]))) return false;
  return std::all_of(
      target.begin(), target.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
      });
}

}  // namespace

PosixProcesses::PosixProcesses(std::filesystem::path callDirectory)
    : callDirectory_(std::move(callDirectory)) {}

PosixProcesses::~PosixProcesses() { ReapClosed(); }

ProcessHandle PosixProcesses::Start(const std::string& commandLine, const std::string& directory,
                                    const EnvironmentChanges& environment) {
  ReapClosed();
  auto words = SplitCommandLine(Cp932ToUtf8(commandLine));
  if (!words || words->empty()) return 0;
  const std::string mark = RandomToken();
  EnvironmentChanges utf8;
  for (const auto& [name, value] : environment) utf8[name] = Cp932ToUtf8(value);
  pid_t pid = Spawn(*words, Cp932ToUtf8(directory), mark, std::move(utf8));
  if (pid <= 0) return 0;
  // Not collected yet, so /proc still knows the program even when it has already ended.
  auto info = ReadProcess(pid);
  std::lock_guard lock(mutex_);
  Tree& tree = trees_[pid];
  tree.start = info ? info->startTime : 0;
  tree.seen[pid] = tree.start;
  tree.mark = mark;
  return pid;
}

bool PosixProcesses::Collect(Tree& tree, pid_t root) {
  if (tree.seen.count(root) == 0) return false;
  pid_t rc = waitpid(root, nullptr, WNOHANG);
  if (rc != root && rc >= 0) return false;
  tree.seen.erase(root);
  return true;
}

std::vector<std::uint32_t> PosixProcesses::TreeLocked(ProcessHandle process) {
  auto it = trees_.find(process);
  if (it == trees_.end() || it->second.gone) return {};
  Tree& tree = it->second;
  const pid_t root = static_cast<pid_t>(process);
  const bool rootEnded = Collect(tree, root);
  auto members = Members(tree.seen, root, tree.start, tree.mark, LiveProcesses());
  // A process that ended since the last look may have started another just before, after
  // the list of processes was taken; that one was there before it ended, so a second look
  // finds it.
  if (rootEnded ||
      std::ranges::any_of(tree.seen, [&](const auto& p) { return members.count(p.first) == 0; })) {
    members = Members(tree.seen, root, tree.start, tree.mark, LiveProcesses());
  }
  std::vector<std::uint32_t> out;
  for (const auto& [pid, start] : members) out.push_back(static_cast<std::uint32_t>(pid));
  // The started program stays known until it is collected.
  if (auto r = tree.seen.find(root); r != tree.seen.end()) members.emplace(root, r->second);
  tree.seen = std::move(members);
  tree.gone = tree.seen.empty();
  return out;
}

std::vector<std::uint32_t> PosixProcesses::ProcessTree(ProcessHandle process) {
  std::lock_guard lock(mutex_);
  return TreeLocked(process);
}

bool PosixProcesses::WaitForExit(ProcessHandle process, std::uint32_t timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    {
      std::lock_guard lock(mutex_);
      if (TreeLocked(process).empty()) return true;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(kTreePoll, deadline - now));
  }
}

void PosixProcesses::Close(ProcessHandle process) {
  std::lock_guard lock(mutex_);
  auto it = trees_.find(process);
  if (it == trees_.end()) return;
  if (it->second.seen.count(static_cast<pid_t>(process))) closed_.insert(process);
  trees_.erase(it);
}

void PosixProcesses::Terminate(ProcessHandle process) {
  {
    std::lock_guard lock(mutex_);
    for (std::uint32_t pid : TreeLocked(process)) kill(static_cast<pid_t>(pid), SIGTERM);
  }
  Close(process);
}

void PosixProcesses::ReapClosed() {
  std::lock_guard lock(mutex_);
  for (auto it = closed_.begin(); it != closed_.end();) {
    pid_t rc = waitpid(static_cast<pid_t>(*it), nullptr, WNOHANG);
    it = (rc == static_cast<pid_t>(*it) || rc < 0) ? closed_.erase(it) : std::next(it);
  }
}

bool PosixProcesses::ShellOpen(const std::string& target) {
  ReapClosed();
  const std::string utf8 = Cp932ToUtf8(target);
  // What xdg-open would refuse at once: neither an existing file or folder nor an address.
  std::error_code error;
  if (!std::filesystem::exists(utf8, error) && !HasScheme(utf8)) return false;
  // xdg-open runs in the background of a shell that ends at once. Without a desktop of its
  // own it opens the target itself and lasts as long as the program it started, which is
  // never waited for; once the shell has ended, the system collects it.
  pid_t pid = Spawn({"/bin/sh", "-c",
                     "command -v xdg-open >/dev/null || exit 127\n"
                     "xdg-open \"$1\" >/dev/null 2>&1 &",
                     "sh", utf8},
                    "");
  if (pid <= 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void PosixProcesses::GuardCall() {
  if (callDirectory_.empty()) return;
  const std::string guardian = CompanionProgramPath("norvaxctl").string();
  const auto cannot = [&](const char* why) {
    std::fprintf(stderr,
                 "NORVAX: 接続の見張り役 %s を起動できません (%s)。NORVAX が接続の途中で"
                 "終わったときは、次の起動か norvaxctl log move が切断して記録します。\n",
                 guardian.c_str(), why);
  };
  if (access(guardian.c_str(), X_OK) != 0) return cannot(std::strerror(errno));
  // Detached, through a shell that ends as soon as the guardian has started: the guardian
  // outlives this program, holds none of its files (the display connection among them) and
  // is never left behind as a zombie of this one.
  pid_t shell = Spawn({"/bin/sh", "-c", "\"$0\" log guard \"$1\" \"$2\" &", guardian,
                       std::to_string(getpid()), callDirectory_.string()},
                      "", {}, {}, Tie::kDetached);
  int status = 0;
  if (shell <= 0 || waitpid(shell, &status, 0) != shell || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    cannot("/bin/sh");
  }
}

}  // namespace norvax
