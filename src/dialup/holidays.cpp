#include "dialup/holidays.h"

#include "platform/cp932.h"

namespace norvax {
namespace {

using enum HolidayKind;

constexpr Date kLaw{1948, 7, 20};    // the national holiday law comes into force
constexpr Date kOpen{9999, 12, 31};  // still in force

constexpr Date YearStart(int year) { return {year, 1, 1}; }
constexpr Date YearEnd(int year) { return {year, 12, 31}; }

struct Row {
  const char* name;
  HolidayKind kind;
  int month, day;
  Date from, until;
};

// A holiday of a law of its own, for one day.
constexpr Row OneDay(const char* name, int year, int month, int day) {
  return {name, kFixedDate, month, day, {year, month, day}, {year, month, day}};
}

// clang-format off
const Row kRules[] = {
    // name           kind        month day  in force from     until
    {"元日",          kFixedDate,  1,   1,  kLaw,             kOpen},
    {"成人の日",      kFixedDate,  1,  15,  kLaw,             YearEnd(1999)},
    {"成人の日",      kNthMonday,  1,   2,  YearStart(2000),  kOpen},
    {"建国記念の日",  kFixedDate,  2,  11,  {1966, 12, 9},    kOpen},
    {"天皇誕生日",    kFixedDate,  2,  23,  {2019, 4, 30},    kOpen},
    {"春分の日",      kEquinox,    3,   0,  kLaw,             kOpen},
    {"天皇誕生日",    kFixedDate,  4,  29,  kLaw,             {1989, 2, 16}},
    {"みどりの日",    kFixedDate,  4,  29,  {1989, 2, 17},    YearEnd(2006)},
    {"昭和の日",      kFixedDate,  4,  29,  YearStart(2007),  kOpen},
    {"憲法記念日",    kFixedDate,  5,   3,  kLaw,             kOpen},
    {"みどりの日",    kFixedDate,  5,   4,  YearStart(2007),  kOpen},
    {"こどもの日",    kFixedDate,  5,   5,  kLaw,             kOpen},
    {"海の日",        kFixedDate,  7,  20,  YearStart(1996),  YearEnd(2002)},
    {"海の日",        kNthMonday,  7,   3,  YearStart(2003),  YearEnd(2019)},
    {"海の日",        kNthMonday,  7,   3,  YearStart(2022),  kOpen},
    {"山の日",        kFixedDate,  8,  11,  YearStart(2016),  YearEnd(2019)},
    {"山の日",        kFixedDate,  8,  11,  YearStart(2022),  kOpen},
    {"敬老の日",      kFixedDate,  9,  15,  {1966, 6, 25},    YearEnd(2002)},
    {"敬老の日",      kNthMonday,  9,   3,  YearStart(2003),  kOpen},
    {"秋分の日",      kEquinox,    9,   0,  kLaw,             kOpen},
    {"体育の日",      kFixedDate, 10,  10,  {1966, 6, 25},    YearEnd(1999)},
    {"体育の日",      kNthMonday, 10,   2,  YearStart(2000),  YearEnd(2019)},
    {"スポーツの日",  kNthMonday, 10,   2,  YearStart(2022),  kOpen},
    {"文化の日",      kFixedDate, 11,   3,  kLaw,             kOpen},
    {"勤労感謝の日",  kFixedDate, 11,  23,  kLaw,             kOpen},
    {"天皇誕生日",    kFixedDate, 12,  23,  {1989, 2, 17},    {2019, 4, 29}},
    // Moved for the Olympic Games in Tokyo, in 2020 and again in 2021.
    {"海の日",        kFixedDate,  7,  23,  YearStart(2020),  YearEnd(2020)},
    {"スポーツの日",  kFixedDate,  7,  24,  YearStart(2020),  YearEnd(2020)},
    {"山の日",        kFixedDate,  8,  10,  YearStart(2020),  YearEnd(2020)},
    {"海の日",        kFixedDate,  7,  22,  YearStart(2021),  YearEnd(2021)},
    {"スポーツの日",  kFixedDate,  7,  23,  YearStart(2021),  YearEnd(2021)},
    {"山の日",        kFixedDate,  8,   8,  YearStart(2021),  YearEnd(2021)},
    // The imperial ceremonies, each a holiday by a law of its own.
    OneDay("皇太子明仁親王の結婚の儀", 1959,  4, 10),
    OneDay("昭和天皇の大喪の礼",       1989,  2, 24),
    OneDay("即位礼正殿の儀",           1990, 11, 12),
    OneDay("皇太子徳仁親王の結婚の儀", 1993,  6,  9),
    OneDay("天皇の即位の日",           2019,  5,  1),
    OneDay("即位礼正殿の儀",           2019, 10, 22),
};
// clang-format on

// 振替休日, for a national holiday on a Sunday: from 12 April 1973 the next day; from 2007
// the first day after it that is no national holiday.
constexpr Date kSubstituteFrom{1973, 4, 12};
constexpr Date kNextFreeDayFrom = YearStart(2007);
// 国民の休日: from 27 December 1985 a day between two national holidays that is none itself;
// until 2006 neither a Sunday nor a substitute holiday.
constexpr Date kCitizensHolidayFrom{1985, 12, 27};
constexpr Date kCitizensHolidayOnSundaysFrom = YearStart(2007);

bool Falls(const HolidayRule& rule, const Date& date, int32_t dayNumber) {
  if (date.month != rule.month || date < rule.from || rule.until < date) return false;
  switch (rule.kind) {
    case kFixedDate:
      return date.day == rule.day;
    case kNthMonday:
      return WeekdayOf(dayNumber) == 2 && (date.day - 1) / 7 + 1 == rule.day;
    case kEquinox:
      return dayNumber ==
             (rule.month == 3 ? VernalEquinoxDay(date.year) : AutumnalEquinoxDay(date.year));
  }
  return false;
}

// The national holiday on a date: one of the law's, or of a law of its own, which count
// alike for substitute and citizens' holidays.
const HolidayRule* NationalHoliday(const HolidayCalendar& calendar, const Date& date,
                                   int32_t dayNumber) {
  for (const auto& rule : calendar.rules) {
    if (Falls(rule, date, dayNumber)) return &rule;
  }
  return nullptr;
}

bool IsSubstitute(const HolidayCalendar& calendar, const Date& date, int32_t dayNumber) {
  if (date < kSubstituteFrom) return false;
  Date before = PreviousDay(date);
  int32_t n = dayNumber - 1;
  if (date < kNextFreeDayFrom) return WeekdayOf(n) == 1 && NationalHoliday(calendar, before, n);
  for (; NationalHoliday(calendar, before, n); before = PreviousDay(before), --n) {
    if (WeekdayOf(n) == 1) return true;
  }
  return false;
}

bool IsCitizensHoliday(const HolidayCalendar& calendar, const Date& date, int32_t dayNumber) {
  if (date < kCitizensHolidayFrom) return false;
  if (date < kCitizensHolidayOnSundaysFrom && WeekdayOf(dayNumber) == 1) return false;
  return NationalHoliday(calendar, PreviousDay(date), dayNumber - 1) &&
         NationalHoliday(calendar, NextDay(date), dayNumber + 1);
}

}  // namespace

HolidayCalendar LoadHolidays() {
  HolidayCalendar calendar;
  for (const auto& row : kRules) {
    calendar.rules.push_back({Sjis(row.name), row.kind, row.month, row.day, row.from, row.until});
  }
  return calendar;
}

// A national holiday first; a substitute holiday is not also a citizens' holiday.
std::optional<DayOff> DayOffOn(const HolidayCalendar& calendar, const Date& date) {
  int32_t n = DayNumber(date.year, date.month, date.day);
  if (const HolidayRule* rule = NationalHoliday(calendar, date, n)) {
    return DayOff{date, rule->kind == kEquinox ? day_flag::kEquinox : day_flag::kHoliday,
                  rule->name};
  }
  if (IsSubstitute(calendar, date, n)) return DayOff{date, day_flag::kSubstitute, Sjis("振替休日")};
  if (IsCitizensHoliday(calendar, date, n)) {
    return DayOff{date, day_flag::kHoliday, Sjis("国民の休日")};
  }
  return std::nullopt;
}

std::vector<DayOff> DaysOffOfYear(const HolidayCalendar& calendar, int year) {
  std::vector<DayOff> days;
  for (Date date{year, 1, 1}; date.year == year; date = NextDay(date)) {
    if (auto off = DayOffOn(calendar, date)) days.push_back(std::move(*off));
  }
  return days;
}

int ClassifyDay(const HolidayCalendar& calendar, int year, int month, int day) {
  int weekday = WeekdayOf(DayNumber(year, month, day));
  int flags = 0;
  if (weekday == 1) flags |= day_flag::kSunday;
  if (weekday == 7) flags |= day_flag::kSaturday;
  if (auto off = DayOffOn(calendar, {year, month, day})) flags |= off->flag;
  return flags;
}

}  // namespace norvax
