// What one walk through the host's markers and regions yields, kept until the project's state
// change count moves or another project opens: a tick then costs the same for 20 songs as for
// 2,000. The count is only a hint (an edit without an undo point need not move it), so what moves
// the transport asks the host afresh (HostApi::FindRegionNow). Without the count function nothing
// is kept and every caller walks the host afresh.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/reaper_api.h"
#include "host/region_types.h"

namespace quorvane::host {

class HostApi;

// The regions and plain markers of the current project, in host order, with lookups by number.
class ProjectWalk {
 public:
  // Walks the host once.
  explicit ProjectWalk(const HostApi& host) : ProjectWalk(Walk(host)) {}
  ProjectWalk(const ProjectWalk&) = delete;
  ProjectWalk& operator=(const ProjectWalk&) = delete;

  // Different for every walk made in this process: a reader that kept something derived from a
  // walk knows it still holds while the serial is the same.
  uint64_t Serial() const { return serial_; }
  const std::vector<ProjectRegion>& Regions() const { return regions_; }
  const std::vector<RegionSpan>& Spans() const { return spans_; }
  // The first region in host order with this number; null when absent.
  const ProjectRegion* FindRegion(int regionId) const { return regionsByNumber_.Find(regionId); }
  const RegionSpan* FindSpan(int regionId) const { return spansByNumber_.Find(regionId); }
  // The plain markers with region start <= position < region end, in host order.
  std::vector<ProjectMarker> MarkersIn(const ProjectRegion& region) const;

 private:
  struct Entries {
    std::vector<ProjectRegion> regions;
    std::vector<RegionSpan> spans;
    std::vector<ProjectMarker> markers;
    bool markersByPosition = true;
  };
  static Entries Walk(const HostApi& host);
  explicit ProjectWalk(Entries entries);

  uint64_t serial_;
  std::vector<ProjectRegion> regions_;
  std::vector<RegionSpan> spans_;
  std::vector<ProjectMarker> markers_;  // plain markers, host order
  bool markersByPosition_ = true;       // host order is by position (a binary search finds them)
  RegionsByNumber<ProjectRegion> regionsByNumber_;
  RegionsByNumber<RegionSpan> spansByNumber_;
};

// Keeps the last walk while the current project and its change count stay the same.
class ProjectWalkCache {
 public:
  // The walk for the project as it is now, walking again when the project changed; null when the
  // host itself has no change count (our stand-in moves on every call: nothing could be kept).
  const ProjectWalk* Current(const HostApi& host);
  // The walk kept now, without asking the host whether it still holds; null when none is kept.
  const ProjectWalk* Kept() const { return walk_.get(); }
  void Forget() { walk_.reset(); }

 private:
  std::unique_ptr<ProjectWalk> walk_;
  ReaProject* project_ = nullptr;
  int count_ = 0;
};

}  // namespace quorvane::host
