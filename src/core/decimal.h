// Strict decimal conversion of stored and typed numbers.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace norvax {

// The value of decimal text: an optional sign and one or more digits, nothing else, within
// the signed 32-bit range. Nothing for any other text. Defined here to be inlined: returned
// from a call, the optional goes through memory in a way that stalls the processor for
// longer than the whole conversion of a short number takes.
inline std::optional<int32_t> ParseDecimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::string DecimalText(int64_t value);

}  // namespace norvax
