// Adapter: the real clock for a Qt program. Time let pass on the main thread keeps the
// windows responsive (pending events are handled meanwhile); other threads sleep.
#pragma once

#include "platform/posix/system_clock.h"

namespace norvax {

class QtClock : public SystemClock {
 public:
  void Sleep(uint32_t milliseconds) override;
};

}  // namespace norvax
