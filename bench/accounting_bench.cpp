// Accounting over a generated 1,000,000-line connection log: the monthly totals and the log
// viewer's load, beside `awk` grouping the same log by period and name; and the settings
// load of 3,000 and 30,000 entries beside Python's configparser reading the same files.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "core/entry_table.h"
#include "core/preferences.h"
#include "core/settings.h"
#include "dialup/connection_log.h"
#include "dialup/log_view.h"
#include "dialup/monthly_totals.h"
#include "fakes/fake_user_dialogs.h"
#include "platform/cp932.h"
#include "platform/posix/posix_file_store.h"
#include "platform/store/ini_file.h"
#include "test_files.h"

namespace norvax {
namespace {

constexpr int kLogLines = 1000000;

testing::TempDir& Folder() {
  static testing::TempDir dir;
  return dir;
}

// 1,000,000 lines of 12 connections over 48 billing months (576 groups).
const std::string& LogFolder() {
  static const std::string path = [] {
    auto dir = Folder() / "log";
    std::filesystem::create_directories(dir);
    const std::string names[] = {"ProviderA", Sjis("夜間プロバイダ"),
                                 "NetOne",    "Dial-Up B",
                                 "ISP-7",     Sjis("テレホーダイ用"),
                                 "Office",    "Home",
                                 "Mobile",    "Backup",
                                 "Sakura",    Sjis("山田ネット")};
    std::string data;
    data.reserve(static_cast<std::size_t>(kLogLines) * 110);
    char line[256];
    for (int i = 0; i < kLogLines; ++i) {
      int month = i * 48 / kLogLines;
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
    return dir.string();
  }();
  return path;
}

void BM_MonthlyTotals(benchmark::State& state) {
  PosixFileStore files(LogFolder());
  for (auto _ : state) {
    auto result = ComputeMonthlyTotals(files);
    if (result.lines != kLogLines) state.SkipWithError("wrong line count");
    benchmark::DoNotOptimize(result.groups.data());
  }
  state.SetItemsProcessed(state.iterations() * kLogLines);
}
BENCHMARK(BM_MonthlyTotals)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer: awk sums the same four fields per period and name.
void BM_AwkTotalsPeer(benchmark::State& state) {
  std::string command =
      "LC_ALL=C awk -F, '{k=$11 FS $2; if(!(k in t)){o[++n]=k; f[k]=$10} t[k]+=$4; p[k]+=$5; "
      "q[k]+=$6; r[k]+=$7} END{for(i=1;i<=n;i++){k=o[i]; print k, t[k], p[k], f[k], q[k], "
      "r[k]}}' '" +
      LogFolder() + "/" + kLogFileName + "' > /dev/null";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("awk failed");
  }
  state.SetItemsProcessed(state.iterations() * kLogLines);
}
BENCHMARK(BM_AwkTotalsPeer)->Unit(benchmark::kMillisecond)->UseRealTime();

// The log viewer's load: every line read and turned into its row.
void BM_LogViewerLoad(benchmark::State& state) {
  PosixFileStore files(LogFolder());
  for (auto _ : state) {
    auto lines = ReadLogLines(files);
    std::size_t rows = 0;
    for (std::size_t i = 0; i < lines->size(); ++i) {
      auto row = MakeLogViewRow((*lines)[i], static_cast<int64_t>(i) + 1);
      rows += !row.date.empty();
    }
    if (rows != kLogLines) state.SkipWithError("wrong row count");
  }
  state.SetItemsProcessed(state.iterations() * kLogLines);
}
BENCHMARK(BM_LogViewerLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

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

void BM_LoadSettings(benchmark::State& state) {
  int entries = static_cast<int>(state.range(0));
  std::string path = SettingsFile(entries);
  for (auto _ : state) {
    IniFile file(path);
    EntryTable table;
    PreferenceList prefs;
    fakes::FakeUserDialogs dialogs;
    LoadSettings(file, table, prefs, dialogs, {});
    if (table.Count() != static_cast<std::size_t>(entries) || !dialogs.errors.empty()) {
      state.SkipWithError("settings did not load");
    }
  }
  state.SetItemsProcessed(state.iterations() * entries);
}
BENCHMARK(BM_LoadSettings)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer: Python's configparser reads the same file (interpreter start included, about
// 20 ms; compare the growth from 3,000 to 30,000).
void BM_ConfigparserPeer(benchmark::State& state) {
  std::string command =
      "python3 -c \"import configparser,sys; c=configparser.ConfigParser(interpolation=None); "
      "c.read(sys.argv[1], encoding='cp932'); assert len(c['LIST01'])==int(sys.argv[2])\" '" +
      SettingsFile(static_cast<int>(state.range(0))) + "' " + std::to_string(state.range(0));
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("configparser failed");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ConfigparserPeer)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace norvax

BENCHMARK_MAIN();
