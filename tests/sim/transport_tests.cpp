// The transport on the virtual clock: play, stop, pause, seeks, smooth seek, repeat over the time
// selection, play rate and pre-roll.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "sim_test_support.h"

namespace quorvane::sim {
namespace {

using testing::Bind;

class SimTransport : public ::testing::Test {
 protected:
  Host host;
  hostfn::SetEditCurPos seek = Bind<hostfn::SetEditCurPos>(host, "SetEditCurPos");
  hostfn::OnPlayButton play = Bind<hostfn::OnPlayButton>(host, "OnPlayButton");
  hostfn::OnStopButton stop = Bind<hostfn::OnStopButton>(host, "OnStopButton");
  hostfn::GetPlayPosition position = Bind<hostfn::GetPlayPosition>(host, "GetPlayPosition");
  hostfn::GetPlayState state = Bind<hostfn::GetPlayState>(host, "GetPlayState");
  hostfn::GetSet_LoopTimeRange loopRange =
      Bind<hostfn::GetSet_LoopTimeRange>(host, "GetSet_LoopTimeRange");
  hostfn::CSurf_OnPlayRateChange setRate =
      Bind<hostfn::CSurf_OnPlayRateChange>(host, "CSurf_OnPlayRateChange");
  hostfn::Master_GetPlayRate rate = Bind<hostfn::Master_GetPlayRate>(host, "Master_GetPlayRate");

