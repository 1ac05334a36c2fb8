// norvaxctl's command-line contract, checked against the built program.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/password_lock.h"
#include "core/settings.h"
#include "dialup/call_record.h"
#include "dialup/connection_log.h"
#include "platform/posix/instance_lock.h"
#include "platform/posix/posix_file_store.h"
#include "platform/posix/system_clock.h"
#include "platform/sim/sim_connections.h"
#include "platform/sim/sim_phonebook.h"
#include "platform/store/ini_file.h"
#include "test_files.h"

namespace norvax {
namespace {

struct Run {
  int status;
  std::string out;
  std::string err;
};

Run Ctl(const std::string& args) {
  testing::TempDir dir;
  auto errPath = dir / "stderr";
  std::string command = std::string(NORVAXCTL_PATH) + " " + args + " 2>" + errPath.string();
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  int status = pclose(pipe);
  return {WEXITSTATUS(status), out, testing::ReadFile(errPath)};
}

TEST(Norvaxctl, ScrambleAndUnscrambleRoundTripUtf8) {
  auto scrambled = Ctl("scramble 'ﾊﾟｽﾜｰﾄﾞ 秘密'");
  ASSERT_EQ(scrambled.status, 0);
  std::string stored = scrambled.out.substr(0, scrambled.out.size() - 1);
  EXPECT_EQ(stored.size(), 4u * 12 + 6);
  auto plain = Ctl("unscramble " + stored);
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out, "ﾊﾟｽﾜｰﾄﾞ 秘密\n");
}

TEST(Norvaxctl, FailuresGoToStderrWithExitCodes) {
  for (const char* stored : {"0012341234", "XYZ"}) {  // a failed check; no stored form
    auto bad = Ctl(std::string("unscramble ") + stored);
    EXPECT_EQ(bad.status, 1) << stored;
    EXPECT_TRUE(bad.out.empty()) << stored;
    EXPECT_FALSE(bad.err.empty()) << stored;
  }

  auto emoji = Ctl("scramble '😀'");
  EXPECT_EQ(emoji.status, 1);
  EXPECT_TRUE(emoji.out.empty());
  EXPECT_EQ(emoji.err, "norvaxctl: TEXT has a character without a Shift-JIS (CP932) form\n");

  // A command line that is not understood: what is wrong, then the usage.
  struct Case {
    const char *args, *problem;
  } cases[] = {
      {"", ""},
      {"frobnicate", "norvaxctl: unknown command: frobnicate\n"},
      {"scramble", "norvaxctl: scramble takes one argument, TEXT\n"},
      {"check-settings a b", "norvaxctl: check-settings takes one argument, INIFILE\n"},
      {"logline --entry A", "norvaxctl: logline needs --profile\n"},
      {"log show --yes", "norvaxctl: unknown option: --yes\n"},
      {"type abc", "norvaxctl: type needs --caption or --class\n"},
      {"type --caption a --class b abc", "norvaxctl: type takes --caption or --class, not both\n"},
      {"type --caption a", "norvaxctl: type needs TEXT (or --stdin)\n"},
      {"type --class a --stdin abc", "norvaxctl: type --stdin takes no TEXT\n"},
      {"grant-typing now", "norvaxctl: grant-typing takes no argument\n"},
  };
  for (const auto& c : cases) {
    auto usage = Ctl(c.args);
    EXPECT_EQ(usage.status, 2) << c.args;
    EXPECT_EQ(usage.err.rfind(std::string(c.problem) + "usage:", 0), 0u) << c.args;
  }
  // A problem shows the usage of its command alone, the lines that continue it included.
  EXPECT_EQ(Ctl("entry add").err,
            "norvaxctl: entry add needs --title\n"
            "usage: norvaxctl entry add --title T [--id I] [--password-stdin [--empty-password]] "
            "[--browser CMD]\n"
            "           [--connection NAME] [--set1 TEXT] [--set2 TEXT] [--workdir DIR]\n"
            "           [--own-dialler] [--maximise] [--set-pass]\n"
            "           [--proxy SERVERS | --proxy-off] [--no-proxy-for TEXT] [--netscape]\n"
            "           [--lock-password-stdin] [DIR]\n"
            "Run \"norvaxctl --help\" for more.\n");
  EXPECT_EQ(Ctl("log").err,
            "norvaxctl: log needs show, move or guard\n"
            "usage: norvaxctl log show [DIR]\n"
            "       norvaxctl log move --before YYYY/MM/DD [--yes] [DIR]\n"
            "       norvaxctl log guard PID [DIR]\n"
            "Run \"norvaxctl --help\" for more.\n");

  auto help = Ctl("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* word : {"check-settings",
                           "scramble",
                           "unscramble",
                           "day",
                           "equinox",
                           "holidays",
                           "logline",
                           "totals",
                           "log show",
                           "log move",
                           "--profile",
                           "19 fields",
                           "--entry",
                           "--start",
                           "--end",
                           "--attempts",
                           "--state-date",
                           "--state-seconds",
                           "--before",
                           "--yes",
                           "DIR",
                           "entry list",
                           "entry add",
                           "entry remove",
                           "--password-stdin",
                           "--lock-password-stdin",
                           "type",
                           "--caption",
                           "--class",
                           "--stdin",
                           "grant-typing",
                           "--remove"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
}

TEST(Norvaxctl, TypeRefusesTextWithoutCp932FormAndWorksOnlyOnADisplay) {
  const char* display = getenv("DISPLAY");
  const char* wayland = getenv("WAYLAND_DISPLAY");
  const std::string saved = display ? display : "", savedWayland = wayland ? wayland : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  auto emoji = Ctl("type --caption x '😀'");
  auto noDisplay = Ctl("type --caption x abc");
  if (display) setenv("DISPLAY", saved.c_str(), 1);
  if (wayland) setenv("WAYLAND_DISPLAY", savedWayland.c_str(), 1);
  EXPECT_EQ(emoji.status, 1);
  EXPECT_EQ(emoji.err, "norvaxctl: TEXT has a character without a Shift-JIS (CP932) form\n");
  EXPECT_EQ(noDisplay.status, 1);
  EXPECT_EQ(noDisplay.err, "norvaxctl: no X display to type on (DISPLAY=)\n");
}

// KWin's fake input is granted to norvaxctl by the user alone: an entry in the user's
// applications that names this norvaxctl, written and removed on request.
TEST(Norvaxctl, GrantTypingWritesAndRemovesTheUsersEntry) {
  testing::TempDir data;
  const std::string entry = (data / "applications/org.norvax.norvaxctl.desktop").string();
  setenv("XDG_DATA_HOME", data.Path().c_str(), 1);
  const auto granted = Ctl("grant-typing");
  const std::string written = testing::ReadFile(entry);
  const auto removed = Ctl("grant-typing --remove");
  const bool gone = !std::filesystem::exists(entry);
  const auto none = Ctl("grant-typing --remove");
  unsetenv("XDG_DATA_HOME");

  EXPECT_EQ(granted.status, 0) << granted.err;
  EXPECT_EQ(granted.out.substr(0, granted.out.find('\n')), entry);
  EXPECT_NE(granted.out.find("grant-typing --remove"), std::string::npos) << granted.out;
  EXPECT_NE(written.find("\nExec=" NORVAXCTL_PATH "\n"), std::string::npos) << written;
  EXPECT_NE(written.find("\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n"), std::string::npos)
      << written;
  EXPECT_EQ(removed.status, 0);
  EXPECT_EQ(removed.out, "removed " + entry + "\n");
  EXPECT_TRUE(gone);
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, "no grant to remove: " + entry + "\n");
}

TEST(Norvaxctl, ConnectionsOfTheDiallerThatRunsInTheDirectory) {
  testing::TempDir dir;
  setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (dir / "no-bus").string()).c_str(), 1);
  auto none = Ctl("connections " + dir.Path().string());
  unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  IniFile book((dir / "phonebook.ini").string());
  for (const std::string name : {"Example Net", "ダイヤル"}) {
    book.WriteValue("Connections", name, name);
    book.WriteSection("Connection:" + name, {{"Phone", "1"}, {"Attempt1", "connect 0"}});
  }
  book.WriteValue("Connections", "3", "Faulty");
  auto simulated = Ctl("connections " + dir.Path().string());
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "dialler: none\n");
  EXPECT_EQ(simulated.out, "Example Net\nダイヤル\n");
  EXPECT_EQ(simulated.err,
            "dialler: simulated\nphonebook.ini: Faulty: section [Connection:Faulty] missing\n");
}

