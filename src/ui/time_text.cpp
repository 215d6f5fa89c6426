#include "ui/time_text.h"

#include <cstdio>

namespace quorvane::ui {

int64_t ShownWholeSeconds(double seconds) {
  // Compared as doubles first: converting an out-of-range double to an integer is undefined.
  if (!(seconds > 0.0)) return 0;
  if (seconds >= static_cast<double>(kMaxShownSeconds)) return kMaxShownSeconds;
  return static_cast<int64_t>(seconds);
}

std::string HoursMinutesSeconds(double seconds) {
  const long long total = ShownWholeSeconds(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                total % 60);
  return text;
}

std::string MinutesSeconds(double seconds) {
  const long long total = ShownWholeSeconds(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld", total / 60, total % 60);
  return text;
}

int64_t RoundedMinutes(double seconds) {
  return ShownWholeSeconds(seconds + 30.0) / 60;
}

}  // namespace quorvane::ui
