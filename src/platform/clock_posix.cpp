#include <chrono>
#include <ctime>

#include "platform/clock.h"

namespace quorvane::platform {
namespace {

uint64_t TickMs(void*) {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec / 1000000);
}

int64_t SteadyNs(void*) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void LocalTimeOfDayNow(void*, int* hour, int* minute, int* second) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  *hour = local.tm_hour;
  *minute = local.tm_min;
  *second = local.tm_sec;
}

int64_t WallMs(void*) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

const ClockSource kSystem{nullptr, &TickMs, &SteadyNs, &LocalTimeOfDayNow, &WallMs};

}  // namespace

const ClockSource& SystemClockSource() {
  return kSystem;
}

}  // namespace quorvane::platform