TEST(Norvaxctl, CheckSettingsReportsWithoutChangingTheFile) {
  testing::TempDir dir;
  auto good = dir / "good.ini";
  auto original = testing::ReadFile(testing::SamplePath("norvax.ini"));
  testing::WriteFile(good, original);
  auto ok = Ctl("check-settings " + good.string());
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.out, "ok entries=4\n");

  auto older = Ctl("check-settings " + testing::SamplePath("norvax-older-format.ini").string());
  EXPECT_EQ(older.out, "ok entries=4\n");

  auto damagedPath = dir / "damaged.ini";
  std::string damaged = original;
  auto at = damaged.find("[LIST03]\r\n0=") + 14;
  damaged[at] = damaged[at] == '0' ? '1' : '0';
  testing::WriteFile(damagedPath, damaged);
  auto result = Ctl("check-settings " + damagedPath.string());
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "damaged\n");
  EXPECT_EQ(testing::ReadFile(damagedPath), damaged);
  EXPECT_EQ(testing::ReadFile(good), original);

  auto missing = Ctl("check-settings " + (dir / "none.ini").string());
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, "norvaxctl: no such file: " + (dir / "none.ini").string() + "\n");
  auto folder = Ctl("check-settings " + dir.Path().string());
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.err, "norvaxctl: not a file: " + dir.Path().string() + "\n");
}

