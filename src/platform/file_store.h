// Port: the plain files of the program directory (the connection log, its archive and the
// temporary file of a log move), addressed by file name.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace norvax {

// A file could not be read or written. what() is a UTF-8 description naming the file and
// the system's reason; Message() is the same as CP932 text for a message box.
class FileError : public std::runtime_error {
 public:
  FileError(const std::string& path, const std::string& reason);
  std::string Message() const;
  // The system's reason alone (UTF-8).
  const std::string& Reason() const { return reason_; }

 private:
  std::string reason_;
};

// Reads a text file line by line; the line end (LF, or CR LF) is not part of the line.
class LineReader {
 public:
  virtual ~LineReader() = default;
  // False at the end of the file. Throws FileError when reading fails.
  virtual bool ReadLine(std::string& line) = 0;
};

// An advisory lock taken through FileStore::Lock; released when destroyed.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

class FileStore {
 public:
  virtual ~FileStore() = default;

  // Full path of a file, for messages (UTF-8).
  virtual std::string PathOf(std::string_view name) const = 0;

  virtual bool Exists(std::string_view name) const = 0;

  // Size in bytes; nothing when the file does not exist.
  virtual std::optional<uint64_t> Size(std::string_view name) const = 0;

  // Nothing when the file does not exist; throws FileError when it cannot be opened.
  virtual std::unique_ptr<LineReader> OpenLines(std::string_view name) const = 0;

  // Up to size bytes of the file from offset: fewer where it ends, none past its end or when
  // it does not exist. Throws FileError when it cannot be read.
  virtual std::string Read(std::string_view name, uint64_t offset, std::size_t size) const = 0;

  // Adds data at the end, creating the file when missing. The data is on disk when this
  // returns.
  virtual void Append(std::string_view name, std::string_view data) = 0;

  // Replaces the whole file in one step: a reader sees the old or the new contents, never
  // a mix, even when the program is killed half-way. A symbolic link is written through and
  // stays.
  virtual void Replace(std::string_view name, std::string_view data) = 0;

  // Cuts the file to size bytes when it is longer; does nothing otherwise.
  virtual void Truncate(std::string_view name, uint64_t size) = 0;

  // Removes the file; a missing file is fine.
  virtual void Remove(std::string_view name) = 0;

  // Takes the exclusive lock named by the lock file `name`, shared with every process that
  // uses the folder. While another holder has it, waits a few seconds at most and then
  // throws FileError. A second Lock of the same name in the same program waits like any
  // other, so a holder must never wait for work that takes the lock itself.
  virtual std::unique_ptr<FileLock> Lock(std::string_view name) = 0;

  // The same lock without a wait: nothing while another holder has it.
  virtual std::unique_ptr<FileLock> TryLock(std::string_view name) = 0;
};

// Every line of a file; none when it does not exist. Throws FileError.
std::vector<std::string> ReadAllLines(const FileStore& files, std::string_view name);

}  // namespace norvax
