#include "rig/shared_timeline.h"

#include <cmath>
#include <cstdlib>

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

namespace {

// A sample around a move of the beats is placed with the map before it for this long.
constexpr int64_t kMoveWindowUs = 1'000'000;
// Beats that moved by less than this (a twentieth of a millisecond at 120 bpm) did not move.
constexpr double kBeatTolerance = 1e-4;
// How quickly the usual age follows the samples.
constexpr double kAgeSmoothing = 0.1;

}  // namespace

int64_t BeatMap::TimeAt(double at) const {
  return atUs + std::llround((at - beat) / beatsPerUs);
}

BeatMap BeatPlacer::MapNow(int64_t nowUs) const {
  const link::Micros now(nowUs);
  const double beat = timeline_.BeatAt(now);
  const double later = timeline_.BeatAt(now + link::Micros(1'000'000));
  return BeatMap{nowUs, beat, (later - beat) / 1e6};
}

bool BeatPlacer::Moved(const BeatMap& from, const BeatMap& to) const {
  if (!from.Valid() || !to.Valid()) return false;
  return std::fabs(from.BeatAt(to.atUs) - to.beat) > kBeatTolerance ||
         std::fabs(from.beatsPerUs - to.beatsPerUs) > 1e-6 * to.beatsPerUs;
}

void BeatPlacer::Watch() {
  const BeatMap now = MapNow(timeline_.Now().count());
  if (Moved(current_, now)) {
    previous_ = current_;
    movedAtUs_ = now.atUs;
    everMoved_ = true;
  }
  current_ = now;
}

int64_t BeatPlacer::Place(double beat, int64_t arrivalUs) {
  const int64_t placed = timeline_.TimeAtBeat(beat).count();
  // The other map this sample may have been made with: the one the last tick saw when the beats
  // moved since, or the one before a recent move.
  const BeatMap live = MapNow(arrivalUs);
  const BeatMap* other = nullptr;
  if (Moved(current_, live)) {
    other = &current_;
  } else if (everMoved_ && arrivalUs - movedAtUs_ < kMoveWindowUs && previous_.Valid()) {
    other = &previous_;
  }
  const double age = static_cast<double>(arrivalUs - placed);
  if (!other) {
    typicalAgeUs_ =
        typicalAgeUs_ < 0.0 ? age : typicalAgeUs_ + kAgeSmoothing * (age - typicalAgeUs_);
    return placed;
  }
  if (typicalAgeUs_ < 0.0) return placed;
  const int64_t before = other->TimeAt(beat);
  const double ageBefore = static_cast<double>(arrivalUs - before);
  return std::fabs(ageBefore - typicalAgeUs_) < std::fabs(age - typicalAgeUs_) ? before : placed;
}

}  // namespace quorvane::rig