TEST(Norvaxctl, DayEquinoxAndHolidays) {
  struct Case {
    const char* args;
    int status;
    const char* out;
  } cases[] = {
      {"day 2000/01/01", 0, "jdn=2451545 weekday=7 flags=6\n"},
      {"day 1998/05/04", 0, "jdn=2450938 weekday=2 flags=16\n"},
      {"day 1582/10/04", 0, "jdn=2299160 weekday=5 flags=0\n"},
      {"day 1999/03/21", 0, "jdn=2451259 weekday=1 flags=33\n"},
      {"day 1999/02/29", 2, ""},
      {"day 1999-01-01", 2, ""},
      {"equinox 1999", 0, "vernal=1999/03/21 autumnal=1999/09/23\n"},
      {"equinox 2024", 0, "vernal=2024/03/20 autumnal=2024/09/22\n"},
      {"equinox x", 2, ""},
      {"holidays 1947", 0, ""},
      {"holidays 10000", 2, ""},
      {"holidays 2019 x", 2, ""},
  };
  for (const auto& c : cases) {
    auto result = Ctl(c.args);
    EXPECT_EQ(result.status, c.status) << c.args;
    EXPECT_EQ(result.out, c.out) << c.args;
  }
  auto year = Ctl("holidays 2019");
  EXPECT_EQ(year.status, 0);
  EXPECT_EQ(year.out,
            "2019/01/01\t元日\n2019/01/14\t成人の日\n2019/02/11\t建国記念の日\n"
            "2019/03/21\t春分の日\n2019/04/29\t昭和の日\n2019/04/30\t国民の休日\n"
            "2019/05/01\t天皇の即位の日\n2019/05/02\t国民の休日\n2019/05/03\t憲法記念日\n"
            "2019/05/04\tみどりの日\n2019/05/05\tこどもの日\n2019/05/06\t振替休日\n"
            "2019/07/15\t海の日\n2019/08/11\t山の日\n2019/08/12\t振替休日\n"
            "2019/09/16\t敬老の日\n2019/09/23\t秋分の日\n2019/10/14\t体育の日\n"
            "2019/10/22\t即位礼正殿の儀\n2019/11/03\t文化の日\n2019/11/04\t振替休日\n"
            "2019/11/23\t勤労感謝の日\n");
}

TEST(Norvaxctl, DatesAndNumbersAreCheckedAlikeInEveryCommand) {
  testing::TempDir dir;
  const std::string call =
      "logline --profile '0;20;1; ;1;0;0;0;0;0;0;1;10;180;10;180;10;240;0;' --entry A "
      "--start '1999/06/10 04:19:00' --end '1999/06/10 04:20:00' ";
  struct Case {
    std::string args, err;
  } cases[] = {
      {"day 1999/02/30", "not a date (YYYY/MM/DD): 1999/02/30"},
      {"log move --yes --before 1999/02/30 " + dir.Path().string(),
       "not a date (YYYY/MM/DD): 1999/02/30"},
      {"log move --before 1999/4/30 " + dir.Path().string(), "not a date (YYYY/MM/DD): 1999/4/30"},
      {call + "--state-date 2026/13/01", "not a date (YYYY/MM/DD): 2026/13/01"},
      {call + "--state-seconds -1", "not a number of seconds (0..2147483647): -1"},
      {call + "--attempts 0", "not a number of attempts (1..2147483647): 0"},
      {"equinox 0", "not a year (1..9999): 0"},
      {"entry remove 0 " + dir.Path().string(), "not an entry number (1..2147483647): 0"},
      {"day 1582/10/10", "1582/10/5-10/14は存在しません。"},
      {"log move --yes --before 1582/10/05 " + dir.Path().string(),
       "1582/10/5-10/14は存在しません。"},
      {"logline --profile 1 --entry A --start '1582/10/14 00:00:00' --end '1999/06/10 04:20:00'",
       "1582/10/5-10/14は存在しません。"},
      {"logline --profile 1 --entry A --start 1999/06/10 --end '1999/06/10 04:20:00'",
       "not a time (YYYY/MM/DD hh:nn:ss): 1999/06/10"},
  };
  for (const auto& c : cases) {
    auto result = Ctl(c.args);
    EXPECT_EQ(result.status, 2) << c.args;
    EXPECT_EQ(result.out, "") << c.args;
    EXPECT_EQ(result.err, "norvaxctl: " + c.err + "\n") << c.args;
  }
}

