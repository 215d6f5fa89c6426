// The state document byte for byte: member order, number formats, escapes and nested objects.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <optional>
#include <set>
#include <string>

#include "remote/state_document.h"
#include "remote/system_fixture.h"

namespace {

using quorvane::remote::BuildStateDocument;
using quorvane::remote::StateDocumentBuilder;
using quorvane::remote::testing::SystemFixture;
using quorvane::sim::Host;

std::string WithoutInstanceId(std::string document, const std::string& id) {
  const auto at = document.find(id);
  if (at != std::string::npos) document.replace(at, id.size(), "ID");
  return document;
}

TEST(StateDocument, EmptyProjectGivesEmptyListsAndNeutralValues) {
  Host host;
  host.RemoveFunction("TimeMap_GetTimeSigAtTime");
  SystemFixture system(host);
  const std::string document =
      WithoutInstanceId(BuildStateDocument(system.view), system.server.InstanceId());
  EXPECT_EQ(
      document,
      R"({"type":"STATE","protocol":2,"instanceId":"ID","projectName":"Untitled Project",)"
      R"("page":"MODE_SELECT","showStatus":"PREPARED","playing":false,"position":0.0000,)"
      R"("currentIndex":-1,"showMarkerNamesInLiveMode":true,"showTimeSignatureAndBpm":true,)"
      R"("currentMarkerName":"","selectedIndex":-1,"showElapsed":0.0000,"showRemaining":0.0000,)"
      R"("playbackRemaining":0.0000,"hasDelay":false,"delaySeconds":0.0000,)"
      R"("liveTransport":"NEXT","timeSignature":"--","bpm":0.0000,"playbackRate":1.0000,)"
      R"("repeat":false,"autoStartShow":false,"autoStartHour":-1,"autoStartMinute":-1,)"
      R"("regions":[],"setlist":[],"setup":{"durationMinutes":45,"songCount":0,)"
      R"("musicTime":"00:00:00"},"soundCheck":[],"practise":{"regionId":-1,"songName":"",)"
      R"("songDuration":0.0000,"markers":[],"startChoice":-2,"stopChoice":-1,)"
      R"("currentMarker":-1,"precountBeats":0,"loop":false,"rate":1.0000,"active":false,)"
      R"("countingIn":false,"playing":false,"position":0.0000},"remote":{"clients":0},)"
      R"("sections":[],"sectionIndex":-1,"vamp":false,"queuedSection":-1,"queuedAt":0.0000,)"
      R"("resumed":false,"link":{"enabled":false,"peers":0}})");
}

TEST(StateDocument, ListsRegionsSetlistSetupTracksAndPractise) {
  Host host;
  host.AddRegion(3, "Say \"hi\"\\", 10.0, 70.5);
  host.AddMarker(1, "Intro", 12.25);
  host.AddRegion(5, "", 100.0, 100.0);
  host.AddTrack("", 1);
  host.AddTrack("Bass\tDI", 0);
  host.SetExtState("Quorvane", "Setlist.Count", "4");
  const char* stored[][2] = {{"3", "SONG"}, {"-1", "PAUSE"}, {"5", "SONG"}, {"9", "SONG"}};
  for (int i = 0; i < 4; ++i) {
    const std::string key = "Setlist.Item." + std::to_string(i) + ".";
    host.SetExtState("Quorvane", key + "RegionID", stored[i][0]);
    host.SetExtState("Quorvane", key + "Type", stored[i][1]);
  }
  // A note as the project stores it: its line break escaped.
  host.SetExtState("Quorvane", "Setlist.Item.0.Note", "capo 2\\n\"Sam\" counts in \\\\ é");
  SystemFixture system(host);
  system.practise.Selection().songRegionId = 3;
  const std::string document = BuildStateDocument(system.view);

  auto section = [&](const std::string& from, const std::string& to) {
    const auto begin = document.find(from);
    const auto end = document.find(to, begin);
    return begin == std::string::npos || end == std::string::npos
               ? std::string()
               : document.substr(begin, end - begin);
  };
  EXPECT_EQ(section("\"regions\"", ",\"setlist\""),
            R"("regions":[{"id":3,"name":"Say \"hi\"\\","start":10.0000,"end":70.5000,)"
            R"("duration":60.5000},{"id":5,"name":"","start":100.0000,"end":100.0000,)"
            R"("duration":0.0000}])");
  EXPECT_EQ(section("\"setlist\"", ",\"setup\""),
            R"("setlist":[{"index":0,"regionId":3,"duration":60.5000,"name":"Say \"hi\"\\",)"
            R"("pause":false,"autoStart":false,"played":false,)"
            R"("note":"capo 2\n\"Sam\" counts in \\ é"},{"index":1,"regionId":-1,)"
            R"("duration":0.0000,"name":"PAUSE","pause":true,"autoStart":false,"played":false,)"
            R"("note":""},{"index":2,"regionId":5,"duration":0.0000,"name":"Region 5",)"
            R"("pause":false,"autoStart":false,"played":false,"note":""},{"index":3,"regionId":9,)"
            R"("duration":0.0000,"name":"Region 9","pause":false,"autoStart":false,"played":false,)"
            R"("note":""}])");
  EXPECT_EQ(section("\"setup\"", ",\"soundCheck\""),
            R"("setup":{"durationMinutes":45,"songCount":3,"musicTime":"00:01:00"})");
  EXPECT_EQ(section("\"soundCheck\"", ",\"practise\""),
            R"x("soundCheck":[{"name":"(UNNAMED TRACK)","muted":false,"soloed":false,)x"
            R"("trackIndex":0,"indentLevel":0},{"name":"Bass\tDI","muted":false,)"
            R"("soloed":false,"trackIndex":1,"indentLevel":1}])");
  EXPECT_EQ(section("\"practise\"", ",\"startChoice\""),
            R"("practise":{"regionId":3,"songName":"Say \"hi\"\\","songDuration":60.5000,)"
            R"("markers":[{"index":0,"position":12.2500,"name":"Intro"}])");
  EXPECT_TRUE(nlohmann::json::accept(document));
}

