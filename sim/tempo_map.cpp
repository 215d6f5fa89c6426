#include "sim/tempo_map.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorvane::sim {
namespace {

// Positions closer than this (in beats) to a bar line count as on it: a tenth of a microsecond
// at any sane tempo, far below what the host or the extension could tell apart.
constexpr double kBeatEpsilon = 1e-7;

// The measure arithmetic stays within this many measures (exact in a double and far from the ends
// of a long long), so a song placed at any finite time, however far, never overflows it; the host
// reports measures as an int, so what it answers saturates there.
constexpr double kMeasureLimit = 1e15;

int HostMeasure(long long measure) {
  return static_cast<int>(std::clamp<long long>(measure, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
}

bool Valid(const TempoPoint& point) {
  return std::isfinite(point.time) && std::isfinite(point.bpm) && point.bpm > 0.0 &&
         point.numerator >= 1 && point.denominator >= 1;
}

double SecondsPerBeat(const TempoPoint& point) {
  return 240.0 / (point.bpm * static_cast<double>(point.denominator));
}

}  // namespace

TempoMap::TempoMap(const std::vector<TempoPoint>& points) {
  std::vector<TempoPoint> sorted;
  for (const TempoPoint& point : points) {
    if (Valid(point)) sorted.push_back(point);
  }
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const TempoPoint& a, const TempoPoint& b) { return a.time < b.time; });
  std::vector<TempoPoint> unique;
  for (TempoPoint point : sorted) {
    point.time = std::max(point.time, 0.0);
    if (!unique.empty() && unique.back().time == point.time) {
      unique.back() = point;  // a later point at the same time wins
    } else {
      unique.push_back(point);
    }
  }
  if (unique.empty()) unique.push_back(TempoPoint{});
  unique.front().time = 0.0;

  for (size_t i = 0; i < unique.size(); ++i) {
    Segment segment;
    segment.point = unique[i];
    segment.secondsPerBeat = SecondsPerBeat(unique[i]);
    if (i > 0) {
      const Segment& previous = segments_.back();
      segment.startBeats = previous.startBeats +
                           (segment.point.time - previous.point.time) / previous.secondsPerBeat;
      const bool sameSignature = previous.point.numerator == segment.point.numerator &&
                                 previous.point.denominator == segment.point.denominator;
      if (sameSignature) {
        // A tempo change only: the bar grid runs on in the same beats.
        segment.originBeats = previous.originBeats;
        segment.originMeasure = previous.originMeasure;
      } else {
        // A new time signature starts a new measure here; a bar cut short before it still counts.
        long long measure = 0;
        double beat = 0.0;
        RawMeasure(previous, segment.startBeats, &measure, &beat);
        const bool onBarLine =
            beat < kBeatEpsilon || beat > previous.point.numerator - kBeatEpsilon;
        if (beat > previous.point.numerator - kBeatEpsilon) ++measure;
        segment.originBeats = segment.startBeats;
        segment.originMeasure = onBarLine ? measure : measure + 1;
      }
    }
    segments_.push_back(segment);
  }
}

size_t TempoMap::SegmentAtTime(double time) const {
  size_t index = 0;
  for (size_t i = 1; i < segments_.size(); ++i) {
    if (segments_[i].point.time <= time) index = i;
  }
  return index;
}

size_t TempoMap::SegmentAtBeats(double beats) const {
  size_t index = 0;
  for (size_t i = 1; i < segments_.size(); ++i) {
    if (segments_[i].startBeats <= beats) index = i;
  }
  return index;
}

void TempoMap::RawMeasure(const Segment& segment, double fullBeats, long long* measure,
                          double* beatInMeasure) const {
  const double numerator = segment.point.numerator;
  const double relative = fullBeats - segment.originBeats;
  double measures = std::floor(relative / numerator);
  if (!(measures > -kMeasureLimit)) measures = -kMeasureLimit;  // also when not a number
  if (measures > kMeasureLimit) measures = kMeasureLimit;
  *measure = segment.originMeasure + static_cast<long long>(measures);
  *beatInMeasure = relative - measures * numerator;
}

const TempoPoint& TempoMap::PointAt(double time) const {
  return segments_[SegmentAtTime(time)].point;
}

double TempoMap::DividedBpmAt(double time) const {
  const TempoPoint& point = PointAt(time);
  return point.bpm * point.denominator / 4.0;
}

SimBeatPosition TempoMap::TimeToBeats(double time) const {
  SimBeatPosition result;
  if (!std::isfinite(time)) time = 0.0;
  const Segment& segment = segments_[SegmentAtTime(time)];
  result.beatsInMeasure = segment.point.numerator;
  result.denominator = segment.point.denominator;
  result.fullBeats = segment.startBeats + (time - segment.point.time) / segment.secondsPerBeat;
  long long measure = 0;
  double beat = 0.0;
  RawMeasure(segment, result.fullBeats, &measure, &beat);
  if (beat > segment.point.numerator - kBeatEpsilon) {
    ++measure;
    beat = 0.0;
  } else if (beat < kBeatEpsilon) {
    beat = 0.0;
  }
  result.measure = HostMeasure(measure);
  result.beatInMeasure = beat;
  return result;
}

double TempoMap::BeatsToTime(double fullBeats) const {
  if (!std::isfinite(fullBeats)) return 0.0;
  const Segment& segment = segments_[SegmentAtBeats(fullBeats)];
  return segment.point.time + (fullBeats - segment.startBeats) * segment.secondsPerBeat;
}

double TempoMap::MeasureToBeats(long long measure) const {
  for (size_t i = segments_.size(); i-- > 0;) {
    const Segment& segment = segments_[i];
    const double beats =
        segment.originBeats +
        static_cast<double>(measure - segment.originMeasure) * segment.point.numerator;
    if (i == 0 || beats >= segment.startBeats - kBeatEpsilon) return beats;
  }
  return 0.0;
}

double TempoMap::MeasureToTime(long long measure, double beatInMeasure) const {
  return BeatsToTime(MeasureToBeats(measure) + beatInMeasure);
}

double TempoMap::NextBarLineAfter(double time) const {
  const Segment& segment = segments_[SegmentAtTime(time)];
  const double fullBeats =
      segment.startBeats + (time - segment.point.time) / segment.secondsPerBeat;
  long long measure = 0;
  double beat = 0.0;
  RawMeasure(segment, fullBeats, &measure, &beat);
  // A signature change may cut the bar short: the next bar line is then the change itself.
  for (long long next = measure + 1; next <= measure + 3; ++next) {
    const double candidate = MeasureToTime(next, 0.0);
    if (candidate > time) return candidate;
  }
  return MeasureToTime(measure + 4, 0.0);
}

}  // namespace quorvane::sim
