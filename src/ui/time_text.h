// The clock texts the window shows and the state document sends, formatted in this one place so
// that every time reads the same and stays in range however strange the project is: a region
// of 1e19 s, or totals that overflow to infinity, still give a sensible text.
#pragma once

#include <cstdint>
#include <string>

namespace quorvane::ui {

// The longest duration shown; anything longer reads as this ("999999:59:59").
inline constexpr int64_t kMaxShownSeconds = 999999LL * 3600 + 59 * 60 + 59;

// A duration in whole seconds for display: truncated, negative and not-a-number as 0, at most
// kMaxShownSeconds.
int64_t ShownWholeSeconds(double seconds);

// "hh:mm:ss" with the hours not limited to two digits (100 hours read 100:00:00).
std::string HoursMinutesSeconds(double seconds);
// "mm:ss" with the minutes not limited to 59 (75 minutes 3 seconds read 75:03).
std::string MinutesSeconds(double seconds);
// The duration in minutes, rounded half up (45 min 30 s is 46), within the same range.
int64_t RoundedMinutes(double seconds);

}  // namespace quorvane::ui
