// Calendar arithmetic: day numbers across the 1582 changeover, weekdays, leap years, month
// lengths, the equinox days, and the small date/time values the accounting works with.
#pragma once

#include <compare>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/clock.h"

namespace norvax {

// A date inside the 1582 changeover gap (5 to 14 October 1582) was given. what() is the
// system's CP932 message "1582/10/5-10/14は存在しません。".
class EJuliusError : public std::runtime_error {
 public:
  EJuliusError();
};

// Julian Day Number of a date: the Julian calendar up to 4 October 1582, the Gregorian
// calendar from 15 October 1582 on; throws EJuliusError in between.
int32_t DayNumber(int year, int month, int day);
int32_t JulianDayCount(int year, int month, int day);
// Proleptic Gregorian day number, where years divisible by 4000 are not leap years.
int32_t GregorianDayCount(int year, int month, int day);

// 1 = Sunday, 2 = Monday, ... 7 = Saturday.
int WeekdayOf(int32_t dayNumber);

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

int32_t VernalEquinoxDay(int year);
int32_t AutumnalEquinoxDay(int year);

struct Date {
  int year = 0;
  int month = 0;
  int day = 0;
  auto operator<=>(const Date&) const = default;
};

// The calendar days after and before a date; the day after 4 October 1582 is 15 October.
Date NextDay(const Date& date);
Date PreviousDay(const Date& date);

// A local date and time of day to the second.
struct DateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool operator==(const DateTime&) const = default;

  static DateTime From(const LocalDateTime& t) {
    return {t.year, t.month, t.day, t.hour, t.minute, t.second};
  }
  Date DateOnly() const { return {year, month, day}; }
  int SecondOfDay() const { return hour * 3600 + minute * 60 + second; }
};

// "yyyy/mm/dd" and "hh:nn:ss".
std::string DateText(int year, int month, int day);
std::string DateText(const DateTime& t);
std::string TimeText(const DateTime& t);

// Reads "yyyy/mm/dd" (four-digit year, two-digit month and day, in range) or
// "yyyy/mm/dd hh:nn:ss"; false for any other text.
bool ParseDateText(const std::string& text, Date& date);
bool ParseDateTimeText(const std::string& text, DateTime& t);

// Whole seconds from a to b (negative when b is earlier).
int64_t SecondsBetween(const DateTime& a, const DateTime& b);

// The date and time `seconds` (0 or more) after t, days counted as DayNumber counts them.
DateTime AddSeconds(const DateTime& t, int64_t seconds);

}  // namespace norvax
