#include "dialup/dates.h"

#include <gtest/gtest.h>

#include "test_files.h"

namespace norvax {
namespace {

// Reference proleptic Gregorian day number (Fliegel and Van Flandern), with the calendar's
// own rule that years divisible by 4000 are common years.
int64_t ReferenceGregorian(int64_t y, int64_t m, int64_t d) {
  int64_t a = (14 - m) / 12;
  int64_t yy = y + 4800 - a;
  int64_t mm = m + 12 * a - 3;
  int64_t jdn = d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
  // Each 4000-year from year 4000 on drops one leap day from March of that year.
  if (y > 4000 || (y == 4000 && m > 2)) jdn -= (y - (m > 2 ? 0 : 1)) / 4000;
  return jdn;
}

TEST(Dates, DayNumbersAroundTheChangeover) {
  struct Case {
    int y, m, d;
    int32_t n;
  } cases[] = {
      {2000, 1, 1, 2451545},  {1999, 12, 31, 2451544}, {2000, 3, 1, 2451605},
      {1582, 10, 4, 2299160}, {1582, 10, 15, 2299161}, {1500, 3, 1, 2268993},
      {-4712, 1, 1, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(DayNumber(c.y, c.m, c.d), c.n) << c.y << "/" << c.m;
  EXPECT_EQ(WeekdayOf(DayNumber(2000, 1, 1)), 7);
  EXPECT_EQ(WeekdayOf(DayNumber(1582, 10, 15)), 6);  // a Friday
  EXPECT_EQ(WeekdayOf(DayNumber(1999, 5, 2)), 1);
  for (int day = 5; day <= 14; ++day) {
    try {
      DayNumber(1582, 10, day);
      ADD_FAILURE() << day;
    } catch (const EJuliusError& e) {
      EXPECT_EQ(std::string(e.what()), testing::Sjis("1582/10/5-10/14は存在しません。"));
    }
  }
}

TEST(Dates, GregorianCountIsExactIncludingTheYear4000Rule) {
  for (int y = 1583; y <= 4402; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int d : {1, 28, DaysInMonth(y, m)}) {
        ASSERT_EQ(GregorianDayCount(y, m, d), ReferenceGregorian(y, m, d))
            << y << "/" << m << "/" << d;
      }
    }
  }
  // Extended precision made these one day off.
  EXPECT_EQ(DayNumber(4000, 3, 1) - DayNumber(4000, 2, 28), 1);
  EXPECT_EQ(DayNumber(4001, 12, 31) - DayNumber(4001, 1, 1), 364);
}

TEST(Dates, LeapYearsAndMonthLengths) {
  struct Case {
    int year;
    bool leap;
  } cases[] = {{1900, false}, {2000, true}, {2100, false}, {4000, false}, {1500, true},
               {1999, false}, {1996, true}, {8000, false}, {1582, false}};
  for (const auto& c : cases) EXPECT_EQ(IsLeapYear(c.year), c.leap) << c.year;
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(1999, 4), 30);
  EXPECT_EQ(DaysInMonth(1999, 12), 31);
}

TEST(Dates, EquinoxDays) {
  for (int y : {1996, 1997, 2000, 2001}) EXPECT_EQ(VernalEquinoxDay(y), DayNumber(y, 3, 20)) << y;
  for (int y : {1995, 1998, 1999}) EXPECT_EQ(VernalEquinoxDay(y), DayNumber(y, 3, 21)) << y;
  for (int y = 1995; y <= 2001; ++y) EXPECT_EQ(AutumnalEquinoxDay(y), DayNumber(y, 9, 23)) << y;
  for (int y : {2012, 2020, 2024}) EXPECT_EQ(AutumnalEquinoxDay(y), DayNumber(y, 9, 22)) << y;
}

TEST(Dates, TextsAndParsing) {
  DateTime t{1999, 3, 31, 23, 59, 30};
  EXPECT_EQ(DateText(t), "1999/03/31");
  EXPECT_EQ(TimeText(t), "23:59:30");
  DateTime parsed;
  ASSERT_TRUE(ParseDateTimeText("1999/03/31 23:59:30", parsed));
  EXPECT_EQ(parsed, t);
  Date d;
  for (const char* bad : {"1999/3/31", "1999/02/29", "1999/13/01", "19990331", "1999/03/31x"}) {
    EXPECT_FALSE(ParseDateText(bad, d)) << bad;
  }
  for (const char* bad : {"1999/03/31 24:00:00", "1999/03/31 23:60:00", "1999/03/31"}) {
    EXPECT_FALSE(ParseDateTimeText(bad, parsed)) << bad;
  }
  EXPECT_EQ(SecondsBetween({1999, 12, 31, 23, 59, 0}, {2000, 1, 1, 0, 1, 0}), 120);
}

TEST(Dates, AddSeconds) {
  struct Case {
    DateTime from;
    int64_t seconds;
    DateTime to;
  } cases[] = {
      {{1999, 6, 10, 10, 0, 0}, 86399, {1999, 6, 11, 9, 59, 59}},
      {{1999, 12, 31, 23, 59, 30}, 30, {2000, 1, 1, 0, 0, 0}},
      {{2000, 2, 28, 12, 0, 0}, 86400, {2000, 2, 29, 12, 0, 0}},
      {{1999, 2, 28, 12, 0, 0}, 3 * 86400 + 5, {1999, 3, 3, 12, 0, 5}},
      {{1582, 10, 4, 23, 59, 59}, 1, {1582, 10, 15, 0, 0, 0}},  // across the changeover gap
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AddSeconds(c.from, c.seconds), c.to) << DateText(c.from) << " + " << c.seconds;
  }
  // Each case under a day crosses one midnight.
  for (const auto& c : cases) {
    if (c.seconds < 86400) {
      EXPECT_EQ(PreviousDay(c.to.DateOnly()), c.from.DateOnly()) << DateText(c.to);
    }
  }
}

}  // namespace
}  // namespace norvax
