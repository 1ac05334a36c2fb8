// Where the program keeps every file it reads and writes.
#pragma once

#include <filesystem>
#include <string>

namespace norvax {

// The executable's folder when it is writable (a portable install); otherwise
// $XDG_CONFIG_HOME/norvax (default ~/.config/norvax), created when missing.
std::filesystem::path ProgramDirectory();

// Same rule for a given executable path and environment, for tests.
std::filesystem::path ProgramDirectoryFor(const std::filesystem::path& executable,
                                          const char* xdgConfigHome, const char* home);

// The settings file: the executable's file name with the extension ".ini", in the
// program directory.
std::filesystem::path SettingsFilePath();

}  // namespace norvax
