// Programs that start and end when the test says so.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace norvax::fakes {

class FakeProcesses : public Processes {
 public:
  ProcessHandle Start(const std::string& commandLine, const std::string& directory,
                      const EnvironmentChanges& environment = {}) override {
    started.push_back({commandLine, directory, environment});
    if (whileStarting) whileStarting();
    if (failStart) return 0;
    ProcessHandle handle = next++;
    std::lock_guard lock(mutex_);
    running_.insert(handle);
    return handle;
  }
  // Lets a started program start another one, as a launcher starts the real browser.
  ProcessHandle StartChild(ProcessHandle parent) {
    std::lock_guard lock(mutex_);
    ProcessHandle child = next++;
    running_.insert(child);
    parents_[child] = parent;
    return child;
  }
  std::vector<std::uint32_t> ProcessTree(ProcessHandle process) override {
    std::lock_guard lock(mutex_);
    return TreeLocked(process);
  }
  // Waits (from any thread) until the program and its children have ended, or the timeout.
  bool WaitForExit(ProcessHandle process, std::uint32_t timeoutMs) override {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return TreeLocked(process).empty(); });
  }
  void End(ProcessHandle process) {
    std::lock_guard lock(mutex_);
    running_.erase(process);
    ended_.notify_all();
  }
  void Close(ProcessHandle process) override { closed.push_back(process); }
  void Terminate(ProcessHandle process) override {
    terminated.push_back(process);
    End(process);
  }
  bool ShellOpen(const std::string& target) override {
    shellOpened.push_back(target);
    return shellOpenWorks;
  }
  void GuardCall() override { ++guards; }

  struct Started {
    std::string commandLine;
    std::string directory;
    EnvironmentChanges environment;
  };
  std::vector<Started> started;
  std::vector<ProcessHandle> closed, terminated;
  std::vector<std::string> shellOpened;
  int guards = 0;  // guardians started
  bool failStart = false;
  bool shellOpenWorks = true;
  // Runs while a program starts, as other events would while the program waited for it.
  std::function<void()> whileStarting;
  ProcessHandle next = 1000;

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  std::set<ProcessHandle> running_;
  std::map<ProcessHandle, ProcessHandle> parents_;  // child, the program that started it

  std::vector<std::uint32_t> TreeLocked(ProcessHandle process) {
    std::vector<std::uint32_t> out;
    for (ProcessHandle p : running_) {
      if (p == process || (parents_.count(p) && parents_[p] == process)) {
        out.push_back(static_cast<std::uint32_t>(p));
      }
    }
    return out;
  }
};

}  // namespace norvax::fakes
