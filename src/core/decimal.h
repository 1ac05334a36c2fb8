// Strict decimal conversion of stored and typed numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace norvax {

// The value of decimal text: an optional sign and one or more digits, nothing else, within
// the signed 32-bit range. Nothing for any other text.
std::optional<int32_t> ParseDecimal(std::string_view text);

std::string DecimalText(int64_t value);

}  // namespace norvax
