// Writing a whole file in one step on a POSIX file system.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/file_store.h"

namespace norvax {

// Writes contents to path in one step: a reader sees the old or the new contents, never a
// mix, even when the writer is killed half-way. When path is a symbolic link, the file the
// links lead to is written and the links stay. The new contents go into a temporary file
// beside that file (its name, ".tmp-" and six characters, locked by its writer until the
// rename), which is synced and renamed over it; then the folder is synced. Temporaries that
// killed writers left are removed first. A file that is there keeps its mode; a new file gets
// mode 0600, or with FileMode::kUser the mode a new file of the user's gets (0666 less the
// umask). beforeRename runs just before the
// rename (tests interrupt a write there). Throws FileError naming path when any step fails;
// up to the rename, the old file is untouched and the temporary removed.
enum class FileMode { kPrivate, kUser };
void ReplaceInOneStep(const std::string& path, std::string_view contents,
                      const std::function<void()>& beforeRename = {},
                      FileMode mode = FileMode::kPrivate);

// Makes a change of the folder's names (a file made, renamed or removed) last; throws
// FileError naming changedPath when it cannot.
void SyncFolder(const std::filesystem::path& folder, const std::string& changedPath);

}  // namespace norvax
