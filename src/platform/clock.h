// Port: time.
#pragma once

#include <cstdint>

namespace norvax {

// A local date and time of day.
struct LocalDateTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  bool operator==(const LocalDateTime&) const = default;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start, wrapping at 2^32 (the system's tick counter).
  virtual uint32_t Ticks() const = 0;
  virtual LocalDateTime Now() const = 0;
  // Lets time pass: the real clock sleeps, a test clock advances.
  virtual void Sleep(uint32_t milliseconds) = 0;
};

}  // namespace norvax
