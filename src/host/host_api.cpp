#include "host/host_api.h"

#include "host/host_fallbacks.h"
#include "host/marker_walk.h"

#include <algorithm>
#include <cmath>

namespace quorvane::host {
bool HostApi::Bind(void* (*getFunc)(const char*)) {
  missingRequired_.clear();
  offered_.reset();
  if (!getFunc) return false;
  size_t index = 0;
  // One lookup per function, in list order; the macros differ only in what a miss means.
#define QUORVANE_LOOK_UP_(name)                          \
  name = reinterpret_cast<hostfn::name>(getFunc(#name)); \
  offered_[index++] = name != nullptr;
#define QUORVANE_BIND_REQUIRED_(ret, name, params) \
  QUORVANE_LOOK_UP_(name)                          \
  if (!name) missingRequired_.push_back(#name);
#define QUORVANE_BIND_OPTIONAL_(ret, name, params) QUORVANE_LOOK_UP_(name)
#define QUORVANE_BIND_FALLBACK_(ret, name, params) \
  QUORVANE_LOOK_UP_(name)                          \
  if (!name) name = &fallback::name;
  QUORVANE_HOST_FUNCTIONS(QUORVANE_BIND_REQUIRED_, QUORVANE_BIND_OPTIONAL_, QUORVANE_BIND_FALLBACK_)
#undef QUORVANE_BIND_FALLBACK_
#undef QUORVANE_BIND_OPTIONAL_
#undef QUORVANE_BIND_REQUIRED_
#undef QUORVANE_LOOK_UP_
  walks_.Forget();  // a walk of the host bound before
  return missingRequired_.empty();
}

bool HostApi::Bind(void* (*getFunc)(const char*), HWND recordMainWindow) {
  recordMainWindow_ = recordMainWindow;
  return Bind(getFunc);
}

HWND HostApi::MainWindow() const {
  HWND window = GetMainHwnd ? GetMainHwnd() : nullptr;
  return window ? window : recordMainWindow_;
}

namespace {

// A plain marker with region start <= position < region end.
bool InRegion(const HostEntry& entry, const ProjectRegion& region) {
  return !(entry.isRegion || entry.pos < region.start || entry.pos >= region.end);
}

ProjectMarker MarkerOf(const HostEntry& entry) {
  return ProjectMarker{entry.name ? entry.name : "", entry.pos, entry.number, entry.colour};
}

}  // namespace

std::vector<ProjectRegion> HostApi::EnumerateRegions() const {
  if (const ProjectWalk* walk = CurrentWalk()) return walk->Regions();
  std::vector<ProjectRegion> regions;
  WalkEntries(*this, [&regions](const HostEntry& entry) {
    if (entry.isRegion) {
      regions.push_back(
          ProjectRegion{entry.number, entry.name ? entry.name : "", entry.pos, entry.end});
    }
  });
  return regions;
}

std::vector<ProjectMarker> HostApi::EnumerateMarkersInRegion(const ProjectRegion& region) const {
  if (const ProjectWalk* walk = CurrentWalk()) return walk->MarkersIn(region);
  std::vector<ProjectMarker> found;
  WalkEntries(*this, [&found, &region](const HostEntry& entry) {
    if (InRegion(entry, region)) found.push_back(MarkerOf(entry));
  });
  return found;
}

std::vector<RegionSpan> HostApi::EnumerateRegionSpans() const {
  if (const ProjectWalk* walk = CurrentWalk()) return walk->Spans();
  std::vector<RegionSpan> regions;
  WalkEntries(*this, [&regions](const HostEntry& entry) {
    if (entry.isRegion) regions.push_back(RegionSpan{entry.number, entry.pos, entry.end});
  });
  return regions;
}

std::vector<ProjectRegion> HostApi::EnumerateRegionsWithMarkers(
    const std::vector<int>& numbers, std::vector<std::vector<ProjectMarker>>* markers) const {
  if (const ProjectWalk* walk = CurrentWalk()) {
    if (markers) {
      markers->assign(numbers.size(), {});
      for (size_t n = 0; n < numbers.size(); ++n) {
        if (const ProjectRegion* region = walk->FindRegion(numbers[n]))
          (*markers)[n] = walk->MarkersIn(*region);
      }
    }
    return walk->Regions();
  }
  std::vector<ProjectRegion> regions;
  std::vector<HostEntry> plainMarkers;  // the names stay the host's until the copies below
  WalkEntries(*this, [&regions, &plainMarkers](const HostEntry& entry) {
    if (entry.isRegion) {
      regions.push_back(
          ProjectRegion{entry.number, entry.name ? entry.name : "", entry.pos, entry.end});
    } else {
      plainMarkers.push_back(entry);
    }
  });
  if (!markers) return regions;
  markers->assign(numbers.size(), {});
  for (size_t n = 0; n < numbers.size(); ++n) {
    const int number = numbers[n];
    const auto region =
        std::find_if(regions.begin(), regions.end(),
                     [number](const ProjectRegion& each) { return each.regionId == number; });
    if (region == regions.end()) continue;
    for (const HostEntry& entry : plainMarkers) {
      if (InRegion(entry, *region)) (*markers)[n].push_back(MarkerOf(entry));
    }
  }
  return regions;
}

bool HostApi::FindRegion(int regionId, ProjectRegion* out) const {
  if (const ProjectWalk* walk = CurrentWalk()) {
    const ProjectRegion* region = walk->FindRegion(regionId);
    if (region && out) *out = *region;
    return region != nullptr;
  }
  for (ProjectRegion& region : EnumerateRegions()) {
    if (region.regionId == regionId) {
      if (out) *out = std::move(region);
      return true;
    }
  }
  return false;
}

namespace {

bool SameRegion(const ProjectRegion& a, const ProjectRegion& b) {
  return a.regionId == b.regionId && a.start == b.start && a.end == b.end && a.name == b.name;
}

bool SameMarkers(const std::vector<ProjectMarker>& a, const std::vector<ProjectMarker>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const ProjectMarker& x, const ProjectMarker& y) {
                      return x.position == y.position && x.number == y.number &&
                             x.colour == y.colour && x.name == y.name;
                    });
}

}  // namespace

bool HostApi::FindRegionNow(int regionId, ProjectRegion* out,
                            std::vector<ProjectMarker>* markers) const {
  bool found = false;
  ProjectRegion region;
  std::vector<HostEntry> plainMarkers;  // the names stay the host's until the copies below
  WalkEntries(*this, [&](const HostEntry& entry) {
    if (!entry.isRegion) {
      if (markers) plainMarkers.push_back(entry);
    } else if (!found && entry.number == regionId) {
      region = ProjectRegion{entry.number, entry.name ? entry.name : "", entry.pos, entry.end};
      found = true;
    }
  });
  std::vector<ProjectMarker> inside;
  if (found && markers) {
    for (const HostEntry& entry : plainMarkers) {
      if (InRegion(entry, region)) inside.push_back(MarkerOf(entry));
    }
  }

  // A kept walk that disagrees missed an edit the change count did not announce.
  if (const ProjectWalk* kept = walks_.Kept()) {
    const ProjectRegion* keptRegion = kept->FindRegion(regionId);
    const bool same = found ? keptRegion && SameRegion(*keptRegion, region) &&
                                  (!markers || SameMarkers(kept->MarkersIn(*keptRegion), inside))
                            : keptRegion == nullptr;
    if (!same) walks_.Forget();
  }

  if (!found) return false;
  if (markers) *markers = std::move(inside);
  if (out) *out = std::move(region);
  return true;
}

TimeRange HostApi::GetTimeSelection() const {
  TimeRange range;
  GetSet_LoopTimeRange(false, false, &range.start, &range.end, false);
  return range;
}

void HostApi::SetTimeSelection(const TimeRange& range) const {
  TimeRange set = range;  // the host's signature takes pointers it may write through
  GetSet_LoopTimeRange(true, false, &set.start, &set.end, false);
}

bool HostApi::IsRepeatOn() const {
  return GetToggleCommandState(kRepeatToggleCommand) == 1;
}

bool HostApi::SetRepeat(bool on) const {
  if (IsRepeatOn() == on) return true;
  Main_OnCommand(kRepeatToggleCommand, 0);
  return IsRepeatOn() == on;
}

double HostApi::GetPlayRate() const {
  if (!Master_GetPlayRate) return 1.0;
  const double rate = Master_GetPlayRate(nullptr);
  return std::isfinite(rate) && rate > 0.0 ? rate : 1.0;
}

int* HostApi::ConfigInt(const char* name) const {
  if (!get_config_var) return nullptr;
  int size = 0;
  void* value = get_config_var(name, &size);
  if (!value || size < 4) return nullptr;
  return static_cast<int*>(value);
}

bool HostApi::SetPlayRate(double rate) const {
  if (!CSurf_OnPlayRateChange || !std::isfinite(rate) || rate <= 0.0) return false;
  CSurf_OnPlayRateChange(rate);
  return true;
}

bool HostApi::GetTimeSignatureAndBpmAt(double time, TimeSignatureAndBpm* out) const {
  TimeSignatureAndBpm result;
  if (out) *out = result;
  if (!TimeMap_GetTimeSigAtTime) return false;
  TimeMap_GetTimeSigAtTime(nullptr, time, &result.numerator, &result.denominator, &result.bpm);
  if (out) *out = result;
  return result.numerator >= 1 && result.denominator >= 1 && std::isfinite(result.bpm) &&
         result.bpm > 0.0;
}

double HostApi::GetPlayPositionSafe() const {
  return GetPlayPosition();
}

bool HostApi::IsHostPlaying() const {
  return (GetPlayState() & 1) != 0;
}

bool HostApi::SeekTo(double time) const {
  SetEditCurPos(time, true, false);
  return true;
}

}  // namespace quorvane::host
