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

std::filesystem::path CompanionProgramPath(const std::string& name) {
  return ExecutablePath().parent_path() / name;
}

std::filesystem::path HelpFilePathFor(const std::filesystem::path& programDirectory,
                                      const std::filesystem::path& executable) {
  constexpr const char* kName = "NORVAX.HLP";
  auto own = programDirectory / kName;
  std::error_code ec;
  if (std::filesystem::exists(own, ec)) return own;
  auto installed = (executable.parent_path() / NORVAX_DATA_DIR_FROM_BIN / kName).lexically_normal();
  return std::filesystem::exists(installed, ec) ? installed : own;
}

std::filesystem::path HelpFilePath(const std::filesystem::path& programDirectory) {
  return HelpFilePathFor(programDirectory, ExecutablePath());
}

std::filesystem::path SettingsFilePath() {
  auto name = ExecutablePath().filename();
  name.replace_extension(".ini");
  return ProgramDirectory() / name;
}

}  // namespace norvax
