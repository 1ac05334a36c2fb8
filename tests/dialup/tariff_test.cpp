#include "dialup/tariff.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace norvax {
namespace {

ParsedProfile Profile() { return ParseProfile("0;20;1; ;1;1;0;0;0;0;0;1;10;180;10;180;10;240;0;"); }

// The day types as the holiday law had them on each date, by its turning points.
TEST(Holidays, ClassifyDayByTheLawOfTheDay) {
  auto holidays = LoadHolidays();
  using namespace day_flag;
  struct Case {
    int y, m, d, flags;
  } cases[] = {
      // Ordinary days and the fixed holidays.
      {1999, 6, 10, 0},                     // Thursday
      {1999, 6, 12, kSaturday},             //
      {1999, 6, 13, kSunday},               //
      {1999, 11, 3, kHoliday},              // Wednesday, 文化の日
      {2001, 1, 1, kHoliday},               // Monday, 元日
      {2001, 1, 2, 0},                      //
      {1999, 2, 1, 0},                      // Monday after 31 January
      {1999, 3, 21, kSunday | kEquinox},    // 春分の日 on a Sunday
      {1999, 3, 22, kSubstitute},           // the Monday after it
      {1998, 3, 20, 0},                     // Friday: the equinox fell on the 21st
      {1999, 3, 20, kSaturday},             //
      {2000, 3, 20, kEquinox},              // Monday
      {2012, 9, 22, kSaturday | kEquinox},  //
      {2012, 9, 24, 0},                     // Monday after a plain Sunday
      // Before the law of 20 July 1948 no day is a holiday; then until 1973 no substitutes.
      {1948, 5, 3, 0},                      // 憲法記念日 before the law
      {1948, 3, 21, kSunday},               // the vernal equinox before the law
      {1948, 9, 23, kEquinox},              // the law's first holiday
      {1959, 4, 10, kHoliday},              // 皇太子明仁親王の結婚の儀
      {1966, 2, 11, 0},                     // before 建国記念の日
      {1966, 9, 15, kHoliday},              // the first 敬老の日
      {1967, 2, 11, kSaturday | kHoliday},  // the first 建国記念の日
      {1973, 2, 12, 0},                     // Monday after Sunday 11 February
      // From 12 April 1973 the Monday after a Sunday holiday.
      {1973, 4, 30, kSubstitute},  // after 天皇誕生日 on Sunday 29 April
      {1995, 1, 16, kSubstitute},  // after 成人の日 on a Sunday
      {1998, 5, 4, kSubstitute},   // after Sunday 3 May, not also a citizens' holiday
      // From 27 December 1985 a weekday between two holidays; みどりの日 from 1989.
      {1986, 5, 4, kSunday},                 //
      {1987, 5, 4, kSubstitute},             //
      {1988, 5, 4, kHoliday},                // the first citizens' holiday
      {1991, 5, 4, kSaturday | kHoliday},    //
      {1988, 12, 23, 0},                     //
      {1989, 2, 24, kHoliday},               // 昭和天皇の大喪の礼
      {1989, 4, 29, kSaturday | kHoliday},   // みどりの日
      {1989, 12, 23, kSaturday | kHoliday},  // 天皇誕生日
      {1990, 11, 12, kHoliday},              // 即位礼正殿の儀
      {1993, 6, 9, kHoliday},                // 皇太子徳仁親王の結婚の儀
      // 海の日 on 20 July from 1996; Monday holidays from 2000 and 2003.
      {1995, 7, 20, 0},                     //
      {1996, 7, 20, kSaturday | kHoliday},  //
      {2000, 1, 10, kHoliday},              // second Monday: 成人の日
      {2000, 1, 15, kSaturday},             //
      {2000, 10, 9, kHoliday},              // second Monday: 体育の日
      {2000, 10, 10, 0},                    //
      {2002, 9, 15, kSunday | kHoliday},    // 敬老の日 on the 15th
      {2002, 9, 16, kSubstitute},           //
      {2003, 7, 20, kSunday},               //
      {2003, 7, 21, kHoliday},              // third Monday: 海の日
      // From 2007: 昭和の日, みどりの日 on 4 May, the substitute on the next day that is no
      // holiday, the citizens' holiday whatever the weekday.
      {2006, 5, 4, kHoliday},             // citizens' holiday
      {2007, 4, 29, kSunday | kHoliday},  // 昭和の日
      {2007, 4, 30, kSubstitute},         //
      {2008, 5, 6, kSubstitute},          // after みどりの日 on Sunday 4 May
      {2009, 5, 6, kSubstitute},          // after 憲法記念日 on Sunday 3 May
      {2009, 9, 22, kHoliday},            // between 敬老の日 and 秋分の日
      // 山の日 from 2016.
      {2015, 8, 11, 0},         //
      {2016, 8, 11, kHoliday},  //
      // 2019 to 2021: the enthronement, 天皇誕生日 moved, the holidays of the Olympics.
      {2018, 12, 24, kSubstitute},        // after 天皇誕生日 on Sunday 23 December
      {2019, 2, 23, kSaturday},           //
      {2019, 4, 30, kHoliday},            // citizens' holiday
      {2019, 5, 1, kHoliday},             // 天皇の即位の日
      {2019, 5, 2, kHoliday},             // citizens' holiday
      {2019, 5, 6, kSubstitute},          //
      {2019, 10, 22, kHoliday},           // 即位礼正殿の儀
      {2019, 12, 23, 0},                  //
      {2020, 2, 23, kSunday | kHoliday},  // 天皇誕生日
      {2020, 2, 24, kSubstitute},         //
      {2020, 7, 20, 0},                   // third Monday
      {2020, 7, 23, kHoliday},            // 海の日
      {2020, 7, 24, kHoliday},            // スポーツの日
      {2020, 8, 10, kHoliday},            // 山の日
      {2020, 8, 11, 0},                   //
      {2020, 10, 12, 0},                  // second Monday
      {2021, 7, 19, 0},                   //
      {2021, 7, 22, kHoliday},            // 海の日
      {2021, 7, 23, kHoliday},            // スポーツの日
      {2021, 8, 8, kSunday | kHoliday},   // 山の日
      {2021, 8, 9, kSubstitute},          //
      {2021, 10, 11, 0},                  //
      {2022, 7, 18, kHoliday},            // 海の日 back on the third Monday
      {2022, 10, 10, kHoliday},           // スポーツの日
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifyDay(holidays, c.y, c.m, c.d), c.flags) << c.y << "/" << c.m << "/" << c.d;
  }
  EXPECT_THROW(ClassifyDay(holidays, 1582, 10, 10), EJuliusError);
}

