// The host functions as the extension sees them: looked up by name, with the host's meanings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/host_api.h"
#include "host/host_functions.h"
#include "platform/clock.h"
#include "platform/host_seams.h"
#include "platform/message_box.h"
#include "sim_test_support.h"

namespace quorvane::sim {
namespace {

using testing::Bind;

TEST(SimFunctions, EveryFunctionIsOfferedAndEveryLookupRecordedInOrder) {
  Host host;
  std::vector<std::string> expected;
  for (const auto& function : host::kHostFunctions) {
    const std::string name = function.name;
    if (name == "GetMediaTrackInfo") continue;  // offered only on request
    EXPECT_NE(host.Info()->GetFunc(name.c_str()), nullptr) << name;
    expected.push_back(name);
  }
  EXPECT_EQ(host.Info()->GetFunc("NoSuchFunction"), nullptr);
  expected.push_back("NoSuchFunction");
  EXPECT_EQ(host.FunctionLookups(), expected);
}

TEST(SimFunctions, TheExtensionsHostBindingBindsAgainstTheSimulator) {
  Host host;
  host::HostApi api;
  EXPECT_TRUE(api.Bind(host.Info()->GetFunc));
  EXPECT_EQ(api.GetMediaTrackInfo, nullptr);  // not in current hosts
  host.RemoveFunction("GetToggleCommandState");
  host::HostApi without;
  EXPECT_FALSE(without.Bind(host.Info()->GetFunc));
}

TEST(SimFunctions, SeamsHandOutTheVirtualClockAndMessageSink) {
  Host host;
  const auto* source =
      static_cast<const platform::ClockSource*>(host.Info()->GetFunc(platform::kClockSourceName));
  ASSERT_EQ(source, host.ClockSource());
  platform::Clock clock(source);
  EXPECT_EQ(clock.MillisecondsSinceStart(), Host::kStartMs);
  EXPECT_EQ(clock.MonotonicMilliseconds(), Host::kMonotonicStartMs);
  host.SetLocalTime(23, 59, 58);
  host.Advance(2500);
  EXPECT_EQ(clock.MillisecondsSinceStart(), Host::kStartMs + 2500);
  EXPECT_EQ(clock.MonotonicNanoseconds(), (Host::kMonotonicStartMs + 2500) * 1000000);
  const platform::LocalTimeOfDay local = clock.LocalTime();  // wrapped past midnight
  EXPECT_EQ(local.hour, 0);
  EXPECT_EQ(local.minute, 0);
  EXPECT_EQ(local.second, 0);

  const auto* sink =
      static_cast<const platform::MessageSink*>(host.Info()->GetFunc(platform::kMessageSinkName));
  ASSERT_EQ(sink, host.MessageSink());
  platform::MessageBoxes boxes(sink);
  boxes.Show(nullptr, "Could not select this song.", "Quorvane", platform::MessageIcon::kError);
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text, "Could not select this song.");
  EXPECT_EQ(host.Messages()[0].title, "Quorvane");
  EXPECT_EQ(host.Messages()[0].icon, platform::MessageIcon::kError);
}

TEST(SimFunctions, TheNewestLiveHostIsCurrent) {
  Host outer;
  EXPECT_EQ(Host::Current(), &outer);
  auto play = Bind<hostfn::OnPlayButton>(outer, "OnPlayButton");
  {
    Host inner;
    EXPECT_EQ(Host::Current(), &inner);
    play();
    EXPECT_EQ(inner.CountCalls("OnPlayButton"), 1);
    EXPECT_EQ(outer.CountCalls("OnPlayButton"), 0);
  }
  EXPECT_EQ(Host::Current(), &outer);
  play();
  EXPECT_EQ(outer.CountCalls("OnPlayButton"), 1);
}

TEST(SimFunctions, TracksReadAndWriteLiveValues) {
  Host host;
  host.AddTrack("Band", 1);
  host.AddTrack("Drums", 0);
  host.AddTrack("", -1);
  auto count = Bind<hostfn::CountTracks>(host, "CountTracks");
  auto get = Bind<hostfn::GetTrack>(host, "GetTrack");
  auto info = Bind<hostfn::GetSetMediaTrackInfo>(host, "GetSetMediaTrackInfo");
  auto text = Bind<hostfn::GetSetMediaTrackInfo_String>(host, "GetSetMediaTrackInfo_String");

  EXPECT_EQ(count(nullptr), 3);
  EXPECT_EQ(get(nullptr, -1), nullptr);
  EXPECT_EQ(get(nullptr, 3), nullptr);
  MediaTrack* drums = get(nullptr, 1);
  ASSERT_NE(drums, nullptr);

  EXPECT_EQ(*static_cast<int*>(info(get(nullptr, 0), "I_FOLDERDEPTH", nullptr)), 1);
  EXPECT_EQ(*static_cast<int*>(info(get(nullptr, 2), "I_FOLDERDEPTH", nullptr)), -1);
  bool mute = true;
  info(drums, "B_MUTE", &mute);
  EXPECT_TRUE(host.Track(1).mute);
  EXPECT_TRUE(*static_cast<bool*>(info(drums, "B_MUTE", nullptr)));
  int solo = 2;
  info(drums, "I_SOLO", &solo);
  EXPECT_EQ(host.Track(1).solo, 2);
  EXPECT_EQ(info(drums, "D_NOSUCHKEY", nullptr), nullptr);
  host.Track(1).solo = 0;  // the user changes it in the host: the pointer sees it
  EXPECT_EQ(*static_cast<int*>(info(drums, "I_SOLO", nullptr)), 0);

  char name[512] = {};
  EXPECT_TRUE(text(drums, "P_NAME", name, false));
  EXPECT_STREQ(name, "Drums");
  char newName[] = "Drums (room)";
  EXPECT_TRUE(text(drums, "P_NAME", newName, true));
  EXPECT_EQ(host.Track(1).name, "Drums (room)");
  std::memset(name, 'x', sizeof name);
  EXPECT_TRUE(text(get(nullptr, 2), "P_NAME", name, false));
  EXPECT_STREQ(name, "");

  ASSERT_EQ(host.CallsTo("GetSetMediaTrackInfo").size(), 2u);
  EXPECT_EQ(host.CallsTo("GetSetMediaTrackInfo")[0].text, "B_MUTE=1");
  EXPECT_EQ(host.CallsTo("GetSetMediaTrackInfo")[1].text, "I_SOLO=2");
  EXPECT_EQ(host.CallsTo("GetSetMediaTrackInfo_String")[0].text, "P_NAME=Drums (room)");

  host.OfferFunction("GetMediaTrackInfo");
  auto reader = Bind<hostfn::GetMediaTrackInfo>(host, "GetMediaTrackInfo");
  EXPECT_TRUE(*static_cast<bool*>(reader(drums, "B_MUTE")));
  EXPECT_TRUE(host.Problems().empty());
}

// The extension's own settings, as the host keeps them in its settings file: one store per host,
// whatever project is open, with the persist flag of the last write.
// Every edit of the project moves the count, regions and markers included, also an edit made
// directly in the host's model; the transport and the edit cursor do not.
TEST(SimFunctions, ProjectStateChangeCountMovesOnEveryEditOnly) {
  Host host;
  auto count = Bind<hostfn::GetProjectStateChangeCount>(host, "GetProjectStateChangeCount");
  auto setExt = Bind<hostfn::SetProjExtState>(host, "SetProjExtState");
  auto dirty = Bind<hostfn::MarkProjectDirty>(host, "MarkProjectDirty");
  auto seek = Bind<hostfn::SetEditCurPos>(host, "SetEditCurPos");
  auto getTrack = Bind<hostfn::GetTrack>(host, "GetTrack");
  auto trackInfo = Bind<hostfn::GetSetMediaTrackInfo>(host, "GetSetMediaTrackInfo");
  host.AddTrack("Drums");

  int last = count(nullptr);
  const auto moved = [&] {
    const int now = count(nullptr);
    const bool changed = now != last;
    last = now;
    return changed;
  };
  EXPECT_FALSE(moved());
  host.AddRegion(1, "Song", 0.0, 10.0);
  EXPECT_TRUE(moved());
  host.AddMarker(1, "Verse", 2.0);
  EXPECT_TRUE(moved());
  host.Project().regions[0].end = 12.0;  // the user drags the region's end
  host.ProjectEdited();
  EXPECT_TRUE(moved());
  setExt(nullptr, "Quorvane", "Setlist.Count", "0");
  EXPECT_TRUE(moved());
  setExt(nullptr, "Quorvane", "Setlist.Count", "0");  // the same value written again still counts
  EXPECT_TRUE(moved());
  dirty(nullptr);
  EXPECT_TRUE(moved());
  bool mute = true;
  trackInfo(getTrack(nullptr, 0), "B_MUTE", &mute);
  EXPECT_TRUE(moved());
  host.SetTempoMap({TempoPoint{0.0, 90.0, 3, 4}});
  EXPECT_TRUE(moved());

  seek(4.0, true, false);
  host.UserPlay();
  host.Run(1000);
  host.UserStop();
  EXPECT_FALSE(moved());

  const int other = host.AddProject("/shows/other.rpp");
  host.SelectProject(other);
  const int otherCount = count(nullptr);
  host.AddRegion(1, "Elsewhere", 0.0, 5.0);
  EXPECT_NE(count(nullptr), otherCount);
  host.SelectProject(0);
  EXPECT_EQ(count(nullptr), last);  // an edit of another project is not this one's
}

// As in the host, each project counts its own edits, so two projects may show the same count; a
// project opened into a tab takes over the tab's handle; a script's move without an undo point
// (the simulator's MoveRegionSilently) is seen by the next enumeration but moves no count.
TEST(SimFunctions, EachProjectCountsItsOwnEditsAndASilentMoveNone) {
  Host host;
  auto count = Bind<hostfn::GetProjectStateChangeCount>(host, "GetProjectStateChangeCount");
  auto projects = Bind<hostfn::EnumProjects>(host, "EnumProjects");
  auto entry = Bind<hostfn::EnumProjectMarkers3>(host, "EnumProjectMarkers3");
  const auto firstStart = [&] {
    double start = -1.0;
    entry(nullptr, 0, nullptr, &start, nullptr, nullptr, nullptr, nullptr);
    return start;
  };
  host.AddRegion(1, "Here", 0.0, 10.0);
  const int here = count(nullptr);
  host.SelectProject(host.AddProject("/shows/other.rpp"));
  host.AddRegion(1, "There", 0.0, 10.0);
  EXPECT_EQ(count(nullptr), here);

  EXPECT_TRUE(host.MoveRegionSilently(1, 20.0, 30.0));
  EXPECT_FALSE(host.MoveRegionSilently(2, 20.0, 30.0));
  EXPECT_EQ(firstStart(), 20.0);
  EXPECT_EQ(count(nullptr), here);

  ReaProject* tab = projects(-1, nullptr, 0);
  host.OpenInCurrentTab("/shows/third.rpp");
  char path[64] = {};
  EXPECT_EQ(projects(-1, path, sizeof path), tab);
  EXPECT_STREQ(path, "/shows/third.rpp");
  EXPECT_EQ(firstStart(), -1.0);  // nothing in it yet
  EXPECT_LT(count(nullptr), here);
}

// Only the recent calls are kept, so that a long flood does not grow the record without bound;
// how often each function was called is kept for the whole run.
}  // namespace
}  // namespace quorvane::sim
