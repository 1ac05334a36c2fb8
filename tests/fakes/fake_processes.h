// Programs that start and end when the test says so.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace norvax::fakes {

class FakeProcesses : public Processes {
 public:
  ProcessHandle Start(const std::string& commandLine, const std::string& directory) override {
    started.push_back({commandLine, directory});
    if (failStart) return 0;
    ProcessHandle handle = next++;
    std::lock_guard lock(mutex_);
    running_.insert(handle);
    return handle;
  }
  std::uint32_t ProcessId(ProcessHandle process) override {
    return static_cast<std::uint32_t>(process);
  }
  // Waits (from any thread) until End(process) or the timeout.
  bool WaitForExit(ProcessHandle process, std::uint32_t timeoutMs) override {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return !running_.count(process); });
  }
  void End(ProcessHandle process) {
    std::lock_guard lock(mutex_);
    running_.erase(process);
    ended_.notify_all();
  }
  void Close(ProcessHandle process) override { closed.push_back(process); }
  bool ShellOpen(const std::string& target) override {
    shellOpened.push_back(target);
    return shellOpenWorks;
  }

  struct Started {
    std::string commandLine;
    std::string directory;
  };
  std::vector<Started> started;
  std::vector<ProcessHandle> closed;
  std::vector<std::string> shellOpened;
  bool failStart = false;
  bool shellOpenWorks = true;
  ProcessHandle next = 1000;

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  std::set<ProcessHandle> running_;
};

}  // namespace norvax::fakes
