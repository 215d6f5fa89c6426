// The count-in player against the simulated host: what it hands the preview mechanism, and which
// click files exist on disk along the way.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <memory>

#include "practise/count_in_player.h"
#include "sim/sim_host.h"
#include "temp_folder.h"

namespace quorvane::practise {
namespace {

using testing::FromUtf8;
using testing::ScopedTempFolder;

// The preview functions as the extension binds them from `host`.
PreviewFunctions BoundPreview(sim::Host& host) {
  host::HostApi api;
  api.Bind(host.Info()->GetFunc);
  return PreviewFunctionsOf(api);
}

class CountInPlayerTest : public ::testing::Test {
 protected:
  // Binds the preview functions the host offers at this moment.
  CountInPlayer& Player() {
    if (!player_) {
      player_ = std::make_unique<CountInPlayer>(BoundPreview(host_));
    }
    return *player_;
  }
  // Unload.
  void DestroyPlayer() { player_.reset(); }

  void TearDown() override {
    DestroyPlayer();
    EXPECT_EQ(host_.LiveSources(), 0);
    EXPECT_EQ(host_.PlayingPreviews(), 0);
    EXPECT_TRUE(folder_.ClickFiles().empty());
    EXPECT_TRUE(host_.Problems().empty()) << host_.Problems().front();
  }

