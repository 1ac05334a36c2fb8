#include "dialup/log_view.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/decimal.h"
#include "dialup/connection_log.h"
#include "dialup/monthly_totals.h"

namespace norvax {

std::string DurationText(int32_t seconds) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%d:%.2d:%.2d", seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  return buffer;
}

LogViewRow MakeLogViewRow(std::string_view line, int64_t lineNumber) {
  LogFields f;
  SplitLogLine(line, f);
  LogViewRow row;
  int32_t duration = LogNumberField(f, 4, lineNumber);
  row.provider = GroupedNumber(LogNumberField(f, 5, lineNumber), 10);
  row.phone = GroupedNumber(LogNumberField(f, 6, lineNumber), 10);
  row.flat = GroupedNumber(LogNumberField(f, 7, lineNumber), 10);
  row.redials = GroupedNumber(LogNumberField(f, 9, lineNumber), 2);
  row.date = f[0];
  row.name = f[1];
  row.start = f[2];
  row.duration = DurationText(duration);
  row.number = f[7];
  return row;
}

LogViewRow ShownLogViewRow(std::string_view line, std::string_view separator) {
  auto f = SplitLogLine(line);
  f.resize(std::max<std::size_t>(f.size(), 9));
  auto number = [&f, separator](std::size_t field, int width) {
    auto value = ParseDecimal(f[field - 1]);
    return value ? GroupedNumber(*value, width, separator) : f[field - 1];
  };
  LogViewRow row;
  row.date = std::move(f[0]);
  row.name = std::move(f[1]);
  row.start = std::move(f[2]);
  auto seconds = ParseDecimal(f[3]);
  row.duration = seconds ? DurationText(*seconds) : f[3];
  row.provider = number(5, 10);
  row.phone = number(6, 10);
  row.flat = number(7, 10);
  row.number = std::move(f[7]);
  row.redials = number(9, 2);
  return row;
}

std::optional<Date> CutoffOfRowDate(std::string_view date) {
  auto part = [&date](std::size_t at, std::size_t count) -> std::optional<int32_t> {
    if (at >= date.size()) return std::nullopt;
    return ParseDecimal(date.substr(at, count));
  };
  auto y = part(0, 4);
  auto m = part(5, 2);
  auto d = part(8, 2);
  if (!y || !m || !d) return std::nullopt;
  return Date{std::clamp(*y, 1998, 2100), std::clamp(*m, 1, 12), std::clamp(*d, 1, 31)};
}

}  // namespace norvax
