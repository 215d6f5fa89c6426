// What quorvane-sim learns from the simulated host while the extension runs: the songs starting
// and following on (the script's "chained" count), stops, and the host's log of messages,
// console output and calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/reaper_api.h"
#include "sim/app/host_log.h"
#include "sim/app/session.h"
#include "sim/app/show_observer.h"

QUORVANE_EXPORT int ReaperPluginEntry(HINSTANCE instance, reaper_plugin_info_t* rec);

namespace quorvane::sim {
namespace {

// Two adjacent songs and one after a gap, 120 in 4/4 (2 s bars).
void BuildThreeSongs(Host& host) {
  host.AddRegion(1, "One", 0.0, 8.0);
  host.AddRegion(2, "Two", 8.0, 16.0);
  host.AddRegion(3, "Three", 20.0, 28.0);
}

void PlayFor(Host& host, ShowObserver& observer, int64_t ms) {
  for (; ms > 0; ms -= 33) {
    host.Advance(33);
    observer.Update(host);
  }
}

TEST(SimShowObserver, PlaybackRunningIntoTheNextSongCountsAsFollowingOn) {
  Host host;
  BuildThreeSongs(host);
  ShowObserver observer;
  host.UserPlay();
  observer.Update(host);
  PlayFor(host, observer, 9'000);
  const std::vector<ObservedEvent> events = observer.TakeEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, ObservedEvent::Kind::kSongStarted);
  EXPECT_EQ(events[0].name, "One");
  EXPECT_FALSE(events[0].chained);
  EXPECT_EQ(events[1].name, "Two");
  EXPECT_TRUE(events[1].chained);
  EXPECT_EQ(observer.SongsStarted(), 2);
  EXPECT_EQ(observer.Chained(), 1);
  EXPECT_EQ(observer.Region(), 2);
}

TEST(SimShowObserver, AJumpFromMidSongIsAStartNotAFollowOnAndAStopNamesTheSong) {
  Host host;
  BuildThreeSongs(host);
  ShowObserver observer;
  host.UserPlay();
  PlayFor(host, observer, 3'000);
  host.UserSeek(20.0);  // "play next" in the middle of a song
  PlayFor(host, observer, 1'000);
  host.UserStop();
  observer.Update(host);
  const std::vector<ObservedEvent> events = observer.TakeEvents();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[1].name, "Three");
  EXPECT_FALSE(events[1].chained);
  EXPECT_EQ(events[2].kind, ObservedEvent::Kind::kStopped);
  EXPECT_EQ(events[2].name, "Three");
  EXPECT_EQ(observer.Chained(), 0);

  observer.ResetCounts();
  EXPECT_EQ(observer.SongsStarted(), 0);
  EXPECT_TRUE(observer.TakeEvents().empty());
}

TEST(SimShowObserver, PlayingFromAMarkerInsideASongIsNoSongStart) {
  Host host;
  BuildThreeSongs(host);
  host.UserSeek(4.0);  // a practise run from the song's middle
  ShowObserver observer;
  host.UserPlay();
  PlayFor(host, observer, 1'000);
  EXPECT_TRUE(observer.TakeEvents().empty());
  EXPECT_EQ(observer.Transport(), TransportState::kPlaying);
  EXPECT_EQ(observer.RegionName(), "One");
}

TEST(SimSession, ActionsRunThroughTheEntryPointAndTheLogTellsWhatTheHostSaw) {
  Host host;
  BuildThreeSongs(host);
  host.SetExtState("Quorvane", "Setlist.Count", "1");
  host.SetExtState("Quorvane", "Setlist.Item.0.RegionID", "2");
  host.SetExtState("Quorvane", "Setlist.Item.0.Type", "SONG");
  host.SetExtState("Quorvane", "Setlist.Item.0.AutoStart", "0");
  HostLog quiet(host, false);
  HostLog trace(host, true);
  {
    ShowSession session(host, &ReaperPluginEntry, nullptr);
    ASSERT_TRUE(session.Load());
    EXPECT_FALSE(session.RunAction("Quorvane_NoSuchAction"));
    ASSERT_TRUE(session.RunAction("Quorvane_StartShow"));
    session.Advance(1'000);
    EXPECT_EQ(session.Observer().Region(), 2);
    EXPECT_EQ(session.Observer().SongsStarted(), 1);
    ASSERT_TRUE(session.RunAction("Quorvane_ShowState"));
    EXPECT_GE(session.Ticks(), 30);
  }
  EXPECT_EQ(host.RegisteredCount("timer"), 0);  // the session unloaded the extension

  const std::vector<std::string> lines = quiet.TakeLines();
  std::string text;
  for (const std::string& line : lines)
    text += line + "\n";
  EXPECT_NE(text.find("console: Status: LIVE"), std::string::npos) << text;
  EXPECT_EQ(text.find("host call"), std::string::npos) << text;

  std::string traced;
  for (const std::string& line : trace.TakeLines())
    traced += line + "\n";
  EXPECT_NE(traced.find("register timer -> 1"), std::string::npos) << traced;
  EXPECT_NE(traced.find("host call SetEditCurPos(8.000 s"), std::string::npos) << traced;
  EXPECT_NE(traced.find("host call OnPlayButton()"), std::string::npos) << traced;
  EXPECT_TRUE(trace.TakeLines().empty());  // each line once
  EXPECT_EQ(ProjectName(host), "");
  host.Project().path = "Shows/Summer Tour.rpp";
  EXPECT_EQ(ProjectName(host), "Summer Tour");
}

}  // namespace
}  // namespace quorvane::sim