  ScopedTempFolder folder_;
  sim::Host host_;
  std::unique_ptr<CountInPlayer> player_;
};

TEST_F(CountInPlayerTest, EachClickReplacesTheLastAndUnloadRemovesIt) {
  ASSERT_TRUE(Player().PlayCountIn(120.0, 4));
  EXPECT_EQ(host_.PlayingPreviews(), 1);
  const std::string first = Player().ClickFilePath();
  ASSERT_EQ(host_.CreatedSourcePaths(), std::vector<std::string>{first});
  EXPECT_EQ(std::filesystem::file_size(FromUtf8(first)), 44u + 385920u);
  const std::vector<sim::HostCall> plays = host_.CallsTo("PlayPreviewEx");
  ASSERT_EQ(plays.size(), 1u);
  EXPECT_EQ(plays[0].text, first);
  EXPECT_EQ(plays[0].flag, 0);
  EXPECT_EQ(plays[0].time, 0.0);
  const preview_register_t* record = Player().ClickPreview();
  ASSERT_NE(record, nullptr);
  EXPECT_TRUE(host_.PreviewPlaying(record));
  EXPECT_NE(record->src, nullptr);
  EXPECT_EQ(record->m_out_chan, 0);
  EXPECT_EQ(record->curpos, 0.0);
  EXPECT_FALSE(record->loop);
  EXPECT_EQ(record->volume, 1.0);
  EXPECT_EQ(record->peakvol[0], 0.0);
  EXPECT_EQ(record->peakvol[1], 0.0);
  EXPECT_EQ(record->preview_track, nullptr);

  // A second run while the first still sounds: the first is stopped and its file deleted.
  ASSERT_TRUE(Player().PlayCountIn(100.0, 8));
  const std::string second = Player().ClickFilePath();
  EXPECT_NE(second, first);
  EXPECT_EQ(host_.PlayingPreviews(), 1);
  EXPECT_EQ(host_.LiveSources(), 1);
  EXPECT_EQ(host_.CountCalls("StopPreview"), 1);
  EXPECT_FALSE(std::filesystem::exists(FromUtf8(first)));
  ASSERT_EQ(folder_.ClickFiles().size(), 1u);
  EXPECT_TRUE(std::filesystem::equivalent(folder_.ClickFiles()[0], FromUtf8(second)));

  // Stopping keeps the source and the file for the next start or unload.
  Player().StopCountIn();
  EXPECT_FALSE(Player().ClickPlaying());
  EXPECT_EQ(host_.PlayingPreviews(), 0);
  EXPECT_EQ(host_.LiveSources(), 1);
  EXPECT_EQ(folder_.ClickFiles().size(), 1u);

  DestroyPlayer();
  EXPECT_EQ(host_.LiveSources(), 0);
  EXPECT_TRUE(folder_.ClickFiles().empty());
}

TEST_F(CountInPlayerTest, UnloadWhilePlayingStopsThePreviewFirst) {
  ASSERT_TRUE(Player().PlayCountIn(120.0, 8));
  DestroyPlayer();
  EXPECT_EQ(host_.CountCalls("StopPreview"), 1);
  // TearDown checks that the host saw no source destroyed under a playing preview.
}

TEST_F(CountInPlayerTest, RejectedClicksLeaveNoFileAndNoSource) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(Player().PlayCountIn(120.0, 3));
  EXPECT_FALSE(Player().PlayCountIn(0.0, 4));
  EXPECT_FALSE(Player().PlayCountIn(-90.0, 4));
  EXPECT_FALSE(Player().PlayCountIn(inf, 4));
  EXPECT_FALSE(Player().PlayCountIn(std::nan(""), 8));
  EXPECT_FALSE(Player().PlayCountIn(91500.0, 4));  // 31 frames a beat
  EXPECT_TRUE(folder_.ClickFiles().empty());
  EXPECT_TRUE(host_.CreatedSourcePaths().empty());
  EXPECT_EQ(host_.CountCalls("PlayPreviewEx"), 0);
}

TEST_F(CountInPlayerTest, UnwritableTemporaryFolderPlaysNothing) {
  folder_.Redirect(folder_.Path() / "missing");
  EXPECT_FALSE(Player().PlayCountIn(120.0, 4));

  const std::filesystem::path plainFile = folder_.Path() / "not-a-folder";
  { std::ofstream(plainFile) << "x"; }
  folder_.Redirect(plainFile);
  EXPECT_FALSE(Player().PlayCountIn(120.0, 8));

  EXPECT_TRUE(host_.CreatedSourcePaths().empty());
  EXPECT_TRUE(folder_.ClickFiles().empty());
}

TEST_F(CountInPlayerTest, HostRefusingThePreviewReleasesSourceAndFile) {
  host_.FailPreviewPlayback(true);
  EXPECT_FALSE(Player().PlayCountIn(120.0, 4));
  EXPECT_FALSE(Player().ClickPlaying());
  EXPECT_EQ(host_.CreatedSourcePaths().size(), 1u);
  EXPECT_EQ(host_.LiveSources(), 0);
  EXPECT_TRUE(folder_.ClickFiles().empty());
  EXPECT_TRUE(Player().ClickFilePath().empty());
}

TEST_F(CountInPlayerTest, AnyMissingPreviewFunctionMeansNoClick) {
  for (const char* name :
       {"PCM_Source_CreateFromFile", "PCM_Source_Destroy", "PlayPreviewEx", "StopPreview"}) {
    sim::Host host;
    host.RemoveFunction(name);
    const PreviewFunctions functions = BoundPreview(host);
    EXPECT_FALSE(functions.previewAvailable) << name;
    CountInPlayer player(functions);
    EXPECT_FALSE(player.PlayCountIn(120.0, 4)) << name;
    EXPECT_TRUE(host.CreatedSourcePaths().empty()) << name;
  }
  EXPECT_TRUE(BoundPreview(host_).previewAvailable);
}

TEST_F(CountInPlayerTest, HostIsHandedTheUtf8PathOfAFolderOutsideTheAnsiCodePage) {
  ScopedTempFolder folder("qrv-\xD0\x9F\xD0\xB5\xD1\x82\xD1\x8F-\xE9\x9F\xB3");
  ASSERT_TRUE(Player().PlayCountIn(120.0, 4));
  ASSERT_EQ(host_.CreatedSourcePaths().size(), 1u);
  const std::filesystem::path handed = FromUtf8(host_.CreatedSourcePaths()[0]);
  ASSERT_TRUE(std::filesystem::exists(handed));
  EXPECT_TRUE(std::filesystem::equivalent(handed.parent_path(), folder.Path()));
  DestroyPlayer();
  EXPECT_FALSE(std::filesystem::exists(handed));
}

}  // namespace
}  // namespace quorvane::practise
