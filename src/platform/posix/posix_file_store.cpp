#include "platform/posix/posix_file_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/posix/atomic_replace.h"

namespace norvax {
namespace {

[[noreturn]] void Fail(const std::string& path) { throw FileError(path, std::strerror(errno)); }

void WriteAll(int fd, std::string_view data, const std::string& path) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(path);
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
}

class FileLineReader : public LineReader {
 public:
  FileLineReader(int fd, std::string path) : fd_(fd), path_(std::move(path)), buffer_(1 << 16) {}
  ~FileLineReader() override { ::close(fd_); }

  bool ReadLine(std::string& line) override {
    line.clear();
    for (;;) {
      if (pos_ == end_) {
        if (eof_) return !line.empty() || pendingLine_ ? Finish(line) : false;
        ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
        if (n < 0) {
          if (errno == EINTR) continue;
          Fail(path_);
        }
        pos_ = 0;
        end_ = static_cast<std::size_t>(n);
        if (n == 0) eof_ = true;
        continue;
      }
      const char* start = buffer_.data() + pos_;
      const void* lf = std::memchr(start, '\n', end_ - pos_);
      if (lf) {
        std::size_t count = static_cast<const char*>(lf) - start;
        line.append(start, count);
        pos_ += count + 1;
        pendingLine_ = false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
      }
      line.append(start, end_ - pos_);
      pendingLine_ = true;
      pos_ = end_;
    }
  }

 private:
  bool Finish(std::string& line) {
    pendingLine_ = false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }

  int fd_;
  std::string path_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  bool pendingLine_ = false;
};

// flock: the kernel lets go of it when the holder ends in any way, SIGKILL included.
class FlockLock : public FileLock {
 public:
  explicit FlockLock(int fd) : fd_(fd) {}
  ~FlockLock() override { ::close(fd_); }

 private:
  int fd_;
};

}  // namespace

std::string PosixFileStore::PathOf(std::string_view name) const {
  return (folder_ / std::string(name)).string();
}

bool PosixFileStore::Exists(std::string_view name) const {
  struct stat st;
  return ::stat(PathOf(name).c_str(), &st) == 0;
}

std::optional<uint64_t> PosixFileStore::Size(std::string_view name) const {
  struct stat st;
  if (::stat(PathOf(name).c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

std::unique_ptr<LineReader> PosixFileStore::OpenLines(std::string_view name) const {
  std::string path = PathOf(name);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return nullptr;
    Fail(path);
  }
  return std::make_unique<FileLineReader>(fd, path);
}

std::string PosixFileStore::Read(std::string_view name, uint64_t offset, std::size_t size) const {
  std::string path = PathOf(name);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return {};
    Fail(path);
  }
  std::string data(size, '\0');
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd, data.data() + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int saved = errno;
      ::close(fd);
      errno = saved;
      Fail(path);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  data.resize(done);
  return data;
}

void PosixFileStore::Append(std::string_view name, std::string_view data) {
  std::string path = PathOf(name);
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) Fail(path);
  try {
    WriteAll(fd, data, path);
    if (::fsync(fd) != 0) Fail(path);
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (::close(fd) != 0) Fail(path);
}

void PosixFileStore::Replace(std::string_view name, std::string_view data) {
  ReplaceInOneStep(PathOf(name), data, {}, fileMode_);
}

void PosixFileStore::Truncate(std::string_view name, uint64_t size) {
  auto current = Size(name);
  if (!current || *current <= size) return;
  std::string path = PathOf(name);
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) Fail(path);
  if (::ftruncate(fd, static_cast<off_t>(size)) != 0 || ::fsync(fd) != 0) {
    int saved = errno;
    ::close(fd);
    errno = saved;
    Fail(path);
  }
  ::close(fd);
}

void PosixFileStore::Remove(std::string_view name) {
  std::string path = PathOf(name);
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) Fail(path);
  SyncFolder(folder_, path);
}

std::unique_ptr<FileLock> PosixFileStore::Lock(std::string_view name) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + lockWait_;
  for (;;) {
    if (auto lock = TryLock(name)) return lock;
    if (Clock::now() >= deadline) {
      auto seconds = std::chrono::duration_cast<std::chrono::seconds>(lockWait_).count();
      throw FileError(PathOf(name), "in use by another program; gave up after waiting " +
                                        std::to_string(seconds) + " seconds");
    }
    if (pause_) {
      pause_(kLockLookMs);
    } else {
      std::this_thread::sleep_for(kLockLookMs);
    }
  }
}

std::unique_ptr<FileLock> PosixFileStore::TryLock(std::string_view name) {
  std::string path = PathOf(name);
  // Not inherited by programs started while it is held.
  int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) Fail(path);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    int saved = errno;
    ::close(fd);
    if (saved == EWOULDBLOCK) return nullptr;
    errno = saved;
    Fail(path);
  }
  return std::make_unique<FlockLock>(fd);
}

}  // namespace norvax
