// The built-in demo project of quorvane-sim: seven songs as regions with named markers, a tempo
// change and a time-signature change, tracks in folders, and a stored setlist, so that a show can
// be run at once. Reusable by any front end of the simulator (status display, remote demo,
// scripted demos) and by tests.
#pragma once

#include <string>
#include <vector>

#include "sim/sim_host.h"

namespace quorvane::sim {

struct DemoSong {
  int region = 0;  // the region number
  std::string name;
  int firstMeasure = 0;  // the song's first measure (0-based, on the tempo map)
  int endMeasure = 0;    // the measure after its last one
  // Named markers: the name and the measure, counted from the song's first measure.
  std::vector<std::pair<std::string, int>> markers;
  bool autoStart = false;  // in the stored setlist: chained from the song before it
};

// One item of the stored setlist: a song's region number, or 0 for a pause.
struct DemoSetlistItem {
  int region = 0;
  bool autoStart = false;
};

const std::vector<DemoSong>& DemoSongs();
const std::vector<TempoPoint>& DemoTempoMap();
std::vector<DemoSetlistItem> DemoSetlist();
inline constexpr const char* kDemoProjectPath = "Shows/Quorvane Demo Show.rpp";

// Fills the host's current project with the demo: its path, tempo map, regions and markers (in
// time order, numbered from 1), tracks, and the setlist under the extension's section "Quorvane".
void BuildDemoProject(Host& host);

}  // namespace quorvane::sim
