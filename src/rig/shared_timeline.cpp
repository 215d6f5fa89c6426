#include "rig/shared_timeline.h"

#include "rig/rig_wire.h"

namespace quorvane::rig {

link::Micros LinkTimeline::Now() const {
  return session_.Now();
}

double LinkTimeline::BeatAt(link::Micros time) const {
  return session_.BeatAt(time, kTimelineQuantum).beat;
}

link::Micros LinkTimeline::TimeAtBeat(double beat) const {
  return session_.TimeAtBeat(beat, kTimelineQuantum);
}

}  // namespace quorvane::rig
