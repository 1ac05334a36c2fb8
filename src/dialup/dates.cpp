#include "dialup/dates.h"

#include <cmath>
#include <cstdio>

#include "platform/cp932.h"

namespace norvax {
namespace {

constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Trunc(Trunc(x) + 1 - x) for x = numerator / denominator, denominator > 0: 1 when x is a
// whole number; for negative x the expression is 1 as well.
int64_t FracTest(int64_t numerator, int64_t denominator) {
  if (numerator < 0) return 1;
  return numerator % denominator == 0 ? 1 : 0;
}

// The day numbers are computed in integers: every product of the formulas is a rational
// with a small denominator, so integer division with truncation gives the exact values
// (and keeps 4000/03/01 onwards right, which extended precision gets one day wrong).
int64_t JulianCount(int64_t y, int64_t m, int64_t d) {
  int64_t k = 0;
  if (m > 2) k = -((4 * m + 12) / 10) + FracTest(y + 4712, 4) - 1;
  return (y + 4715) * 1461 / 4 + d + k - 1 + 31 * (m - 1) - 1095;
}

int64_t GregorianCount(int64_t y, int64_t m, int64_t d) {
  int64_t r = JulianCount(y, m, d) - 10;
  if (m > 2) r += FracTest(y, 400) - FracTest(y, 100) - FracTest(y, 4000);
  r -= ((y - 1501) / 100) * 3 / 4;
  r -= (y - 1) / 4000;
  return r;
}

long double Sind(long double degrees) {
  return std::sin(degrees * 3.14159265358979323846264338327950288L / 180.0L);
}

}  // namespace

EJuliusError::EJuliusError() : std::runtime_error(Sjis("1582/10/5-10/14は存在しません。")) {}

int32_t JulianDayCount(int year, int month, int day) {
  return static_cast<int32_t>(JulianCount(year, month, day));
}

int32_t GregorianDayCount(int year, int month, int day) {
  return static_cast<int32_t>(GregorianCount(year, month, day));
}

int32_t DayNumber(int year, int month, int day) {
  if (year < 1582 || (year == 1582 && (month < 10 || (month == 10 && day <= 4)))) {
    return JulianDayCount(year, month, day);
  }
  if (year == 1582 && month == 10 && day < 15) throw EJuliusError();
  return GregorianDayCount(year, month, day);
}

int WeekdayOf(int32_t dayNumber) {
  return static_cast<int>((static_cast<int64_t>(dayNumber) + 1) % 7 + 1);
}

bool IsLeapYear(int year) {
  if (year < 1582) return (year + 4712) % 4 == 0;
  if (year % 4000 == 0) return false;
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeapYear(year)) return 29;
  return kMonthDays[month - 1];
}

// The sums are formed in extended precision; B and the bracketed term are rounded to
// double before the last addition, as the day tables of the calendar expect.
int32_t VernalEquinoxDay(int year) {
  long double t = year - 2000;
  long double s = Sind(321.0L - 30.37L * t) + Sind(249.0L + 0.19L * t) +
                  Sind(202.0L - 132.57L * t) + Sind(84.0L - 90.37L * t);
  double b =
      static_cast<double>(0.002L * s - 0.00004871850323926L * t +
                          0.001L * Sind(132.0L - 134.81L * t) + 0.005L * Sind(239.0L - 19.34L * t));
  double bracket = static_cast<double>(0.0000001L * t * t - b);
  return static_cast<int32_t>(std::trunc(365.24229L * t + 2451624.683L + bracket));
}

int32_t AutumnalEquinoxDay(int year) {
  long double t = year - 2000;
  long double s = Sind(485.0L - 30.37L * t) + Sind(249.0L + 0.19L * t) +
                  Sind(268.2L - 132.57L * t) + Sind(309.2L - 90.37L * t);
  double b =
      static_cast<double>(0.002L * s + 0.00004871850323926L * t +
                          0.001L * Sind(244.6L - 134.81L * t) + 0.005L * Sind(248.6L - 19.34L * t));
  double bracket = static_cast<double>(0.0000001L * t * t - b);
  return static_cast<int32_t>(std::trunc(365.24206L * t + 2451811.096L + bracket));
}

std::string DateText(int year, int month, int day) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.4d/%.2d/%.2d", year, month, day);
  return buffer;
}

std::string DateText(const DateTime& t) { return DateText(t.year, t.month, t.day); }

std::string TimeText(const DateTime& t) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.2d:%.2d:%.2d", t.hour, t.minute, t.second);
  return buffer;
}

namespace {

bool Digits(const std::string& text, std::size_t at, std::size_t count, int& value) {
  value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

bool ParseDateText(const std::string& text, Date& date) {
  if (text.size() != 10 || text[4] != '/' || text[7] != '/') return false;
  Date d;
  if (!Digits(text, 0, 4, d.year) || !Digits(text, 5, 2, d.month) || !Digits(text, 8, 2, d.day)) {
    return false;
  }
  if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > DaysInMonth(d.year, d.month)) {
    return false;
  }
  date = d;
  return true;
}

bool ParseDateTimeText(const std::string& text, DateTime& t) {
  Date d;
  if (text.size() != 19 || text[10] != ' ' || !ParseDateText(text.substr(0, 10), d)) {
    return false;
  }
  if (text[13] != ':' || text[16] != ':') return false;
  int h, n, s;
  if (!Digits(text, 11, 2, h) || !Digits(text, 14, 2, n) || !Digits(text, 17, 2, s)) return false;
  if (h > 23 || n > 59 || s > 59) return false;
  t = {d.year, d.month, d.day, h, n, s};
  return true;
}

int64_t SecondsBetween(const DateTime& a, const DateTime& b) {
  int64_t days =
      static_cast<int64_t>(DayNumber(b.year, b.month, b.day)) - DayNumber(a.year, a.month, a.day);
  return days * 86400 + b.SecondOfDay() - a.SecondOfDay();
}

Date NextDay(const Date& date) {
  Date r = date;
  if (++r.day > DaysInMonth(r.year, r.month)) {
    r.day = 1;
    if (++r.month > 12) {
      r.month = 1;
      ++r.year;
    }
  } else if (r.year == 1582 && r.month == 10 && r.day == 5) {
    r.day = 15;
  }
  return r;
}

Date PreviousDay(const Date& date) {
  Date r = date;
  if (r.year == 1582 && r.month == 10 && r.day == 15) {
    r.day = 4;
  } else if (--r.day < 1) {
    if (--r.month < 1) {
      r.month = 12;
      --r.year;
    }
    r.day = DaysInMonth(r.year, r.month);
  }
  return r;
}

DateTime AddSeconds(const DateTime& t, int64_t seconds) {
  int64_t total = t.SecondOfDay() + seconds;
  Date day = t.DateOnly();
  for (int64_t days = total / 86400; days > 0; --days) day = NextDay(day);
  DateTime r = t;
  r.year = day.year;
  r.month = day.month;
  r.day = day.day;
  total %= 86400;
  r.hour = static_cast<int>(total / 3600);
  r.minute = static_cast<int>(total / 60 % 60);
  r.second = static_cast<int>(total % 60);
  return r;
}

}  // namespace norvax