  void SetSelection(double start, double end) { loopRange(true, false, &start, &end, false); }
};

TEST_F(SimTransport, PlaysFromTheEditCursorAndStopsBackToIt) {
  EXPECT_EQ(state(), 0);
  seek(5.0, true, false);
  EXPECT_DOUBLE_EQ(position(), 5.0);  // stopped: the edit cursor
  play();
  EXPECT_EQ(state(), 1);
  host.Advance(1500);
  EXPECT_DOUBLE_EQ(position(), 6.5);
  EXPECT_DOUBLE_EQ(host.EditCursor(), 5.0);
  stop();
  EXPECT_EQ(state(), 0);
  EXPECT_EQ(host.Transport(), TransportState::kStopped);
  EXPECT_DOUBLE_EQ(position(), 5.0);
  host.Advance(1000);
  EXPECT_DOUBLE_EQ(position(), 5.0);

  ASSERT_EQ(host.CountCalls("SetEditCurPos"), 1);
  const HostCall call = host.CallsTo("SetEditCurPos")[0];
  EXPECT_DOUBLE_EQ(call.time, 5.0);
  EXPECT_TRUE(call.moveView);
  EXPECT_FALSE(call.seekPlay);
  EXPECT_EQ(host.CallsTo("OnStopButton")[0].atMs, static_cast<int64_t>(Host::kStartMs) + 1500);
}

TEST_F(SimTransport, PauseHoldsThePositionAndPlayResumes) {
  play();
  host.Advance(1000);
  host.UserPause();
  EXPECT_EQ(state(), 2);
  host.Advance(5000);
  EXPECT_DOUBLE_EQ(position(), 1.0);
  play();  // resumes where it paused
  host.Advance(500);
  EXPECT_DOUBLE_EQ(position(), 1.5);
  seek(10.0, false, false);  // play pressed while playing restarts at the edit cursor
  play();
  EXPECT_DOUBLE_EQ(position(), 10.0);
}

TEST_F(SimTransport, SeekPlayJumpsAtOnceWithoutSmoothSeek) {
  play();
  host.Advance(2500);
  seek(20.0, false, true);
  EXPECT_DOUBLE_EQ(position(), 20.0);
  EXPECT_FALSE(host.SeekPending());
  seek(30.0, true, false);  // without seek-play only the edit cursor moves
  EXPECT_DOUBLE_EQ(position(), 20.0);
  EXPECT_DOUBLE_EQ(host.EditCursor(), 30.0);
}

TEST_F(SimTransport, SmoothSeekLandsAtTheNextBarLine) {
  host.SetConfigVar("smoothseek", 3);
  play();
  host.Advance(2500);  // 2.5 s: inside the second bar (2 s bars at 120 bpm 4/4)
  seek(20.0, false, true);
  EXPECT_TRUE(host.SeekPending());
  EXPECT_DOUBLE_EQ(host.PendingSeekBarLine(), 4.0);
  EXPECT_DOUBLE_EQ(host.EditCursor(), 20.0);
  host.Advance(1000);
  EXPECT_DOUBLE_EQ(position(), 3.5);  // still playing the old bar
  host.Advance(700);                  // the bar line is crossed 500 ms into this step
  EXPECT_FALSE(host.SeekPending());
  EXPECT_NEAR(position(), 20.2, 1e-9);
}

TEST_F(SimTransport, SmoothSeekWaitsForTheBarLineOfTheTempoMap) {
  host.SetConfigVar("smoothseek", 1);
  host.SetTempoMap({{0.0, 120.0, 4, 4}, {8.0, 120.0, 6, 8}});  // 1.5 s bars from 8 s
  seek(8.2, false, false);
  play();
  seek(100.0, false, true);
  EXPECT_DOUBLE_EQ(host.PendingSeekBarLine(), 9.5);
  host.Run(3000, 33);  // ticked steps: the landing is still exact
  EXPECT_NEAR(position(), 100.0 + (8.2 + 3.0 - 9.5), 1e-9);
}

TEST_F(SimTransport, StopCancelsAPendingSmoothSeek) {
  host.SetConfigVar("smoothseek", 1);
  play();
  seek(50.0, false, true);
  stop();
  EXPECT_FALSE(host.SeekPending());
  EXPECT_DOUBLE_EQ(position(), 50.0);  // the edit cursor moved
}

TEST_F(SimTransport, RepeatLoopsTheTimeSelection) {
  SetSelection(2.0, 4.0);
  host.SetRepeat(true);
  seek(1.0, true, false);
  play();
  host.Advance(5500);  // 1 -> 4 (3 s), 2 -> 4 (2 s), 2 -> 2.5
  EXPECT_NEAR(position(), 2.5, 1e-9);
  for (int i = 0; i < 200; ++i)
    host.Advance(33);  // 6.6 s more in small steps
  EXPECT_NEAR(position(), 2.0 + std::fmod(0.5 + 6.6, 2.0), 1e-9);
  host.SetRepeat(false);
  host.Advance(3000);
  EXPECT_GT(position(), 4.0);
}

TEST_F(SimTransport, NoLoopWithoutRepeatOrSelectionOrAfterTheSelection) {
  SetSelection(2.0, 4.0);
  play();
  host.Advance(5000);
  EXPECT_DOUBLE_EQ(position(), 5.0);  // repeat off
  host.SetRepeat(true);
  host.Advance(1000);
  EXPECT_DOUBLE_EQ(position(), 6.0);  // playing beyond the selection: no wrap
  double start = 0.0;
  double end = 0.0;
  loopRange(true, false, &start, &end, false);  // selection cleared
  stop();
  play();
  host.Advance(10000);
  EXPECT_DOUBLE_EQ(position(), 10.0);
}

TEST_F(SimTransport, PlayRateScalesTheAdvance) {
  EXPECT_DOUBLE_EQ(rate(nullptr), 1.0);
  setRate(0.5);
  EXPECT_DOUBLE_EQ(rate(nullptr), 0.5);
  play();
  host.Advance(2000);
  EXPECT_DOUBLE_EQ(position(), 1.0);
  setRate(10.0);  // the host's range ends at 4
  EXPECT_DOUBLE_EQ(rate(nullptr), 4.0);
  setRate(-1.0);
  EXPECT_DOUBLE_EQ(rate(nullptr), 4.0);
  ASSERT_EQ(host.CountCalls("CSurf_OnPlayRateChange"), 3);
  EXPECT_DOUBLE_EQ(host.CallsTo("CSurf_OnPlayRateChange")[0].time, 0.5);
}

TEST_F(SimTransport, HostPreRollStartsBeforeTheEditCursor) {
  seek(8.0, true, false);
  host.SetConfigVar("preroll", 1);
  play();
  EXPECT_DOUBLE_EQ(position(), 6.0);  // one measure of 2 s
  stop();
  host.SetConfigVar("preroll", 0);
  host.SetConfigVar("projmetroen", 8);
  host.SetConfigDouble("prerollmeas", 2.0);
  play();
  EXPECT_DOUBLE_EQ(position(), 4.0);
  stop();
  host.SetConfigVar("projmetroen", 1);  // the metronome without count-in
  play();
  EXPECT_DOUBLE_EQ(position(), 8.0);
}

TEST_F(SimTransport, HostCommandsDriveTheTransport) {
  host.RunCommand(1007);
  EXPECT_EQ(state(), 1);
  host.RunCommand(1008);
  EXPECT_EQ(state(), 2);
  host.RunCommand(1016);
  EXPECT_EQ(state(), 0);
  host.RunCommand(40044);
  EXPECT_EQ(state(), 1);
  host.RunCommand(40044);
  EXPECT_EQ(state(), 0);
}

// A backup rig's conditions: its audio clock off the wall clock, and a moment between play pressed
// and the transport moving.
TEST_F(SimTransport, ASkewedClockAndAStartLatencyShowInThePlayPosition) {
  host.SetClockSkewPpm(150.0);
  host.SetStartLatency(20, 20);
  play();
  host.Advance(10);
  EXPECT_DOUBLE_EQ(position(), 0.0);  // pressed, not moving yet
  EXPECT_EQ(state(), 1);
  host.Advance(30);
  EXPECT_NEAR(position(), 0.020 * 1.00015, 1e-12);
  host.Advance(100'000);
  EXPECT_NEAR(position(), 100.020 * 1.00015, 1e-9);
  // A seek while playing moves at once; resuming a pause waits for nothing either.
  seek(10.0, false, true);
  host.Advance(1000);
  EXPECT_NEAR(position(), 11.00015, 1e-9);
  host.UserPause();
  play();
  host.Advance(1000);
  EXPECT_NEAR(position(), 12.0003, 1e-9);

  // Each start draws its own latency within the range, the same draws for the same seed.
  const auto latencies = [&](uint64_t seed) {
    host.SetClockSkewPpm(0.0);
    host.SetStartLatency(5, 40, seed);
    std::vector<int> drawn;
    for (int start = 0; start < 12; ++start) {
      stop();
      seek(0.0, false, false);
      play();
      int waited = 0;
      while (position() == 0.0 && waited < 100) {
        host.Advance(1);
        ++waited;
      }
      drawn.push_back(waited);
    }
    return drawn;
  };
  const std::vector<int> first = latencies(7);
  for (const int ms : first) {
    EXPECT_GE(ms, 6);  // the millisecond that first moves it counts too
    EXPECT_LE(ms, 41);
  }
  EXPECT_NE(*std::min_element(first.begin(), first.end()),
            *std::max_element(first.begin(), first.end()));
  EXPECT_EQ(latencies(7), first);
}

}  // namespace
}  // namespace quorvane::sim
