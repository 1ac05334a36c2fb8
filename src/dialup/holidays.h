// The Japanese public-holiday calendar that decides a day's telephone rate: the holidays of
// the national holiday law (国民の祝日に関する法律, in force from 20 July 1948) and of the
// laws for single days, as they stood on each date.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dialup/dates.h"

namespace norvax {

// Day type flags of ClassifyDay; 0 is an ordinary weekday.
namespace day_flag {
inline constexpr int kSunday = 0x01;
inline constexpr int kSaturday = 0x02;
// A national holiday, a citizens' holiday or a holiday of its own law (not an equinox day).
inline constexpr int kHoliday = 0x04;
inline constexpr int kSubstitute = 0x10;
// 春分の日 or 秋分の日: the equinox day (VernalEquinoxDay, AutumnalEquinoxDay).
inline constexpr int kEquinox = 0x20;
}  // namespace day_flag

// How a holiday's date is found in a year.
enum class HolidayKind {
  kFixedDate,  // month and day
  kNthMonday,  // the day-th Monday of the month
  kEquinox,    // the equinox day of the month: March the vernal, September the autumnal
};

// A national holiday as one law set it: the days of its kind that lie from `from` to `until`
// (both included). A holiday that moved or changed its name has a row for each period.
struct HolidayRule {
  std::string name;  // CP932
  HolidayKind kind;
  int month;
  int day;  // the day of the month (kFixedDate), n (kNthMonday), 0 (kEquinox)
  Date from;
  Date until;
};

// The holiday rules; filled once when the main window is created.
struct HolidayCalendar {
  std::vector<HolidayRule> rules;
};

HolidayCalendar LoadHolidays();

// A day off other than a plain Sunday or Saturday: its day type flag (kHoliday, kSubstitute
// or kEquinox) and its name as the law has it (CP932): the holiday's, "振替休日" or "国民の休日".
struct DayOff {
  Date date;
  int flag;
  std::string name;
};

std::optional<DayOff> DayOffOn(const HolidayCalendar& calendar, const Date& date);

// The days off of a year, in date order.
std::vector<DayOff> DaysOffOfYear(const HolidayCalendar& calendar, int year);

// Flags of a date; throws EJuliusError inside the 1582 changeover gap.
int ClassifyDay(const HolidayCalendar& calendar, int year, int month, int day);

}  // namespace norvax