// Tariff: late fee/seconds, day fee/seconds, holiday fee/seconds, flat-rate flag.
struct PhoneCase {
  const char* name;
  const char* start;
  const char* end;
  const char* tariff;
  PhoneCharges expected;
};

TEST(Tariff, PhoneChargeByBand) {
  auto holidays = LoadHolidays();
  // 1999/06/10 is a Thursday, 1999/06/11 a Friday, 1999/06/12 a Saturday.
  const char* kPlain = "10;240;10;180;10;180;0";
  PhoneCase cases[] = {
      {"one unit", "1999/06/10 10:00:00", "1999/06/10 10:02:59", kPlain, {10, 0}},
      {"second unit starts", "1999/06/10 10:00:00", "1999/06/10 10:03:00", kPlain, {20, 0}},
      {"band 2 of length 0", "1999/06/10 20:58:00", "1999/06/10 21:30:00", kPlain, {120, 0}},
      {"late band rounded up", "1999/06/10 07:55:00", "1999/06/10 08:10:00", kPlain, {50, 0}},
      {"late rounding covers the end",
       "1999/06/10 07:30:00",
       "1999/06/10 08:03:20",
       "30;2400;10;180;10;180;0",
       {30, 0}},
      {"flat rate over midnight",
       "1999/06/10 23:30:00",
       "1999/06/11 00:30:00",
       "10;240;10;180;10;180;1",
       {0, 160}},
      {"late night without flat rate",
       "1999/06/10 23:30:00",
       "1999/06/11 00:30:00",
       kPlain,
       {160, 0}},
      {"saturday daytime",
       "1999/06/12 10:00:00",
       "1999/06/12 10:10:00",
       "10;240;10;180;20;300;0",
       {60, 0}},
      {"new year night",
       "1999/01/01 23:30:00",
       "1999/01/02 00:10:00",
       "10;240;99;1;99;1;0",
       {110, 0}},
      {"21:00 exactly", "1999/06/10 20:00:00", "1999/06/10 21:00:00", kPlain, {210, 0}},
      {"23:00 into late night", "1999/06/10 22:59:00", "1999/06/10 23:01:00", kPlain, {20, 0}},
      // Friday 23:00 to Saturday 21:10: band 3 of length 0 at the weekday rate, the whole late
      // night flat, then Saturday's holiday rate in bands 5 and 6.
      {"to 23:00 of the next day",
       "1999/06/11 23:00:00",
       "1999/06/12 21:10:00",
       "10;240;10;180;20;600;1",
       {10 + 1560 + 40, 1350}},
  };
  for (const auto& c : cases) {
    auto t = SplitProfile(std::string(c.tariff) + ";");
    ParsedProfile p = Profile();
    p.lateFee = std::stoi(t[0]);
    p.lateSeconds = std::stoi(t[1]);
    p.dayFee = std::stoi(t[2]);
    p.daySeconds = std::stoi(t[3]);
    p.holidayFee = std::stoi(t[4]);
    p.holidaySeconds = std::stoi(t[5]);
    p.flatRate = t[6][0];
    DateTime start, end;
    ASSERT_TRUE(ParseDateTimeText(c.start, start) && ParseDateTimeText(c.end, end));
    EXPECT_EQ(
        PhoneCharge(start, end, static_cast<int32_t>(SecondsBetween(start, end)), p, holidays),
        c.expected)
        << c.name;
  }
}