TEST(StateDocument, DurationMinutesRoundHalfUpAndMusicTimeGrowsPastTwoHourDigits) {
  Host host;
  host.AddRegion(1, "Long", 0.0, 360000.0);
  host.SetExtState("Quorvane", "Setlist.Count", "1");
  host.SetExtState("Quorvane", "Setlist.Item.0.RegionID", "1");
  SystemFixture system(host);

  system.engine.SetShowDuration(45 * 60 + 29);
  system.engine.SnapshotShowState();
  std::string document = BuildStateDocument(system.view);
  EXPECT_NE(document.find(R"("durationMinutes":45,)"), std::string::npos);
  EXPECT_NE(document.find(R"("musicTime":"100:00:00")"), std::string::npos);

  system.engine.SetShowDuration(45 * 60 + 30);
  system.engine.SnapshotShowState();
  document = BuildStateDocument(system.view);
  EXPECT_NE(document.find(R"("durationMinutes":46,)"), std::string::npos);
}

// However strange the project, every time sent is a sensible text in range: a region of 1e19 s
// and a total that overflows to infinity read as the longest time shown.
TEST(StateDocument, TimesBeyondAnyShowAreSentAtTheLongestShownValue) {
  for (const double end : {1e19, 1.7e308}) {
    Host host;
    host.AddRegion(1, "Huge", 0.0, end);
    host.AddRegion(2, "Huge too", 0.0, end);
    host.SetExtState("Quorvane", "Setlist.Count", "2");
    host.SetExtState("Quorvane", "Setlist.Item.0.RegionID", "1");
    host.SetExtState("Quorvane", "Setlist.Item.1.RegionID", "2");
    SystemFixture system(host);
    ASSERT_TRUE(system.engine.SetShowDuration(1e300));
    system.engine.SnapshotShowState();

    const auto document = nlohmann::json::parse(BuildStateDocument(system.view));
    EXPECT_EQ(document["setup"]["musicTime"], "999999:59:59") << end;
    EXPECT_EQ(document["setup"]["durationMinutes"], 59999999) << end;
  }
}