TEST(Norvaxctl, Logline) {
  const std::string profile =
      "--profile '1;10;30;0311223344;0;1;600;2000;60;10;3000;20;10;180;10;180;10;240;1;'";
  auto first = Ctl("logline " + profile +
                   " --entry 'ﾌﾟﾛﾊﾞｲﾀﾞ' --start '1999/06/10 04:19:00' --end '1999/06/10 06:16:22'"
                   " --attempts 3 --state-date 1999/06/07 --state-seconds 42240");
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out,
            "1999/06/10,\"ﾌﾟﾛﾊﾞｲﾀﾞ\",04:19:00,7042,0000,0000,0300,\"0311223344\",02,2000,1999/05, "
            ",49282,0000\nDate=1999/06/10 RuikeiTime=49282\n");
  // Without a state both keys are missing: the month starts afresh.
  auto fresh = Ctl("logline " + profile +
                   " --entry A --start '1999/06/10 04:19:00' --end '1999/06/10 04:20:00'");
  EXPECT_EQ(fresh.out,
            "1999/06/10,\"A       \",04:19:00,0060,0000,0000,0010,\"0311223344\",00,2000,1999/05, "
            ",00060,0000\nDate=1999/06/10 RuikeiTime=60\n");
  auto backwards = Ctl(
      "logline --profile 1 --entry A --start '1999/06/10 04:19:00' --end '1999/06/10 04:18:00'");
  EXPECT_EQ(backwards.status, 2);
  EXPECT_EQ(backwards.err, "norvaxctl: the end lies before the start\n");
  auto badProfile =
      Ctl("logline --profile '0;20;' --entry A --start '1999/06/10 04:19:00' --end "
          "'1999/06/10 04:20:00'");
  EXPECT_EQ(badProfile.status, 1);
  EXPECT_FALSE(badProfile.err.empty());
}

TEST(Norvaxctl, Totals) {
  testing::TempDir dir;
  auto sample = Ctl("totals " + testing::SamplePath("NORVA.LOG").string());
  EXPECT_EQ(sample.status, 0);
  EXPECT_EQ(sample.out.substr(0, sample.out.find('\n')),
            "1999/03,ProviderA,09:28:37,0,2000,230,1300");
  EXPECT_NE(sample.out.find("\nlines=76 groups=7\n"), std::string::npos);

  std::string log;
  for (int i = 0; i <= 2000; ++i) {
    log += "1999/05/03,\"c" + std::to_string(i) +
           "\",10:00:00,0010,0000,0010,0000,\"1\",00,0000,1999/05, ,00010,0000\r\n";
  }
  testing::WriteFile(dir / "big.log", log);
  auto over = Ctl("totals " + (dir / "big.log").string());
  EXPECT_EQ(over.status, 1);
  EXPECT_EQ(over.out, "");
  EXPECT_EQ(over.err, "norvaxctl: 合計件数オーバー。ログを移動して下さい。\n");
  EXPECT_EQ(Ctl("totals " + (dir / "none.log").string()).status, 1);

  // Names that hold a comma or a quote are quoted, so the output reads back as CSV.
  testing::WriteFile(dir / "names.log",
                     "1999/05/03,\"Net, \"\"A\"\"\",10:00:00,0010,0000,0010,0000,\"1\",00,0000,"
                     "1999/05, ,00010,0000\r\n");
  EXPECT_EQ(Ctl("totals " + (dir / "names.log").string()).out,
            "1999/05,\"Net, \"\"A\"\"\",00:00:10,0,0,10,0\nlines=1 groups=1\n");
}

