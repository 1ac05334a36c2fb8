// Totals of the connection log per billing period and connection.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dialup/connection_log.h"
#include "platform/file_store.h"

namespace norvax {

inline constexpr std::size_t kMaxTotalGroups = 2000;

struct TotalRecord {
  std::string period;  // field 11, at most 12 bytes
  std::string name;    // field 2, at most 48 bytes
  int32_t seconds = 0;
  int32_t provider = 0;
  int32_t fixed = 0;  // base fee of the group's first line
  int32_t phone = 0;
  int32_t flat = 0;
  bool operator==(const TotalRecord&) const = default;
};

struct MonthlyTotalsResult {
  bool logExists = false;
  bool overflow = false;  // more than 2000 groups: nothing is listed
  int64_t lines = 0;
  std::vector<TotalRecord> groups;  // in the order of their first lines
};

// The message shown when the log holds more than 2000 groups (CP932).
std::string TotalsOverflowMessage();

// Groups lines one at a time. Add throws LogFormatError for a line without the numeric
// fields, and returns false once the 2001st group appears (the totals are then void).
class TotalsBuilder {
 public:
  bool Add(std::string_view line);
  int64_t Lines() const { return lines_; }
  std::vector<TotalRecord>& Groups() { return groups_; }

 private:
  std::vector<TotalRecord> groups_;
  std::unordered_map<std::string, std::size_t> index_;  // period + '\n' + name
  LogFields fields_;
  std::string key_;
  int64_t lines_ = 0;
};

// Reads the log up to its first empty line and totals it.
MonthlyTotalsResult ComputeMonthlyTotals(FileStore& files);
// The same over lines from any reader (logExists is set).
MonthlyTotalsResult TotalsOfLines(LineReader& reader);

// "%.2d:%.2d:%.2d" of hours (not limited to 24), minutes and seconds.
std::string TotalTimeText(int32_t seconds);

// The number with thousands separators, right-aligned in width characters ("%10.0n").
std::string GroupedNumber(int64_t value, int width);
// The same with the locale's separator (CP932) between the groups of three digits.
std::string GroupedNumber(int64_t value, int width, std::string_view separator);

}  // namespace norvax
