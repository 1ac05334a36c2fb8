#include "platform/posix/atomic_replace.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace norvax {
namespace {

// Temporaries of a replace are named after the file they replace, followed by this and six
// characters.
constexpr std::string_view kTemporaryInfix = ".tmp-";
constexpr std::size_t kTemporaryTailSize = 6;
// Links followed at most, as the system does.
constexpr int kMaxLinks = 40;
// Temporaries made afresh at most when other writers' cleanups keep removing them.
constexpr int kTemporaryAttempts = 100;

[[noreturn]] void Fail(const std::string& path, int error = errno) {
  throw FileError(path, std::strerror(error));
}

// The file path leads to through its symbolic links (path itself when it is none); it need
// not exist.
std::filesystem::path LinkTarget(const std::string& path) {
  std::filesystem::path current(path);
  for (int links = 0; links <= kMaxLinks; ++links) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, ec))) return current;
    auto next = std::filesystem::read_symlink(current, ec);
    if (ec) Fail(path, ec.value());
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  Fail(path, ELOOP);
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
  return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

// Removes the temporaries of target that killed writers left: regular files of this user
// that no writer holds a lock on. Anything else of such a name is left alone, and nothing
// is waited for (a FIFO would hold an open up).
void RemoveStaleTemporaries(const std::filesystem::path& target) {
  const std::string prefix = target.filename().string() + std::string(kTemporaryInfix);
  std::error_code ec;
  for (std::filesystem::directory_iterator it(FolderOf(target), ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() != prefix.size() + kTemporaryTailSize ||
        name.compare(0, prefix.size(), prefix) != 0) {
      continue;
    }
    std::error_code typeError;
    if (it->symlink_status(typeError).type() != std::filesystem::file_type::regular) continue;
    // It may have been replaced since it was looked at.
    int fd = open(it->path().c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
        flock(fd, LOCK_EX | LOCK_NB) == 0) {
      unlink(it->path().c_str());
    }
    close(fd);
  }
}

// Makes a temporary beside target and locks it; its name goes into temp. Another writer's
// cleanup may remove it before the lock is taken: then one is made afresh. Once locked and
// still in place, no cleanup removes it. -1 with errno set when it cannot be made.
int MakeLockedTemporary(const std::filesystem::path& target, std::string& temp) {
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    temp = target.string() + std::string(kTemporaryInfix) + std::string(kTemporaryTailSize, 'X');
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat mine {
    }, named{};
    if (flock(fd, LOCK_EX) != 0 || fstat(fd, &mine) != 0) {
      const int error = errno;
      close(fd);
      unlink(temp.c_str());
      errno = error;
      return -1;
    }
    if (lstat(temp.c_str(), &named) == 0 && named.st_dev == mine.st_dev &&
        named.st_ino == mine.st_ino) {
      return fd;
    }
    close(fd);
  }
  errno = EAGAIN;
  return -1;
}

}  // namespace

namespace {

// 0666 less the process's umask, read without changing it (umask() would change it for a
// moment for every thread).
mode_t UserFileMode() {
  mode_t mask = 022;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) == 0)
      mask = static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  }
  return 0666 & ~mask;
}

}  // namespace

void ReplaceInOneStep(const std::string& path, std::string_view contents,
                      const std::function<void()>& beforeRename, FileMode mode) {
  const std::filesystem::path target = LinkTarget(path);
  // A file that is there keeps its mode; a new one gets the mode asked for.
  mode_t fileMode = 0;
  struct stat existing {};
  if (stat(target.c_str(), &existing) == 0) {
    fileMode = existing.st_mode & 07777;
  } else if (errno == ENOENT) {
    fileMode = mode == FileMode::kPrivate ? 0600 : UserFileMode();
  } else {
    Fail(path);
  }
  RemoveStaleTemporaries(target);
  std::string temp;
  int fd = MakeLockedTemporary(target, temp);
  if (fd < 0) Fail(path);
  auto fail = [&](int error) {
    close(fd);
    unlink(temp.c_str());
    Fail(path, error);
  };
  // Before any content goes in, so that the temporary is never readable by more than the
  // file will be.
  if (fchmod(fd, fileMode) != 0) fail(errno);
  while (!contents.empty()) {
    ssize_t n = write(fd, contents.data(), contents.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail(n < 0 ? errno : EIO);
    contents.remove_prefix(static_cast<std::size_t>(n));
  }
  if (fsync(fd) != 0) fail(errno);
  try {
    if (beforeRename) beforeRename();
  } catch (...) {
    close(fd);
    unlink(temp.c_str());
    throw;
  }
  // The lock is held through the rename: until then the temporary is not stale.
  if (rename(temp.c_str(), target.c_str()) != 0) fail(errno);
  close(fd);
  SyncFolder(FolderOf(target), path);
}

void SyncFolder(const std::filesystem::path& folder, const std::string& changedPath) {
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Fail(changedPath);
  // EINVAL: the file system has no sync of folders, so there is nothing to wait for.
  if (fsync(fd) != 0 && errno != EINVAL) {
    const int error = errno;
    close(fd);
    Fail(changedPath, error);
  }
  close(fd);
}

}  // namespace norvax
