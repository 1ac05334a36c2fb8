// norvaxctl: the headless companion of NORVAX. Arguments and output are UTF-8.
#include <termios.h>
#include <unistd.h>
#include <QCoreApplication>
#include <memory>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/decimal.h"
#include "core/password_lock.h"
#include "core/register_rules.h"
#include "core/scrambler.h"
#include "core/settings.h"
#include "dialup/call_record.h"
#include "dialup/connection_log.h"
#include "dialup/dates.h"
#include "dialup/holidays.h"
#include "dialup/log_csv.h"
#include "dialup/log_move.h"
#include "dialup/log_view.h"
#include "dialup/monthly_totals.h"
#include "launch/entry_editor_rules.h"
#include "launch/keystrokes.h"
#include "launch/login_fill.h"
#include "launch/proxy.h"
#include "platform/cp932.h"
#include "platform/nm/dialler.h"
#include "platform/nm/nm_remote_access.h"
#include "platform/posix/atomic_replace.h"
#include "platform/posix/instance_lock.h"
#include "platform/posix/posix_file_store.h"
#include "platform/posix/process_end_watch.h"
#include "platform/posix/system_clock.h"
#include "platform/program_directory.h"
#include "platform/sim/sim_remote_access.h"
#include "platform/store/ini_file.h"
#include "platform/user_dialogs.h"
#include "platform/wayland/desktop_windows.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsageError = 2;

const char kUsage[] =
    "usage: norvaxctl COMMAND [ARGUMENTS]\n"
    "\n"
    "Arguments and output are UTF-8. Exit status: 0 done; 1 failed, with a message that\n"
    "says why; 2 a command, option or value that is not understood.\n"
    "\n"
    "commands:\n"
    "  check-settings INIFILE   check a settings file without changing it: prints\n"
    "                           \"ok entries=<n>\" (exit 0) or \"damaged\" (exit 1); a\n"
    "                           missing file or a directory fails (exit 1)\n"
    "  scramble TEXT            print the stored (scrambled) form of TEXT\n"
    "  unscramble STORED        print the text of a stored form (exit 1 when STORED is not one\n"
    "                           or its check fails)\n"
    "  day YYYY/MM/DD           print \"jdn=<n> weekday=<1..7> flags=<day type flags>\":\n"
    "                           weekday 1 is Sunday; flags add up 1 Sunday, 2 Saturday,\n"
    "                           4 holiday, 16 substitute holiday (振替休日), 32 equinox day\n"
    "                           (春分の日, 秋分の日); the holidays are those of \"holidays\"\n"
    "  equinox YYYY             print \"vernal=YYYY/MM/DD autumnal=YYYY/MM/DD\" (1..9999)\n"
    "  holidays YYYY            print the holidays of a year (1..9999), one line each in\n"
    "                           date order: \"YYYY/MM/DD<TAB><name>\", the national holidays\n"
    "                           and those of laws for one day, \"振替休日\" (substitute) and\n"
    "                           \"国民の休日\" (citizens' holiday), as the law had them on that\n"
    "                           day; none before 20 July 1948\n"
    "  logline --profile P --entry NAME --start \"YYYY/MM/DD hh:nn:ss\"\n"
    "          --end \"YYYY/MM/DD hh:nn:ss\" [--attempts N]\n"
    "          [--state-date YYYY/MM/DD] [--state-seconds N]\n"
    "                           print the connection-log line of a call and, on line 2,\n"
    "                           \"Date=<yyyy/mm/dd> RuikeiTime=<n>\", the state it leaves;\n"
    "                           writes no file\n"
    "      --profile P          the entry's dial profile: 19 fields, each followed by\n"
    "                           \";\", as in the settings file; a new entry's is\n"
    "                           \"0;20;1; ;1;0;0;0;0;0;0;1;10;180;10;180;10;240;0;\"\n"
    "      --entry NAME         the connection's name\n"
    "      --start, --end       when the call began and ended (the end not before the start)\n"
    "      --attempts N         dial attempts, 1 or more (default 1: no redial)\n"
    "      --state-date D       the date of the connection's last logged call (default none)\n"
    "      --state-seconds N    its connection seconds in the billing month, 0 or more\n"
    "                           (default 0)\n"
    "  totals LOGFILE           print \"<period>,<name>,<hh:mm:ss>,<provider>,<fixed>,<phone>,\n"
    "                           <flat>\" per billing period and connection, then\n"
    "                           \"lines=<n> groups=<m>\"\n"
    "  log show [DIR]           list the connection log NORVA.LOG, one line per call with\n"
    "                           tab-separated date, name, start, duration, provider charge,\n"
    "                           telephone charge, flat-rate part, phone number and redials,\n"
    "                           then \"lines=<n>\" (\"lines=0\" when there is no log)\n"
    "  log move --before YYYY/MM/DD [--yes] [DIR]\n"
    "                           move the log lines dated on or before the day to the\n"
    "                           archive NORVALOG.OLD, then print \"moved=<n> kept=<m>\";\n"
    "                           asks on standard input first unless --yes\n"
    "  log guard PID [DIR]      guard the calls in progress in NORVACALL.INI of DIR: wait\n"
    "                           until the process PID (the NORVAX that made them) ends; if\n"
    "                           it ended without finishing them, hang them up and log them\n"
    "                           as its next start would. Ends as soon as none of them is in\n"
    "                           progress. NORVAX starts it for each call it hangs up itself\n"
    "      DIR                  the program directory that holds the log (default: this\n"
    "                           program's folder when writable, else $XDG_CONFIG_HOME/norvax)\n"
    "  entry list [DIR]         list the entries of the settings file norvax.ini in DIR, one\n"
    "                           line each: number (from 1), title, ID, connection, Set1 and\n"
    "                           the proxy flags (apply, on, 1 for NETSCAPE), tab-separated;\n"
    "                           the password is never shown\n"
    "  entry add --title T [--id I] [--password-stdin [--empty-password]] [--browser CMD]\n"
    "          [--connection NAME] [--set1 TEXT] [--set2 TEXT] [--workdir DIR]\n"
    "          [--own-dialler] [--maximise] [--set-pass]\n"
    "          [--proxy SERVERS | --proxy-off] [--no-proxy-for TEXT] [--netscape]\n"
    "          [--lock-password-stdin] [DIR]\n"
    "                           add an entry at the end, as the register window's 追加 and OK\n"
    "                           do, and print its number; what is not given is left empty or\n"
    "                           off, with a new entry's dial profile and proxy settings. An\n"
    "                           entry the entry editor would refuse (no title, a browser\n"
    "                           without a connection or the other way round, more than 255\n"
    "                           bytes, a line break or a tab, a character without a Shift-JIS\n"
    "                           form) is refused with the editor's message (exit 1)\n"
    "      --password-stdin     read the password (PASS) from standard input: one line,\n"
    "                           without its line end; it is never taken from the command line.\n"
    "                           An empty one is refused (exit 1) unless --empty-password\n"
    "      --empty-password     with --password-stdin: store an empty standard input as an\n"
    "                           empty password\n"
    "      --own-dialler        \"NORVAXで接続\": NORVAX dials the connection itself\n"
    "      --maximise           start the browser maximised\n"
    "      --set-pass           \"PASSをセットする\": type the password into the connect dialog\n"
    "      --proxy SERVERS      \"ﾌﾟﾛｷｼをｾｯﾄする\" with the proxy on: the browser's proxy\n"
    "                           servers as \"http=HOST:PORT;https=HOST:PORT;ftp=...;socks=...\"\n"
    "                           (PORT from 0 to 65535: another is refused with the proxy\n"
    "                           settings window's message, exit 1)\n"
    "      --proxy-off          \"ﾌﾟﾛｷｼをｾｯﾄする\" with the proxy off (the browser goes direct)\n"
    "      --no-proxy-for TEXT  the hosts that go direct, separated by \";\"\n"
    "      --netscape           the proxy goes to Firefox's preferences (\"NETSCAPE\"), not\n"
    "                           to the desktop's (\"INTERNET EXPLORE\")\n"
    "  entry remove N [--lock-password-stdin] [DIR]\n"
    "                           remove entry N (from 1), as the register window's 削除 and OK do\n"
    "      --lock-password-stdin\n"
    "                           add and remove ask for the register window's password when\n"
    "                           one is set (環境設定, ﾊﾟｽﾜ-ﾄﾞ設定), as the register window does\n"
    "                           before it opens: at the terminal, not shown. With this\n"
    "                           option they read it from standard input instead, as its first\n"
    "                           line (before the PASS of --password-stdin), whether one is set\n"
    "                           or not. A wrong password, or none, changes nothing (exit 1)\n"
    "      DIR                  the program directory (default as for log). While NORVAX runs\n"
    "                           on it, add and remove refuse (exit 1): it writes the settings\n"
    "                           file when it ends. A damaged settings file is left as it is\n"
    "                           (exit 1)\n"
    "  type (--caption TEXT | --class NAME) [--stdin] [TEXT]\n"
    "                           find a window as NORVAX finds a Set2 target (the caption\n"
    "                           exactly, else the first caption that contains TEXT; or the\n"
    "                           window class), bring it to the front and type TEXT into it\n"
    "                           as NORVAX types an ID or password: \"{~\" stands for ENTER and\n"
    "                           \"{]\" for TAB; Caps Lock, held keys and the keyboard layout\n"
    "                           do not change what arrives. Typing stops as soon as the\n"
    "                           window loses the focus. Exit 1 when no window matches, there\n"
    "                           is no X display ($DISPLAY), the text has a character without\n"
    "                           a Shift-JIS form, KWin does not let norvaxctl type (see\n"
    "                           grant-typing) or the typing stopped\n"
    "      --stdin              read TEXT from standard input instead (for passwords): one\n"
    "                           line, without its line end\n"
    "  connections [DIR]        print the names of the dial-up connections the entry editor\n"
    "                           lists, one per line, and on standard error which dialler\n"
    "                           runs for the program directory DIR (default as for log):\n"
    "                           \"simulated\" when DIR holds phonebook.ini, else\n"
    "                           \"NetworkManager\" when it answers on the system bus, else\n"
    "                           \"none\"; then the faults of phonebook.ini, if any\n"
    "  windows                  print the top-level windows as type finds them, one per\n"
    "                           line: \"<caption><TAB><class>\", and on standard error which\n"
    "                           window system reaches them: \"Wayland\" when WAYLAND_DISPLAY\n"
    "                           names a compositor that offers the window list and a\n"
    "                           virtual keyboard (sway, Hyprland, river, labwc, Wayfire),\n"
    "                           \"GNOME\" when GNOME Shell answers on the session bus of a\n"
    "                           Wayland session, \"KWin\" when KWin answers there and on the\n"
    "                           session bus, else \"X11\"\n"
    "  grant-typing [--remove]  let KWin (KDE Plasma on Wayland) take the keys this norvaxctl\n"
    "                           types: writes the entry $XDG_DATA_HOME/applications/\n"
    "                           org.norvax.norvaxctl.desktop (default ~/.local/share/...)\n"
    "                           that names it, which KWin reads in a few seconds (else at\n"
    "                           the next login). Every program of the session can then type\n"
    "                           into any window through norvaxctl. NORVAX's menu entry has\n"
    "                           its own grant\n"
    "      --remove             remove that entry: the grant ends\n"
    "  --help, -h, help         show this help\n";

