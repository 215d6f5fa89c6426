// The preview functions: sources made from WAVE files, and the check of the record handed in.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/preview_lock.h"
#include "sim_test_support.h"

namespace quorvane::sim {
namespace {

using testing::Bind;

class SimPreview : public ::testing::Test {
 protected:
  void SetUp() override {
    wave = testing::WriteWaveFile("click", 2.0);
    platform::InitPreviewLock(&record.lock);
    record.m_out_chan = 0;
    record.volume = 1.0;
  }
  void TearDown() override {
    platform::DeletePreviewLock(&record.lock);
    testing::RemoveFile(wave);
  }
  Host host;
  hostfn::PCM_Source_CreateFromFile create =
      Bind<hostfn::PCM_Source_CreateFromFile>(host, "PCM_Source_CreateFromFile");
  hostfn::PCM_Source_Destroy destroy = Bind<hostfn::PCM_Source_Destroy>(host, "PCM_Source_Destroy");
  hostfn::PlayPreviewEx playPreview = Bind<hostfn::PlayPreviewEx>(host, "PlayPreviewEx");
  hostfn::StopPreview stopPreview = Bind<hostfn::StopPreview>(host, "StopPreview");
  std::string wave;
  preview_register_t record{};
};

TEST_F(SimPreview, SourcesComeOnlyFromWaveFilesWhateverTheirName) {
  const std::string text = testing::WriteTextFile("notwave", "RIFF....AVI LIST");
  EXPECT_EQ(create(text.c_str()), nullptr);
  EXPECT_EQ(create("/no/such/file.wav"), nullptr);
  PCM_source* source = create(wave.c_str());  // named .tmp, recognised by content
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(host.LiveSources(), 1);
  EXPECT_EQ(host.CreatedSourcePaths().size(), 3u);
  destroy(source);
  EXPECT_EQ(host.LiveSources(), 0);
  testing::RemoveFile(text);
  EXPECT_TRUE(host.Problems().empty());
}

TEST_F(SimPreview, AGoodRecordPlaysUntilStopped) {
  record.src = create(wave.c_str());
  EXPECT_NE(playPreview(&record, 0, 0.0), 0);
  EXPECT_EQ(host.PlayingPreviews(), 1);
  EXPECT_TRUE(host.PreviewPlaying(&record));
  host.Advance(500);
  EXPECT_NEAR(record.curpos, 0.5, 1e-9);  // the host's audio thread moves the position
  host.Advance(5000);
  EXPECT_NEAR(record.curpos, 2.0, 1e-9);  // held at the end without loop
  EXPECT_EQ(stopPreview(&record), 1);
  EXPECT_EQ(host.PlayingPreviews(), 0);
  destroy(record.src);
  ASSERT_EQ(host.CountCalls("PlayPreviewEx"), 1);
  EXPECT_EQ(host.CallsTo("PlayPreviewEx")[0].result, 1);
  EXPECT_EQ(host.CallsTo("PlayPreviewEx")[0].text, wave);
  EXPECT_EQ(host.CallsTo("StopPreview")[0].atMs, static_cast<int64_t>(Host::kStartMs) + 5500);
  EXPECT_TRUE(host.Problems().empty());
}

TEST_F(SimPreview, BadRecordsAreRefused) {
  PCM_source* source = create(wave.c_str());
  record.src = nullptr;
  EXPECT_EQ(playPreview(&record, 0, 0.0), 0);
  int foreign = 0;
  record.src = reinterpret_cast<PCM_source*>(&foreign);
  EXPECT_EQ(playPreview(&record, 0, 0.0), 0);
  record.src = source;
  record.volume = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(playPreview(&record, 0, 0.0), 0);
  record.volume = 1.0;
  destroy(source);
  EXPECT_EQ(playPreview(&record, 0, 0.0), 0);  // a destroyed source
  EXPECT_EQ(playPreview(nullptr, 0, 0.0), 0);
  EXPECT_EQ(host.PlayingPreviews(), 0);
  EXPECT_EQ(host.Problems().size(), 5u);
}

TEST_F(SimPreview, InjectedFailureAndMisuseAreReported) {
  record.src = create(wave.c_str());
  host.FailPreviewPlayback(true);
  EXPECT_EQ(playPreview(&record, 0, 0.0), 0);
  EXPECT_TRUE(host.Problems().empty());  // a refusal, not a misuse
  host.FailPreviewPlayback(false);
  ASSERT_NE(playPreview(&record, 0, 0.0), 0);
  EXPECT_EQ(playPreview(&record, 0, 0.0), 0);  // already playing
  destroy(record.src);                         // while it plays
  EXPECT_EQ(stopPreview(&record), 1);
  EXPECT_EQ(stopPreview(&record), 0);  // not playing any more
  EXPECT_EQ(host.Problems().size(), 3u);
}

}  // namespace
}  // namespace quorvane::sim
