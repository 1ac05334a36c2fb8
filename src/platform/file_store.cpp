#include "platform/file_store.h"

#include "platform/cp932.h"

namespace norvax {

FileError::FileError(const std::string& path, const std::string& reason)
    : std::runtime_error(path + ": " + reason), reason_(reason) {}

std::string FileError::Message() const { return Cp932ForDisplay(what()); }

std::vector<std::string> ReadAllLines(const FileStore& files, std::string_view name) {
  std::vector<std::string> lines;
  auto reader = files.OpenLines(name);
  if (!reader) return lines;
  std::string line;
  while (reader->ReadLine(line)) lines.push_back(line);
  return lines;
}

}  // namespace norvax
