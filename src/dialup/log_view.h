// What the log viewer shows of a log line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "dialup/dates.h"

namespace norvax {

// The nine columns of a log line (CP932); numbers formatted as the viewer shows them.
struct LogViewRow {
  std::string date;
  std::string name;
  std::string start;
  std::string duration;  // h:mm:ss; the hours run on past 24
  std::string provider;  // "%10.0n"
  std::string phone;     // "%10.0n"
  std::string flat;      // "%10.0n"
  std::string number;
  std::string redials;  // "%2.0n"
};

// Throws LogFormatError naming lineNumber when a column is missing or not a number.
LogViewRow MakeLogViewRow(std::string_view line, int64_t lineNumber);

// The row of a line as far as it can be read, for showing every line of a log that was
// edited by hand: a missing column is empty and a number column that holds no number shows
// its text as stored. separator is the locale's thousands separator (CP932).
LogViewRow ShownLogViewRow(std::string_view line, std::string_view separator = ",");

// The connection time of a row: hours, then minutes and seconds as two digits.
std::string DurationText(int32_t seconds);

// The cut-off spin edits' values for a row's date: year, month and day taken from
// characters 1-4, 6-7 and 9-10, each brought into the spin edit's range (1998..2100,
// 1..12, 1..31). Nothing when they are not numbers.
std::optional<Date> CutoffOfRowDate(std::string_view date);

}  // namespace norvax
