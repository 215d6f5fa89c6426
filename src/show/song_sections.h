// The sections of a song: the markers inside its region, in position order, split it. The part
// before the first marker is a section of its own (unnamed); a song without markers is one
// section. Live control (vamp, jumps) and every surface's section strip read them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/region_types.h"

namespace quorvane::show {

struct SongSection {
  std::string name;  // the marker's name; empty for the part before the first marker
  double start = 0.0;
  double end = 0.0;
};

// `markers` in any order; those outside the song, or at its very end, are ignored, and two
// markers at one position make one section (the later name in host order wins).
std::vector<SongSection> SectionsOf(const host::ProjectRegion& song,
                                    std::vector<host::ProjectMarker> markers);

// The section that holds `position` (a section's start belongs to it); -1 outside the song.
int32_t SectionAt(const std::vector<SongSection>& sections, double position);

}  // namespace quorvane::show