// A call of a day or more: every whole day from the start is charged as a piece of 86,399 s
// that goes on into the late night after 23:00 of its second day, then the rest of the call.
TEST(Tariff, PhoneChargeOfCallsOfADayOrMore) {
  auto holidays = LoadHolidays();
  auto charge = [&](const ParsedProfile& p, DateTime start, int32_t duration, int64_t span) {
    return PhoneCharge(start, AddSeconds(start, span), duration, p, holidays);
  };
  const DateTime thursday{1999, 6, 10, 10, 0, 0};
  ParsedProfile p = Profile();
  EXPECT_EQ(charge(p, thursday, 86399, 86399), (PhoneCharges{4350, 0}));
  EXPECT_EQ(charge(p, thursday, 86400, 86400), (PhoneCharges{4360, 0}));
  // The clock reached the next day although the ticks counted 86,399 s.
  EXPECT_EQ(charge(p, thursday, 86399, 86400), (PhoneCharges{4360, 0}));
  // A clock set forward during the call does not add days to it.
  EXPECT_EQ(charge(p, thursday, 600, 600 + 30 * 86400), (PhoneCharges{40, 0}));

  // One yen per second late at night, two on weekdays, three on holidays: Friday 20:00 to
  // Sunday 21:00 charges Friday's evening, Saturday's day and evening and Sunday's day at
  // their own rates, and each night at the late-night rate.
  ParsedProfile s = Profile();
  s.lateFee = s.lateSeconds = s.daySeconds = s.holidaySeconds = 1;
  s.dayFee = 2;
  s.holidayFee = 3;
  const DateTime friday{1999, 6, 11, 20, 0, 0};
  const int32_t twoDays = 2 * 86400 + 3600;
  const int32_t nights = 2 * 32400;
  EXPECT_EQ(charge(s, friday, twoDays, twoDays), (PhoneCharges{388803, 0}));
  s.flatRate = '1';
  EXPECT_EQ(charge(s, friday, twoDays, twoDays), (PhoneCharges{388803 - nights, nights}));

  // From 23:30 a call under a day leaves the time after 23:00 of the next day uncharged; the
  // days of a longer call charge it as late night.
  const DateTime lateStart{1999, 6, 10, 23, 30, 0};
  EXPECT_EQ(charge(p, lateStart, 86399, 86399), (PhoneCharges{4270, 0}));
  EXPECT_EQ(charge(p, lateStart, 86400, 86400), (PhoneCharges{4360, 0}));

  // Longer calls never cost less from a day on: around the whole days, and around 23:00 of
  // the day after the first.
  for (DateTime start : {thursday, lateStart}) {
    for (int32_t around : {86400, 2 * 86400, 86400 + 84601}) {
      int32_t previous = 0;
      for (int32_t d = std::max(86399, around - 400); d <= around + 400; ++d) {
        int32_t phone = charge(p, start, d, d).phone;
        ASSERT_GE(phone, previous) << TimeText(start) << " " << d;
        previous = phone;
      }
    }
  }
}

