// Adapter: programs started with posix_spawn; the desktop's opener is xdg-open.
#pragma once

#include <mutex>
#include <set>

#include "platform/processes.h"

namespace norvax {

class PosixProcesses : public Processes {
 public:
  ~PosixProcesses() override;

  ProcessHandle Start(const std::string& commandLine, const std::string& directory) override;
  std::uint32_t ProcessId(ProcessHandle process) override;
  bool WaitForExit(ProcessHandle process, std::uint32_t timeoutMs) override;
  void Close(ProcessHandle process) override;
  bool ShellOpen(const std::string& target) override;

 private:
  // Collects programs let go of that have ended, so that none stays a zombie.
  void ReapClosed();

  std::mutex mutex_;
  std::set<ProcessHandle> closed_;
  std::set<ProcessHandle> ended_;
};

}  // namespace norvax