// The synopsis of a line of the usage: the line without its description, which stands
// after a run of blanks.
std::string Synopsis(const std::string& line) {
  const auto start = line.find_first_not_of(' ');
  const auto description = line.find("  ", start);
  return line.substr(start, description == std::string::npos ? description : description - start);
}

// The usage lines of a command ("log" gives those of "log show" and "log move"): each line of
// the usage that begins with it, and the lines of options that continue its synopsis.
std::string CommandUsage(const std::string& command) {
  std::istringstream usage(kUsage);
  std::string line, lines;
  bool continued = false;
  while (std::getline(usage, line)) {
    const std::string head = "  " + command;
    if (line.rfind(head, 0) == 0 && (line.size() == head.size() || line[head.size()] == ' ')) {
      lines += (lines.empty() ? "usage: norvaxctl " : "       norvaxctl ") + Synopsis(line) + "\n";
      continued = true;
    } else if (continued && line.rfind("          [", 0) == 0) {
      lines += "           " + Synopsis(line) + "\n";
    } else {
      continued = false;
    }
  }
  return lines.empty() ? "usage: norvaxctl COMMAND [ARGUMENTS]\n" : lines;
}

// A command line that is not understood: what is wrong, then the usage of the command (all
// of it when no command is given at all).
int Usage(const std::string& problem = {}, const std::string& command = {}) {
  if (problem.empty()) {
    std::cerr << kUsage;
    return kUsageError;
  }
  std::cerr << "norvaxctl: " << problem << "\n"
            << CommandUsage(command) << "Run \"norvaxctl --help\" for more.\n";
  return kUsageError;
}

void Fail(const std::string& cp932Message) {
  std::cerr << "norvaxctl: " << norvax::Cp932ToUtf8(cp932Message) << "\n";
}

int NoCp932Form(const char* argument) {
  std::cerr << "norvaxctl: " << argument << " has a character without a Shift-JIS (CP932) form\n";
  return kFailed;
}

// Every value is checked the same way in every command: one that is not what its argument
// takes is refused with "not a <what> (<form>): <text>" (the caller then exits with 2).
template <typename T>
std::optional<T> CheckedValue(std::optional<T> value, const std::string& what,
                              const std::string& form, const std::string& text) {
  const char* article =
      std::string_view("aeiou").find(what.front()) == std::string_view::npos ? "a" : "an";
  if (!value) {
    std::cerr << "norvaxctl: not " << article << " " << what << " (" << form << "): " << text
              << "\n";
  }
  return value;
}

