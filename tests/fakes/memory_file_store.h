// Files held in memory, with failures injected at a chosen write.
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/file_store.h"

namespace norvax::fakes {

class MemoryFileStore : public FileStore {
 public:
  std::string PathOf(std::string_view name) const override;
  bool Exists(std::string_view name) const override;
  std::optional<uint64_t> Size(std::string_view name) const override;
  std::unique_ptr<LineReader> OpenLines(std::string_view name) const override;
  std::string Read(std::string_view name, uint64_t offset, std::size_t size) const override;
  void Append(std::string_view name, std::string_view data) override;
  void Replace(std::string_view name, std::string_view data) override;
  void Truncate(std::string_view name, uint64_t size) override;
  void Remove(std::string_view name) override;
  // Throws FileError at once when the lock is held, as a wait that runs out does.
  std::unique_ptr<FileLock> Lock(std::string_view name) override;
  std::unique_ptr<FileLock> TryLock(std::string_view name) override;

  // The changing operation with this number (counted from 0 over the store's life) throws
  // FileError, and every later one too until failAt is set again. A failing Append first
  // writes the first half of its data, as a write cut off by a crash would.
  long failAt = -1;
  // Files whose every change throws FileError, as a read-only file or a full disk does.
  std::set<std::string, std::less<>> readOnly;
  long operations = 0;
  std::map<std::string, std::string, std::less<>> files;
  // The locks held now, by the program or (put here by a test) by another one.
  std::set<std::string, std::less<>> locks;

 private:
  void Step(std::string_view name);
};

}  // namespace norvax::fakes
