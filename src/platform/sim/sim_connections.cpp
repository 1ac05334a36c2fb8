#include "platform/sim/sim_connections.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/decimal.h"
#include "platform/store/ini_file.h"

namespace norvax {
namespace {

constexpr const char* kSection = "Connections";
constexpr const char* kHandlesSection = "Handles";
constexpr const char* kNextKey = "Next";

// Holds an exclusive lock on "<path>.lock" for a read-modify-write of the file. Each lock
// opens its own descriptor, so it excludes other threads of this process as well as other
// processes. Without a writable folder the change goes ahead unlocked, as before.
class FileLock {
 public:
  explicit FileLock(const std::string& path)
      : fd_(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the descriptor releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

std::optional<uint32_t> HandleOf(const std::string& key) {
  auto n = ParseDecimal(key);
  if (!n || *n <= 0) return std::nullopt;
  return static_cast<uint32_t>(*n);
}

}  // namespace

SimConnections::SimConnections(std::string path) : path_(std::move(path)) {}

uint32_t SimConnections::NewHandleLocked() {
  IniFile file(path_);
  uint32_t next = 1;
  if (auto stored = file.ReadValue(kHandlesSection, kNextKey)) {
    if (auto n = HandleOf(*stored)) next = *n;
  }
  for (auto& [key, value] : file.ReadSection(kSection)) {
    if (auto n = HandleOf(key); n && *n >= next) next = *n + 1;
  }
  file.WriteValue(kHandlesSection, kNextKey, std::to_string(next + 1));
  return next;
}

uint32_t SimConnections::NewHandle() {
  FileLock lock(path_);
  return NewHandleLocked();
}

uint32_t SimConnections::BringUp(const std::string& name) {
  FileLock lock(path_);
  if (auto handle = Find(name)) return *handle;
  const uint32_t handle = NewHandleLocked();
  IniFile file(path_);
  auto values = file.ReadSection(kSection);
  values.emplace_back(std::to_string(handle), name);
  file.WriteSection(kSection, values);
  return handle;
}

void SimConnections::BringUpAs(uint32_t handle, const std::string& name) {
  FileLock lock(path_);
  IniFile file(path_);
  auto values = file.ReadSection(kSection);
  const std::string key = std::to_string(handle);
  std::erase_if(values, [&](const auto& kv) { return kv.first == key || kv.second == name; });
  values.emplace_back(key, name);
  file.WriteSection(kSection, values);
}

std::optional<uint32_t> SimConnections::Find(const std::string& name) const {
  for (auto& [key, value] : IniFile(path_).ReadSection(kSection)) {
    auto n = HandleOf(key);
    if (value == name && n) return n;
  }
  return std::nullopt;
}

std::optional<std::string> SimConnections::NameOf(uint32_t handle) const {
  return IniFile(path_).ReadValue(kSection, std::to_string(handle));
}

bool SimConnections::HangUp(uint32_t handle) {
  FileLock lock(path_);
  IniFile file(path_);
  auto values = file.ReadSection(kSection);
  const auto before = values.size();
  std::erase_if(values, [&](const auto& kv) { return kv.first == std::to_string(handle); });
  if (values.size() == before) return false;
  file.WriteSection(kSection, values);
  return true;
}

}  // namespace norvax
