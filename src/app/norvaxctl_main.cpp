// norvaxctl: the headless companion of NORVAX. Arguments and output are UTF-8.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/decimal.h"
#include "core/scrambler.h"
#include "core/settings.h"
#include "dialup/connection_log.h"
#include "dialup/dates.h"
#include "dialup/holidays.h"
#include "dialup/log_move.h"
#include "dialup/log_view.h"
#include "dialup/monthly_totals.h"
#include "platform/cp932.h"
#include "platform/posix/posix_file_store.h"
#include "platform/posix/system_clock.h"
#include "platform/program_directory.h"
#include "platform/store/ini_file.h"
#include "platform/user_dialogs.h"

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
    "  day YYYY/MM/DD           print \"jdn=<n> weekday=<1..7> flags=<day type flags>\"\n"
    "  equinox YYYY             print \"vernal=YYYY/MM/DD autumnal=YYYY/MM/DD\"\n"
    "  logline --profile P --entry NAME --start \"YYYY/MM/DD hh:nn:ss\"\n"
    "          --end \"YYYY/MM/DD hh:nn:ss\" [--attempts N]\n"
    "          [--state-date YYYY/MM/DD] [--state-seconds N]\n"
    "                           print the connection-log line of a call and, on line 2,\n"
    "                           \"Date=<yyyy/mm/dd> RuikeiTime=<n>\", the state it leaves;\n"
    "                           writes no file\n"
    "  totals LOGFILE           print \"<period>,<name>,<hh:mm:ss>,<provider>,<fixed>,<phone>,\n"
    "                           <flat>\" per billing period and connection, then\n"
    "                           \"lines=<n> groups=<m>\"\n"
    "  log show [DIR]           list the connection log of a program directory\n"
    "  log move --before YYYY/MM/DD [--yes] [DIR]\n"
    "                           move the log lines dated on or before the day to the\n"
    "                           archive (asks first unless --yes)\n"
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

void Fail(const std::string& cp932Message) {
  std::cerr << "norvaxctl: " << norvax::Cp932ToUtf8(cp932Message) << "\n";
}

// "YYYY/MM/DD" with the digits in place and month 1..12, day 1..31 (not checked against
// the calendar, as the log's cut-off is not).
bool DateShape(const std::string& text, norvax::Date& date) {
  if (text.size() != 10 || text[4] != '/' || text[7] != '/') return false;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  date = {std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)), std::stoi(text.substr(8, 2))};
  return date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= 31;
}

int DayCommand(const std::string& text) {
  norvax::Date date;
  if (!DateShape(text, date) || date.day > norvax::DaysInMonth(date.year, date.month)) {
    std::cerr << "norvaxctl: not a date (YYYY/MM/DD): " << text << "\n";
    return kUsageError;
  }
  try {
    int32_t n = norvax::DayNumber(date.year, date.month, date.day);
    int flags = norvax::ClassifyDay(norvax::LoadHolidays(), date.year, date.month, date.day);
    std::cout << "jdn=" << n << " weekday=" << norvax::WeekdayOf(n) << " flags=" << flags << "\n";
    return 0;
  } catch (const norvax::EJuliusError& e) {
    std::cerr << norvax::Cp932ToUtf8(e.what()) << "\n";
    return 1;
  }
}

std::string DateOfDayInYear(int year, int32_t dayNumber) {
  for (int month = 1; month <= 12; ++month) {
    for (int day = 1; day <= norvax::DaysInMonth(year, month); ++day) {
      if (year == 1582 && month == 10 && day >= 5 && day <= 14) continue;
      if (norvax::DayNumber(year, month, day) == dayNumber) {
        return norvax::DateText(year, month, day);
      }
    }
  }
  return "?";
}

int EquinoxCommand(const std::string& text) {
  auto year = norvax::ParseDecimal(text);
  if (!year || *year < 1 || *year > 9999) {
    std::cerr << "norvaxctl: not a year (1..9999): " << text << "\n";
    return kUsageError;
  }
  std::cout << "vernal=" << DateOfDayInYear(*year, norvax::VernalEquinoxDay(*year))
            << " autumnal=" << DateOfDayInYear(*year, norvax::AutumnalEquinoxDay(*year)) << "\n";
  return 0;
}

