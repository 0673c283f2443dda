// Time as the waits and the log see it, through a seam: the limits are tested without waiting for them.
#pragma once
#include <cstdint>

namespace tarnwick {

// A moment of local time and its distance from UTC, as a log line writes it.
struct LocalTime {
  int Year = 1970;
  int Month = 1;
  int Day = 1;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
  int UtcOffsetMinutes = 0;  // local time minus UTC: +120 in Central European Summer Time
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds from an arbitrary start; never goes back.
  virtual std::uint64_t NowMs() = 0;
  virtual void Sleep(std::uint32_t ms) = 0;
  virtual LocalTime Local() = 0;
};

}  // namespace tarnwick
