// The host's tempo map as the simulator computes it: tempo and time-signature changes, and the
// conversions between time (seconds), beats and measures. See TempoPoint in sim_host.h for the
// units: bpm in quarter notes per minute, beats of the time signature's denominator note.
#pragma once

#include <vector>

#include "sim/sim_host.h"

namespace quorvane::sim {

class TempoMap {
 public:
  // Normalises the points: sorted by time (a later point at the same time wins), invalid points
  // (bpm not finite or <= 0, numerator or denominator < 1) dropped, the first point moved to 0.
  explicit TempoMap(const std::vector<TempoPoint>& points);

  // The point in force at `time` (the first one before 0).
  const TempoPoint& PointAt(double time) const;
  // Beats of the time signature per minute at `time`: bpm * denominator / 4.
  double DividedBpmAt(double time) const;
  SimBeatPosition TimeToBeats(double time) const;
  // `fullBeats` counted from project start.
  double BeatsToTime(double fullBeats) const;
  // Full beats at the start of `measure`.
  double MeasureToBeats(long long measure) const;
  double MeasureToTime(long long measure, double beatInMeasure) const;
  // The first bar line strictly after `time`; beyond the measures the map counts, one before it,
  // so that a smooth seek from there lands at once.
  double NextBarLineAfter(double time) const;

 private:
  struct Segment {
    TempoPoint point;
    double secondsPerBeat = 0.5;
    double startBeats = 0.0;      // full beats at point.time
    double originBeats = 0.0;     // full beats at a bar line of this segment's grid
    long long originMeasure = 0;  // the measure index starting at originBeats
  };
  size_t SegmentAtTime(double time) const;
  size_t SegmentAtBeats(double beats) const;
  // Measure index and beats since its start, without snapping to bar lines.
  void RawMeasure(const Segment& segment, double fullBeats, long long* measure,
                  double* beatInMeasure) const;

  std::vector<Segment> segments_;
};

}  // namespace quorvane::sim
