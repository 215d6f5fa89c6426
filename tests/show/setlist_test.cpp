// The setlist's editing rules: uniqueness of songs, the auto-start rule, and the current item
// following the edits.
#include <gtest/gtest.h>

#include "show/setlist.h"
#include "show_fixture.h"

namespace quorvane::show {
namespace {

std::vector<bool> AutoStarts(const Setlist& setlist) {
  std::vector<bool> flags;
  for (const SetlistItem& item : setlist.Items())
    flags.push_back(item.autoStart);
  return flags;
}

TEST(SetlistEdits, SongsAreUniqueAndNumberedFromOne) {
  Setlist setlist;
  EXPECT_TRUE(setlist.AddRegionToSetlist(3));
  EXPECT_FALSE(setlist.AddRegionToSetlist(3));
  EXPECT_FALSE(setlist.AddRegionToSetlist(0));
  EXPECT_FALSE(setlist.AddRegionToSetlist(-1));
  EXPECT_TRUE(setlist.AddPause());
  EXPECT_TRUE(setlist.AddPause());  // any number of pauses
  EXPECT_EQ(setlist.Items(),
            (std::vector{SetlistItem::Song(3), SetlistItem::Pause(), SetlistItem::Pause()}));

  Setlist pausesOnly;
  EXPECT_EQ(pausesOnly.CurrentIndex(), -1);
  pausesOnly.AddPause();
  EXPECT_EQ(pausesOnly.CurrentIndex(), 0);
}

TEST(SetlistEdits, AdditionsStopAtAThousandItemsAndARefusalChangesNothing) {
  Setlist setlist;
  ASSERT_TRUE(setlist.AddRegionToSetlist(1));
  for (int i = 1; i < Setlist::kMaxItems; ++i)
    ASSERT_TRUE(setlist.AddPause());
  ASSERT_EQ(setlist.Count(), 1000);
  const std::vector<SetlistItem> full = setlist.Items();
  EXPECT_FALSE(setlist.AddPause());
  EXPECT_FALSE(setlist.AddRegionToSetlist(2));
  EXPECT_EQ(setlist.Items(), full);

  ASSERT_TRUE(setlist.RemoveItem(500));
  EXPECT_TRUE(setlist.AddRegionToSetlist(2));
  EXPECT_EQ(setlist.Count(), 1000);
}

TEST(SetlistEdits, AutoStartOnlyOnSongsThatFollowASongOrOpenTheList) {
  Setlist setlist;
  for (int region : {1, 2, 3})
    setlist.AddRegionToSetlist(region);
  EXPECT_TRUE(setlist.ToggleAutoStart(0));  // the first item may start by itself
  EXPECT_TRUE(setlist.ToggleAutoStart(1));
  EXPECT_TRUE(setlist.ToggleAutoStart(2));
  EXPECT_TRUE(setlist.ToggleAutoStart(0));  // and off again

  // A pause takes the flag of the song that comes to follow it, and only that one.
  setlist.AddPause();
  EXPECT_EQ(AutoStarts(setlist), (std::vector{false, true, true, false}));
  EXPECT_TRUE(setlist.MoveItemUp(3));
  EXPECT_EQ(AutoStarts(setlist), (std::vector{false, true, false, false}));
  EXPECT_TRUE(setlist.MoveItemUp(2));
  EXPECT_EQ(AutoStarts(setlist), (std::vector{false, false, false, false}));
  EXPECT_FALSE(setlist.ToggleAutoStart(1));  // the pause
  EXPECT_FALSE(setlist.ToggleAutoStart(2));  // a song right after the pause
  EXPECT_TRUE(setlist.ToggleAutoStart(3));   // a song after a song
  EXPECT_FALSE(setlist.ToggleAutoStart(4));

  // A pause moved to the top takes the flag of the song that now follows it.
  Setlist top;
  top.AddRegionToSetlist(1);
  top.ToggleAutoStart(0);
  top.AddPause();
  EXPECT_TRUE(top.MoveItemUp(1));
  EXPECT_EQ(AutoStarts(top), (std::vector{false, false}));
}

TEST(SetlistEdits, CurrentItemFollowsRemovalsAndMoves) {
  auto threeSongs = [] {
    Setlist setlist;
    for (int region : {1, 2, 3})
      setlist.AddRegionToSetlist(region);
    setlist.MakeCurrent(2);
    return setlist;
  };
  Setlist removeCurrent = threeSongs();
  EXPECT_TRUE(removeCurrent.RemoveItem(2));
  EXPECT_EQ(removeCurrent.CurrentIndex(), 1);
  Setlist removeBefore = threeSongs();
  EXPECT_TRUE(removeBefore.RemoveItem(0));
  EXPECT_EQ(removeBefore.CurrentIndex(), 1);
  EXPECT_EQ(removeBefore.At(1).regionId, 3);
  Setlist removeOutside = threeSongs();
  EXPECT_FALSE(removeOutside.RemoveItem(3));
  EXPECT_FALSE(removeOutside.RemoveItem(-1));

  Setlist moves = threeSongs();
  EXPECT_FALSE(moves.MoveItemUp(0));
  EXPECT_FALSE(moves.MoveItemDown(2));
  EXPECT_TRUE(moves.MoveItemUp(2));  // the current item moves with it
  EXPECT_EQ(moves.CurrentIndex(), 1);
  EXPECT_TRUE(moves.MoveItemUp(2));  // the item displaced by a swap stays current
  EXPECT_EQ(moves.CurrentIndex(), 2);
  EXPECT_EQ(moves.At(2).regionId, 3);

  Setlist single;
  single.AddRegionToSetlist(5);
  EXPECT_TRUE(single.RemoveItem(0));
  EXPECT_TRUE(single.Empty());
  EXPECT_EQ(single.CurrentIndex(), -1);
}

using SetlistSelection = test::ShowTest;

TEST_F(SetlistSelection, SelectingASongMovesTheEditCursorAndAPauseDoesNot) {
  host.AddRegion(1, "Intro", 12.0, 20.0);
  UseSetlist({1, 0, 2});
  host.ClearCalls();

  EXPECT_TRUE(setlist.SetCurrentIndex(1, api));
  EXPECT_EQ(host.CountCalls("SetEditCurPos"), 0);
  EXPECT_TRUE(setlist.SetCurrentIndex(0, api));
  ASSERT_EQ(host.CountCalls("SetEditCurPos"), 1);
  const sim::HostCall seek = host.CallsTo("SetEditCurPos").front();
  EXPECT_EQ(seek.time, 12.0);
  EXPECT_TRUE(seek.moveView);
  EXPECT_FALSE(seek.seekPlay);

  // Region 2 is not in the project: nothing changes.
  EXPECT_FALSE(setlist.SetCurrentIndex(2, api));
  EXPECT_FALSE(setlist.SetCurrentIndex(3, api));
  EXPECT_EQ(setlist.CurrentIndex(), 0);
  EXPECT_EQ(host.Transport(), sim::TransportState::kStopped);
}

}  // namespace
}  // namespace quorvane::show
