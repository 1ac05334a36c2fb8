// The log viewer's model on a generated 100,000-line connection log: its load (read the log,
// hand the lines to the model) and, for comparison, working out every cell of every row once.
// The whole window's open is measured beside the monthly totals in accounting_bench.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <string>

#include "dialup/connection_log.h"
#include "platform/cp932.h"
#include "platform/posix/posix_file_store.h"
#include "test_files.h"
#include "windows/log_viewer_window.h"

namespace norvax {
namespace {

constexpr int kLogLines = 100000;

const std::filesystem::path& LogFolder() {
  static testing::TempDir dir;
  static const bool written = [] {
    const std::string names[] = {"ProviderA", Sjis("夜間プロバイダ"), "NetOne", "Dial-Up B"};
    std::string data;
    char line[256];
    for (int i = 0; i < kLogLines; ++i) {
      int month = i * 24 / kLogLines;
      int year = 1998 + month / 12;
      int m = month % 12 + 1;
      std::snprintf(line, sizeof line,
                    "%.4d/%.2d/%.2d,\"%-8.20s\",%.2d:%.2d:00,%.4d,%.4d,%.4d,%.4d,\"0311223344\","
                    "%.2d,%.4d,%.4d/%.2d, ,%.5d,0000\r\n",
                    year, m, i % 28 + 1, names[i % 4].c_str(), i % 24, i % 60, i % 9000, i % 3000,
                    i % 170, i % 90, i % 4, 2000, year, m, i % 99999);
      data += line;
    }
    testing::WriteFile(dir / kLogFileName, data);
    return true;
  }();
  (void)written;
  return dir.Path();
}

void BM_LogModelLoad(benchmark::State& state) {
  PosixFileStore files(LogFolder());
  LogTableModel model(",");
  for (auto _ : state) {
    model.SetLines(*ReadLogLines(files));
    if (model.rowCount() != kLogLines) state.SkipWithError("wrong row count");
  }
  state.SetItemsProcessed(state.iterations() * kLogLines);
}
BENCHMARK(BM_LogModelLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every cell of every row, as if the whole log were scrolled through once.
void BM_LogModelAllCells(benchmark::State& state) {
  PosixFileStore files(LogFolder());
  LogTableModel model(",");
  model.SetLines(*ReadLogLines(files));
  for (auto _ : state) {
    qsizetype size = 0;
    for (int r = 0; r < kLogLines; ++r) {
      for (int c = 0; c < 9; ++c) size += model.index(r, c).data().toString().size();
    }
    benchmark::DoNotOptimize(size);
  }
  state.SetItemsProcessed(state.iterations() * kLogLines);
}
BENCHMARK(BM_LogModelAllCells)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace norvax

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