// A date of the calendar's gap (1582/10/05 to 1582/10/14) is refused like any date that does
// not exist, with the calendar's own message.
template <typename T>
std::optional<T> ExistingDay(std::optional<T> date) {
  if (!date) return date;
  try {
    norvax::DayNumber(date->year, date->month, date->day);
    return date;
  } catch (const norvax::EJuliusError& e) {
    Fail(e.what());
    return std::nullopt;
  }
}

std::optional<norvax::Date> DateValue(const std::string& text) {
  norvax::Date date;
  bool ok = norvax::ParseDateText(text, date);
  return ExistingDay(
      CheckedValue(ok ? std::optional(date) : std::nullopt, "date", "YYYY/MM/DD", text));
}

std::optional<norvax::DateTime> TimeValue(const std::string& text) {
  norvax::DateTime time;
  bool ok = norvax::ParseDateTimeText(text, time);
  return ExistingDay(
      CheckedValue(ok ? std::optional(time) : std::nullopt, "time", "YYYY/MM/DD hh:nn:ss", text));
}

std::optional<int32_t> NumberValue(const std::string& text, const std::string& what, int32_t min,
                                   int32_t max = INT32_MAX) {
  auto value = norvax::ParseDecimal(text);
  if (value && (*value < min || *value > max)) value.reset();
  return CheckedValue(value, what, std::to_string(min) + ".." + std::to_string(max), text);
}

// A file or directory that a command reads must be there and be of that kind; false, after
// saying what is wrong, when it is not.
bool Present(const std::filesystem::path& path, bool directory) {
  const char* kind = directory ? "directory" : "file";
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (ec && ec != std::errc::no_such_file_or_directory) {
    std::cerr << "norvaxctl: " << path.string() << ": " << ec.message() << "\n";
  } else if (!std::filesystem::exists(status)) {
    std::cerr << "norvaxctl: no such " << kind << ": " << path.string() << "\n";
  } else if (std::filesystem::is_directory(status) != directory) {
    std::cerr << "norvaxctl: not a " << kind << ": " << path.string() << "\n";
  } else {
    return true;
  }
  return false;
}

int CheckSettingsCommand(const std::string& path) {
  if (!Present(path, false)) return kFailed;
  norvax::IniFile file(path);
  norvax::EntryTable table;
  norvax::PreferenceList prefs;
  try {
    if (!norvax::ReadSettings(file, table, prefs)) {
      std::cout << "damaged\n";
      return kFailed;
    }
  } catch (const norvax::ReadError& e) {
    std::cerr << "norvaxctl: " << e.what() << "\n";
    return kFailed;
  }
  std::cout << "ok entries=" << table.Count() << "\n";
  return 0;
}

int ScrambleCommand(const std::string& text) {
  auto cp932 = norvax::Utf8ToCp932(text);
  if (!cp932) return NoCp932Form("TEXT");
  std::cout << norvax::ScrambleText(*cp932, true) << "\n";
  return 0;
}

int UnscrambleCommand(const std::string& stored) {
  if (!norvax::IsStoredForm(stored)) {
    std::cerr << "norvaxctl: not a stored form (two digits, then groups of four hexadecimal "
                 "digits 0-9, A-F): "
              << stored << "\n";
    return kFailed;
  }
  auto result = norvax::UnscrambleText(stored);
  if (!result.checkOk) {
    std::cerr << "norvaxctl: the stored form fails its check\n";
    return kFailed;
  }
  std::cout << norvax::Cp932ToUtf8(result.text) << "\n";
  return 0;
}

int DayCommand(const std::string& text) {
  auto date = DateValue(text);
  if (!date) return kUsageError;
  int32_t n = norvax::DayNumber(date->year, date->month, date->day);
  int flags = norvax::ClassifyDay(norvax::LoadHolidays(), date->year, date->month, date->day);
  std::cout << "jdn=" << n << " weekday=" << norvax::WeekdayOf(n) << " flags=" << flags << "\n";
  return 0;
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
  auto year = NumberValue(text, "year", 1, 9999);
  if (!year) return kUsageError;
  std::cout << "vernal=" << DateOfDayInYear(*year, norvax::VernalEquinoxDay(*year))
            << " autumnal=" << DateOfDayInYear(*year, norvax::AutumnalEquinoxDay(*year)) << "\n";
  return 0;
}

int HolidaysCommand(const std::string& text) {
  auto year = NumberValue(text, "year", 1, 9999);
  if (!year) return kUsageError;
  for (const auto& off : norvax::DaysOffOfYear(norvax::LoadHolidays(), *year)) {
    std::cout << norvax::DateText(off.date.year, off.date.month, off.date.day) << "\t"
              << norvax::Cp932ToUtf8(off.name) << "\n";
  }
  return 0;
}

// Options "--name value" and flags "--name"; anything else is positional. problem says
// what is wrong when the arguments do not fit.
struct Options {
  std::map<std::string, std::string> values;
  std::vector<std::string> flags;
  std::vector<std::string> positional;
  std::string problem;
};

bool HasFlag(const Options& options, std::string_view name) {
  return std::find(options.flags.begin(), options.flags.end(), name) != options.flags.end();
}

Options ReadOptions(const std::vector<std::string>& args, std::size_t from,
                    const std::vector<std::string>& valueNames,
                    const std::vector<std::string>& flagNames) {
  Options options;
  for (std::size_t i = from; i < args.size() && options.problem.empty(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      options.positional.push_back(a);
    } else if (std::find(flagNames.begin(), flagNames.end(), a) != flagNames.end()) {
      options.flags.push_back(a);
    } else if (std::find(valueNames.begin(), valueNames.end(), a) == valueNames.end()) {
      options.problem = "unknown option: " + a;
    } else if (i + 1 >= args.size()) {
      options.problem = a + " needs a value";
    } else if (options.values.count(a)) {
      options.problem = a + " is given twice";
    } else {
      options.values[a] = args[++i];
    }
  }
  return options;
}