// Options "--name value" and flags "--name"; anything else is positional.
struct Options {
  std::map<std::string, std::string> values;
  std::vector<std::string> flags;
  std::vector<std::string> positional;
};

std::optional<Options> ReadOptions(const std::vector<std::string>& args, std::size_t from,
                                   const std::vector<std::string>& valueNames,
                                   const std::vector<std::string>& flagNames) {
  Options options;
  for (std::size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      options.positional.push_back(a);
      continue;
    }
    if (std::find(flagNames.begin(), flagNames.end(), a) != flagNames.end()) {
      options.flags.push_back(a);
      continue;
    }
    if (std::find(valueNames.begin(), valueNames.end(), a) == valueNames.end() ||
        i + 1 >= args.size() || options.values.count(a)) {
      return std::nullopt;
    }
    options.values[a] = args[++i];
  }
  return options;
}

int LoglineCommand(const std::vector<std::string>& args) {
  auto options = ReadOptions(
      args, 1,
      {"--profile", "--entry", "--start", "--end", "--attempts", "--state-date", "--state-seconds"},
      {});
  if (!options || !options->positional.empty()) return Usage();
  auto& v = options->values;
  for (const char* required : {"--profile", "--entry", "--start", "--end"}) {
    if (!v.count(required)) return Usage();
  }
  auto profileText = norvax::Utf8ToCp932(v["--profile"]);
  auto entry = norvax::Utf8ToCp932(v["--entry"]);
  if (!profileText || !entry) {
    std::cerr << "norvaxctl: " << norvax::EncodingError(!entry ? "NAME" : "P").what() << "\n";
    return 1;
  }
  norvax::LoggedConnection connection;
  connection.entryName = *entry;
  if (!norvax::ParseDateTimeText(v["--start"], connection.start) ||
      !norvax::ParseDateTimeText(v["--end"], connection.end)) {
    std::cerr << "norvaxctl: times are \"YYYY/MM/DD hh:nn:ss\"\n";
    return kUsageError;
  }
  int64_t duration = norvax::SecondsBetween(connection.start, connection.end);
  if (duration < 0 || duration > INT32_MAX) {
    std::cerr << "norvaxctl: the end lies before the start\n";
    return kUsageError;
  }
  connection.duration = static_cast<int32_t>(duration);
  if (v.count("--attempts")) {
    auto attempts = norvax::ParseDecimal(v["--attempts"]);
    if (!attempts || *attempts < 1) return Usage();
    connection.attempts = *attempts;
  }
  norvax::LogState state;
  if (v.count("--state-date")) state.lastDate = v["--state-date"];
  if (v.count("--state-seconds")) {
    auto seconds = norvax::ParseDecimal(v["--state-seconds"]);
    if (!seconds) return Usage();
    state.cumulative = *seconds;
  }
  try {
    auto profile = norvax::ParseProfile(*profileText);
    auto composed = norvax::ComposeLogLine(connection, profile, state, norvax::LoadHolidays());
    std::cout << norvax::Cp932ToUtf8(composed.line) << "\n"
              << "Date=" << composed.state.lastDate << " RuikeiTime=" << composed.state.cumulative
              << "\n";
    return 0;
  } catch (const norvax::ProfileError& e) {
    Fail(e.what());
  } catch (const norvax::EJuliusError& e) {
    Fail(e.what());
  }
  return 1;
}

int TotalsCommand(const std::string& logPath) {
  std::filesystem::path path(logPath);
  norvax::PosixFileStore files(path.has_parent_path() ? path.parent_path() : ".");
  try {
    auto reader = files.OpenLines(path.filename().string());
    if (!reader) {
      std::cerr << "norvaxctl: no such file: " << logPath << "\n";
      return 1;
    }
    auto result = norvax::TotalsOfLines(*reader);
    if (result.overflow) {
      Fail(norvax::TotalsOverflowMessage());
      return 1;
    }
    for (const auto& g : result.groups) {
      std::cout << norvax::Cp932ToUtf8(g.period) << "," << norvax::Cp932ToUtf8(g.name) << ","
                << norvax::TotalTimeText(g.seconds) << "," << g.provider << "," << g.fixed << ","
                << g.phone << "," << g.flat << "\n";
    }
    std::cout << "lines=" << result.lines << " groups=" << result.groups.size() << "\n";
    return 0;
  } catch (const norvax::LogFormatError& e) {
    Fail(e.what());
  } catch (const norvax::FileError& e) {
    std::cerr << "norvaxctl: " << e.what() << "\n";
  }
  return 1;
}

