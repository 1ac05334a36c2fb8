#include "dialup/log_csv.h"

#include <gtest/gtest.h>

#include "fakes/memory_file_store.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

TEST(LogCsv, FieldsAreQuotedOnlyWhenTheyNeedIt) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"plain", "plain"},
      {"", ""},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\r\nlines", "\"two\r\nlines\""},
      {" padded ", "\" padded \""},
      {"夜間 プロバイダ", "夜間 プロバイダ"},
      // A spreadsheet reads these as formulas: an apostrophe keeps them text. Numbers stay.
      {"=1+2", "'=1+2"},
      {"+81-3-1234", "'+81-3-1234"},
      {"-cmd", "'-cmd"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"\tx", "'\tx"},
      {"\r=x", "\"'\r=x\""},
      {"-120", "-120"},
  };
  for (const auto& c : cases) EXPECT_EQ(CsvField(c.in), c.out) << c.in;
  EXPECT_EQ(CsvRow({"a", "b,c", ""}), "a,\"b,c\",\r\n");
}

TEST(LogCsv, LogRowsAreUtf8WithPlainNumbers) {
  std::vector<std::string> lines = {
      Sjis("1999/03/25,\"夜間プロバイダ\",22:00:00,3725,12345,0090,0100,\"        \",03,0000,"
           "1999/03, ,05074,0000"),
      "1999/03/26,\"Say \"\"A\"\", B\",01:00:00,90000,0,0,0,\"0311\",00,2000,1999/03, ,1,0000",
      "1999/03/27,Dial Up,01:00:00,0010,0000,0010,0000,\"1\",00",  // name without quotes
  };
  EXPECT_EQ(LogCsv(lines),
            "日付,接続先,開始時刻,接続時間,接続料金,電話料金,ﾃﾚﾎｰﾀﾞｲ,電話番号,ﾘﾀﾞｲﾔﾙ\r\n"
            "1999/03/25,夜間プロバイダ,22:00:00,1:02:05,12345,90,100,,3\r\n"
            "1999/03/26,\"Say \"\"A\"\", B\",01:00:00,25:00:00,0,0,0,0311,0\r\n"
            // The blank split the name: every later column moved by one and shows its text.
            "1999/03/27,Dial,Up,01:00:00,10,0,10,0000,1\r\n");
  EXPECT_EQ(LogCsv({}),
            "日付,接続先,開始時刻,接続時間,接続料金,電話料金,ﾃﾚﾎｰﾀﾞｲ,電話番号,ﾘﾀﾞｲﾔﾙ\r\n");
}

TEST(LogCsv, TotalsRows) {
  std::vector<TotalRecord> groups = {
      {"1999/03", Sjis("夜間プロバイダ"), 200000, 1700, 2000, 90, 100},
      {"1999/04", "A,B", 59, -5, 0, 0, 0},
  };
  EXPECT_EQ(TotalsCsv(groups),
            "日付,接続先,接続時間,接続料金,固定料金,電話料金,ﾃﾚﾎｰﾀﾞｲ\r\n"
            "1999/03,夜間プロバイダ,55:33:20,1700,2000,90,100\r\n"
            "1999/04,\"A,B\",00:00:59,-5,0,0,0\r\n");
}

// Spreadsheet programs take a CSV file for UTF-8 only when it starts with a byte-order mark.
TEST(LogCsv, FileIsWrittenWholeWithAByteOrderMark) {
  fakes::MemoryFileStore files;
  files.files["out.csv"] = "old";
  files.failAt = 0;
  EXPECT_THROW(WriteCsvFile(files, "out.csv", "new"), FileError);
  EXPECT_EQ(files.files["out.csv"], "old");
  files.failAt = -1;
  WriteCsvFile(files, "out.csv", "new");
  EXPECT_EQ(files.files["out.csv"], "\xEF\xBB\xBFnew");
}

}  // namespace
}  // namespace norvax
