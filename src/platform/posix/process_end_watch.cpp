#include "platform/posix/process_end_watch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace norvax {

ProcessEndWatch::ProcessEndWatch(pid_t process, const std::filesystem::path& folder) {
  // Through syscall: the C++ declaration of glibc 2.36's pidfd_open lacks C linkage.
  process_ = static_cast<int>(syscall(SYS_pidfd_open, process, 0));
  if (process_ < 0) {
    if (errno == ESRCH) {
      ended_ = true;
    } else {
      problem_ = "process " + std::to_string(process) + ": " + std::strerror(errno);
    }
  }
  changes_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (changes_ >= 0) {
    // A file replaced in one step arrives by a rename; a folder removed tells once.
    inotify_add_watch(
        changes_, folder.c_str(),
        IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
  }
}

ProcessEndWatch::~ProcessEndWatch() {
  if (process_ >= 0) close(process_);
  if (changes_ >= 0) close(changes_);
}

bool ProcessEndWatch::Wait(std::chrono::milliseconds timeout) {
  // poll passes over a negative descriptor: the process once it has ended.
  pollfd watched[] = {{changes_, POLLIN, 0}, {ended_ ? -1 : process_, POLLIN, 0}};
  if (poll(watched, 2, static_cast<int>(timeout.count())) <= 0) return ended_;
  if (watched[0].revents & POLLIN) {
    alignas(inotify_event) char events[4096];
    while (read(changes_, events, sizeof events) > 0) {
    }
  }
  if (watched[1].revents != 0) ended_ = true;
  return ended_;
}

}  // namespace norvax