// Messages on the terminal; questions are answered on standard input.
class TerminalDialogs : public norvax::UserDialogs {
 public:
  explicit TerminalDialogs(bool yes) : yes_(yes) {}
  void ShowError(const std::string& text) override { Fail(text); }
  void ShowMessage(const std::string& text) override {
    std::cout << norvax::Cp932ToUtf8(text) << "\n";
  }
  bool ConfirmOkCancel(const std::string& text) override {
    std::string question = norvax::Cp932ToUtf8(text);
    for (auto at = question.find('\r'); at != std::string::npos; at = question.find('\r')) {
      question.erase(at, 1);
    }
    std::cerr << question << "\n";
    if (yes_) return true;
    std::cerr << "OK? [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes";
  }

 private:
  bool yes_;
};

int LogCommand(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage();
  const std::string& sub = args[1];
  auto options = ReadOptions(args, 2, {"--before"}, {"--yes"});
  if (!options || options->positional.size() > 1) return Usage();
  std::filesystem::path dir = options->positional.empty()
                                  ? norvax::ProgramDirectory()
                                  : std::filesystem::path(options->positional[0]);
  norvax::PosixFileStore files(dir);
  try {
    if (sub == "show") {
      if (!options->values.empty() || !options->flags.empty()) return Usage();
      auto lines = norvax::ReadLogLines(files);
      std::size_t count = lines ? lines->size() : 0;
      for (std::size_t i = 0; i < count; ++i) {
        auto row = norvax::MakeLogViewRow((*lines)[i], static_cast<int64_t>(i) + 1);
        auto trim = [](std::string text) {
          text.erase(0, text.find_first_not_of(' '));
          return text;
        };
        std::cout << row.date << "\t" << norvax::Cp932ToUtf8(row.name) << "\t" << row.start << "\t"
                  << row.duration << "\t" << trim(row.provider) << "\t" << trim(row.phone) << "\t"
                  << trim(row.flat) << "\t" << norvax::Cp932ToUtf8(row.number) << "\t"
                  << trim(row.redials) << "\n";
      }
      std::cout << "lines=" << count << "\n";
      return 0;
    }
    if (sub == "move") {
      norvax::Date cutoff;
      if (!options->values.count("--before") || !DateShape(options->values["--before"], cutoff)) {
        return Usage();
      }
      auto now = norvax::SystemClock().Now();
      TerminalDialogs dialogs(!options->flags.empty());
      auto outcome =
          norvax::MoveLog(files, dialogs, norvax::CutoffText(cutoff.year, cutoff.month, cutoff.day),
                          norvax::DateText(now.year, now.month, now.day));
      if (outcome.result != norvax::LogMoveResult::kMoved) return 1;
      std::cout << "moved=" << outcome.moved << " kept=" << outcome.kept << "\n";
      return 0;
    }
  } catch (const norvax::LogFormatError& e) {
    Fail(e.what());
    return 1;
  } catch (const norvax::FileError& e) {
    std::cerr << "norvaxctl: " << e.what() << "\n";
    return 1;
  }
  return Usage();
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
  if (command == "logline") return LoglineCommand(args);
  if (command == "log") return LogCommand(args);
  if (args.size() != 2) return Usage();
  if (command == "day") return DayCommand(args[1]);
  if (command == "equinox") return EquinoxCommand(args[1]);
  if (command == "totals") return TotalsCommand(args[1]);
  if (command == "check-settings") return CheckSettingsCommand(args[1]);
  if (command == "scramble") return ScrambleCommand(args[1]);
  if (command == "unscramble") return UnscrambleCommand(args[1]);
  return Usage();
}
