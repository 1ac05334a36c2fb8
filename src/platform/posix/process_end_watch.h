// Adapter: a wait for the end of another process and for the changes of the files of a
// folder. The process is held by a pidfd from the start, so that another process given the
// same id after its end never counts for it; the folder is watched with inotify (where the
// file system tells of no changes, only the wait's time limit ends a wait).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace norvax {

class ProcessEndWatch {
 public:
  // Watches process (ended already when there is none of that id) and the files of folder.
  ProcessEndWatch(pid_t process, const std::filesystem::path& folder);
  ~ProcessEndWatch();
  ProcessEndWatch(const ProcessEndWatch&) = delete;
  ProcessEndWatch& operator=(const ProcessEndWatch&) = delete;

  // Why the process cannot be watched, or empty.
  const std::string& Problem() const { return problem_; }
  // Whether the process is known to have ended.
  bool Ended() const { return ended_; }

  // Waits at most timeout until a file of the folder changes (is written, replaced or
  // removed) or, while it runs, the process ends; true once the process has ended.
  bool Wait(std::chrono::milliseconds timeout);

 private:
  int process_ = -1;  // pidfd
  int changes_ = -1;  // inotify
  bool ended_ = false;
  std::string problem_;
};

}  // namespace norvax
