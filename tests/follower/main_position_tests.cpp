// The backup's maths on synthetic streams: the main's position predicted through jitter and
// across seeks, and the rate trim that keeps a drifting clock on the main's.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "rig/main_position.h"

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

}  // namespace
}  // namespace quorvane::rig
