// One copy of the program per program directory: an advisory lock on a file there, held
// while the copy runs. A second copy, or a command that would change the settings file
// under the running copy, finds it taken.
#pragma once

#include <filesystem>

namespace norvax {

class InstanceLock {
 public:
  static constexpr const char* kFileName = "norvax.lock";

  // Takes the lock when it is free; Held tells.
  explicit InstanceLock(const std::filesystem::path& directory);
  // Takes the lock if it is free now (the program that held it has let go); true when held.
  bool Take();
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  bool Held() const { return fd_ >= 0; }

 private:
  std::filesystem::path directory_;
  int fd_ = -1;
};

}  // namespace norvax
