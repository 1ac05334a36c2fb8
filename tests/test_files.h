// Helpers for tests that use files: a temporary folder and the sample files.
#pragma once

#include <filesystem>
#include <string>

namespace norvax::testing {

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& contents);

// Path of a file in the shared sample folder.
std::filesystem::path SamplePath(const std::string& name);

// The UTF-8 literal in CP932, for test data.
std::string Sjis(const char* utf8);

}  // namespace norvax::testing
