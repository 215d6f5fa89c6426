#include "host/project_walk.h"

#include <algorithm>
#include <atomic>

#include "host/host_api.h"
#include "host/marker_walk.h"

namespace quorvane::host {
namespace {

uint64_t NextWalkSerial() {
  // Atomic because two extensions (or tests) may walk in one process.
  static std::atomic<uint64_t> last{0};
  return ++last;
}

}  // namespace

ProjectWalk::Entries ProjectWalk::Walk(const HostApi& host) {
  Entries entries;
  WalkEntries(host, [&entries](const HostEntry& entry) {
    const char* name = entry.name ? entry.name : "";
    if (entry.isRegion) {
      entries.regions.push_back(ProjectRegion{entry.number, name, entry.pos, entry.end});
      entries.spans.push_back(RegionSpan{entry.number, entry.pos, entry.end});
    } else {
      if (!entries.markers.empty() && entry.pos < entries.markers.back().position)
        entries.markersByPosition = false;
      entries.markers.push_back(ProjectMarker{name, entry.pos, entry.number, entry.colour});
    }
  });
  return entries;
}

ProjectWalk::ProjectWalk(Entries entries)
    : serial_(NextWalkSerial()),
      regions_(std::move(entries.regions)),
      spans_(std::move(entries.spans)),
      markers_(std::move(entries.markers)),
      markersByPosition_(entries.markersByPosition),
      regionsByNumber_(regions_),
      spansByNumber_(spans_) {}

std::vector<ProjectMarker> ProjectWalk::MarkersIn(const ProjectRegion& region) const {
  std::vector<ProjectMarker> found;
  const auto inside = [&region](const ProjectMarker& marker) {
    return marker.position >= region.start && marker.position < region.end;
  };
  auto from = markers_.begin();
  if (markersByPosition_) {
    from = std::lower_bound(
        markers_.begin(), markers_.end(), region.start,
        [](const ProjectMarker& marker, double start) { return marker.position < start; });
  }
  for (auto it = from; it != markers_.end(); ++it) {
    if (markersByPosition_ && it->position >= region.end) break;
    if (inside(*it)) found.push_back(*it);
  }
  return found;
}

const ProjectWalk* ProjectWalkCache::Current(const HostApi& host) {
  if (!host.Offers(HostFunction::GetProjectStateChangeCount)) return nullptr;
  // Counts of two projects may coincide: a switch of tab is a change too.
  ReaProject* project = host.EnumProjects ? host.EnumProjects(-1, nullptr, 0) : nullptr;
  const int count = host.GetProjectStateChangeCount(nullptr);
  if (!walk_ || project != project_ || count != count_) {
    walk_.reset();  // a walk that throws leaves nothing stale behind
    walk_ = std::make_unique<ProjectWalk>(host);
    project_ = project;
    count_ = count;
  }
  return walk_.get();
}

}  // namespace quorvane::host
