#include "dialup/monthly_totals.h"

#include <gtest/gtest.h>

#include "dialup/connection_log.h"
#include "fakes/memory_file_store.h"
#include "platform/posix/posix_file_store.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

std::string Line(const std::string& period, const std::string& name, int seconds, int provider,
                 int phone, int flat, int baseFee) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer,
                "1999/05/03,\"%s\",10:00:00,%.4d,%.4d,%.4d,%.4d,\"1\",00,%.4d,%s, ,00010,0000\r\n",
                name.c_str(), seconds, provider, phone, flat, baseFee, period.c_str());
  return buffer;
}

TEST(MonthlyTotals, GroupsByPeriodAndNameInOrderOfFirstLines) {
  fakes::MemoryFileStore files;
  std::string long48(48, 'n');
  files.files[kLogFileName] =
      Line("1999/05", "A", 100, 10, 20, 30, 2000) + Line("1999/05", "B", 1, 1, 1, 1, 0) +
      Line("1999/05", "A", 200, 20, 40, 60, 2500) + Line("1999/06", "A", 5, 6, 7, 8, 2000) +
      Line("1999/05", "A", 199700, 1, 1, 1, 2000) + Line("1999/05", long48 + "x", 1, 0, 0, 0, 0) +
      Line("1999/05", long48 + "y", 1, 0, 0, 0, 0) + "\r\n" +
      Line("1999/05", "after the empty line", 1, 1, 1, 1, 1);
  auto result = ComputeMonthlyTotals(files);
  ASSERT_TRUE(result.logExists);
  EXPECT_FALSE(result.overflow);
  EXPECT_EQ(result.lines, 7);
  std::vector<TotalRecord> expected = {
      {"1999/05", "A", 200000, 31, 2000, 61, 91},
      {"1999/05", "B", 1, 1, 0, 1, 1},
      {"1999/06", "A", 5, 6, 2000, 7, 8},
      {"1999/05", long48, 2, 0, 0, 0, 0},
  };
  EXPECT_EQ(result.groups, expected);
  EXPECT_EQ(TotalTimeText(200000), "55:33:20");
}

TEST(MonthlyTotals, MoreThan2000GroupsListNothing) {
  for (int groups : {2000, 2001}) {
    fakes::MemoryFileStore files;
    std::string log;
    for (int i = 0; i < groups; ++i) log += Line("1999/05", "c" + std::to_string(i), 1, 1, 1, 1, 1);
    log += Line("1999/05", "c0", 1, 1, 1, 1, 1);
    files.files[kLogFileName] = log;
    auto result = ComputeMonthlyTotals(files);
    EXPECT_EQ(result.overflow, groups > 2000);
    EXPECT_EQ(result.groups.size(), groups > 2000 ? 0u : 2000u);
    EXPECT_EQ(result.lines, groups > 2000 ? 0 : 2001);
  }
  EXPECT_EQ(TotalsOverflowMessage(), Sjis("合計件数オーバー。ログを移動して下さい。"));
}

TEST(MonthlyTotals, MissingAndEmptyLogs) {
  fakes::MemoryFileStore files;
  auto missing = ComputeMonthlyTotals(files);
  EXPECT_FALSE(missing.logExists);
  files.files[kLogFileName] = "";
  auto empty = ComputeMonthlyTotals(files);
  EXPECT_TRUE(empty.logExists);
  EXPECT_EQ(empty.lines, 0);
  EXPECT_TRUE(empty.groups.empty());
}

TEST(MonthlyTotals, MalformedLineIsReportedWithItsNumber) {
  fakes::MemoryFileStore files;
  files.files[kLogFileName] =
      Line("1999/05", "A", 1, 1, 1, 1, 1) + "1999/05/03,\"A\",10:00:00,abc\r\n";
  try {
    ComputeMonthlyTotals(files);
    FAIL();
  } catch (const LogFormatError& e) {
    EXPECT_NE(std::string(e.what()).find(" 2 "), std::string::npos) << e.what();
  }
  files.files[kLogFileName] = "1999/05/03,\"A\",10:00:00,0001,0001,0001,0001\r\n";
  EXPECT_THROW(ComputeMonthlyTotals(files), LogFormatError);
}

TEST(MonthlyTotals, SampleLog) {
  testing::TempDir dir;
  testing::WriteFile(dir / "NORVA.LOG", testing::ReadFile(testing::SamplePath("NORVA.LOG")));
  PosixFileStore files(dir.Path());
  auto result = ComputeMonthlyTotals(files);
  EXPECT_EQ(result.lines, 76);
  ASSERT_FALSE(result.groups.empty());
  EXPECT_EQ(result.groups[0].period, "1999/03");
  EXPECT_EQ(result.groups[0].name, "ProviderA");
  EXPECT_EQ(result.groups[0].fixed, 2000);
  int64_t seconds = 0;
  for (const auto& g : result.groups) seconds += g.seconds;
  EXPECT_GT(seconds, 0);
}

TEST(MonthlyTotals, GroupedNumbers) {
  EXPECT_EQ(GroupedNumber(12345, 10), "    12,345");
  EXPECT_EQ(GroupedNumber(1234, 7), "  1,234");
  EXPECT_EQ(GroupedNumber(17, 7), "     17");
  EXPECT_EQ(GroupedNumber(-1234567, 0), "-1,234,567");
  EXPECT_EQ(GroupedNumber(0, 2), " 0");
}

}  // namespace
}  // namespace norvax
