#include "show/bar_grid.h"

#include <algorithm>
#include <cmath>

#include "host/host_api.h"

namespace quorvane::show {
namespace {

// The measure that holds `time` and where it starts; by measure, so that a time-signature change
// inside the map counts bars as the host does.
bool MeasureAt(const host::HostApi& host, double time, int* measure) {
  if (!host.TimeMap2_timeToBeats || !host.TimeMap2_beatsToTime || !std::isfinite(time)) {
    return false;
  }
  int measures = 0;
  int measureBeats = 0;
  const double beatInMeasure =
      host.TimeMap2_timeToBeats(nullptr, time, &measures, &measureBeats, nullptr, nullptr);
  if (measureBeats <= 0 || !std::isfinite(beatInMeasure)) return false;
  *measure = measures;
  return true;
}

bool MeasureStart(const host::HostApi& host, int measure, double* time) {
  const double start = host.TimeMap2_beatsToTime(nullptr, 0.0, &measure);
  if (!std::isfinite(start)) return false;
  *time = start;
  return true;
}

}  // namespace

bool BarStartAt(const host::HostApi& host, double time, double* barStart) {
  int measure = 0;
  if (!MeasureAt(host, time, &measure)) return false;
  double start = 0.0;
  if (!MeasureStart(host, measure, &start)) return false;
  // A time a hair before its bar line may be counted into the bar it ends.
  if (start > time) {
    if (!MeasureStart(host, measure - 1, &start)) return false;
  }
  *barStart = start;
  return true;
}

bool LastBarStart(const host::HostApi& host, double start, double end, double* lastBar) {
  double bar = 0.0;
  if (!BarStartAt(host, std::max(end - 0.001, start), &bar)) return false;
  *lastBar = std::max(start, bar);
  return true;
}

bool NextBarLine(const host::HostApi& host, double time, double* barLine) {
  int measure = 0;
  if (!MeasureAt(host, time, &measure)) return false;
  double next = 0.0;
  if (!MeasureStart(host, measure + 1, &next)) return false;
  if (next <= time && !MeasureStart(host, measure + 2, &next)) return false;
  if (!(next > time)) return false;
  *barLine = next;
  return true;
}

}  // namespace quorvane::show
