// Adapter: the files of one folder on a POSIX file system.
#pragma once

#include <filesystem>

#include "platform/file_store.h"

namespace norvax {

class PosixFileStore : public FileStore {
 public:
  explicit PosixFileStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

  std::string PathOf(std::string_view name) const override;
  bool Exists(std::string_view name) const override;
  std::optional<uint64_t> Size(std::string_view name) const override;
  std::unique_ptr<LineReader> OpenLines(std::string_view name) const override;
  void Append(std::string_view name, std::string_view data) override;
  void Replace(std::string_view name, std::string_view data) override;
  void Truncate(std::string_view name, uint64_t size) override;
  void Remove(std::string_view name) override;

 private:
  std::filesystem::path folder_;
};

}  // namespace norvax
