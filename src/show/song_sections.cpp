#include "show/song_sections.h"

#include <algorithm>

namespace quorvane::show {

std::vector<SongSection> SectionsOf(const host::ProjectRegion& song,
                                    std::vector<host::ProjectMarker> markers) {
  std::vector<SongSection> sections;
  if (!(song.end > song.start)) return sections;
  std::stable_sort(markers.begin(), markers.end(),
                   [](const host::ProjectMarker& a, const host::ProjectMarker& b) {
                     return a.position < b.position;
                   });
  sections.push_back(SongSection{"", song.start, song.end});
  for (const host::ProjectMarker& marker : markers) {
    if (marker.position < song.start || marker.position >= song.end) continue;
    SongSection& last = sections.back();
    if (marker.position <= last.start) {
      last.name = marker.name;  // at the song's start, or a second marker at one place
      continue;
    }
    last.end = marker.position;
    sections.push_back(SongSection{marker.name, marker.position, song.end});
  }
  return sections;
}

int32_t SectionAt(const std::vector<SongSection>& sections, double position) {
  for (size_t i = 0; i < sections.size(); ++i) {
    if (position >= sections[i].start && position < sections[i].end) return static_cast<int32_t>(i);
  }
  return -1;
}

}  // namespace quorvane::show
