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

// A program installed beside this one (norvaxctl beside norvax).
std::filesystem::path CompanionProgramPath(const std::string& name);

// The help file NORVAX.HLP: the program directory's when it is there (the build folder, a
// portable copy), else the one an installed program keeps in its data directory
// (<prefix>/share/norvax for <prefix>/bin/norvax). When neither exists, the program
// directory's, which the help window then names as missing.
std::filesystem::path HelpFilePath(const std::filesystem::path& programDirectory);

// Same rule for a given executable path, for tests.
std::filesystem::path HelpFilePathFor(const std::filesystem::path& programDirectory,
                                      const std::filesystem::path& executable);

// The settings file: the executable's file name with the extension ".ini", in the
// program directory.
std::filesystem::path SettingsFilePath();

}  // namespace norvax
