#include "platform/posix/posix_processes.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/cp932.h"

extern char** environ;

namespace norvax {
namespace {

// Starts argv in directory; the child changes directory itself before exec, so the
// program's own working directory never changes. A program that cannot be executed, or a
// directory that cannot be entered, fails here.
pid_t Spawn(std::vector<std::string> argv, const std::string& directory) {
  if (argv.empty()) return 0;
  std::vector<char*> raw;
  for (auto& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, raw[0], &actions, nullptr, raw.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : 0;
}

}  // namespace

PosixProcesses::~PosixProcesses() { ReapClosed(); }

ProcessHandle PosixProcesses::Start(const std::string& commandLine, const std::string& directory) {
  ReapClosed();
  auto words = SplitCommandLine(Cp932ToUtf8(commandLine));
  if (!words || words->empty()) return 0;
  pid_t pid = Spawn(*words, Cp932ToUtf8(directory));
  return pid > 0 ? pid : 0;
}

std::uint32_t PosixProcesses::ProcessId(ProcessHandle process) {
  return static_cast<std::uint32_t>(process);
}

bool PosixProcesses::WaitForExit(ProcessHandle process, std::uint32_t timeoutMs) {
  {
    std::lock_guard lock(mutex_);
    if (ended_.count(process)) return true;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    int status = 0;
    pid_t rc = waitpid(static_cast<pid_t>(process), &status, WNOHANG);
    if (rc == static_cast<pid_t>(process) || rc < 0) {
      std::lock_guard lock(mutex_);
      ended_.insert(process);
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void PosixProcesses::Close(ProcessHandle process) {
  std::lock_guard lock(mutex_);
  if (!ended_.erase(process)) closed_.insert(process);
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
  pid_t pid = Spawn({"xdg-open", Cp932ToUtf8(target)}, "");
  if (pid <= 0) return false;
  // xdg-open hands the target to its handler and ends; its status tells whether it could.
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace norvax