TEST(Norvaxctl, LogShowAndMove) {
  testing::TempDir dir;
  auto sample = testing::ReadFile(testing::SamplePath("NORVA.LOG"));
  testing::WriteFile(dir / "NORVA.LOG", sample);
  const std::string d = " " + dir.Path().string();
  auto show = Ctl("log show" + d);
  EXPECT_EQ(show.status, 0);
  EXPECT_EQ(show.out.substr(0, show.out.find('\n')),
            "1999/03/25\tProviderA\t22:32:00\t1:04:49\t0\t90\t100\t0311223344\t1");
  EXPECT_NE(show.out.find("\nlines=76\n"), std::string::npos);

  // Answered from a file or not at all: the answer line still ends.
  testing::WriteFile(dir / "no", "n\n");
  auto refused = Ctl("log move --before 1999/04/30" + d + " < " + (dir / "no").string());
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err.substr(0, refused.err.find('\n')), "1999/04/30以前のログを移動します。");
  const std::string nothing = "\nnorvaxctl: not confirmed, nothing moved\n";
  EXPECT_EQ(refused.err.substr(refused.err.size() - nothing.size() - 11), "OK? [y/N] n" + nothing);
  auto closed = Ctl("log move --before 1999/04/30" + d + " <&-");
  EXPECT_EQ(closed.status, 1);
  EXPECT_EQ(closed.err.substr(closed.err.size() - nothing.size() - 10), "OK? [y/N] " + nothing);
  EXPECT_EQ(testing::ReadFile(dir / "NORVA.LOG"), sample);

  auto future = Ctl("log move --before 2999/01/01 --yes" + d);
  EXPECT_EQ(future.status, 1);
  EXPECT_EQ(future.err, "norvaxctl: 2999/01/01は未来日付です。\n");

  auto moved = Ctl("log move --before 1999/04/30 --yes" + d);
  EXPECT_EQ(moved.status, 0) << moved.err;
  EXPECT_EQ(moved.out, "moved=37 kept=39\n");
  EXPECT_EQ(
      testing::ReadFile(dir / "NORVA.LOG").size() + testing::ReadFile(dir / "NORVALOG.OLD").size(),
      sample.size());

  testing::TempDir empty;
  auto none = Ctl("log move --before 1999/04/30 --yes " + empty.Path().string());
  EXPECT_EQ(none.err, "norvaxctl: ログファイルがありません。\n");
  EXPECT_EQ(Ctl("log show " + empty.Path().string()).out, "lines=0\n");
  for (const char* sub : {"show ", "move --yes --before 1999/04/30 "}) {
    auto missing = Ctl(std::string("log ") + sub + (empty / "none").string());
    EXPECT_EQ(missing.status, 1) << sub;
    EXPECT_EQ(missing.out, "") << sub;
    EXPECT_EQ(missing.err, "norvaxctl: no such directory: " + (empty / "none").string() + "\n");
  }
  auto file = Ctl("log show " + (dir / "NORVA.LOG").string());
  EXPECT_EQ(file.err, "norvaxctl: not a directory: " + (dir / "NORVA.LOG").string() + "\n");
}

