// The beat timeline the two rigs share, as the follower reads it: this machine's clock and the
// session's beat on it. In the product it is Link's (LinkTimeline); the tests give a timeline of
// their own on the simulator's virtual clock, so whole shows follow each other in milliseconds.
#pragma once

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

}  // namespace quorvane::rig
