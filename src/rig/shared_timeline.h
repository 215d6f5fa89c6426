// The beat timeline the two rigs share, as the follower reads it: this machine's clock and the
// session's beat on it. In the product it is Link's (LinkTimeline); the tests give a timeline of
// their own on the simulator's virtual clock, so whole shows follow each other in milliseconds.
#pragma once

#include <cstdint>

#include "link/link_session.h"

namespace quorvane::rig {

class SharedTimeline {
 public:
  virtual ~SharedTimeline() = default;
  // Now, on this machine's monotonic clock.
  virtual link::Micros Now() const = 0;
  // The session's beat at `time` (quantum kTimelineQuantum).
  virtual double BeatAt(link::Micros time) const = 0;
  // When the session reaches `beat`, on this machine's clock.
  virtual link::Micros TimeAtBeat(double beat) const = 0;
};

// The rigs' Link session as their shared timeline.
class LinkTimeline final : public SharedTimeline {
 public:
  explicit LinkTimeline(const link::LinkSession& session) : session_(session) {}
  link::Micros Now() const override;
  double BeatAt(link::Micros time) const override;
  link::Micros TimeAtBeat(double beat) const override;

 private:
  const link::LinkSession& session_;
};

// The session's beats against this machine's clock at one moment: a line.
struct BeatMap {
  int64_t atUs = 0;
  double beat = 0.0;
  double beatsPerUs = 0.0;  // 0: none yet

  bool Valid() const { return beatsPerUs > 0.0; }
  double BeatAt(int64_t us) const { return beat + static_cast<double>(us - atUs) * beatsPerUs; }
  int64_t TimeAt(double at) const;
};

// Places the beats of the main's samples on this machine's clock. A leader of the room's beat
// (the main on a seek or a new song) moves the session's beats; a sample made a moment before
// that and arriving after it would land where it never was. The session's beats are watched every
// tick, and a sample arriving around such a move is placed with whichever of the two maps gives
// the age samples usually have on arrival.
class BeatPlacer {
 public:
  explicit BeatPlacer(const SharedTimeline& timeline) : timeline_(timeline) {}
  // Per tick: notes the session's beats now, and when they moved.
  void Watch();
  // Where `beat` falls on this machine's clock, for a sample arriving at `arrivalUs`.
  int64_t Place(double beat, int64_t arrivalUs);

 private:
  BeatMap MapNow(int64_t nowUs) const;
  bool Moved(const BeatMap& from, const BeatMap& to) const;

  const SharedTimeline& timeline_;
  BeatMap current_;   // as the last Watch saw the session
  BeatMap previous_;  // before its last move
  int64_t movedAtUs_ = 0;
  bool everMoved_ = false;
  double typicalAgeUs_ = -1.0;  // a sample's usual age on arrival; < 0: not known yet
};

}  // namespace quorvane::rig
