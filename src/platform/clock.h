// The four clocks the engine reads. The real ones come from the operating system; the simulator
// and the tests hand in a virtual source so that whole shows run on virtual time.
#pragma once

#include <cstdint>

namespace quorvane::platform {

struct LocalTimeOfDay {
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;  // 0..59
  int SecondsSinceMidnight() const { return (hour * 60 + minute) * 60 + second; }
};

// A clock source as plain C callbacks, so that it can cross the library boundary from the
// simulator into the loaded extension (see host_seams.h).
struct ClockSource {
  void* context;
  uint64_t (*millisecondsSinceStart)(void* context);  // the system tick counter
  int64_t (*monotonicNanoseconds)(void* context);     // the steady clock
  void (*localTimeOfDay)(void* context, int* hour, int* minute, int* second);
  int64_t (*wallClockMilliseconds)(void* context);  // milliseconds since 1970 (UTC)
};

class Clock {
 public:
  // The operating system's clocks.
  Clock();
  // A replacement source; a null source means the operating system's clocks.
  explicit Clock(const ClockSource* source);

  uint64_t MillisecondsSinceStart() const;
  int64_t MonotonicNanoseconds() const;
  // Monotonic clock divided down to whole milliseconds.
  int64_t MonotonicMilliseconds() const { return MonotonicNanoseconds() / 1000000; }
  LocalTimeOfDay LocalTime() const;
  // The calendar clock: the one reading that means the same to the next run of the host (a show
  // resumed after a restart counts from it). A source without one reads the system's.
  int64_t WallClockMilliseconds() const;

 private:
  ClockSource source_;
};

// The operating system's clocks (clock_posix.cpp / clock_win32.cpp).
const ClockSource& SystemClockSource();

}  // namespace quorvane::platform
