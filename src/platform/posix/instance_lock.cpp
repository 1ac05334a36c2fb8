#include "platform/posix/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace norvax {

InstanceLock::InstanceLock(const std::filesystem::path& directory) : directory_(directory) {
  Take();
}

bool InstanceLock::Take() {
  if (Held()) return true;
  // Not inherited by the programs the copy starts: the lock ends with the copy.
  int fd = open((directory_ / kFileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace norvax
