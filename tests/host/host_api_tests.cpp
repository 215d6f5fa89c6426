// The host binding's wrappers and their fallbacks, against the simulator.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/host_api.h"
#include "host/project_tracker.h"
#include "sim/sim_host.h"

namespace {

using quorvane::host::HostApi;
using quorvane::sim::Host;

class HostApiTest : public ::testing::Test {
 protected:
  HostApi Bound() {
    HostApi api;
    api.Bind(host.Info()->GetFunc);
    return api;
  }
  Host host;
};

TEST_F(HostApiTest, RegionsAreEnumeratedInHostOrderWithoutMarkers) {
  host.AddMarker(1, "intro", 1.0);
  host.AddRegion(2, "Second", 30.0, 60.0);
  host.AddMarker(2, "verse", 12.0);
  host.AddRegion(1, "", 10.0, 20.0);
  host.AddMarker(3, "bridge", 40.0);
  const auto regions = Bound().EnumerateRegions();
  ASSERT_EQ(regions.size(), 2u);
  EXPECT_EQ(regions[0].regionId, 1);
  EXPECT_EQ(regions[0].name, "");  // an unnamed region is not an error
  EXPECT_EQ(regions[1].regionId, 2);
  EXPECT_EQ(regions[1].name, "Second");
  EXPECT_DOUBLE_EQ(regions[1].start, 30.0);
  EXPECT_DOUBLE_EQ(regions[1].end, 60.0);

  Host empty;
  HostApi api;
  api.Bind(empty.Info()->GetFunc);
  EXPECT_TRUE(api.EnumerateRegions().empty());
}

TEST_F(HostApiTest, MarkersOfARegionIncludeItsStartButNotItsEnd) {
  host.AddRegion(1, "Song", 10.0, 20.0);
  host.AddMarker(1, "at start", 10.0);
  host.AddMarker(2, "inside", 15.0);
  host.AddMarker(3, "at end", 20.0);
  host.AddMarker(4, "before", 9.999);
  const HostApi api = Bound();
  quorvane::host::ProjectRegion region;
  ASSERT_TRUE(api.FindRegion(1, &region));
  const auto markers = api.EnumerateMarkersInRegion(region);
  ASSERT_EQ(markers.size(), 2u);
  EXPECT_EQ(markers[0].name, "at start");
  EXPECT_EQ(markers[1].name, "inside");
  EXPECT_FALSE(api.FindRegion(7, &region));
}

TEST_F(HostApiTest, InvalidPlayRatesChangeNothing) {
  HostApi api = Bound();
  ASSERT_TRUE(api.SetPlayRate(1.25));
  host.ClearCalls();
  for (double rate : {0.0, -1.0, std::numeric_limits<double>::infinity(),
                      std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_FALSE(api.SetPlayRate(rate));
  }
  EXPECT_EQ(host.CountCalls("CSurf_OnPlayRateChange"), 0);
  EXPECT_DOUBLE_EQ(host.PlayRate(), 1.25);
}

TEST_F(HostApiTest, RepeatIsToggledOnlyWhenItDiffers) {
  const HostApi api = Bound();
  ASSERT_FALSE(host.RepeatOn());
  EXPECT_TRUE(api.SetRepeat(false));
  EXPECT_EQ(host.CountCalls("Main_OnCommand"), 0);
  EXPECT_TRUE(api.SetRepeat(true));
  EXPECT_TRUE(host.RepeatOn());
  EXPECT_TRUE(api.IsRepeatOn());
  EXPECT_EQ(host.CountCalls("Main_OnCommand"), 1);
}

TEST_F(HostApiTest, MissingOptionalFunctionsGiveTheirFallbacks) {
  for (const char* name : {"Master_GetPlayRate", "TimeMap_GetTimeSigAtTime"}) {
    host.RemoveFunction(name);
  }
  const HostApi api = Bound();
  EXPECT_DOUBLE_EQ(api.GetPlayRate(), 1.0);
  quorvane::host::TimeSignatureAndBpm sig;
  EXPECT_FALSE(api.GetTimeSignatureAndBpmAt(0.0, &sig));
  EXPECT_EQ(sig.numerator, 0);
  EXPECT_DOUBLE_EQ(sig.bpm, 0.0);
}

TEST_F(HostApiTest, RequiredAndFallbackFunctionsAreNeverNullAfterABind) {
  for (const char* name : {"GetExtState", "SetExtState", "HasExtState", "DeleteExtState",
                           "GetProjectStateChangeCount", "MarkProjectDirty", "GetMainHwnd"}) {
    host.RemoveFunction(name);
  }
  HostApi api;
  ASSERT_TRUE(api.Bind(host.Info()->GetFunc));
  EXPECT_TRUE(api.MissingRequired().empty());
  EXPECT_FALSE(api.Offers(quorvane::host::HostFunction::GetExtState));
  EXPECT_TRUE(api.Offers(quorvane::host::HostFunction::OnPlayButton));
  api.MarkProjectDirty(nullptr);  // nothing to mark, and nothing breaks
  EXPECT_EQ(host.Project().dirtyCount, 0);
  EXPECT_EQ(api.GetMainHwnd, nullptr);  // optional: MainWindow falls back to the entry record
  EXPECT_EQ(api.MainWindow(), host.Info()->hwnd_main);
}

// Without the host's settings functions, settings live in memory for the session: readable
// back, but never handed to the host.
TEST_F(HostApiTest, SettingsWithoutTheHostLastForTheSessionOnly) {
  for (const char* name : {"GetExtState", "SetExtState", "HasExtState", "DeleteExtState"}) {
    host.RemoveFunction(name);
  }
  const HostApi api = Bound();
  const char* section = "Quorvane fallback test";
  EXPECT_FALSE(api.HasExtState(section, "port"));
  EXPECT_STREQ(api.GetExtState(section, "port"), "");
  api.SetExtState(section, "port", "4242", true);
  EXPECT_TRUE(api.HasExtState(section, "port"));
  EXPECT_STREQ(api.GetExtState(section, "port"), "4242");
  EXPECT_FALSE(host.HasGlobalExtState(section, "port"));
  EXPECT_EQ(host.CountCalls("SetExtState"), 0);

  const HostApi again = Bound();  // another binding in the same session sees the same settings
  EXPECT_STREQ(again.GetExtState(section, "port"), "4242");
  again.DeleteExtState(section, "port", true);
  EXPECT_FALSE(api.HasExtState(section, "port"));
}

TEST_F(HostApiTest, WithoutAChangeCountTheProjectReadsAsChangedEveryTime) {
  host.RemoveFunction("GetProjectStateChangeCount");
  const HostApi api = Bound();
  const int first = api.GetProjectStateChangeCount(nullptr);
  EXPECT_NE(api.GetProjectStateChangeCount(nullptr), first);
}

TEST(ProjectDisplayName, IsTheFileNameWithoutFoldersAndExtension) {
  using quorvane::host::ProjectDisplayName;
  EXPECT_EQ(ProjectDisplayName(""), "Untitled Project");
  EXPECT_EQ(ProjectDisplayName("C:\\Shows\\Tour 2026.rpp"), "Tour 2026");
  EXPECT_EQ(ProjectDisplayName("/home/band/set.list.rpp"), "set.list");
  EXPECT_EQ(ProjectDisplayName("/home/band/shows/"), "shows");
  EXPECT_EQ(ProjectDisplayName("/home/band/.hidden"), ".hidden");
  EXPECT_EQ(ProjectDisplayName("\\/"), "Untitled Project");
}

}  // namespace

namespace {

// The walk kept between changes of the project must never hide one: a region moved, renamed,
// added or removed, and a marker added, show in the very next enumeration.
void ExpectEditsSeen(Host& host, HostApi& api, bool countsEdits) {
  host.AddRegion(1, "Opener", 0.0, 60.0);
  host.AddRegion(2, "Second", 60.0, 120.0);
  host.AddMarker(1, "Verse", 70.0);
  const auto edited = [&] {
    if (countsEdits) host.ProjectEdited();
  };
  quorvane::host::ProjectRegion region;
  ASSERT_TRUE(api.FindRegion(2, &region));
  EXPECT_EQ(region.name, "Second");
  EXPECT_EQ(api.EnumerateMarkersInRegion(region).size(), 1u);

  host.Project().regions[1].name = "Renamed";
  host.Project().regions[1].start = 50.0;
  edited();
  ASSERT_TRUE(api.FindRegion(2, &region));
  EXPECT_EQ(region.name, "Renamed");
  EXPECT_DOUBLE_EQ(region.start, 50.0);
  EXPECT_DOUBLE_EQ(api.EnumerateRegionSpans()[1].start, 50.0);

  host.AddMarker(2, "Chorus", 90.0);
  host.AddRegion(3, "Encore", 120.0, 180.0);
  const auto markers = api.EnumerateMarkersInRegion(region);
  ASSERT_EQ(markers.size(), 2u);
  EXPECT_EQ(markers[1].name, "Chorus");
  EXPECT_EQ(api.EnumerateRegions().size(), 3u);

  host.Project().regions.erase(host.Project().regions.begin());
  edited();
  EXPECT_FALSE(api.FindRegion(1, nullptr));
  std::vector<std::vector<quorvane::host::ProjectMarker>> found;
  const auto regions = api.EnumerateRegionsWithMarkers({2, 1}, &found);
  ASSERT_EQ(regions.size(), 2u);
  EXPECT_EQ(found[0].size(), 2u);
  EXPECT_TRUE(found[1].empty());
}

TEST_F(HostApiTest, ProjectEditsShowInTheNextEnumerationWhileTheWalkIsKept) {
  HostApi api = Bound();
  ASSERT_NE(api.CurrentWalk(), nullptr);
  ExpectEditsSeen(host, api, true);
}

TEST_F(HostApiTest, WithoutTheChangeCountEveryEnumerationWalksTheHostAsBefore) {
  host.RemoveFunction("GetProjectStateChangeCount");
  HostApi api = Bound();
  EXPECT_EQ(api.CurrentWalk(), nullptr);
  ExpectEditsSeen(host, api, false);  // edits in place that no count would announce
}

// Each project counts its own edits: two tabs may show the same count.
TEST_F(HostApiTest, TwoProjectsWithTheSameChangeCountDoNotShareAWalk) {
  host.AddRegion(1, "First project", 0.0, 10.0);
  const int first = host.CurrentProjectIndex();
  const int second = host.AddProject("other.rpp");
  host.SelectProject(second);
  host.AddRegion(1, "Second project", 50.0, 60.0);
  HostApi api = Bound();
  const int count = api.GetProjectStateChangeCount(nullptr);
  quorvane::host::ProjectRegion region;
  ASSERT_TRUE(api.FindRegion(1, &region));
  EXPECT_EQ(region.start, 50.0);

  host.SelectProject(first);
  ASSERT_EQ(api.GetProjectStateChangeCount(nullptr), count);
  ASSERT_TRUE(api.FindRegion(1, &region));
  EXPECT_EQ(region.name, "First project");
  EXPECT_EQ(region.start, 0.0);
}

// The kept walk misses an edit the count does not announce; the lookup for an action does not,
// and a disagreement it finds drops the kept walk.
TEST_F(HostApiTest, TheLookupNowSeesAMoveTheChangeCountMissed) {
  host.AddRegion(1, "Song", 10.0, 20.0);
  host.AddMarker(1, "Verse", 12.0);
  host.AddMarker(2, "Later", 32.0);
  HostApi api = Bound();
  quorvane::host::ProjectRegion region;
  ASSERT_TRUE(api.FindRegion(1, &region));  // kept

  ASSERT_TRUE(host.MoveRegionSilently(1, 30.0, 40.0));
  ASSERT_TRUE(api.FindRegion(1, &region));
  EXPECT_EQ(region.start, 10.0);  // what a kept walk is: a hint

  std::vector<quorvane::host::ProjectMarker> markers;
  ASSERT_TRUE(api.FindRegionNow(1, &region, &markers));
  EXPECT_EQ(region.start, 30.0);
  EXPECT_EQ(region.end, 40.0);
  ASSERT_EQ(markers.size(), 1u);
  EXPECT_EQ(markers[0].name, "Later");
  EXPECT_FALSE(api.FindRegionNow(2, nullptr, &markers));

  ASSERT_TRUE(api.FindRegion(1, &region));
  EXPECT_EQ(region.start, 30.0);  // the kept walk was made again
}

TEST_F(HostApiTest, ASwitchOfProjectIsSeenAtOnce) {
  host.AddRegion(1, "First project", 0.0, 10.0);
  HostApi api = Bound();
  ASSERT_EQ(api.EnumerateRegions().size(), 1u);
  host.SelectProject(host.AddProject("other.rpp"));
  EXPECT_TRUE(api.EnumerateRegions().empty());
}

}  // namespace
