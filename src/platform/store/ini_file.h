// Adapter: a profile file on disk in the Windows INI format (CP932, CR LF line ends).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/profile_file.h"

namespace norvax {

class IniFile : public ProfileFile {
 public:
  explicit IniFile(std::string path);
  ~IniFile() override;

  std::string Path() const override { return path_; }
  KeyValues ReadSection(std::string_view section) const override;
  void WriteSections(const Sections& sections) override;
  std::string SaveCopy(std::string_view suffix) const override;

  // The whole file as stored; empty when it does not exist. Throws ReadError.
  std::string Load() const;

  // Called after the new contents are on disk in the temporary file and before the rename
  // that puts them in place; tests use it to interrupt a write.
  void SetBeforeReplaceHook(std::function<void()> hook) { beforeReplace_ = std::move(hook); }

 private:
  struct Snapshot;
  // The file's contents, read again only when the file on disk changed.
  std::shared_ptr<const Snapshot> Current() const;
  void Replace(const std::string& path, const std::string& contents) const;

  std::string path_;
  std::function<void()> beforeReplace_;
  mutable std::shared_ptr<const Snapshot> snapshot_;
};

// Writes contents to path in one step (ReplaceInOneStep, through symbolic links). Throws
// WriteError when the file is read-only or any step fails: the old file is untouched, but
// for a failed sync of the folder after the rename, when the new contents are in place yet
// may not outlast a crash. beforeReplace runs just before the rename.
void ReplaceFileAtomically(const std::string& path, const std::string& contents,
                           const std::function<void()>& beforeReplace = {});

}  // namespace norvax