TEST(Norvaxctl, EntryAddListRemove) {
  testing::TempDir dir;
  const std::string d = " " + dir.Path().string();
  const auto ini = dir / "norvax.ini";
  testing::WriteFile(dir / "pass", "秘密 pw\r\n");
  auto first =
      Ctl("entry add --title 'ﾌﾟﾛﾊﾞｲﾀﾞ' --id taro --password-stdin --browser xterm "
          "--connection 'Example Net' --set1 IE4.0 --own-dialler --set-pass" +
          d + " < " + (dir / "pass").string());
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out, "1\n");
  EXPECT_EQ(Ctl("entry add --title second" + d).out, "2\n");
  EXPECT_EQ(Ctl("check-settings " + ini.string()).out, "ok entries=2\n");
  {
    IniFile file(ini.string());
    EntryTable table;
    PreferenceList prefs;
    ASSERT_TRUE(ReadSettings(file, table, prefs));
    Entry e = table.Get(0);
    EXPECT_EQ(e[Column::Pass], testing::Sjis("秘密 pw")) << "one line without its line end";
    EXPECT_EQ(e[Column::OwnDialler] + e[Column::SetPass] + e[Column::Maximise], "110");
    EXPECT_EQ(e[Column::ProxyFlags], "000");
    EXPECT_EQ(e[Column::DialProfile], kDefaultDialProfile);
    EXPECT_EQ(table.Get(1)[Column::Pass], "");
  }
  auto list = Ctl("entry list" + d);
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.out, "1\tﾌﾟﾛﾊﾞｲﾀﾞ\ttaro\tExample Net\tIE4.0\t000\n2\tsecond\t\t\t\t000\n");

  // Refused as the entry editor refuses, with its messages; the file stays as it was.
  const std::string before = testing::ReadFile(ini);
  testing::WriteFile(dir / "broken", "a\rb\n");
  struct Case {
    std::string args, err;
  } refused[] = {
      {"--title ''", "タイトルを入力して下さい"},
      {"--title t --browser xterm", "ﾌﾞﾗｳｻﾞと接続のどちらかを入力するか削除して下さい。"},
      {"--title " + std::string(256, 'x'), "文字数オ－バ－です(>255)再入力して下さい"},
      {"--title 'a\nb'", "「タイトル」に改行は使えません。改行を除いて下さい。"},
      {"--title t --password-stdin < " + (dir / "broken").string() + d,
       "「ＰＡＳＳ」に改行は使えません。改行を除いて下さい。"},
      {"--title t --set2 '😀'",
       "「ｾｯﾄ2」にシフトJISで表せない文字が含まれています。その文字を除いてください。"},
      {"--title t --no-proxy-for 'a\nb'", "「例外」に改行は使えません。改行を除いて下さい。"},
      {"--title t --proxy 'http=127.0.0.1:99999'",
       "「ＨＴＴＰ」のﾎﾟｰﾄが大きすぎます。0 ～ 65535 を入力して下さい。"},
  };
  for (const auto& c : refused) {
    auto result = Ctl("entry add " + c.args + (c.args.find('<') == std::string::npos ? d : ""));
    EXPECT_EQ(result.status, 1) << c.args;
    EXPECT_EQ(result.err, "norvaxctl: " + c.err + "\n") << c.args;
  }
  EXPECT_EQ(Ctl("entry remove 3" + d).err, "norvaxctl: there is no entry 3 (entries: 2)\n");
  auto empty = Ctl("entry add --title t --password-stdin" + d + " < /dev/null");
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.err,
            "norvaxctl: standard input gave an empty password; nothing was stored (give "
            "--empty-password to store an entry without one)\n");
  EXPECT_EQ(testing::ReadFile(ini), before);

  // The proxy record as the proxy settings window stores it.
  struct ProxyCase {
    std::string options, flags, servers, exceptions;
  } proxies[] = {
      {"--proxy 'http=p.example:8080;socks=s:1080' --no-proxy-for 'localhost;*.lan'", "110",
       "http=p.example:8080;socks=s:1080", "localhost;*.lan"},
      {"--proxy-off --netscape", "101", "", ""},
  };
  for (const auto& c : proxies) {
    ASSERT_EQ(Ctl("entry add --title p " + c.options + d).status, 0) << c.options;
    IniFile file(ini.string());
    EntryTable table;
    PreferenceList prefs;
    ASSERT_TRUE(ReadSettings(file, table, prefs));
    Entry e = table.Get(table.Count() - 1);
    EXPECT_EQ(e[Column::ProxyFlags], c.flags) << c.options;
    EXPECT_EQ(e[Column::ProxyServers], c.servers) << c.options;
    EXPECT_EQ(e[Column::ProxyExceptions], c.exceptions) << c.options;
    Ctl("entry remove " + std::to_string(table.Count()) + d);
  }
  for (const char* usage : {"--proxy x --proxy-off", "--proxy nothing:80"}) {
    EXPECT_EQ(Ctl(std::string("entry add --title p ") + usage + d).status, 2) << usage;
  }

  auto removed = Ctl("entry remove 1" + d);
  EXPECT_EQ(removed.status, 0) << removed.err;
  EXPECT_EQ(
      Ctl("entry add --title third --password-stdin --empty-password" + d + " < /dev/null").out,
      "2\n");
  EXPECT_EQ(Ctl("entry list" + d).out, "1\tsecond\t\t\t\t000\n2\tthird\t\t\t\t000\n");

  for (const char* usage : {"entry", "entry frob", "entry add", "entry remove 0", "entry remove x",
                            "entry list --title t", "entry list a b"}) {
    EXPECT_EQ(Ctl(usage).status, 2) << usage;
  }
}

