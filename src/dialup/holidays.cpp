#include "dialup/holidays.h"

#include "dialup/dates.h"
#include "platform/cp932.h"

namespace norvax {

bool HolidayList::Contains(int month, int day) const {
  for (const auto& row : rows) {
    if (row.month == month && row.day == day) return true;
  }
  return false;
}

HolidayList LoadHolidays() {
  static const struct {
    int month, day;
    const char* name;
  } kTable[] = {
      {1, 1, "元旦"},        {1, 15, "成人の日"},      {2, 11, "建国の日"},    {3, 20, "春分の日"},
      {4, 29, "みどりの日"}, {5, 3, "憲法記念日"},     {5, 4, "国民の休日"},   {5, 5, "こどもの日"},
      {7, 20, "海の日"},     {9, 15, "敬老の日"},      {9, 23, "秋分の日"},    {10, 10, "体育の日"},
      {11, 3, "文化の日"},   {11, 23, "勤労感謝の日"}, {12, 23, "天皇誕生日"},
  };
  HolidayList list;
  for (const auto& row : kTable) list.rows.push_back({row.month, row.day, Sjis(row.name)});
  return list;
}

bool IsHolidayBefore(const HolidayList& holidays, int year, int month, int day) {
  if (day != 1) return holidays.Contains(month, day - 1);
  if (month == 1) return holidays.Contains(12, 31);
  return holidays.Contains(month - 1, DaysInMonth(year, month - 1));
}

int ClassifyDay(const HolidayList& holidays, int year, int month, int day) {
  int32_t n = DayNumber(year, month, day);
  int weekday = WeekdayOf(n);
  int flags = 0;
  if (weekday == 1) flags |= day_flag::kSunday;
  if (weekday == 7) flags |= day_flag::kSaturday;
  if (n == VernalEquinoxDay(year) || n == AutumnalEquinoxDay(year)) flags |= day_flag::kEquinox;
  if (holidays.Contains(month, day)) flags |= day_flag::kHoliday;
  if (weekday == 2 && IsHolidayBefore(holidays, year, month, day)) {
    flags |= day_flag::kSubstitute;
    if (month == 5 && day == 4) flags &= ~day_flag::kHoliday;
  }
  return flags;
}

}  // namespace norvax
