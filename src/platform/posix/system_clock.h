// Adapter: the real clock.
#pragma once

#include "platform/clock.h"

namespace norvax {

class SystemClock : public Clock {
 public:
  uint32_t Ticks() const override;
  LocalDateTime Now() const override;
  void Sleep(uint32_t milliseconds) override;
};

}  // namespace norvax
