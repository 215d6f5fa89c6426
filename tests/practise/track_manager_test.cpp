// The sound-check track list and the mute and solo setters against the simulated host.
#include <gtest/gtest.h>

#include <vector>

#include "practise/track_manager.h"
#include "sim/sim_host.h"

namespace quorvane::practise {
namespace {

class TrackManagerTest : public ::testing::Test {
 protected:
  // Binds the host as it is configured at this moment.
  const host::HostApi& Api() {
    if (!bound_) {
      api_.Bind(host_.Info()->GetFunc);
      bound_ = true;
    }
    return api_;
  }

  std::vector<int32_t> Indents() {
    std::vector<int32_t> indents;
    for (const practise::BackingTrackRow& row : ListProjectTracks(Api())) {
      indents.push_back(row.indentLevel);
    }
    return indents;
  }

  sim::Host host_;
  host::HostApi api_;
  bool bound_ = false;
};

TEST_F(TrackManagerTest, FolderParentsIndentTheTracksAfterThem) {
  host_.AddTrack("A", 1);
  host_.AddTrack("B", 0);
  host_.AddTrack("C", 1);
  host_.AddTrack("D", -2);
  host_.AddTrack("E", 0);
  const practise::BackingTrackRows rows = ListProjectTracks(Api());
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(Indents(), (std::vector<int32_t>{0, 1, 1, 2, 0}));
  EXPECT_EQ(rows[3].name, "D");
  EXPECT_EQ(rows[3].trackIndex, 3);
  EXPECT_EQ(rows[3].folderDepth, -2);
}

TEST_F(TrackManagerTest, MoreClosingsThanOpeningsNeverIndentBelowTheTop) {
  host_.AddTrack("Opens", 1);
  host_.AddTrack("Closes three", -3);
  host_.AddTrack("Top", -1);
  host_.AddTrack("Opens again", 1);
  host_.AddTrack("Inside", 0);
  EXPECT_EQ(Indents(), (std::vector<int32_t>{0, 1, 0, 0, 1}));
}

TEST_F(TrackManagerTest, RowsShowNameMuteAndAnySoloMode) {
  EXPECT_TRUE(ListProjectTracks(Api()).empty());
  host_.AddTrack("");
  host_.AddTrack("Keys");
  host_.Track(0).mute = true;
  host_.Track(1).solo = 2;  // solo in place
  const practise::BackingTrackRows rows = ListProjectTracks(Api());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].name, "(UNNAMED TRACK)");
  EXPECT_TRUE(rows[0].muted);
  EXPECT_FALSE(rows[0].soloed);
  EXPECT_EQ(rows[1].name, "Keys");
  EXPECT_FALSE(rows[1].muted);
  EXPECT_TRUE(rows[1].soloed);
}

TEST_F(TrackManagerTest, MuteAndSoloReachTheHostTrack) {
  host_.AddTrack("Drums");
  host_.AddTrack("Bass");
  host_.Track(1).solo = 2;
  EXPECT_TRUE(SetTrackMute(Api(), 0, true));
  EXPECT_TRUE(host_.Track(0).mute);
  EXPECT_TRUE(SetTrackSolo(Api(), 1, false));
  EXPECT_EQ(host_.Track(1).solo, 0);
  EXPECT_TRUE(SetTrackSolo(Api(), 1, true));
  EXPECT_EQ(host_.Track(1).solo, 1);
  EXPECT_TRUE(SetTrackMute(Api(), 0, false));
  EXPECT_FALSE(host_.Track(0).mute);

  host_.ClearCalls();
  EXPECT_FALSE(SetTrackMute(Api(), -1, true));
  EXPECT_FALSE(SetTrackMute(Api(), 2, true));
  EXPECT_FALSE(SetTrackSolo(Api(), -1, true));
  EXPECT_FALSE(SetTrackSolo(Api(), 2, true));
  EXPECT_EQ(host_.CountCalls("GetSetMediaTrackInfo"), 0);
}

TEST_F(TrackManagerTest, OldReaderStandsInForTheMissingAccessor) {
  host_.RemoveFunction("GetSetMediaTrackInfo");
  host_.OfferFunction("GetMediaTrackInfo");
  host_.AddTrack("Folder", 1);
  host_.AddTrack("Guitar");
  host_.Track(1).mute = true;
  host_.Track(1).solo = 1;
  const practise::BackingTrackRows rows = ListProjectTracks(Api());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].folderDepth, 1);
  EXPECT_EQ(rows[1].indentLevel, 1);
  EXPECT_TRUE(rows[1].muted);
  EXPECT_TRUE(rows[1].soloed);
  // Nothing can be set without the accessor.
  EXPECT_FALSE(SetTrackMute(Api(), 1, false));
  EXPECT_TRUE(host_.Track(1).mute);
}

TEST_F(TrackManagerTest, WithoutAnyValueReaderTracksStillListByName) {
  host_.RemoveFunction("GetSetMediaTrackInfo");
  host_.AddTrack("Vocals", 1);
  host_.Track(0).mute = true;
  const practise::BackingTrackRows rows = ListProjectTracks(Api());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].name, "Vocals");
  EXPECT_FALSE(rows[0].muted);
  EXPECT_EQ(rows[0].folderDepth, 0);
}

TEST_F(TrackManagerTest, NoListWithoutTheNameReader) {
  host_.RemoveFunction("GetSetMediaTrackInfo_String");
  host_.AddTrack("Vocals");
  EXPECT_TRUE(ListProjectTracks(Api()).empty());
}

TEST_F(TrackManagerTest, ComparisonNoticesEveryChangeTheHostMakes) {
  host_.AddTrack("Drums");
  host_.AddTrack("Bass");
  const practise::BackingTrackRows before = ListProjectTracks(Api());
  EXPECT_TRUE(SameTrackRows(before, ListProjectTracks(Api())));

  host_.Track(1).solo = 1;
  EXPECT_FALSE(SameTrackRows(before, ListProjectTracks(Api())));
  host_.Track(1).solo = 0;
  host_.Track(0).name = "Drum kit";
  EXPECT_FALSE(SameTrackRows(before, ListProjectTracks(Api())));
  host_.Track(0).name = "Drums";
  host_.AddTrack("Keys");
  EXPECT_FALSE(SameTrackRows(before, ListProjectTracks(Api())));

  practise::BackingTrackRows indented = before;
  indented[1].indentLevel = 1;
  EXPECT_FALSE(SameTrackRows(before, indented));
}

}  // namespace
}  // namespace quorvane::practise