TEST(Tariff, PhoneChargeRejectsAZeroUnitItNeeds) {
  auto holidays = LoadHolidays();
  ParsedProfile p = Profile();
  p.lateSeconds = 0;
  EXPECT_EQ(PhoneCharge({1999, 6, 10, 10, 0, 0}, {1999, 6, 10, 10, 1, 0}, 60, p, holidays),
            (PhoneCharges{10, 0}));
  EXPECT_THROW(PhoneCharge({1999, 6, 10, 2, 0, 0}, {1999, 6, 10, 2, 1, 0}, 60, p, holidays),
               ProfileError);
}

TEST(Tariff, BillingPeriod) {
  struct Case {
    int y, m, d, startDay;
    const char* start;
  } cases[] = {
      {1999, 5, 3, 1, "1999/05/01"},   {1999, 1, 3, 20, "1998/12/20"},
      {1999, 5, 3, 20, "1999/04/20"},  {1999, 5, 20, 20, "1999/05/20"},
      {1999, 3, 30, 31, "1999/02/31"}, {1999, 3, 31, 31, "1999/03/31"},
      {2000, 1, 31, 31, "2000/01/31"}, {2000, 1, 30, 31, "1999/12/31"},
  };
  for (const auto& c : cases) {
    auto period = BillingPeriod(c.y, c.m, c.d, c.startDay);
    EXPECT_EQ(period.start, c.start);
    EXPECT_EQ(period.key, std::string(c.start).substr(0, 7));
  }
}

TEST(Tariff, CumulativeSurvival) {
  struct Case {
    int32_t cumulative;
    int day, startDay;
    const char* lastDate;
    const char* dateText;
    bool survives;
  } cases[] = {
      {100, 10, 1, "1999/05/03", "1999/05/10", true},    // same period
      {100, 10, 1, "1999/04/30", "1999/05/10", false},   // last call in the previous period
      {0, 10, 1, "1999/05/03", "1999/05/10", false},     // nothing to keep
      {100, 20, 20, "1999/05/20", "1999/05/20", false},  // the start day always starts afresh
      {100, 3, 20, "1998/12/25", "1999/01/03", true},    // January wrap
      {100, 3, 20, "1998/12/19", "1999/01/03", false},
      {100, 10, 1, "ERROR@@", "1999/05/10", true},  // text comparison, as stored
  };
  for (const auto& c : cases) {
    Date d;
    ASSERT_TRUE(ParseDateText(c.dateText, d));
    auto period = BillingPeriod(d.year, d.month, d.day, c.startDay);
    EXPECT_EQ(
        CumulativeSurvives(c.cumulative, c.day, c.startDay, c.lastDate, period.start, c.dateText),
        c.survives)
        << c.lastDate << " " << c.dateText;
  }
}

TEST(Tariff, ProviderCharge) {
  struct Case {
    const char* name;
    int32_t baseMinutes, baseFee, unitSeconds, unitFee, cap, cumulative, duration, expected;
  } cases[] = {
      {"61 s at 10 yen per minute", 0, 0, 60, 10, 0, 0, 61, 20},
      {"only the part past the allowance", 10, 0, 60, 10, 0, 500, 200, 20},
      {"within the allowance", 10, 0, 60, 10, 0, 300, 300, 0},
      {"allowance used up before", 10, 0, 60, 10, 0, 700, 30, 10},
      {"no unit seconds", 0, 0, 0, 10, 0, 0, 500, 0},
      {"no unit fee", 0, 0, 60, 0, 0, 0, 500, 0},
      {"cap cuts the charge", 0, 1990, 60, 10, 2000, 0, 180, 10},
      {"cap reached by the metered bill", 0, 0, 60, 10, 2000, 12000, 180, 0},
      {"cap reached by the base fee", 0, 2000, 60, 10, 2000, 0, 180, 0},
      // Still inside the allowance before the call: nothing metered counts toward the cap.
      {"cap with allowance not yet used", 10, 1990, 60, 10, 2000, 590, 100, 10},
      {"cap with much allowance left", 100, 1000, 60, 10, 1100, 0, 7200, 100},
  };
  for (const auto& c : cases) {
    ParsedProfile p = Profile();
    p.baseMinutes = c.baseMinutes;
    p.baseFee = c.baseFee;
    p.unitSeconds = c.unitSeconds;
    p.unitFee = c.unitFee;
    p.cap = c.cap;
    EXPECT_EQ(ProviderCharge(c.duration, c.cumulative, p), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace norvax