// The hidden password prompt at a terminal hides the typing from the moment it shows, and
// gives the terminal its echo back on every way out: a line, Ctrl+C, and the signals of a
// logout or a closed terminal, which still end the program.
TEST(Norvaxctl, PasswordPromptGivesTheTerminalItsEchoBack) {
  testing::TempDir dir;
  const struct {
    const char* typed;  // or, when empty, the signal is sent
    int signal;         // what ends the program; 0 when it exits
  } ways[] = {{"pw\r", 0}, {"\x03", SIGINT}, {"", SIGTERM}, {"", SIGHUP}};
  for (const auto& way : ways) {
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      execl(NORVAXCTL_PATH, "norvaxctl", "entry", "add", "--title", "t", "--password-stdin",
            dir.Path().c_str(), nullptr);
      _exit(127);
    }
    const int user = open(ptsname(terminal), O_RDWR | O_NOCTTY);
    std::string shown;
    char buffer[256];
    for (pollfd ready{terminal, POLLIN, 0};
         shown.find("PASS: ") == std::string::npos && poll(&ready, 1, 10'000) == 1;) {
      const ssize_t n = read(terminal, buffer, sizeof buffer);
      if (n <= 0) break;
      shown.append(buffer, static_cast<std::size_t>(n));
    }
    termios settings{};
    EXPECT_TRUE(tcgetattr(user, &settings) == 0 && !(settings.c_lflag & ECHO)) << shown;
    if (*way.typed) {
      ASSERT_GT(write(terminal, way.typed, std::strlen(way.typed)), 0);
    } else {
      kill(pid, way.signal);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(WIFSIGNALED(status) ? WTERMSIG(status) : 0, way.signal);
    EXPECT_TRUE(tcgetattr(user, &settings) == 0 && (settings.c_lflag & ECHO)) << way.signal;
    close(user);
    close(terminal);
  }
}

// With the register window's password set, entry add and remove ask for it, as the register
// window does before it opens, and change nothing without it. Its line on standard input
// comes before the PASS line, whether a password is set or not.
TEST(Norvaxctl, EntryChangesAskForTheRegisterWindowsPassword) {
  testing::TempDir dir;
  const std::string d = " " + dir.Path().string();
  const auto ini = dir / "norvax.ini";
  const auto lines = [&](const std::string& text) {
    testing::WriteFile(dir / "in", text);
    return d + " < " + (dir / "in").string();
  };
  ASSERT_EQ(
      Ctl("entry add --title a --lock-password-stdin --password-stdin" + lines("x\npw\n")).status,
      0);
  {
    IniFile file(ini.string());
    EntryTable table;
    PreferenceList prefs;
    ASSERT_TRUE(ReadSettings(file, table, prefs));
    EXPECT_EQ(table.Get(0)[Column::Pass], "pw");
    StoreLockPassword(prefs, "pw");
    SaveEntryTable(file, table, prefs);
  }
  const std::string locked = testing::ReadFile(ini);
  struct Case {
    std::string args, input, err;
  } refused[] = {
      {"entry add --title b", "pw\n",
       "the register window is locked with a password: type it at a terminal, or give it on "
       "standard input with --lock-password-stdin"},
      {"entry remove 1 --lock-password-stdin", "PW\n", "ﾊﾟｽﾜ-ﾄﾞ ｴﾗ-。"},
      {"entry add --title b --lock-password-stdin", "",
       "the register window's password was not given; nothing was changed"},
  };
  for (const auto& c : refused) {
    auto result = Ctl(c.args + lines(c.input));
    EXPECT_EQ(result.status, 1) << c.args;
    EXPECT_EQ(result.err, "norvaxctl: " + c.err + "\n") << c.args;
  }
  EXPECT_EQ(testing::ReadFile(ini), locked);

  auto added =
      Ctl("entry add --title b --lock-password-stdin --password-stdin" + lines("pw\nsecret\n"));
  EXPECT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(added.out, "2\n");
  auto removed = Ctl("entry remove 1 --lock-password-stdin" + lines("pw\n"));
  EXPECT_EQ(removed.status, 0) << removed.err;
  IniFile file(ini.string());
  EntryTable table;
  PreferenceList prefs;
  ASSERT_TRUE(ReadSettings(file, table, prefs));
  ASSERT_EQ(table.Count(), 1u);
  EXPECT_EQ(table.Get(0)[Column::Pass], "secret");
}

TEST(Norvaxctl, EntryChangesLeaveARunningProgramAndADamagedFileAlone) {
  testing::TempDir dir;
  const std::string d = " " + dir.Path().string();
  ASSERT_EQ(Ctl("entry add --title a" + d).status, 0);
  const std::string saved = testing::ReadFile(dir / "norvax.ini");
  {
    InstanceLock running(dir.Path());
    for (const char* command : {"entry add --title b", "entry remove 1"}) {
      auto refused = Ctl(command + d);
      EXPECT_EQ(refused.status, 1) << command;
      EXPECT_EQ(refused.err, "norvaxctl: NORVAX is running on " + dir.Path().string() +
                                 "; end it first, or its end would write over the change\n");
    }
    EXPECT_EQ(Ctl("entry list" + d).out, "1\ta\t\t\t\t000\n");
  }
  std::string damaged = saved;
  damaged[damaged.find("[LIST01]\r\n0=") + 14] ^= 1;
  testing::WriteFile(dir / "norvax.ini", damaged);
  for (const char* command : {"entry add --title b", "entry remove 1", "entry list"}) {
    auto refused = Ctl(command + d);
    EXPECT_EQ(refused.status, 1) << command;
    EXPECT_EQ(refused.err, "norvaxctl: " + (dir / "norvax.ini").string() +
                               " is damaged and is left as it is (NORVAX keeps a copy of it and "
                               "starts afresh at its next start)\n")
        << command;
  }
  EXPECT_EQ(testing::ReadFile(dir / "norvax.ini"), damaged);
}

// A wait for a program to open a file.
class OpenWatch {
 public:
  explicit OpenWatch(const std::filesystem::path& path)
      : fd_(inotify_init1(IN_CLOEXEC)), watch_(inotify_add_watch(fd_, path.c_str(), IN_OPEN)) {}
  ~OpenWatch() { close(fd_); }
  // True once a program has opened the file (within 10 seconds).
  bool Opened() const {
    pollfd ready{fd_, POLLIN, 0};
    return watch_ >= 0 && poll(&ready, 1, 10'000) == 1;
  }

 private:
  int fd_;
  int watch_;
};

// The exit status of a child once it has ended (within 10 seconds), or -1 (it is killed).
int EndOf(pid_t child) {
  const int fd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
  pollfd ended{fd, POLLIN, 0};
  if (poll(&ended, 1, 10'000) != 1) kill(child, SIGKILL);
  close(fd);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// `log guard` finishes the call its program left in progress once the program has ended (also
// when it ended before the guardian began), as the next start would: hung up and logged once.
// A call that ends otherwise ends the guardian, and while another program holds the directory
// (a log command, the next start) the guardian waits for it.
TEST(Norvaxctl, LogGuardFinishesTheCallItsProgramLeft) {
  const struct {
    const char* what;
    bool programGone;  // before the guardian starts
    bool callEnds;     // while the program runs: the program ends it
    bool held;         // the directory, when the program ends
  } cases[] = {
      {"its program ends", false, false, false},
      {"its program gone already", true, false, false},
      {"the call ends", false, true, false},
      {"its program ends while the directory is held", false, false, true},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.what);
    testing::TempDir dir;
    IniFile((dir / kPhonebookFileName).string())
        .WriteSections(
            {{"Connections", {{"1", "Provider"}}},
             {"Connection:Provider", {{"Phone", "0311112222"}, {"Attempt1", "connect 0"}}}});
    SimConnections connections((dir / kSimConnectionsFileName).string());
    const uint32_t up = connections.BringUp("Provider");
    const DateTime now = DateTime::From(SystemClock().Now());
    PosixFileStore files(dir.Path());
    CallRecord call{"Title",
                    "Provider",
                    "simulated",
                    "0;20;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;",
                    true,
                    1,
                    now,
                    now,
                    0,
                    {},
                    std::to_string(up),
                    std::nullopt};
    StoreCallRecords(files, {call});
    // The program: the test's own process, which runs until it is killed.
    const pid_t program = fork();
    if (program == 0) {
      if (!t.programGone) pause();
      _exit(0);
    }
    if (t.programGone) waitpid(program, nullptr, 0);
    std::optional<OpenWatch> recordRead(dir / kCallRecordFileName);
    const pid_t guardian = fork();
    if (guardian == 0) {
      execl(NORVAXCTL_PATH, "norvaxctl", "log", "guard", std::to_string(program).c_str(),
            dir.Path().c_str(), nullptr);
      _exit(127);
    }
    ASSERT_TRUE(recordRead->Opened()) << "the guardian reads the calls";
    if (t.callEnds) {
      connections.HangUp(up);
      call.end = call.refreshed;
      StoreCallRecords(files, {call});
    }
    std::optional<InstanceLock> holder;
    std::optional<OpenWatch> lockTried;
    if (t.held) {
      holder.emplace(dir.Path());
      lockTried.emplace(dir / InstanceLock::kFileName);
    }
    if (!t.programGone && !t.callEnds) {
      kill(program, SIGKILL);
      waitpid(program, nullptr, 0);
    }
    if (t.held) {
      ASSERT_TRUE(lockTried->Opened()) << "the guardian asks for the directory";
      EXPECT_TRUE(connections.Find("Provider")) << "the holder's call";
      holder.reset();
    }
    EXPECT_EQ(EndOf(guardian), 0);
    if (t.callEnds) {
      kill(program, SIGKILL);
      waitpid(program, nullptr, 0);
      EXPECT_EQ(ReadCallRecords(files), std::vector<CallRecord>{call}) << "the program's to log";
      continue;
    }
    EXPECT_FALSE(connections.Find("Provider")) << "hung up";
    EXPECT_EQ(ReadAllLines(files, kLogFileName).size(), 1u);
    EXPECT_FALSE(files.Exists(kCallRecordFileName));
  }
}

}  // namespace
}  // namespace norvax
