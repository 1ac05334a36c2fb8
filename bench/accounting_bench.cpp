// Accounting over a generated 1,000,000-line connection log (about 95 MB): the monthly totals,
// in the program and as `norvaxctl totals`, beside mawk and awk grouping the same log by
// period and name and `wc -l` counting its lines; the log viewer's open on the same log; and
// the settings load of 3,000 and 30,000 entries, in the program and as `norvaxctl
// check-settings`, beside Python's configparser reading the same files. After the runs, the
// ratios to the peers are printed with the goal each is held to.
//
// Every time here is processor time (user and system) of this process or of the program it
// runs: the machine may be shared, and the time spent waiting for a processor is no one's.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/entry_table.h"
#include "core/preferences.h"
#include "core/settings.h"
#include "dialup/connection_log.h"
#include "dialup/monthly_totals.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_help.h"
#include "fakes/fake_user_dialogs.h"
#include "platform/cp932.h"
#include "platform/posix/posix_file_store.h"
#include "platform/store/ini_file.h"
#include "test_files.h"
#include "windows/log_viewer_window.h"

extern char** environ;

namespace norvax {
namespace {

constexpr int kLogLines = 1000000;

testing::TempDir& Folder() {
  static testing::TempDir dir;
  return dir;
}

// A folder holding a log of `lines` lines: 12 connections over 48 billing months (576
// groups), whatever the length.
std::string LogFolder(int lines = kLogLines) {
  static std::map<int, std::string> made;
  auto& path = made[lines];
  if (!path.empty()) return path;
  auto dir = Folder() / ("log-" + std::to_string(lines));
  std::filesystem::create_directories(dir);
  const std::string names[] = {"ProviderA", Sjis("夜間プロバイダ"),
                               "NetOne",    "Dial-Up B",
                               "ISP-7",     Sjis("テレホーダイ用"),
                               "Office",    "Home",
                               "Mobile",    "Backup",
                               "Sakura",    Sjis("山田ネット")};
  std::string data;
  data.reserve(static_cast<std::size_t>(lines) * 110);
  char line[256];
  for (int i = 0; i < lines; ++i) {
    int month = static_cast<int>(int64_t{i} * 48 / lines);
    int year = 1998 + month / 12;
    int m = month % 12 + 1;
    int day = i % 28 + 1;
    const std::string& name = names[(i * 7) % 12];
    std::snprintf(line, sizeof line,
                  "%.4d/%.2d/%.2d,\"%-8.20s\",%.2d:%.2d:00,%.4d,%.4d,%.4d,%.4d,\"0311223344\","
                  "%.2d,%.4d,%.4d/%.2d, ,%.5d,0000\r\n",
                  year, m, day, name.c_str(), i % 24, i % 60, i % 9000, i % 300, i % 170, i % 90,
                  i % 4, (i % 3) * 1000, year, m, i % 99999);
    data += line;
  }
  testing::WriteFile(dir / kLogFileName, data);
  path = dir.string();
  return path;
}

std::string LogPath(int lines = kLogLines) { return LogFolder(lines) + "/" + kLogFileName; }

std::string SettingsFile(int entries) {
  static std::map<int, std::string> made;
  auto& path = made[entries];
  if (!path.empty()) return path;
  path = (Folder() / ("norvax-" + std::to_string(entries) + ".ini")).string();
  EntryTable table;
  for (int i = 0; i < entries; ++i) {
    Entry e = Entry::New();
    e[Column::Title] = Sjis("エントリ ") + std::to_string(i);
    e[Column::Id] = "user" + std::to_string(i);
    e[Column::Pass] = "secret" + std::to_string(i * 7919);
    e[Column::Browser] = "C:\\Program Files\\Netscape\\netscape.exe";
    e[Column::Connection] = "ProviderA";
    table.Append(e);
  }
  PreferenceList prefs;
  prefs.ResetToDefaults();
  IniFile file(path);
  SaveEntryTable(file, table, prefs);
  return path;
}

double ProcessorSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Times each run of work, which returns false when the result is wrong.
template <typename Work>
void TimeWork(benchmark::State& state, int64_t items, Work work) {
  for (auto _ : state) {
    double start = ProcessorSeconds();
    bool right = work();
    state.SetIterationTime(ProcessorSeconds() - start);
    if (!right) {
      state.SkipWithError("wrong result");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * items);
}

// Runs a program (looked up on PATH) with its output thrown away; the processor seconds it
// took, or nothing when it could not be started or did not succeed.
std::optional<double> RunProgram(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (const auto& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage{};
  if (failed || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return std::nullopt;
  }
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The peak resident memory (bytes) of one more run, as GNU time reports it. A child of this
// big process would count the pages it shared with it before exec, so time starts it.
double PeakMemory(const std::vector<std::string>& command) {
  const auto report = Folder() / "peak.txt";
  std::vector<std::string> timed = {"/usr/bin/time", "-f", "%M", "-o", report.string()};
  timed.insert(timed.end(), command.begin(), command.end());
  if (!RunProgram(timed)) return 0;
  return std::stod(testing::ReadFile(report)) * 1024;
}

// Times a program's runs; with `peak`, the counter peak_MB is its peak resident memory.
void TimeProgram(benchmark::State& state, const std::vector<std::string>& command, int64_t items,
                 bool peak = false) {
  for (auto _ : state) {
    auto seconds = RunProgram(command);
    if (!seconds) {
      state.SkipWithError((command[0] + " failed").c_str());
      break;
    }
    state.SetIterationTime(*seconds);
  }
  if (peak) state.counters["peak_MB"] = PeakMemory(command) / 1e6;
  state.SetItemsProcessed(state.iterations() * items);
}

// The same grouping and sums as the totals, in awk: the four sums per period and name, and
// the base fee of the group's first line.
const char kAwkTotals[] =
    "{k=$11 FS $2; if(!(k in t)){o[++n]=k; f[k]=$10} t[k]+=$4; p[k]+=$5; q[k]+=$6; r[k]+=$7} "
    "END{for(i=1;i<=n;i++){k=o[i]; print k, t[k], p[k], f[k], q[k], r[k]}}";

void BM_MonthlyTotals(benchmark::State& state) {
  PosixFileStore files(LogFolder());
  TimeWork(state, kLogLines, [&files] { return ComputeMonthlyTotals(files).lines == kLogLines; });
}
BENCHMARK(BM_MonthlyTotals)->Unit(benchmark::kMillisecond)->UseManualTime();

// The command on a tenth of the log as well, to show that its memory does not grow.
void BM_NorvaxctlTotals(benchmark::State& state) {
  int lines = static_cast<int>(state.range(0));
  TimeProgram(state, {NORVAX_CTL, "totals", LogPath(lines)}, lines, true);
}
BENCHMARK(BM_NorvaxctlTotals)
    ->Arg(kLogLines / 10)
    ->Arg(kLogLines)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

void BM_MawkTotalsPeer(benchmark::State& state) {
  TimeProgram(state, {"env", "LC_ALL=C", "mawk", "-F,", kAwkTotals, LogPath()}, kLogLines);
}
BENCHMARK(BM_MawkTotalsPeer)->Unit(benchmark::kMillisecond)->UseManualTime();

// The system's awk, whichever it is.
void BM_AwkTotalsPeer(benchmark::State& state) {
  TimeProgram(state, {"env", "LC_ALL=C", "awk", "-F,", kAwkTotals, LogPath()}, kLogLines);
}
BENCHMARK(BM_AwkTotalsPeer)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_WcLinesPeer(benchmark::State& state) {
  TimeProgram(state, {"wc", "-l", LogPath()}, kLogLines);
}
BENCHMARK(BM_WcLinesPeer)->Unit(benchmark::kMillisecond)->UseManualTime();

// The log viewer's window opened on the same log and shown.
void BM_LogViewerOpen(benchmark::State& state) {
  PosixFileStore files(LogFolder());
  fakes::FakeUserDialogs dialogs;
  fakes::FakeHelp help;
  fakes::FakeClock clock;
  TimeWork(state, kLogLines, [&] {
    TForm8 form(files, dialogs, help, clock);
    form.show();
    QApplication::processEvents();
    return form.Model()->rowCount() == kLogLines;
  });
}
BENCHMARK(BM_LogViewerOpen)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_LoadSettings(benchmark::State& state) {
  int entries = static_cast<int>(state.range(0));
  std::string path = SettingsFile(entries);
  TimeWork(state, entries, [&path, entries] {
    IniFile file(path);
    EntryTable table;
    PreferenceList prefs;
    fakes::FakeUserDialogs dialogs;
    LoadSettings(file, table, prefs, dialogs, {});
    return table.Count() == static_cast<std::size_t>(entries) && dialogs.errors.empty();
  });
}
BENCHMARK(BM_LoadSettings)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond)->UseManualTime();

// The counter file_MB is the size of the settings file, for its peak memory.
void BM_NorvaxctlCheckSettings(benchmark::State& state) {
  std::string path = SettingsFile(static_cast<int>(state.range(0)));
  TimeProgram(state, {NORVAX_CTL, "check-settings", path}, state.range(0), true);
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_NorvaxctlCheckSettings)->Arg(30000)->Unit(benchmark::kMillisecond)->UseManualTime();

// Debian's Python, interpreter start included (about 20 ms; the growth from 3,000 to 30,000
// entries is the load's own).
void BM_ConfigparserPeer(benchmark::State& state) {
  TimeProgram(state,
              {"/usr/bin/python3", "-c",
               "import configparser,sys; c=configparser.ConfigParser(interpolation=None); "
               "c.read(sys.argv[1], encoding='cp932'); assert len(c['LIST01'])==int(sys.argv[2])",
               SettingsFile(static_cast<int>(state.range(0))), std::to_string(state.range(0))},
              state.range(0));
}
BENCHMARK(BM_ConfigparserPeer)
    ->Arg(3000)
    ->Arg(30000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

// The console's report of each benchmark's best repetition, whose time (seconds) and counters
// are kept for the ratios. The other repetitions and their statistics are left out: on a
// shared machine the best is the run that other load disturbed least.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    const Run* best = nullptr;
    for (const auto& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      if (!best || run.GetAdjustedRealTime() < best->GetAdjustedRealTime()) best = &run;
    }
    if (!best) {
      bool statistics = std::all_of(runs.begin(), runs.end(), [](const Run& run) {
        return run.run_type == Run::RT_Aggregate;
      });
      if (!statistics) ConsoleReporter::ReportRuns(runs);  // the errors
      return;
    }
    ConsoleReporter::ReportRuns({*best});
    const std::string name = best->benchmark_name();
    seconds_[name] =
        best->GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(best->time_unit);
    for (const auto& [counter, value] : best->counters) values_[name + ":" + counter] = value;
  }

  // One line per ratio of two measurements, when both were taken: "what: a / b = ratio",
  // followed by the goal when there is one (at least `atLeast`, at most `atMost`).
  void PrintRatio(const std::string& what, const std::string& a, const std::string& b,
                  double atLeast = 0, double atMost = 0) const {
    auto value = [this](const std::string& name) -> std::optional<double> {
      if (auto it = seconds_.find(name); it != seconds_.end()) return it->second;
      if (auto it = values_.find(name); it != values_.end()) return it->second.value;
      return std::nullopt;
    };
    auto x = value(a), y = value(b);
    if (!x || !y || *y == 0) return;
    double ratio = *x / *y;
    std::printf("%-56s %8.2f", what.c_str(), ratio);
    if (atLeast > 0) std::printf("  goal >= %-5g %s", atLeast, ratio >= atLeast ? "met" : "MISSED");
    if (atMost > 0) std::printf("  goal <= %-5g %s", atMost, ratio <= atMost ? "met" : "MISSED");
    std::printf("\n");
  }

 private:
  std::map<std::string, double> seconds_;
  std::map<std::string, benchmark::Counter> values_;
};

void PrintRatios(const RatioReporter& r) {
  const std::string totals = "BM_MonthlyTotals/manual_time";
  const std::string ctlTotals = "BM_NorvaxctlTotals/1000000/manual_time";
  const std::string ctlTotalsTenth = "BM_NorvaxctlTotals/100000/manual_time";
  const std::string mawk = "BM_MawkTotalsPeer/manual_time";
  const std::string awk = "BM_AwkTotalsPeer/manual_time";
  const std::string wc = "BM_WcLinesPeer/manual_time";
  const std::string load3k = "BM_LoadSettings/3000/manual_time";
  const std::string load30k = "BM_LoadSettings/30000/manual_time";
  const std::string check30k = "BM_NorvaxctlCheckSettings/30000/manual_time";
  const std::string python3k = "BM_ConfigparserPeer/3000/manual_time";
  const std::string python30k = "BM_ConfigparserPeer/30000/manual_time";
  std::printf("\nRatios on the same data (processor time, best repetition of each):\n");
  r.PrintRatio("mawk / monthly totals", mawk, totals, 3);
  r.PrintRatio("mawk / norvaxctl totals", mawk, ctlTotals, 3);
  r.PrintRatio("awk / monthly totals", awk, totals);
  r.PrintRatio("monthly totals / wc -l", totals, wc, 0, 6);
  r.PrintRatio("norvaxctl totals / wc -l", ctlTotals, wc, 0, 6);
  r.PrintRatio("norvaxctl totals peak memory, whole log / tenth", ctlTotals + ":peak_MB",
               ctlTotalsTenth + ":peak_MB", 0, 1.2);
  r.PrintRatio("log viewer open / monthly totals", "BM_LogViewerOpen/manual_time", totals, 0, 3);
  r.PrintRatio("configparser / settings load, 30,000 entries", python30k, load30k, 10);
  r.PrintRatio("configparser / norvaxctl check-settings, 30,000", python30k, check30k, 10);
  r.PrintRatio("configparser / settings load, 3,000 entries", python3k, load3k);
  r.PrintRatio("settings load, 30,000 entries / 3,000 entries", load30k, load3k, 0, 11);
  r.PrintRatio("configparser, 30,000 entries / 3,000 entries", python30k, python3k);
  r.PrintRatio("norvaxctl check-settings peak memory / file size", check30k + ":peak_MB",
               check30k + ":file_MB", 0, 3);
}

}  // namespace
}  // namespace norvax

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Three repetitions of each benchmark unless the command line asks otherwise (it comes
  // after, so it wins).
  std::vector<char*> args(argv, argv + argc);
  std::string repetitions = "--benchmark_repetitions=3";
  args.insert(args.begin() + 1, repetitions.data());
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  norvax::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  norvax::PrintRatios(reporter);
  benchmark::Shutdown();
  return 0;
}
