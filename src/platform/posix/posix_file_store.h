// Adapter: the files of one folder on a POSIX file system.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>

#include "platform/file_store.h"
#include "platform/posix/atomic_replace.h"

namespace norvax {

class PosixFileStore : public FileStore {
 public:
  // How a wait for a lock held elsewhere lets time pass between two looks: the program's
  // main thread handles its events meanwhile. Without one the thread sleeps.
  using Pause = std::function<void(std::chrono::milliseconds)>;
  static constexpr std::chrono::milliseconds kLockLookMs{20};

  // A lock held elsewhere is waited for at most lockWait.
  explicit PosixFileStore(std::filesystem::path folder,
                          std::chrono::milliseconds lockWait = std::chrono::seconds(5),
                          Pause pause = {})
      : folder_(std::move(folder)), lockWait_(lockWait), pause_(std::move(pause)) {}

  // Files the store makes from now on get the mode of the user's other files (the umask's),
  // not 0600: for files the user hands on, such as an export.
  void MakeUserFiles() { fileMode_ = FileMode::kUser; }

  std::string PathOf(std::string_view name) const override;
  bool Exists(std::string_view name) const override;
  std::optional<uint64_t> Size(std::string_view name) const override;
  std::unique_ptr<LineReader> OpenLines(std::string_view name) const override;
  std::string Read(std::string_view name, uint64_t offset, std::size_t size) const override;
  void Append(std::string_view name, std::string_view data) override;
  void Replace(std::string_view name, std::string_view data) override;
  void Truncate(std::string_view name, uint64_t size) override;
  void Remove(std::string_view name) override;
  std::unique_ptr<FileLock> Lock(std::string_view name) override;
  std::unique_ptr<FileLock> TryLock(std::string_view name) override;

 private:
  std::filesystem::path folder_;
  std::chrono::milliseconds lockWait_;
  Pause pause_;
  FileMode fileMode_ = FileMode::kPrivate;
};

}  // namespace norvax
