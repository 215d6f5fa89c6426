// The show's own record: its status, start and finish, its set duration and the timers derived
// from them. Kept apart from the engine so that persistence can write it without the engine.
#pragma once

#include <cstdint>

#include "show/show_snapshot.h"

namespace quorvane::show {

inline constexpr double kDefaultShowDuration = 2700.0;  // 45 minutes

struct ShowRecord {
  show::ShowStatus status = show::ShowStatus::kPrepared;
  // Monotonic milliseconds at show start (a show resumed after a restart of the host started
  // before this run's clock did: then below its first reading, even negative).
  int64_t startMs = 0;
  int64_t finishMs = 0;      // monotonic milliseconds at show end
  int64_t startWallMs = 0;   // the calendar at show start, milliseconds since 1970 (UTC)
  int64_t finishWallMs = 0;  // the calendar at show end
  int32_t showCurrentIndex = -1;
  double duration = kDefaultShowDuration;  // seconds
  double elapsed = 0.0;
  double showRemaining = 0.0;
  double playbackRemaining = 0.0;
  bool hasDelay = false;
  double delay = 0.0;
};

}  // namespace quorvane::show
