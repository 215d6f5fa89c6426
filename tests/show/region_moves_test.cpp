// A show follows its regions wherever they go: the transport goes where a region is at the moment
// it is needed, also after an edit the host's change count did not announce (a script's edit
// without an undo point), a project opened into the same tab is not read from the walk of the one
// before, and the music still to play follows every edit at once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "show_fixture.h"

namespace quorvane::show {
namespace {

using sim::TransportState;

class RegionMoves : public test::ShowTest {
 protected:
  int ChangeCount() { return api.GetProjectStateChangeCount(nullptr); }
  // A LIVE show of `regions` has ticked for a while: the regions are kept between ticks.
  void ShowUnderWay(const std::vector<int>& regions, const std::vector<int>& autoStarts = {}) {
    UseSetlist(regions, autoStarts);
    ASSERT_TRUE(engine.StartShow());
    RunFor(1000);
    ASSERT_TRUE(engine.Player().Playing());
  }
};

TEST_F(RegionMoves, ReplayGoesWhereTheSongIsNowAfterAMoveTheCountMissed) {
  host.AddRegion(1, "Opener", 0.0, 10.0);
  host.AddRegion(2, "Second", 20.0, 30.0);
  ShowUnderWay({1, 2});
  core.RunRemoteCommand(R"({"cmd":"LIVE_STOP"})");
  Tick();

  const int count = ChangeCount();
  ASSERT_TRUE(host.MoveRegionSilently(1, 100.0, 110.0));
  ASSERT_EQ(ChangeCount(), count);
  host.ClearCalls();
  core.RunRemoteCommand(R"({"cmd":"LIVE_REPLAY"})");
  ASSERT_FALSE(host.CallsTo("SetEditCurPos").empty());
  EXPECT_EQ(host.CallsTo("SetEditCurPos").back().time, 100.0);
  EXPECT_EQ(host.Transport(), TransportState::kPlaying);
  EXPECT_EQ(host.PlayPosition(), 100.0);

  // What the show reports follows too, and the song is supervised where it now is.
  RunFor(1000);
  EXPECT_EQ(engine.Snapshot().regionStart, 100.0);
  EXPECT_NEAR(engine.Snapshot().playbackRemaining, 9.0 + 10.0, 0.05);
  RunFor(9500);
  EXPECT_EQ(setlist.CurrentIndex(), 0);
  EXPECT_EQ(engine.LiveTransportChoice(), LiveTransport::kNext);  // the song ended at its new end
}

TEST_F(RegionMoves, SelectingAndPlayingNextSeekWhereTheSongIsNow) {
  host.AddRegion(1, "Opener", 0.0, 10.0);
  host.AddRegion(2, "Second", 20.0, 30.0);
  host.AddRegion(3, "Third", 40.0, 50.0);
  ShowUnderWay({1, 2, 3});

  ASSERT_TRUE(host.MoveRegionSilently(2, 200.0, 210.0));
  ASSERT_TRUE(engine.PlayNext());
  EXPECT_EQ(host.PlayPosition(), 200.0);
  EXPECT_EQ(setlist.CurrentIndex(), 1);

  core.RunRemoteCommand(R"({"cmd":"LIVE_STOP"})");
  ASSERT_TRUE(host.MoveRegionSilently(3, 300.0, 310.0));
  ASSERT_TRUE(engine.SelectSong(2).applied);
  EXPECT_EQ(host.EditCursor(), 300.0);
}

// The next song, moved while the one before plays, is pre-rolled and chained where it now is.
TEST_F(RegionMoves, AChainGoesToTheNextSongsNewPlace) {
  host.SetConfigVar("smoothseek", 4);
  host.AddRegion(1, "Opener", 0.0, 8.0);
  host.AddRegion(2, "Segue", 20.0, 28.0);
  ShowUnderWay({1, 2}, {1});

  ASSERT_TRUE(host.MoveRegionSilently(2, 60.0, 68.0));
  RunFor(7500);  // past the song's end: the next one was sought in the last bar
  const std::vector<sim::HostCall> seeks = SeekPlayCalls();
  ASSERT_EQ(seeks.size(), 1u);
  EXPECT_EQ(seeks[0].time, 60.0);
  EXPECT_EQ(setlist.CurrentIndex(), 1);
  EXPECT_EQ(host.Transport(), TransportState::kPlaying);
  EXPECT_NEAR(host.PlayPosition(), 60.5, 0.05);
  EXPECT_EQ(engine.Snapshot().regionStart, 60.0);
  EXPECT_EQ(host.CountCalls("OnStopButton"), 0);
}

// Another project opened into the same tab keeps the tab's handle and may repeat the change
// count of the one before: its regions are read afresh all the same.
TEST_F(RegionMoves, AProjectOpenedIntoTheSameTabIsNotReadFromTheWalkOfTheOneBefore) {
  host.AddRegion(1, "Here", 0.0, 10.0);
  for (int i = 0; i < 10; ++i)
    host.ProjectEdited();
  ASSERT_EQ(api.EnumerateRegions().at(0).start, 0.0);  // kept
  const int count = ChangeCount();

  host.OpenInCurrentTab("/shows/second.rpp");
  host.AddRegion(1, "There", 50.0, 60.0);
  Tick();  // the tracker sees the other project
  while (ChangeCount() < count)
    host.ProjectEdited();
  ASSERT_EQ(ChangeCount(), count);

  host::ProjectRegion region;
  ASSERT_TRUE(api.FindRegion(1, &region));
  EXPECT_EQ(region.name, "There");
  EXPECT_EQ(region.start, 50.0);
}

// The music still to play is summed once per change, not per tick: every change shows at once.
TEST_F(RegionMoves, MusicToPlayFollowsEditsOfTheSetlistAndTheRegionsAtOnce) {
  host.AddRegion(1, "Opener", 0.0, 100.0);
  host.AddRegion(2, "Second", 100.0, 200.0);
  host.AddRegion(3, "Third", 200.0, 300.0);
  ASSERT_TRUE(engine.SetShowDuration(3600.0));
  ShowUnderWay({1, 2, 3});  // one second into the first song
  const auto toPlay = [&] {
    Tick();
    return engine.Snapshot().playbackRemaining;
  };
  EXPECT_NEAR(toPlay(), 99.0 + 100.0 + 100.0, 0.05);

  ASSERT_TRUE(setlist.RemoveItem(2));
  EXPECT_NEAR(toPlay(), 99.0 + 100.0, 0.05);
  ASSERT_TRUE(setlist.AddPause());
  ASSERT_TRUE(setlist.AddRegionToSetlist(3));
  EXPECT_NEAR(toPlay(), 99.0 + 100.0 + 100.0, 0.05);

  host.Project().regions[1].end = 150.0;  // the user shortens the second song
  host.ProjectEdited();
  EXPECT_NEAR(toPlay(), 99.0 + 50.0 + 100.0, 0.05);

  ASSERT_TRUE(setlist.MoveItemUp(3));  // the third song before the pause: the same songs
  EXPECT_NEAR(toPlay(), 99.0 + 50.0 + 100.0, 0.05);

  ASSERT_TRUE(engine.PlayNext());  // the current item moves on
  EXPECT_NEAR(toPlay(), 50.0 + 100.0, 0.05);
}

}  // namespace
}  // namespace quorvane::show
