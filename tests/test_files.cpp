#include "test_files.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/cp932.h"

namespace norvax::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "norvax-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
}

std::filesystem::path SamplePath(const std::string& name) {
  return std::filesystem::path(NORVAX_TEST_DATA_DIR) / name;
}

std::string Sjis(const char* utf8) { return norvax::Sjis(utf8); }

}  // namespace norvax::testing
