#include "dialup/log_view.h"

#include <gtest/gtest.h>

#include "dialup/connection_log.h"

namespace norvax {
namespace {

TEST(LogView, RowOfALine) {
  auto row = MakeLogViewRow(
      "1999/03/25,\"Provider A\",22:32:00,3725,12345,0090,0100,\"0311223344\",01,2000,1999/03, "
      ",03889,0000",
      1);
  EXPECT_EQ(row.date, "1999/03/25");
  EXPECT_EQ(row.name, "Provider A");
  EXPECT_EQ(row.start, "22:32:00");
  EXPECT_EQ(row.duration, "1:02:05");
  EXPECT_EQ(row.provider, "    12,345");
  EXPECT_EQ(row.phone, "        90");
  EXPECT_EQ(row.flat, "       100");
  EXPECT_EQ(row.number, "0311223344");
  EXPECT_EQ(row.redials, " 1");
  EXPECT_EQ(DurationText(90000), "25:00:00");
  // Unquoted, the name splits at the blank and the columns shift: the duration column then
  // holds the start time, which is no number.
  EXPECT_THROW(MakeLogViewRow("1999/03/25,Provider A,22:32:00,3725,0,0,0,\"1\",01", 7),
               LogFormatError);
}

TEST(LogView, CutoffOfRowDate) {
  EXPECT_EQ(CutoffOfRowDate("1997/12/20"), (Date{1998, 12, 20}));
  EXPECT_EQ(CutoffOfRowDate("1999/04/15"), (Date{1999, 4, 15}));
  EXPECT_EQ(CutoffOfRowDate("2200/13/32"), (Date{2100, 12, 31}));
  EXPECT_FALSE(CutoffOfRowDate("abcd/04/15"));
  EXPECT_FALSE(CutoffOfRowDate("1999"));
}

}  // namespace
}  // namespace norvax
