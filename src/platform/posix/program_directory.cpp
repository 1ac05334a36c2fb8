#include "platform/program_directory.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace norvax {
namespace {

std::filesystem::path ExecutablePath() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path("norvax") : exe;
}

}  // namespace

std::filesystem::path ProgramDirectoryFor(const std::filesystem::path& executable,
                                          const char* xdgConfigHome, const char* home) {
  auto folder = executable.parent_path();
  if (!folder.empty() && access(folder.c_str(), W_OK) == 0) return folder;
  std::filesystem::path base;
  if (xdgConfigHome && *xdgConfigHome) {
    base = xdgConfigHome;
  } else {
    base = std::filesystem::path(home && *home ? home : ".") / ".config";
  }
  auto dir = base / "norvax";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

std::filesystem::path ProgramDirectory() {
  return ProgramDirectoryFor(ExecutablePath(), std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

std::filesystem::path SettingsFilePath() {
  auto name = ExecutablePath().filename();
  name.replace_extension(".ini");
  return ProgramDirectory() / name;
}

}  // namespace norvax
