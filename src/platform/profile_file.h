// Port: a profile (INI) file of sections holding "key=value" lines.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace norvax {

using KeyValues = std::vector<std::pair<std::string, std::string>>;
// Sections by name, each with its keys and values.
using Sections = std::vector<std::pair<std::string, KeyValues>>;

// A write or erase of a profile file failed; nothing of the file was changed.
class WriteError : public std::runtime_error {
 public:
  explicit WriteError(std::string path);
  const std::string& Path() const { return path_; }
  // "%s に書き込めません" with the file's path, as CP932 text.
  std::string Message() const;

 private:
  std::string path_;
};

// A profile file could not be read (it exists but is unreadable). what() is UTF-8.
class ReadError : public std::runtime_error {
 public:
  ReadError(const std::string& path, const std::string& reason);
  // "%s を読み込めません (reason)" with the file's path, as CP932 text.
  std::string Message() const;

 private:
  std::string path_, reason_;
};

// Section and key names compare without regard to the case of ASCII letters. A missing
// file reads as empty. Values read back exactly as written, leading and trailing blanks
// included. Every change is complete or, when it throws WriteError, not made at all; but for
// a folder that cannot be synced after the change, when the new contents are in place yet
// may not outlast a crash.
class ProfileFile {
 public:
  virtual ~ProfileFile() = default;

  // Path of the file, for messages.
  virtual std::string Path() const = 0;

  // The section's keys and values in file order; empty when the section is missing.
  virtual KeyValues ReadSection(std::string_view section) const = 0;

  // Replaces each of the sections with its values (an empty list erases it), all in one
  // change of the file: afterwards the file holds all of them or, on WriteError, none. A
  // value with a line break, or a key with one or with "=", cannot be stored and fails the
  // whole change with WriteError.
  virtual void WriteSections(const Sections& sections) = 0;

  // Keeps a copy of the whole file beside it, named the file name followed by suffix, and
  // returns the copy's path. An existing file is never replaced: when the name is taken,
  // "-2", "-3", ... follows the suffix.
  virtual std::string SaveCopy(std::string_view suffix) const = 0;

  // The value of key in section, or nothing when either is missing.
  std::optional<std::string> ReadValue(std::string_view section, std::string_view key) const;

  // The value of key in section, or fallback when either is missing.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;

  // Replaces the whole section with the given values; an empty list erases it.
  void WriteSection(std::string_view section, const KeyValues& values) {
    WriteSections({{std::string(section), values}});
  }
  void EraseSection(std::string_view section) { WriteSection(section, {}); }

  // Sets one value, adding the section or key when missing.
  void WriteValue(std::string_view section, std::string_view key, std::string_view value);
};

// Section and key names compare equal under this rule.
bool SameProfileName(std::string_view a, std::string_view b);

}  // namespace norvax
