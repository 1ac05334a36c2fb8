// norvaxctl: the headless companion of NORVAX. Arguments and output are UTF-8.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "core/scrambler.h"
#include "core/settings.h"
#include "platform/cp932.h"
#include "platform/store/ini_file.h"

namespace {

constexpr int kUsageError = 2;

const char kUsage[] =
    "usage: norvaxctl COMMAND [ARGUMENTS]\n"
    "\n"
    "commands:\n"
    "  check-settings INIFILE   check a settings file without changing it:\n"
    "                           prints \"ok entries=<n>\" (exit 0) or \"damaged\" (exit 1)\n"
    "  scramble TEXT            print the stored (scrambled) form of TEXT\n"
    "  unscramble STORED        print the text of a stored form (exit 1 when its check fails)\n"
    "  --help                   show this help\n";

int Usage() {
  std::cerr << kUsage;
  return kUsageError;
}

int CheckSettingsCommand(const std::string& path) {
  norvax::IniFile file(path);
  norvax::EntryTable table;
  norvax::PreferenceList prefs;
  try {
    if (!norvax::ReadSettings(file, table, prefs)) {
      std::cout << "damaged\n";
      return 1;
    }
  } catch (const norvax::ReadError& e) {
    std::cerr << "norvaxctl: " << e.what() << "\n";
    return 1;
  }
  std::cout << "ok entries=" << table.Count() << "\n";
  return 0;
}

int ScrambleCommand(const std::string& text) {
  auto cp932 = norvax::Utf8ToCp932(text);
  if (!cp932) {
    std::cerr << "norvaxctl: " << norvax::EncodingError("TEXT").what() << "\n";
    return 1;
  }
  std::cout << norvax::ScrambleText(*cp932, true) << "\n";
  return 0;
}

int UnscrambleCommand(const std::string& stored) {
  auto result = norvax::UnscrambleText(stored);
  if (!result.checkOk) {
    std::cerr << "norvaxctl: the stored form fails its check\n";
    return 1;
  }
  std::cout << norvax::Cp932ToUtf8(result.text) << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    if (args.size() != 1) return Usage();
    std::cout << kUsage;
    return 0;
  }
  if (args.size() != 2) return Usage();
  if (command == "check-settings") return CheckSettingsCommand(args[1]);
  if (command == "scramble") return ScrambleCommand(args[1]);
  if (command == "unscramble") return UnscrambleCommand(args[1]);
  return Usage();
}
