#include "sim/demo_project.h"

#include <algorithm>
#include <string>

namespace quorvane::sim {
namespace {

// The host's colour form: 0x1000000 | RGB in the host's native order (set flag + colour).
constexpr int Colour(int r, int g, int b) {
  return 0x1000000 | (b << 16) | (g << 8) | r;
}

}  // namespace

const std::vector<TempoPoint>& DemoTempoMap() {
  // Measures 0-39: 120 bpm 4/4 (2 s bars). Measures 40-79: 96 bpm 4/4 (2.5 s bars).
  // Measures 80-111: 6/8 at 96 (eighths at 192 a minute, 1.875 s bars). From measure 112:
  // 140 bpm 4/4.
  static const std::vector<TempoPoint> points = {
      {0.0, 120.0, 4, 4},
      {80.0, 96.0, 4, 4},
      {180.0, 96.0, 6, 8},
      {240.0, 140.0, 4, 4},
  };
  return points;
}

const std::vector<DemoSong>& DemoSongs() {
  static const std::vector<DemoSong> songs = {
      {1,
       "Opening Lights",
       0,
       16,
       {{"Intro", 0}, {"Verse 1", 4}, {"Chorus", 8}, {"Outro", 12}},
       false},
      {2, "Northbound", 16, 30, {{"Verse", 2}, {"Chorus", 6}, {"Bridge", 10}}, true},
      {3,
       "Glass Harbour",
       40,
       56,
       {{"Intro", 0}, {"Verse", 4}, {"Chorus", 8}, {"Solo", 12}},
       false},
      {4, "Slow Burn", 60, 76, {{"Intro", 0}, {"Verse", 2}, {"Chorus", 8}}, false},
      {5, "Paper Moons", 80, 96, {{"Intro", 0}, {"Verse", 4}, {"Chorus", 8}}, false},
      {6, "Undertow", 96, 110, {{"Verse", 0}, {"Chorus", 6}, {"Breakdown", 10}}, true},
      {7,
       "Last Train Home",
       112,
       136,
       {{"Intro", 0}, {"Verse", 4}, {"Chorus", 12}, {"Finale", 20}},
       false},
  };
  return songs;
}

std::vector<DemoSetlistItem> DemoSetlist() {
  std::vector<DemoSetlistItem> items;
  for (const DemoSong& song : DemoSongs()) {
    if (song.region == 4) items.push_back(DemoSetlistItem{0, false});  // a pause before song 4
    items.push_back(DemoSetlistItem{song.region, song.autoStart});
  }
  return items;
}

void BuildDemoProject(Host& host) {
  SimProject& project = host.Project();
  project.path = kDemoProjectPath;
  host.SetTempoMap(DemoTempoMap());

  static const int kColours[] = {Colour(230, 90, 60),  Colour(240, 170, 40), Colour(90, 170, 90),
                                 Colour(60, 140, 220), Colour(150, 90, 200), Colour(60, 190, 190),
                                 Colour(220, 80, 150)};
  struct Marker {
    double position;
    std::string name;
  };
  std::vector<Marker> markers;
  for (const DemoSong& song : DemoSongs()) {
    host.AddRegion(song.region, song.name, host.MeasureToTime(song.firstMeasure),
                   host.MeasureToTime(song.endMeasure),
                   kColours[static_cast<size_t>(song.region - 1) % std::size(kColours)]);
    for (const auto& [name, measure] : song.markers) {
      markers.push_back(Marker{host.MeasureToTime(song.firstMeasure + measure), name});
    }
  }
  std::stable_sort(markers.begin(), markers.end(),
                   [](const Marker& a, const Marker& b) { return a.position < b.position; });
  int number = 1;
  for (const Marker& marker : markers)
    host.AddMarker(number++, marker.name, marker.position);

  host.AddTrack("Backing", 1);
  host.AddTrack("Drums");
  host.AddTrack("Bass");
  host.AddTrack("Keys");
  host.AddTrack("Guitars", -1);
  host.AddTrack("Click & Cues", 1);
  host.AddTrack("Click");
  host.AddTrack("Cues", -1);
  host.AddTrack("Guide Vocal");
  host.AddTrack("");  // shown as unnamed

  const std::vector<DemoSetlistItem> setlist = DemoSetlist();
  host.SetExtState("Quorvane", "Setlist.Count", std::to_string(setlist.size()));
  for (size_t i = 0; i < setlist.size(); ++i) {
    const std::string key = "Setlist.Item." + std::to_string(i) + ".";
    const bool pause = setlist[i].region == 0;
    host.SetExtState("Quorvane", key + "RegionID",
                     pause ? "-1" : std::to_string(setlist[i].region));
    host.SetExtState("Quorvane", key + "Type", pause ? "PAUSE" : "SONG");
    host.SetExtState("Quorvane", key + "AutoStart", setlist[i].autoStart ? "1" : "0");
  }
}

}  // namespace quorvane::sim
