// The regions and markers of the current project as the extension reads them from the host.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace quorvane::host {

// One region of the current project.
struct ProjectRegion {
  int regionId = 0;
  std::string name;
  double start = 0.0;
  double end = 0.0;
};

// A region's number and bounds, for a caller that needs no name.
struct RegionSpan {
  int regionId = 0;
  double start = 0.0;
  double end = 0.0;
};

// Looks regions of one enumeration up by number in logarithmic time, answering as a walk from the
// front would: the first region with that number in host order. The list must outlive the index.
template <class Region>
class RegionsByNumber {
 public:
  explicit RegionsByNumber(const std::vector<Region>& regions) : regions_(regions) {
    byNumber_.reserve(regions.size());
    for (size_t i = 0; i < regions.size(); ++i)
      byNumber_.emplace_back(regions[i].regionId, i);
    std::sort(byNumber_.begin(), byNumber_.end());
  }
  const Region* Find(int regionId) const {
    const auto found = std::lower_bound(
        byNumber_.begin(), byNumber_.end(), regionId,
        [](const std::pair<int, size_t>& entry, int id) { return entry.first < id; });
    if (found == byNumber_.end() || found->first != regionId) return nullptr;
    return &regions_[found->second];
  }

 private:
  const std::vector<Region>& regions_;
  std::vector<std::pair<int, size_t>> byNumber_;  // (number, position in host order)
};

// One plain marker of the current project.
struct ProjectMarker {
  std::string name;
  double position = 0.0;
  int number = 0;
  int colour = 0;
};

}  // namespace quorvane::host