int LoglineCommand(const std::vector<std::string>& args) {
  auto options = ReadOptions(
      args, 1,
      {"--profile", "--entry", "--start", "--end", "--attempts", "--state-date", "--state-seconds"},
      {});
  if (!options.problem.empty()) return Usage(options.problem, "logline");
  if (!options.positional.empty())
    return Usage("logline takes no argument " + options.positional[0], "logline");
  auto& v = options.values;
  for (const char* required : {"--profile", "--entry", "--start", "--end"}) {
    if (!v.count(required)) return Usage(std::string("logline needs ") + required, "logline");
  }
  norvax::LoggedConnection connection;
  auto start = TimeValue(v["--start"]);
  auto end = start ? TimeValue(v["--end"]) : std::nullopt;
  if (!end) return kUsageError;
  connection.start = *start;
  connection.end = *end;
  if (v.count("--attempts")) {
    auto attempts = NumberValue(v["--attempts"], "number of attempts", 1);
    if (!attempts) return kUsageError;
    connection.attempts = *attempts;
  }
  norvax::LogState state;
  if (v.count("--state-date")) {
    if (!DateValue(v["--state-date"])) return kUsageError;
    state.lastDate = v["--state-date"];
  }
  if (v.count("--state-seconds")) {
    auto seconds = NumberValue(v["--state-seconds"], "number of seconds", 0);
    if (!seconds) return kUsageError;
    state.cumulative = *seconds;
  }
  auto profileText = norvax::Utf8ToCp932(v["--profile"]);
  if (!profileText) return NoCp932Form("P");
  auto entry = norvax::Utf8ToCp932(v["--entry"]);
  if (!entry) return NoCp932Form("NAME");
  connection.entryName = *entry;
  try {
    int64_t duration = norvax::SecondsBetween(connection.start, connection.end);
    if (duration < 0 || duration > INT32_MAX) {
      std::cerr << "norvaxctl: "
                << (duration < 0 ? "the end lies before the start"
                                 : "the call lasts more than 2147483647 seconds")
                << "\n";
      return kUsageError;
    }
    connection.duration = static_cast<int32_t>(duration);
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
  return kFailed;
}

int TotalsCommand(const std::string& logPath) {
  if (!Present(logPath, false)) return kFailed;
  std::filesystem::path path(logPath);
  norvax::PosixFileStore files(path.has_parent_path() ? path.parent_path() : ".");
  try {
    auto reader = files.OpenLines(path.filename().string());
    if (!reader) {  // gone since it was looked at
      Present(logPath, false);
      return kFailed;
    }
    auto result = norvax::TotalsOfLines(*reader);
    if (result.overflow) {
      Fail(norvax::TotalsOverflowMessage());
      return kFailed;
    }
    for (const auto& g : result.groups) {
      std::cout << norvax::Cp932ToUtf8(g.period) << ","
                << norvax::CsvField(norvax::Cp932ToUtf8(g.name)) << ","
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
  return kFailed;
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
    std::erase(question, '\r');
    std::cerr << question << "\n";
    if (yes_) return true;
    std::cerr << "OK? [y/N] " << std::flush;
    std::string answer;
    bool answered = static_cast<bool>(std::getline(std::cin, answer));
    // A terminal shows what is typed, line end included; any other answer, or none, is
    // shown here so that the line ends all the same.
    if (!answered || !isatty(STDIN_FILENO)) std::cerr << answer << "\n";
    return answered && (answer == "y" || answer == "Y" || answer == "yes");
  }

 private:
  bool yes_;
};

// The QCoreApplication that the session and system buses need (NetworkManager, KWin).
std::unique_ptr<QCoreApplication> CoreApplication() {
  static int argc = 1;
  static char name[] = "norvaxctl";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QCoreApplication>(argc, argv);
}

// Calls a copy of NORVAX left unfinished (it ended without its own end in the middle of a
// call, or could not log a line) are ended and logged before the log is read or moved, unless
// a copy runs on the directory: those are its own. False, having done nothing, while a copy
// or another log command holds the directory.
bool FinishLeftoverCalls(const std::filesystem::path& dir, norvax::PosixFileStore& files,
                         norvax::StillUp stillUp) {
  if (!files.Exists(norvax::kCallRecordFileName)) return true;
  norvax::InstanceLock running(dir);
  if (!running.Held()) return false;
  const auto app = CoreApplication();  // for NetworkManager
  const norvax::Dialler dialler = norvax::OpenDialler(dir);
  if (auto* nm = dynamic_cast<norvax::NmRemoteAccess*>(dialler.access.get())) {
    nm->WaitForActiveConnections();
  }
  norvax::IniFile logState((dir / norvax::kLogStateFileName).string());
  TerminalDialogs report(true);
  std::vector<norvax::CallRecord> calls;
  norvax::FinishLeftoverCalls(calls, files, logState, norvax::LoadHolidays(),
                              norvax::DiallerName(dialler.kind), *dialler.access,
                              norvax::DateTime::From(norvax::SystemClock().Now()), stillUp, report);
  return true;
}

// The starts of the calls in progress in the record file of files; when it cannot be read,
// those of otherwise.
std::vector<norvax::DateTime> CallsInProgress(const norvax::PosixFileStore& files,
                                              const std::vector<norvax::DateTime>& otherwise) {
  try {
    std::vector<norvax::DateTime> starts;
    for (const auto& call : norvax::ReadCallRecords(files)) {
      if (!call.Ended()) starts.push_back(call.start);
    }
    return starts;
  } catch (const norvax::FileError&) {
    return otherwise;
  }
}

// The guardian of the calls in progress of a copy of NORVAX (process PID): once the copy has
// ended, the calls it left in progress are finished as its next start would finish them,
// unless the program that holds the directory then (that next start, a log move) does so
// first. It ends as soon as none of them is in progress.
int LogGuardCommand(const std::vector<std::string>& args) {
  auto options = ReadOptions(args, 2, {}, {});
  if (!options.problem.empty()) return Usage(options.problem, "log guard");
  if (options.positional.empty() || options.positional.size() > 2) {
    return Usage("log guard takes a PID and one DIR at most", "log guard");
  }
  const auto pid = NumberValue(options.positional[0], "process id", 1);
  if (!pid) return kUsageError;
  const std::filesystem::path dir = options.positional.size() == 2
                                        ? std::filesystem::path(options.positional[1])
                                        : norvax::ProgramDirectory();
  if (!Present(dir, true)) return kFailed;
  norvax::PosixFileStore files(dir);
  // Watched before the calls are read, so that no change after the reading goes unseen.
  norvax::ProcessEndWatch watch(*pid, dir);
  if (!watch.Problem().empty()) {
    std::cerr << "norvaxctl: " << watch.Problem() << "\n";
    return kFailed;
  }
  const auto guarded = CallsInProgress(files, {});
  const auto inProgress = [&] {
    const auto now = CallsInProgress(files, guarded);
    return std::ranges::any_of(guarded, [&](const norvax::DateTime& start) {
      return std::ranges::find(now, start) != now.end();
    });
  };
  // While the copy runs, a changed record may have ended the calls (a file system that
  // tells of no changes is looked at as often as the copy brings the record up to date);
  // after its end, the program that holds the directory is asked again every moment.
  constexpr std::chrono::milliseconds kWhileRunning{norvax::kCallRefreshMs};
  constexpr std::chrono::milliseconds kWhileHeld{250};
  bool ended = watch.Ended();
  while (inProgress()) {
    if (ended && FinishLeftoverCalls(dir, files, norvax::StillUp::kHangUp)) break;
    ended = watch.Wait(ended ? kWhileHeld : kWhileRunning);
  }
  return 0;
}

int LogCommand(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("log needs show, move or guard", "log");
  const std::string& sub = args[1];
  if (sub == "guard") return LogGuardCommand(args);
  if (sub != "show" && sub != "move") return Usage("unknown log command: " + sub, "log");
  const bool move = sub == "move";
  auto options =
      ReadOptions(args, 2, move ? std::vector<std::string>{"--before"} : std::vector<std::string>{},
                  move ? std::vector<std::string>{"--yes"} : std::vector<std::string>{});
  if (!options.problem.empty()) return Usage(options.problem, "log " + sub);
  if (options.positional.size() > 1)
    return Usage("log " + sub + " takes one DIR at most", "log " + sub);
  std::optional<norvax::Date> cutoff;
  if (move) {
    if (!options.values.count("--before")) return Usage("log move needs --before", "log move");
    cutoff = DateValue(options.values["--before"]);
    if (!cutoff) return kUsageError;
  }
  std::filesystem::path dir = options.positional.empty()
                                  ? norvax::ProgramDirectory()
                                  : std::filesystem::path(options.positional[0]);
  if (!Present(dir, true)) return kFailed;
  norvax::PosixFileStore files(dir);
  try {
    // A listing leaves a connection that is still the call's up.
    FinishLeftoverCalls(dir, files, move ? norvax::StillUp::kHangUp : norvax::StillUp::kLeave);
    if (!move) {
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
    auto now = norvax::SystemClock().Now();
    TerminalDialogs dialogs(!options.flags.empty());
    auto outcome = norvax::MoveLog(files, dialogs,
                                   norvax::CutoffText(cutoff->year, cutoff->month, cutoff->day),
                                   norvax::DateText(now.year, now.month, now.day));
    if (outcome.result == norvax::LogMoveResult::kCancelled) {
      std::cerr << "norvaxctl: not confirmed, nothing moved\n";
    }
    if (outcome.result != norvax::LogMoveResult::kMoved) return kFailed;
    std::cout << "moved=" << outcome.moved << " kept=" << outcome.kept << "\n";
    return 0;
  } catch (const norvax::LogFormatError& e) {
    Fail(e.what());
  } catch (const norvax::FileError& e) {
    std::cerr << "norvaxctl: " << e.what() << "\n";
  }
  return kFailed;
}

// The settings file of a program directory, named after the desktop program.
constexpr const char* kSettingsFileName = "norvax.ini";

// The entry table and preferences of a settings file as the program has them after its
// start-up load, or nothing (after saying why) when the file cannot be read or is damaged:
// the program's recovery is left to the program, and the file is never written over.
struct StoredSettings {
  norvax::EntryTable table;
  norvax::PreferenceList prefs;
};

std::optional<StoredSettings> ReadStoredSettings(const norvax::IniFile& file) {
  StoredSettings stored;
  try {
    if (!norvax::ReadSettings(file, stored.table, stored.prefs)) {
      std::cerr << "norvaxctl: " << file.Path()
                << " is damaged and is left as it is (NORVAX keeps a copy of it and starts "
                   "afresh at its next start)\n";
      return std::nullopt;
    }
  } catch (const norvax::ReadError& e) {
    std::cerr << "norvaxctl: " << e.what() << "\n";
    return std::nullopt;
  }
  // An empty table starts with the default preferences, as at the program's start.
  if (stored.table.Count() > 0) {
    stored.table.NormaliseColumns();
  } else {
    stored.prefs.ResetToDefaults();
  }
  return stored;
}

// The register window's OK: the whole table and the preferences in one replace of the file.
int SaveTable(norvax::IniFile& file, const norvax::EntryTable& table,
              norvax::PreferenceList& prefs) {
  if (auto message = norvax::UnstorableTableMessage(table)) {
    Fail(*message);
    return kFailed;
  }
  try {
    norvax::SaveEntryTable(file, table, prefs);
    return 0;
  } catch (const norvax::WriteError& e) {
    Fail(e.Message());
    return kFailed;
  }
}

// The terminal's settings outside and inside a hidden prompt, for the signal handlers.
termios gShownTerminal{};
termios gHiddenTerminal{};

extern "C" void EndWithEchoBack(int signal) {
  tcsetattr(STDIN_FILENO, TCSANOW, &gShownTerminal);
  std::signal(signal, SIG_DFL);
  std::raise(signal);  // delivered once the handler returns
}

extern "C" void StopWithEchoBack(int) {
  tcsetattr(STDIN_FILENO, TCSANOW, &gShownTerminal);
  std::signal(SIGTSTP, SIG_DFL);
  std::raise(SIGTSTP);
}

extern "C" void HideAgainOnContinue(int) {
  struct sigaction stop {};
  stop.sa_handler = StopWithEchoBack;
  stop.sa_flags = SA_RESTART;
  sigaction(SIGTSTP, &stop, nullptr);
  tcsetattr(STDIN_FILENO, TCSANOW, &gHiddenTerminal);
}

// While a prompt hides what is typed: the signals that end the program give the echo back
// first and then end it by the same signal; a stop from the terminal gives it back while
// stopped, and the continue hides the typing again.
constexpr struct {
  int signal;
  void (*handler)(int);
} kHiddenTypingSignals[] = {{SIGINT, EndWithEchoBack},   {SIGTERM, EndWithEchoBack},
                            {SIGHUP, EndWithEchoBack},   {SIGQUIT, EndWithEchoBack},
                            {SIGTSTP, StopWithEchoBack}, {SIGCONT, HideAgainOnContinue}};
constexpr std::size_t kHiddenTypingSignalCount = std::size(kHiddenTypingSignals);

// Hides what is typed at the terminal for its lifetime, and gives the echo back on every way
// out.
class HiddenTyping {
 public:
  explicit HiddenTyping(const termios& shown) {
    gShownTerminal = shown;
    gHiddenTerminal = shown;
    gHiddenTerminal.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    const SignalsHeld held;
    for (std::size_t i = 0; i < kHiddenTypingSignalCount; ++i) {
      struct sigaction action {};
      action.sa_handler = kHiddenTypingSignals[i].handler;
      action.sa_flags = SA_RESTART;
      sigaction(kHiddenTypingSignals[i].signal, &action, &saved_[i]);
    }
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &gHiddenTerminal);
  }
  ~HiddenTyping() {
    const SignalsHeld held;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &gShownTerminal);
    for (std::size_t i = 0; i < kHiddenTypingSignalCount; ++i) {
      sigaction(kHiddenTypingSignals[i].signal, &saved_[i], nullptr);
    }
  }
  HiddenTyping(const HiddenTyping&) = delete;
  HiddenTyping& operator=(const HiddenTyping&) = delete;

 private:
  // The signals wait while the terminal and their handlers change together.
  class SignalsHeld {
   public:
    SignalsHeld() {
      sigset_t set;
      sigemptyset(&set);
      for (const auto& s : kHiddenTypingSignals) sigaddset(&set, s.signal);
      sigprocmask(SIG_BLOCK, &set, &old_);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

   private:
    sigset_t old_;
  };

  struct sigaction saved_[kHiddenTypingSignalCount] {};
};

// One line of standard input without its line end; not shown while typed at a terminal.
std::string ReadPasswordLine(const char* prompt = "PASS") {
  termios shown{};
  std::optional<HiddenTyping> hidden;
  if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &shown) == 0) {
    hidden.emplace(shown);
    std::cerr << prompt << ": " << std::flush;
  }
  std::string line;
  std::getline(std::cin, line);
  if (hidden) {
    hidden.reset();
    std::cerr << "\n";
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// The password dialog at the terminal: its caption and label as the prompt of one line of
// standard input; the end of the input is its Cancel.
class TerminalPasswordPrompt : public norvax::PasswordPrompt {
 public:
  void Setup(const norvax::PasswordPromptSetup& setup) override {
    std::string label = norvax::Cp932ToUtf8(setup.label1);
    if (!label.empty() && label.back() == ':') label.pop_back();
    prompt_ = norvax::Cp932ToUtf8(setup.caption) + " " + label;
  }
  bool Show() override {
    // A text without a Shift-JIS form matches no password (a set one is never empty).
    first_ = norvax::Utf8ToCp932(ReadPasswordLine(prompt_.c_str())).value_or(std::string());
    return !std::cin.fail();
  }
  std::string First() const override { return first_; }
  std::string Second() const override { return {}; }

 private:
  std::string prompt_, first_;
};

// The register window's password, asked as the register window asks it before it opens when
// one is set: true when the change may go ahead. With fromStdin its line is read whether one
// is set or not, so that the PASS line always comes next.
bool PassRegisterLock(const norvax::PreferenceList& prefs, bool fromStdin) {
  const bool locked = norvax::LockSet(prefs);
  if (!locked && !fromStdin) return true;
  if (!fromStdin && !isatty(STDIN_FILENO)) {
    std::cerr << "norvaxctl: the register window is locked with a password: type it at a "
                 "terminal, or give it on standard input with --lock-password-stdin\n";
    return false;
  }
  TerminalPasswordPrompt prompt;
  const auto outcome =
      norvax::Verify(prompt, norvax::RegisterCaptionForVerify(), norvax::StoredLockPassword(prefs));
  if (!locked || outcome == norvax::VerifyOutcome::Equal) return true;
  if (outcome == norvax::VerifyOutcome::Different) {
    Fail(norvax::PasswordErrorMessage());
  } else {
    std::cerr << "norvaxctl: the register window's password was not given; nothing was "
                 "changed\n";
  }
  return false;
}

// The proxy options into the form's proxy record, as the proxy settings window takes its
// controls back: the message of the first value it refuses, if any.
std::optional<std::string> StoreProxyOptions(const Options& options, norvax::EditorForm& form) {
  const struct {
    const char* option;
    const char* name;  // as the proxy settings window names it
  } fields[] = {{"--proxy", "使用するﾌﾟﾛｷｼのｱﾄﾞﾚｽ"}, {"--no-proxy-for", "例外"}};
  std::string texts[std::size(fields)];
  for (std::size_t i = 0; i < std::size(fields); ++i) {
    auto given = options.values.find(fields[i].option);
    if (given == options.values.end()) continue;
    auto cp932 = norvax::Utf8ToCp932(given->second);
    if (!cp932) return norvax::Cp932ForDisplay(norvax::EncodingError(fields[i].name).what());
    if (norvax::HoldsLineBreak(*cp932)) return norvax::LineBreakMessage(fields[i].name);
    texts[i] = std::move(*cp932);
  }
  norvax::ProxyForm proxy;
  proxy.useProxy = options.values.count("--proxy") > 0;
  proxy.browser = HasFlag(options, "--netscape") ? norvax::ProxyForm::Browser::Netscape
                                                 : norvax::ProxyForm::Browser::InternetExplorer;
  proxy.serverSlots = norvax::ParseProxyServer(texts[0]);
  proxy.exceptions = texts[1];
  if (proxy.useProxy || HasFlag(options, "--proxy-off")) {
    norvax::SetProxyFlag(form.proxyFlags, true);
  }
  return norvax::StoreProxyForm(proxy, form.proxyFlags, form.proxyServers, form.proxyExceptions);
}

// The entry editor's form for a new entry with the options' texts, in the order the editor
// reads its fields, or nothing after the editor's message when it would refuse them.
std::optional<norvax::EditorForm> NewEntryForm(const Options& options,
                                               const std::string& password) {
  norvax::EditorForm form =
      norvax::InitialEditorForm({norvax::EditorMode::Add, -1, 0, true}, norvax::EntryTable());
  const struct {
    std::string* field;
    const char* option;  // none: the password
    const char* name;    // as the editor names it
  } fields[] = {{&form.title, "--title", "タイトル"},
                {&form.id, "--id", "ＩＤ"},
                {&form.pass, nullptr, "ＰＡＳＳ"},
                {&form.browser, "--browser", "ブラウザ"},
                {&form.workDirectory, "--workdir", "作業ディレクトリ"},
                {&form.connection, "--connection", "接続先"},
                {&form.set1, "--set1", "ｾｯﾄ1"},
                {&form.set2, "--set2", "ｾｯﾄ2"}};
  for (const auto& f : fields) {
    auto given = f.option ? options.values.find(f.option) : options.values.end();
    auto cp932 = norvax::Utf8ToCp932(
        f.option ? (given == options.values.end() ? std::string() : given->second) : password);
    if (!cp932) {
      std::cerr << "norvaxctl: " << norvax::EncodingError(f.name).what() << "\n";
      return std::nullopt;
    }
    *f.field = std::move(*cp932);
  }
  form.ownDialler = HasFlag(options, "--own-dialler");
  form.maximise = HasFlag(options, "--maximise");
  form.setPass = HasFlag(options, "--set-pass");
  auto message = norvax::ValidateEditorForm(form);
  if (!message) message = StoreProxyOptions(options, form);
  if (message) {
    Fail(*message);
    return std::nullopt;
  }
  return form;
}

int EntryCommand(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("entry needs list, add or remove", "entry");
  const std::string& sub = args[1];
  std::vector<std::string> values, flags;
  if (sub == "add") {
    values = {"--title", "--id",      "--browser", "--connection",  "--set1",
              "--set2",  "--workdir", "--proxy",   "--no-proxy-for"};
    flags = {"--password-stdin", "--empty-password", "--own-dialler", "--maximise",
             "--set-pass",       "--proxy-off",      "--netscape",    "--lock-password-stdin"};
  } else if (sub == "remove") {
    flags = {"--lock-password-stdin"};
  } else if (sub != "list") {
    return Usage("unknown entry command: " + sub, "entry");
  }
  auto options = ReadOptions(args, 2, values, flags);
  if (!options.problem.empty()) return Usage(options.problem, "entry " + sub);
  auto& positional = options.positional;
  std::optional<int32_t> number;
  if (sub == "remove") {
    if (positional.empty()) return Usage("entry remove needs N", "entry remove");
    number = NumberValue(positional[0], "entry number", 1);
    if (!number) return kUsageError;
    positional.erase(positional.begin());
  }
  if (sub == "add" && !options.values.count("--title"))
    return Usage("entry add needs --title", "entry add");
  if (options.values.count("--proxy") && HasFlag(options, "--proxy-off"))
    return Usage("entry add takes --proxy or --proxy-off, not both", "entry add");
  if (options.values.count("--proxy") &&
      norvax::ComposeProxyServer(norvax::ParseProxyServer(options.values["--proxy"])).empty())
    return Usage("--proxy names no server (PROTOCOL=HOST:PORT;...): " + options.values["--proxy"],
                 "entry add");
  if (positional.size() > 1)
    return Usage("entry " + sub + " takes one DIR at most", "entry " + sub);
  std::filesystem::path dir =
      positional.empty() ? norvax::ProgramDirectory() : std::filesystem::path(positional[0]);
  if (!Present(dir, true)) return kFailed;
  norvax::IniFile file((dir / kSettingsFileName).string());

  if (sub == "list") {
    auto stored = ReadStoredSettings(file);
    if (!stored) return kFailed;
    const auto& table = stored->table;
    for (std::size_t i = 0; i < table.Count(); ++i) {
      std::cout << i + 1;
      for (auto column : {norvax::Column::Title, norvax::Column::Id, norvax::Column::Connection,
                          norvax::Column::Set1, norvax::Column::ProxyFlags}) {
        std::cout << "\t" << norvax::Cp932ToUtf8(table.Value(i, column));
      }
      std::cout << "\n";
    }
    return 0;
  }

  // The register window's password and the new entry are asked for and checked before the
  // lock is taken, so that the lock is held only while the file changes.
  const auto asked = ReadStoredSettings(file);
  if (!asked || !PassRegisterLock(asked->prefs, HasFlag(options, "--lock-password-stdin"))) {
    return kFailed;
  }
  std::optional<norvax::EditorForm> form;
  if (sub == "add") {
    const bool fromStdin = HasFlag(options, "--password-stdin");
    const std::string password = fromStdin ? ReadPasswordLine() : std::string();
    // An empty standard input is more often a mistake (a closed pipe, a file not found by the
    // shell) than a wish for an entry without a password.
    if (fromStdin && password.empty() && !HasFlag(options, "--empty-password")) {
      std::cerr << "norvaxctl: standard input gave an empty password; nothing was stored "
                   "(give --empty-password to store an entry without one)\n";
      return kFailed;
    }
    form = NewEntryForm(options, password);
    if (!form) return kFailed;
  }

  // The running program writes the file when it ends, over whatever was saved meanwhile;
  // held until the save is done, the lock also keeps it from starting in between.
  norvax::InstanceLock lock(dir);
  if (!lock.Held()) {
    if (access(dir.c_str(), W_OK) != 0) {
      Fail(norvax::WriteError(file.Path()).Message());
    } else {
      std::cerr << "norvaxctl: NORVAX is running on " << dir.string()
                << "; end it first, or its end would write over the change\n";
    }
    return kFailed;
  }
  auto stored = ReadStoredSettings(file);
  if (!stored) return kFailed;
  if (norvax::StoredLockPassword(stored->prefs) != norvax::StoredLockPassword(asked->prefs)) {
    std::cerr << "norvaxctl: the register window's password was changed meanwhile; nothing was "
                 "changed\n";
    return kFailed;
  }
  auto& table = stored->table;

  if (sub == "remove") {
    if (static_cast<std::size_t>(*number) > table.Count()) {
      std::cerr << "norvaxctl: there is no entry " << *number << " (entries: " << table.Count()
                << ")\n";
      return kFailed;
    }
    norvax::WorkingTable working(table);
    working.Delete(*number - 1);
    return SaveTable(file, working.Table(), stored->prefs);
  }

  // The editor's 追加 and the register window's OK.
  norvax::EditorContext context{norvax::EditorMode::Add, -1, table.Count(), true};
  norvax::StoreEditorForm(*form, context, table);
  if (int rc = SaveTable(file, table, stored->prefs)) return rc;
  std::cout << table.Count() << "\n";
  return 0;
}

// The entry in the user's applications folder through which KWin lets norvaxctl type, and
// the line that says so.
constexpr const char* kGrantEntry = "applications/org.norvax.norvaxctl.desktop";
constexpr const char* kFakeInputGrant = "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input";

// Writes (or with --remove removes) that entry, with this norvaxctl's path as its Exec.
int GrantTypingCommand(const std::vector<std::string>& args) {
  auto options = ReadOptions(args, 1, {}, {"--remove"});
  if (!options.problem.empty()) return Usage(options.problem, "grant-typing");
  if (!options.positional.empty()) return Usage("grant-typing takes no argument", "grant-typing");
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if ((!dataHome || !*dataHome) && (!home || !*home)) {
    std::cerr << "norvaxctl: neither XDG_DATA_HOME nor HOME is set\n";
    return kFailed;
  }
  const std::filesystem::path entry =
      (dataHome && *dataHome ? std::filesystem::path(dataHome)
                             : std::filesystem::path(home) / ".local/share") /
      kGrantEntry;
  std::error_code error;
  if (!options.flags.empty()) {
    const bool removed = std::filesystem::remove(entry, error);
    if (error) {
      std::cerr << "norvaxctl: cannot remove " << entry.string() << ": " << error.message() << "\n";
      return kFailed;
    }
    std::cout << (removed ? "removed " : "no grant to remove: ") << entry.string() << "\n";
    return 0;
  }
  const std::string program = std::filesystem::read_symlink("/proc/self/exe", error).string();
  // KWin compares Exec with the program's path as it stands: a path the entry would have to
  // quote cannot be named.
  if (error || program.find_first_of(" \t\n\"'\\><~|&;$*?#()`%") != std::string::npos) {
    std::cerr << "norvaxctl: the path of this norvaxctl (" << program
              << ") cannot be named in a .desktop file\n";
    return kFailed;
  }
  try {
    std::filesystem::create_directories(entry.parent_path());
    norvax::ReplaceInOneStep(entry.string(),
                             "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=norvaxctl\n"
                             "Comment=Lets KWin take the keys norvaxctl types (norvaxctl "
                             "grant-typing)\n"
                             "Comment[ja]=KWin が norvaxctl の入力を受け付けるための項目です "
                             "(norvaxctl grant-typing)\n"
                             "Exec=" +
                                 program +
                                 "\n"
                                 "Terminal=true\n"
                                 "NoDisplay=true\n" +
                                 kFakeInputGrant + "\n",
                             {}, norvax::FileMode::kUser);
  } catch (const std::filesystem::filesystem_error& e) {
    std::cerr << "norvaxctl: cannot make " << entry.parent_path().string() << ": "
              << e.code().message() << "\n";
    return kFailed;
  } catch (const norvax::FileError& e) {
    std::cerr << "norvaxctl: " << e.what() << "\n";
    return kFailed;
  }
  std::cout << entry.string() << "\n"
            << "KWin lets " << program
            << " type once it has read this entry (in a few seconds; else after the next "
               "login).\n"
               "Every program of this session can then type into any window through it.\n"
               "\"norvaxctl grant-typing --remove\" takes the grant back.\n";
  return 0;
}

int NoDisplay() {
  const char* display = getenv("DISPLAY");
  std::cerr << "norvaxctl: no X display to type on (DISPLAY=" << (display ? display : "") << ")\n";
  return kFailed;
}

// The windows the finders of type see, and which window system reaches them.
int WindowsCommand(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("windows takes no argument", "windows");
  const auto app = CoreApplication();  // for KWin
  const norvax::DesktopWindows desktop = norvax::OpenWindowSystem();
  std::cerr << "windows: " << norvax::WindowSystemName(desktop.kind) << "\n";
  if (!desktop.available) return NoDisplay();
  for (norvax::WindowId w : desktop.system->TopLevelWindows()) {
    std::cout << norvax::Cp932ToUtf8(desktop.system->Caption(w)) << "\t"
              << norvax::Cp932ToUtf8(desktop.system->ClassName(w)) << "\n";
  }
  if (const std::string problem = desktop.system->Problem(); !problem.empty()) {
    Fail(problem);
    return kFailed;
  }
  return 0;
}

// Types text into another program's window with the desktop program's finder and typing.
int TypeCommand(const std::vector<std::string>& args) {
  auto options = ReadOptions(args, 1, {"--caption", "--class"}, {"--stdin"});
  if (!options.problem.empty()) return Usage(options.problem, "type");
  const bool fromStdin = !options.flags.empty();
  const bool byCaption = options.values.count("--caption") > 0;
  const bool byClass = options.values.count("--class") > 0;
  if (byCaption && byClass) return Usage("type takes --caption or --class, not both", "type");
  if (!byCaption && !byClass) return Usage("type needs --caption or --class", "type");
  if (options.positional.size() != (fromStdin ? 0u : 1u))
    return Usage(fromStdin ? "type --stdin takes no TEXT" : "type needs TEXT (or --stdin)", "type");
  const std::string& search = options.values[byCaption ? "--caption" : "--class"];
  auto name = norvax::Utf8ToCp932(search);
  if (!name) return NoCp932Form(byCaption ? "--caption" : "--class");
  auto text = norvax::Utf8ToCp932(fromStdin ? ReadPasswordLine("TEXT") : options.positional[0]);
  if (!text) return NoCp932Form("TEXT");

  const auto app = CoreApplication();  // for KWin
  const norvax::DesktopWindows desktop = norvax::OpenWindowSystem();
  norvax::WindowSystem& windows = *desktop.system;
  if (!desktop.available) return NoDisplay();
  if (const std::string problem = norvax::UntypableProblem(windows, *text); !problem.empty()) {
    Fail(problem);
    if (desktop.kind == norvax::WindowSystemKind::KWin && !windows.CannotTypeReason().empty()) {
      std::cerr << "norvaxctl: \"norvaxctl grant-typing\" lets KWin take the keys of "
                   "norvaxctl (see norvaxctl(1))\n";
    }
    return kFailed;
  }
  norvax::SystemClock clock;
  std::string lastCaption;
  norvax::WindowFinder finder(windows, clock, lastCaption);
  const std::string caption = byCaption ? *name : std::string();
  const std::string className = byCaption ? std::string() : *name;
  const char* kind = byCaption ? "caption" : "class";
  if (finder.FindTargetWindow(caption, className, 0) == 0) {
    std::cerr << "norvaxctl: no window has the " << kind << " " << search << "\n";
    if (const std::string problem = windows.Problem(); !problem.empty()) Fail(problem);
    return kFailed;
  }
  norvax::WindowId target = finder.ActivateWindow(caption, className, 0);
  if (target == 0) {
    std::cerr << "norvaxctl: the window of the " << kind << " " << search
              << " did not take the focus\n";
    return kFailed;
  }
  if (!finder.SendKeysText(target, *text)) {
    if (const std::string problem = windows.Problem(); !problem.empty()) {
      Fail(problem);
      return kFailed;
    }
    std::cerr << "norvaxctl: typing stopped: the window "
              << norvax::Cp932ToUtf8(windows.Caption(target)) << " lost the focus\n";
    return kFailed;
  }
  return 0;
}

int ConnectionsCommand(const std::vector<std::string>& args) {
  if (args.size() > 2) return Usage("connections takes one DIR at most", "connections");
  const std::filesystem::path dir =
      args.size() == 2 ? std::filesystem::path(args[1]) : norvax::ProgramDirectory();
  if (!Present(dir, true)) return kFailed;
  const auto app = CoreApplication();
  const norvax::Dialler dialler = norvax::OpenDialler(dir);
  std::cerr << "dialler: " << norvax::DiallerName(dialler.kind) << "\n";
  if (auto* nm = dynamic_cast<norvax::NmRemoteAccess*>(dialler.access.get())) {
    if (auto problem = nm->WaitForPhonebook()) {
      std::cerr << norvax::Cp932ToUtf8(*problem) << "\n";
      return kFailed;
    }
  }
  const auto names = dialler.access->EnumPhonebookEntries();
  if (auto* sim = dynamic_cast<norvax::SimRemoteAccess*>(dialler.access.get())) {
    for (const std::string& problem : sim->Load().problems) {
      std::cerr << norvax::kPhonebookFileName << ": " << problem << "\n";
    }
  }
  for (const std::string& connection : names) {
    std::cout << norvax::Cp932ToUtf8(connection) << "\n";
  }
  return 0;
}

// The commands that take exactly one argument, with its name.
struct SimpleCommand {
  const char* name;
  const char* argument;
  int (*run)(const std::string&);
};

constexpr SimpleCommand kSimpleCommands[] = {
    {"day", "YYYY/MM/DD", DayCommand},
    {"equinox", "YYYY", EquinoxCommand},
    {"holidays", "YYYY", HolidaysCommand},
    {"totals", "LOGFILE", TotalsCommand},
    {"check-settings", "INIFILE", CheckSettingsCommand},
    {"scramble", "TEXT", ScrambleCommand},
    {"unscramble", "STORED", UnscrambleCommand},
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    if (args.size() != 1) return Usage(command + " takes no argument");
    std::cout << kUsage;
    return 0;
  }
  if (command == "logline") return LoglineCommand(args);
  if (command == "log") return LogCommand(args);
  if (command == "entry") return EntryCommand(args);
  if (command == "type") return TypeCommand(args);
  if (command == "connections") return ConnectionsCommand(args);
  if (command == "windows") return WindowsCommand(args);
  if (command == "grant-typing") return GrantTypingCommand(args);
  for (const auto& simple : kSimpleCommands) {
    if (command != simple.name) continue;
    if (args.size() != 2)
      return Usage(command + " takes one argument, " + simple.argument, command);
    return simple.run(args[1]);
  }
  return Usage("unknown command: " + command);
}
