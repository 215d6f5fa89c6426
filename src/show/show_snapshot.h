// The show's status, the live play button's choice, and the per-tick copy of the show engine's
// values that the window and the state document read, so that one refresh shows one consistent
// moment.
#pragma once

#include <cstdint>

namespace quorvane::show {

enum class ShowStatus : int32_t { kPrepared = 0, kLive = 1, kFinished = 2 };

// "PREPARED", "LIVE" or "FINISHED"; any unknown value reads "PREPARED".
const char* ShowStatusName(ShowStatus status);

// What the live page's big play button does next.
enum class LiveTransport : uint32_t { kNext = 0, kSelected = 1, kReplay = 2 };

// "SELECTED" for 1, "REPLAY" for 2, "NEXT" for every other value.
const char* LiveTransportName(LiveTransport transport);

struct ShowSnapshot {
  ShowStatus status = ShowStatus::kPrepared;
  int64_t startMs = 0;
  int64_t finishMs = 0;
  int32_t currentIndex = -1;   // the setlist's current index, -1 when the setlist is empty
  int32_t selectedIndex = -1;  // nothing sets it but -1; kept for the state document
  bool playing = false;
  double position = 0.0;  // host play position while the player plays, else 0
  double regionStart = 0.0;
  double regionEnd = 0.0;
  double duration = 2700.0;
  double elapsed = 0.0;
  double showRemaining = 0.0;
  double playbackRemaining = 0.0;
  bool hasDelay = false;
  double delay = 0.0;
  // The show went on after a restart of the host: said for a while, until the next song starts.
  bool resumed = false;
};

}  // namespace quorvane::show