TEST(StateDocument, CurrentMarkerNameNamesTheLaterOfTwoMarkersAtOnePosition) {
  Host host;
  host.AddRegion(1, "Song", 0.0, 60.0);
  host.AddMarker(1, "First", 5.0);
  host.AddMarker(2, "Second", 5.0);
  host.SetExtState("Quorvane", "Setlist.Count", "1");
  host.SetExtState("Quorvane", "Setlist.Item.0.RegionID", "1");
  SystemFixture system(host);
  system.ui.page = quorvane::ui::UiPage::kLive;
  ASSERT_TRUE(system.engine.PlayCurrent());
  host.Advance(6000);
  system.engine.SnapshotShowState();
  const auto document = nlohmann::json::parse(BuildStateDocument(system.view));
  EXPECT_EQ(document["currentMarkerName"], "Second");

  system.ui.showMarkerNames = false;
  EXPECT_EQ(nlohmann::json::parse(BuildStateDocument(system.view))["currentMarkerName"], "");
}

// Documents built one after another keep the regions and the setlist as text: whatever changes
// in the project, the setlist or the played marks must show in the very next document, which is
// byte for byte the one a fresh build writes.
class KeptDocument : public ::testing::Test {
 protected:
  void SetUp() override {
    host.AddRegion(1, "Opener", 0.0, 60.0);
    host.AddRegion(2, "Second", 60.0, 150.0);
    host.AddMarker(1, "Verse", 70.0);
    system.emplace(host);
    system->setlist.AddRegionToSetlist(1);
    system->setlist.AddPause();
    system->setlist.AddRegionToSetlist(2);
    system->practise.Selection().songRegionId = 2;
  }

  // The next kept document next to a fresh one.
  void ExpectFresh(const char* after) {
    SCOPED_TRACE(after);
    EXPECT_EQ(kept.Build(system->view), BuildStateDocument(system->view));
  }

  Host host;
  std::optional<SystemFixture> system;
  StateDocumentBuilder kept;
};

TEST_F(KeptDocument, EveryChangeShowsInTheNextDocument) {
  ExpectFresh("the first document");
  ExpectFresh("nothing changed");
  host.Project().regions[1].name = "Renamed";
  host.Project().regions[1].end = 170.0;
  host.ProjectEdited();
  ExpectFresh("a region renamed and moved");
  host.AddRegion(3, "Encore", 200.0, 260.0);
  ExpectFresh("a region added");
  host.AddMarker(2, "Chorus", 100.0);
  ExpectFresh("a marker added to the practised song");
  host.Project().regions.erase(host.Project().regions.begin());
  host.ProjectEdited();
  ExpectFresh("a region removed");
  system->setlist.AddRegionToSetlist(3);
  ExpectFresh("a song added to the setlist");
  system->setlist.MoveItemUp(3);
  ExpectFresh("a song moved");
  system->setlist.ToggleAutoStart(2);
  ExpectFresh("auto-start switched");
  system->setlist.SetNote(0, "capo 2");
  ExpectFresh("a note written");
  ASSERT_TRUE(system->core.Operations().RemoveItem(0));  // its region is gone
  ExpectFresh("a song removed");
  ASSERT_TRUE(system->core.Operations().StartShow());
  for (int tick = 0; tick < 2000; ++tick) {  // 66 s: the first song (60 s) plays to its end
    host.Advance(33);
    system->core.Tick();
  }
  ASSERT_EQ(system->engine.Played().Indexes(), std::set<int32_t>{1});
  ExpectFresh("a song played");
  system->core.Operations().ExitMode();
  ExpectFresh("the played marks cleared");
}

TEST_F(KeptDocument, WithoutTheChangeCountEditsInPlaceStillShow) {
  host.RemoveFunction("GetProjectStateChangeCount");
  system.emplace(host);  // binds again, now without the count
  ExpectFresh("the first document");
  host.Project().regions[0].name = "Renamed";  // no count announces it
  const std::string document = kept.Build(system->view);
  EXPECT_NE(document.find("\"Renamed\""), std::string::npos);
  EXPECT_EQ(document, BuildStateDocument(system->view));
}

}  // namespace
