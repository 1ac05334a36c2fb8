// A clock that moves only when told.
#pragma once

#include <atomic>

#include "platform/clock.h"

namespace norvax::fakes {

class FakeClock : public Clock {
 public:
  uint32_t Ticks() const override { return ticks.load(); }
  LocalDateTime Now() const override { return now; }
  void Sleep(uint32_t milliseconds) override {
    ticks += milliseconds;
    slept += milliseconds;
  }

  // Atomic: a worker thread lets time pass while the test's thread reads it.
  std::atomic<uint32_t> ticks{0};
  std::atomic<uint64_t> slept{0};
  LocalDateTime now{1999, 6, 10, 12, 0, 0, 0};
};

}  // namespace norvax::fakes
