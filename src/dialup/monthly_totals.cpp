#include "dialup/monthly_totals.h"

#include <cstdio>

#include "dialup/log_move.h"
#include "platform/cp932.h"

namespace norvax {
namespace {

int32_t Add32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

}  // namespace

std::string TotalsOverflowMessage() { return Sjis("合計件数オーバー。ログを移動して下さい。"); }

bool TotalsBuilder::Add(std::string_view line) {
  ++lines_;
  SplitLogLine(line, fields_, 11);
  int32_t seconds = LogNumberField(fields_, 4, lines_);
  int32_t provider = LogNumberField(fields_, 5, lines_);
  int32_t phone = LogNumberField(fields_, 6, lines_);
  int32_t flat = LogNumberField(fields_, 7, lines_);
  if (fields_.Size() < 11) LogNumberField(fields_, 11, lines_);  // reports the short line
  std::string_view period = Cp932Prefix(fields_[10], 12);
  std::string_view name = Cp932Prefix(fields_[1], 48);
  key_.assign(period);
  key_ += '\n';
  key_.append(name);
  auto it = index_.find(key_);
  if (it != index_.end()) {
    TotalRecord& group = groups_[it->second];
    group.seconds = Add32(group.seconds, seconds);
    group.provider = Add32(group.provider, provider);
    group.phone = Add32(group.phone, phone);
    group.flat = Add32(group.flat, flat);
    return true;
  }
  if (groups_.size() >= kMaxTotalGroups) return false;
  int32_t fixed = LogNumberField(fields_, 10, lines_);
  groups_.push_back(
      {std::string(period), std::string(name), seconds, provider, fixed, phone, flat});
  index_.emplace(key_, groups_.size() - 1);
  return true;
}

MonthlyTotalsResult TotalsOfLines(LineReader& reader) {
  MonthlyTotalsResult result;
  result.logExists = true;
  TotalsBuilder builder;
  std::string line;
  while (reader.ReadLine(line) && !line.empty()) {
    if (!builder.Add(line)) {
      result.overflow = true;
      return result;
    }
  }
  result.lines = builder.Lines();
  result.groups = std::move(builder.Groups());
  return result;
}

MonthlyTotalsResult ComputeMonthlyTotals(FileStore& files) {
  RecoverLogMove(files);
  auto reader = files.OpenLines(kLogFileName);
  if (!reader) return {};
  return TotalsOfLines(*reader);
}

std::string TotalTimeText(int32_t seconds) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.2d:%.2d:%.2d", seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  return buffer;
}

std::string GroupedNumber(int64_t value, int width) { return GroupedNumber(value, width, ","); }

std::string GroupedNumber(int64_t value, int width, std::string_view separator) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += separator;
    grouped += digits[i];
  }
  if (value < 0) grouped.insert(grouped.begin(), '-');
  if (static_cast<int>(grouped.size()) < width) {
    grouped.insert(0, static_cast<std::size_t>(width) - grouped.size(), ' ');
  }
  return grouped;
}

}  // namespace norvax
