// A clock that moves only when told: time let pass on the test's own thread (the program's
// main thread) advances it; another thread's pauses are only counted, so that a worker
// looping in the background does not make the test's times depend on scheduling.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "platform/clock.h"

namespace norvax::fakes {

class FakeClock : public Clock {
 public:
  uint32_t Ticks() const override { return ticks.load(); }
  LocalDateTime Now() const override { return now; }
  void Sleep(uint32_t milliseconds) override {
    if (std::this_thread::get_id() == mainThread_) {
      ticks += milliseconds;
      slept += milliseconds;
      if (whileSleeping) whileSleeping();
    } else {
      sleptElsewhere += milliseconds;
    }
  }

  std::atomic<uint32_t> ticks{0};
  std::atomic<uint64_t> slept{0};           // on the main thread
  std::atomic<uint64_t> sleptElsewhere{0};  // on other threads
  LocalDateTime now{1999, 6, 10, 12, 0, 0, 0};
  // Runs when time is let pass on the main thread, as pending events run in the program.
  std::function<void()> whileSleeping;

 private:
  std::thread::id mainThread_ = std::this_thread::get_id();
};

}  // namespace norvax::fakes
