#include "platform/clock.h"

namespace quorvane::platform {

Clock::Clock() : source_(SystemClockSource()) {}

Clock::Clock(const ClockSource* source) : source_(source ? *source : SystemClockSource()) {}

uint64_t Clock::MillisecondsSinceStart() const {
  return source_.millisecondsSinceStart(source_.context);
}

int64_t Clock::MonotonicNanoseconds() const {
  return source_.monotonicNanoseconds(source_.context);
}

LocalTimeOfDay Clock::LocalTime() const {
  LocalTimeOfDay t;
  source_.localTimeOfDay(source_.context, &t.hour, &t.minute, &t.second);
  return t;
}

int64_t Clock::WallClockMilliseconds() const {
  const ClockSource& source = source_.wallClockMilliseconds ? source_ : SystemClockSource();
  return source.wallClockMilliseconds(source.context);
}

}  // namespace quorvane::platform
