// Any log: every line split into fields, and the monthly totals of the whole log.
#include "dialup/connection_log.h"
#include "dialup/monthly_totals.h"
#include "fakes/memory_file_store.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace norvax;
  fakes::MemoryFileStore files;
  files.files[kLogFileName] = fuzz::Input(data, size);
  LogFields fields;
  for (const auto& line : ReadAllLines(files, kLogFileName)) SplitLogLine(line, fields);
  try {
    const MonthlyTotalsResult totals = ComputeMonthlyTotals(files);
    FUZZ_CHECK(totals.logExists);
    FUZZ_CHECK(totals.groups.size() <= kMaxTotalGroups);
    for (const auto& group : totals.groups) {
      FUZZ_CHECK(group.period.size() <= 12 && group.name.size() <= 48);
    }
  } catch (const LogFormatError&) {
  }
  return 0;
}
