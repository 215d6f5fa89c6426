// The built-in demo project: songs on bar lines, both kinds of tempo-map change, folders that
// close, and a stored setlist the extension can read.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "sim/demo_project.h"

namespace quorvane::sim {
namespace {

TEST(SimDemoProject, SongsAreRegionsOnBarLinesWithTheirMarkers) {
  Host host;
  BuildDemoProject(host);
  const SimProject& project = host.Project();
  EXPECT_EQ(project.path, kDemoProjectPath);
  ASSERT_GE(project.regions.size(), 6u);
  double previousEnd = 0.0;
  for (const SimRegion& region : project.regions) {
    EXPECT_FALSE(region.name.empty());
    EXPECT_LT(region.start, region.end);
    EXPECT_GE(region.start, previousEnd) << region.name;  // in time order, not overlapping
    previousEnd = region.end;
    EXPECT_EQ(host.BeatPosition(region.start).beatInMeasure, 0.0) << region.name;
    EXPECT_EQ(host.BeatPosition(region.end).beatInMeasure, 0.0) << region.name;
    int inside = 0;
    for (const SimMarker& marker : project.markers) {
      inside += marker.position >= region.start && marker.position < region.end ? 1 : 0;
    }
    EXPECT_GE(inside, 3) << region.name;
  }
  std::set<int> numbers;
  for (const SimMarker& marker : project.markers)
    numbers.insert(marker.number);
  EXPECT_EQ(numbers.size(), project.markers.size());
}

TEST(SimDemoProject, HasATempoChangeAndATimeSignatureChange) {
  Host host;
  BuildDemoProject(host);
  std::set<double> tempos;
  std::set<std::string> signatures;
  for (double t = 0.0; t < 300.0; t += 1.0) {
    tempos.insert(host.DividedBpmAt(t));
    const SimBeatPosition at = host.BeatPosition(t);
    signatures.insert(std::to_string(at.beatsInMeasure) + "/" + std::to_string(at.denominator));
  }
  EXPECT_GE(tempos.size(), 3u);
  EXPECT_TRUE(signatures.count("4/4"));
  EXPECT_TRUE(signatures.count("6/8"));
}

TEST(SimDemoProject, TracksAreInFoldersThatClose) {
  Host host;
  BuildDemoProject(host);
  int depth = 0;
  int folders = 0;
  for (const auto& track : host.Project().tracks) {
    depth += track->folderDepth;
    folders += track->folderDepth > 0 ? 1 : 0;
    EXPECT_GE(depth, 0);
  }
  EXPECT_EQ(depth, 0);
  EXPECT_GE(folders, 2);
}

TEST(SimDemoProject, StoresASetlistWithAPauseAndAutoStarts) {
  Host host;
  BuildDemoProject(host);
  const int count = std::stoi(host.ExtState("Quorvane", "Setlist.Count"));
  ASSERT_EQ(count, static_cast<int>(DemoSetlist().size()));
  int pauses = 0;
  int autoStarts = 0;
  for (int i = 0; i < count; ++i) {
    const std::string key = "Setlist.Item." + std::to_string(i) + ".";
    const std::string type = host.ExtState("Quorvane", key + "Type");
    pauses += type == "PAUSE" ? 1 : 0;
    autoStarts += host.ExtState("Quorvane", key + "AutoStart") == "1" ? 1 : 0;
    if (type == "SONG") {
      EXPECT_GE(std::stoi(host.ExtState("Quorvane", key + "RegionID")), 1);
    }
  }
  EXPECT_EQ(pauses, 1);
  EXPECT_GE(autoStarts, 1);
}

}  // namespace
}  // namespace quorvane::sim
