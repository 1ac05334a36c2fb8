// Adapter: programs started with posix_spawn, each in a process group of its own, and
// followed through /proc; the desktop's opener is xdg-open; a call's guardian is
// `norvaxctl log guard`, beside the executable.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/processes.h"

namespace norvax {

class PosixProcesses : public Processes {
 public:
  // callDirectory: the program directory whose calls GuardCall guards; none guards nothing.
  explicit PosixProcesses(std::filesystem::path callDirectory = {});
  ~PosixProcesses() override;

  ProcessHandle Start(const std::string& commandLine, const std::string& directory,
                      const EnvironmentChanges& environment = {}) override;
  std::vector<std::uint32_t> ProcessTree(ProcessHandle process) override;
  bool WaitForExit(ProcessHandle process, std::uint32_t timeoutMs) override;
  void Close(ProcessHandle process) override;
  void Terminate(ProcessHandle process) override;
  bool ShellOpen(const std::string& target) override;
  void GuardCall() override;

 private:
  // The processes of a started program seen so far, by id, with their start times (so that
  // an id the system has given to another program since never counts).
  struct Tree {
    std::map<pid_t, unsigned long long> seen;
    unsigned long long start = 0;  // of the started program
    std::string mark;              // in the environment of each of its processes
    bool gone = false;
  };

  // Collects the started program itself once it has ended, so that it is no zombie; true
  // when it has ended now.
  static bool Collect(Tree& tree, pid_t root);
  std::vector<std::uint32_t> TreeLocked(ProcessHandle process);
  // Collects programs let go of that have ended.
  void ReapClosed();

  std::filesystem::path callDirectory_;
  std::mutex mutex_;
  std::map<ProcessHandle, Tree> trees_;
  std::set<ProcessHandle> closed_;
};

}  // namespace norvax
