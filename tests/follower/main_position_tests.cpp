// The backup's maths on synthetic streams: the main's position predicted through jitter and
// across seeks, the rate trim that keeps a drifting clock on the main's, and the main's samples
// placed on this clock while the room's beat is led elsewhere.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "rig/main_position.h"
#include "rig/shared_timeline.h"

namespace quorvane::rig {
namespace {

MainMoment At(int64_t localUs, double position, bool playing = true, int32_t region = 1) {
  return MainMoment{localUs, position, 1.0, playing, region};
}

TEST(MainPosition, PredictsThroughJitterAndStartsAfreshOnSeeksStopsAndSongs) {
  MainPosition main;
  // A main whose audio clock runs 200 ppm fast, read with a quarter millisecond of jitter.
  const double speed = 1.0002;
  uint32_t noise = 12345;
  for (int tick = 0; tick < 60; ++tick) {
    noise = noise * 1103515245u + 12345u;
    const double jitter = (static_cast<double>(noise % 1000) / 1000.0 - 0.5) * 0.0005;
    const int64_t t = tick * 33'000;
    const double seconds = static_cast<double>(t) / 1e6;
    EXPECT_EQ(main.Add(At(t, 10.0 + speed * seconds + jitter)), tick == 0) << tick;
  }
  const int64_t later = 59 * 33'000 + 20'000;
  EXPECT_NEAR(main.PredictAt(later), 10.0 + speed * static_cast<double>(later) / 1e6, 0.0002);

  // A jump to another section breaks the line; the prediction follows the new one at once.
  const int64_t jumpAt = 60 * 33'000;
  EXPECT_TRUE(main.Add(At(jumpAt, 4.0)));
  EXPECT_NEAR(main.PredictAt(jumpAt + 10'000), 4.01, 1e-9);
  EXPECT_FALSE(main.Add(At(jumpAt + 33'000, 4.033)));

  // Play pressed, the main's transport not moving yet: it stands until it moves.
  MainPosition starting;
  EXPECT_TRUE(starting.Add(At(0, 20.0)));
  EXPECT_FALSE(starting.Add(At(33'000, 20.0)));
  EXPECT_DOUBLE_EQ(starting.PredictAt(60'000), 20.0);
  EXPECT_TRUE(starting.Add(At(66'000, 20.012)));
  EXPECT_NEAR(starting.PredictAt(76'000), 20.022, 1e-9);

  // Stopped: where it stopped; another song: a new line.
  EXPECT_TRUE(main.Add(At(jumpAt + 66'000, 4.066, false)));
  EXPECT_DOUBLE_EQ(main.PredictAt(jumpAt + 900'000), 4.066);
  const uint64_t lines = main.Lines();
  EXPECT_TRUE(main.Add(At(jumpAt + 99'000, 20.0, true, 2)));
  EXPECT_EQ(main.Lines(), lines + 1);
}

TEST(RateTrim, LearnsAClocksDriftWithinBoundsAndLetsGoOfAnError) {
  // A backup whose audio clock runs 150 ppm fast, trimmed every 33 ms for two minutes.
  RateTrim trim;
  double error = 0.0;  // main minus backup, seconds
  double rate = 1.0;
  double worstLate = 0.0;
  for (int tick = 0; tick < 3600; ++tick) {
    error -= 0.033 * (rate * 1.00015 - 1.0);
    rate = trim.Update(error, 0.033);
    ASSERT_GE(rate, 1.0 - RateTrim::kMaxTrim);
    ASSERT_LE(rate, 1.0 + RateTrim::kMaxTrim);
    if (tick > 600) worstLate = std::max(worstLate, std::fabs(error));
  }
  EXPECT_LT(worstLate, 0.0001);
  EXPECT_NEAR(trim.Drift(), -0.00015, 0.00002);

  // Ten milliseconds behind: as fast as allowed, not faster.
  RateTrim behind;
  EXPECT_DOUBLE_EQ(behind.Update(0.010, 0.033), 1.0 + RateTrim::kMaxTrim);
  RateTrim ahead;
  EXPECT_DOUBLE_EQ(ahead.Update(-0.010, 0.033), 1.0 - RateTrim::kMaxTrim);
  // A seek put the error right: the old error is forgotten, the drift learnt is kept.
  trim.ForgetError();
  EXPECT_NEAR(trim.Update(0.0, 0.033), 1.0 - 0.00015, 0.00002);
}

// 120 bpm; a lead moves every beat by `shiftUs` from the moment it happens.
class MovableTimeline final : public SharedTimeline {
 public:
  link::Micros Now() const override { return link::Micros(nowUs); }
  double BeatAt(link::Micros time) const override {
    return static_cast<double>(time.count() + shiftUs) / 500'000.0;
  }
  link::Micros TimeAtBeat(double beat) const override {
    return link::Micros(std::llround(beat * 500'000.0) - shiftUs);
  }
  int64_t nowUs = 10'000'000;
  int64_t shiftUs = 0;
};

TEST(BeatPlacer, PlacesASampleWhereItWasMadeWhenTheBeatsMoveAroundItsArrival) {
  MovableTimeline timeline;
  BeatPlacer placer(timeline);
  // Samples made every 33 ms, each arriving 20 ms later, the beats watched every tick.
  const auto send = [&](int64_t madeUs, int64_t shiftWhenMade) {
    const double beat = static_cast<double>(madeUs + shiftWhenMade) / 500'000.0;
    return placer.Place(beat, madeUs + 20'000);
  };
  for (int tick = 0; tick < 30; ++tick) {
    timeline.nowUs += 33'000;
    placer.Watch();
    EXPECT_LE(std::llabs(send(timeline.nowUs - 13'000, 0) - (timeline.nowUs - 13'000)), 1) << tick;
  }
  // The main led the beats 200 ms on just after it made a sample; the lead reaches this machine
  // before the sample does, between two ticks.
  const int64_t made = timeline.nowUs + 10'000;
  timeline.shiftUs = 200'000;
  EXPECT_LE(std::llabs(send(made, 0) - made), 1);
  // The next tick sees the move; samples made before it still arrive for a moment.
  timeline.nowUs += 33'000;
  placer.Watch();
  EXPECT_LE(std::llabs(send(made + 5'000, 0) - (made + 5'000)), 1);
  // Samples made with the moved beats land where they were made.
  for (int tick = 0; tick < 10; ++tick) {
    timeline.nowUs += 33'000;
    placer.Watch();
    EXPECT_LE(std::llabs(send(timeline.nowUs - 13'000, 200'000) - (timeline.nowUs - 13'000)), 1)
        << tick;
  }
  // A move back 150 ms seen by a tick before the sample made with the old beats arrives.
  timeline.nowUs += 33'000;
  const int64_t late = timeline.nowUs - 5'000;
  timeline.shiftUs = 50'000;
  placer.Watch();
  EXPECT_LE(std::llabs(send(late, 200'000) - late), 1);
}

}  // namespace
}  // namespace quorvane::rig
