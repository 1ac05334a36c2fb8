#include "core/decimal.h"

namespace norvax {

std::string DecimalText(int64_t value) { return std::to_string(value); }

}  // namespace norvax
