// The Japanese public-holiday calendar that decides a day's telephone rate.
#pragma once

#include <string>
#include <vector>

namespace norvax {

// Day type flags of ClassifyDay; 0 is an ordinary weekday.
namespace day_flag {
inline constexpr int kSunday = 0x01;
inline constexpr int kSaturday = 0x02;
inline constexpr int kHoliday = 0x04;
inline constexpr int kSubstitute = 0x10;
inline constexpr int kEquinox = 0x20;
}  // namespace day_flag

struct Holiday {
  int month = 0;
  int day = 0;
  std::string name;  // CP932
};

// The holiday table: the same 15 dates every year, in the system's order.
class HolidayList {
 public:
  std::vector<Holiday> rows;
  bool Contains(int month, int day) const;
};

HolidayList LoadHolidays();

// Flags of a date; throws EJuliusError inside the 1582 changeover gap.
int ClassifyDay(const HolidayList& holidays, int year, int month, int day);

// Whether the previous calendar day is in the table.
bool IsHolidayBefore(const HolidayList& holidays, int year, int month, int day);

}  // namespace norvax
