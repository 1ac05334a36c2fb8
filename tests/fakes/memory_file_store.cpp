#include "fakes/memory_file_store.h"

#include <vector>

namespace norvax::fakes {
namespace {

class StringLineReader : public LineReader {
 public:
  explicit StringLineReader(std::string text) : text_(std::move(text)) {}
  bool ReadLine(std::string& line) override {
    if (pos_ >= text_.size()) return false;
    auto lf = text_.find('\n', pos_);
    auto stop = lf == std::string::npos ? text_.size() : lf;
    line = text_.substr(pos_, stop - pos_);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos_ = stop + 1;
    return true;
  }

 private:
  std::string text_;
  std::size_t pos_ = 0;
};

class HeldLock : public FileLock {
 public:
  HeldLock(std::set<std::string, std::less<>>& locks, std::string name)
      : locks_(locks), name_(std::move(name)) {}
  ~HeldLock() override { locks_.erase(name_); }

 private:
  std::set<std::string, std::less<>>& locks_;
  std::string name_;
};

}  // namespace

std::string MemoryFileStore::PathOf(std::string_view name) const {
  return "/memory/" + std::string(name);
}

bool MemoryFileStore::Exists(std::string_view name) const {
  return files.find(name) != files.end();
}

std::optional<uint64_t> MemoryFileStore::Size(std::string_view name) const {
  auto it = files.find(name);
  if (it == files.end()) return std::nullopt;
  return it->second.size();
}

std::unique_ptr<LineReader> MemoryFileStore::OpenLines(std::string_view name) const {
  auto it = files.find(name);
  if (it == files.end()) return nullptr;
  return std::make_unique<StringLineReader>(it->second);
}

std::string MemoryFileStore::Read(std::string_view name, uint64_t offset, std::size_t size) const {
  auto it = files.find(name);
  if (it == files.end() || offset >= it->second.size()) return {};
  return it->second.substr(static_cast<std::size_t>(offset), size);
}

void MemoryFileStore::Step(std::string_view name) {
  long number = operations++;
  if (failAt >= 0 && number >= failAt) throw FileError(PathOf(name), "injected failure");
  if (readOnly.count(name)) throw FileError(PathOf(name), "Read-only file system");
}

void MemoryFileStore::Append(std::string_view name, std::string_view data) {
  try {
    Step(name);
  } catch (const FileError&) {
    files[std::string(name)] += data.substr(0, data.size() / 2);
    throw;
  }
  files[std::string(name)] += data;
}

void MemoryFileStore::Replace(std::string_view name, std::string_view data) {
  Step(name);
  files[std::string(name)] = std::string(data);
}

void MemoryFileStore::Truncate(std::string_view name, uint64_t size) {
  Step(name);
  auto it = files.find(name);
  if (it != files.end() && it->second.size() > size) it->second.resize(size);
}

void MemoryFileStore::Remove(std::string_view name) {
  Step(name);
  auto it = files.find(name);
  if (it != files.end()) files.erase(it);
}

std::unique_ptr<FileLock> MemoryFileStore::Lock(std::string_view name) {
  if (!locks.emplace(name).second) throw FileError(PathOf(name), "in use by another program");
  return std::make_unique<HeldLock>(locks, std::string(name));
}

std::unique_ptr<FileLock> MemoryFileStore::TryLock(std::string_view name) {
  if (locks.count(name)) return nullptr;
  return Lock(name);
}

}  // namespace norvax::fakes
