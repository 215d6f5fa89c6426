#include <windows.h>

#include <chrono>

#include "platform/clock.h"

namespace quorvane::platform {
namespace {

uint64_t TickMs(void*) {
  return GetTickCount64();
}

int64_t SteadyNs(void*) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void LocalTimeOfDayNow(void*, int* hour, int* minute, int* second) {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  *hour = st.wHour;
  *minute = st.wMinute;
  *second = st.wSecond;
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
