// The tempo map: beats and measures across tempo and time-signature changes, both ways.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sim_test_support.h"

namespace quorvane::sim {
namespace {

using testing::Bind;

// 4/4 at 120 (bar 2 s) until measure 4 (8 s); 4/4 at 60 (bar 4 s) until measure 6 (16 s); 6/8 at
// 120 quarter notes a minute (eighths of 0.25 s, bar 1.5 s) until measure 10 (22 s); then 3/4 at
// 90 (beats of 2/3 s, bar 2 s).
std::vector<TempoPoint> MixedMap() {
  return {{0.0, 120.0, 4, 4}, {8.0, 60.0, 4, 4}, {16.0, 120.0, 6, 8}, {22.0, 90.0, 3, 4}};
}

class SimTempoMap : public ::testing::Test {
 protected:
  void SetUp() override { host.SetTempoMap(MixedMap()); }
  struct Beats {
    double inMeasure;
    int measure;
    int cml;
    double full;
    int denominator;
  };
  Beats At(double time) {
    Beats b{};
    b.inMeasure = timeToBeats(nullptr, time, &b.measure, &b.cml, &b.full, &b.denominator);
    return b;
  }
  Host host;
  hostfn::TimeMap2_timeToBeats timeToBeats =
      Bind<hostfn::TimeMap2_timeToBeats>(host, "TimeMap2_timeToBeats");
  hostfn::TimeMap2_beatsToTime beatsToTime =
      Bind<hostfn::TimeMap2_beatsToTime>(host, "TimeMap2_beatsToTime");
};

TEST_F(SimTempoMap, TimeToBeatsAcrossTempoAndSignatureChanges) {
  Beats b = At(1.25);
  EXPECT_DOUBLE_EQ(b.inMeasure, 2.5);
  EXPECT_EQ(b.measure, 0);
  EXPECT_EQ(b.cml, 4);
  EXPECT_DOUBLE_EQ(b.full, 2.5);
  EXPECT_EQ(b.denominator, 4);

  b = At(9.0);  // one second into the 60 bpm part: 16 + 1 beats
  EXPECT_EQ(b.measure, 4);
  EXPECT_DOUBLE_EQ(b.inMeasure, 1.0);
  EXPECT_DOUBLE_EQ(b.full, 17.0);

  b = At(16.0);  // the 6/8 change, on a bar line
  EXPECT_EQ(b.measure, 6);
  EXPECT_DOUBLE_EQ(b.inMeasure, 0.0);
  EXPECT_EQ(b.cml, 6);
  EXPECT_EQ(b.denominator, 8);
  EXPECT_DOUBLE_EQ(b.full, 24.0);

  b = At(17.0);  // four eighths later
  EXPECT_EQ(b.measure, 6);
  EXPECT_DOUBLE_EQ(b.inMeasure, 4.0);
  EXPECT_DOUBLE_EQ(b.full, 28.0);

  b = At(17.5);
  EXPECT_EQ(b.measure, 7);
  EXPECT_DOUBLE_EQ(b.inMeasure, 0.0);

  b = At(25.0);  // 3/4 at 90: 4.5 beats after measure 10
  EXPECT_EQ(b.measure, 11);
  EXPECT_NEAR(b.inMeasure, 1.5, 1e-9);
  EXPECT_EQ(b.cml, 3);
  EXPECT_EQ(b.denominator, 4);
  EXPECT_NEAR(b.full, 52.5, 1e-9);
}

TEST_F(SimTempoMap, BeatsToTimeIsTheInverseEverywhere) {
  for (double t = 0.0; t < 40.0; t += 0.1234) {
    const Beats b = At(t);
    EXPECT_NEAR(beatsToTime(nullptr, b.full, nullptr), t, 1e-9) << t;
    EXPECT_NEAR(beatsToTime(nullptr, b.inMeasure, &b.measure), t, 1e-9) << t;
  }
  EXPECT_DOUBLE_EQ(beatsToTime(nullptr, 24.0, nullptr), 16.0);
  EXPECT_DOUBLE_EQ(beatsToTime(nullptr, 48.0, nullptr), 22.0);
  int measure = 7;
  EXPECT_DOUBLE_EQ(beatsToTime(nullptr, 2.0, &measure), 18.0);
  measure = 5;
  EXPECT_DOUBLE_EQ(beatsToTime(nullptr, 1.0, &measure), 13.0);
  measure = 10;
  EXPECT_DOUBLE_EQ(beatsToTime(nullptr, 0.0, &measure), 22.0);
}

TEST_F(SimTempoMap, TempoAndSignatureReadings) {
  auto divided = Bind<hostfn::TimeMap_GetDividedBpmAtTime>(host, "TimeMap_GetDividedBpmAtTime");
  auto signature = Bind<hostfn::TimeMap_GetTimeSigAtTime>(host, "TimeMap_GetTimeSigAtTime");
  EXPECT_DOUBLE_EQ(divided(1.0), 120.0);
  EXPECT_DOUBLE_EQ(divided(8.0), 60.0);
  EXPECT_DOUBLE_EQ(divided(17.0), 240.0);  // eighths per minute
  EXPECT_DOUBLE_EQ(divided(30.0), 90.0);
  int numerator = 0;
  int denominator = 0;
  double tempo = 0.0;
  signature(nullptr, 17.0, &numerator, &denominator, &tempo);
  EXPECT_EQ(numerator, 6);
  EXPECT_EQ(denominator, 8);
  EXPECT_DOUBLE_EQ(tempo, 120.0);
  signature(nullptr, 7.99, &numerator, &denominator, &tempo);
  EXPECT_EQ(numerator, 4);
  EXPECT_DOUBLE_EQ(tempo, 120.0);
}

TEST_F(SimTempoMap, NextBarLineFollowsTheMap) {
  EXPECT_DOUBLE_EQ(host.NextBarLine(0.0), 2.0);
  EXPECT_DOUBLE_EQ(host.NextBarLine(7.0), 8.0);
  EXPECT_DOUBLE_EQ(host.NextBarLine(8.0), 12.0);
  EXPECT_DOUBLE_EQ(host.NextBarLine(15.9), 16.0);
  EXPECT_DOUBLE_EQ(host.NextBarLine(16.0), 17.5);
  EXPECT_DOUBLE_EQ(host.NextBarLine(22.1), 24.0);
}

TEST(SimTempoMapEdges, ASignatureChangeOffTheBarLineStartsANewMeasure) {
  Host host;
  host.SetTempoMap({{0.0, 120.0, 4, 4}, {5.0, 120.0, 3, 4}});  // 5 s = beat 10, mid-measure 2
  auto timeToBeats = Bind<hostfn::TimeMap2_timeToBeats>(host, "TimeMap2_timeToBeats");
  int measure = -1;
  int cml = 0;
  EXPECT_DOUBLE_EQ(timeToBeats(nullptr, 4.5, &measure, &cml, nullptr, nullptr), 1.0);
  EXPECT_EQ(measure, 2);
  EXPECT_DOUBLE_EQ(timeToBeats(nullptr, 5.0, &measure, &cml, nullptr, nullptr), 0.0);
  EXPECT_EQ(measure, 3);  // the cut-short measure 2 still counts
  EXPECT_EQ(cml, 3);
  EXPECT_DOUBLE_EQ(host.NextBarLine(4.2), 5.0);
  EXPECT_DOUBLE_EQ(host.MeasureToTime(3), 5.0);
  EXPECT_DOUBLE_EQ(host.MeasureToTime(4), 6.5);
}

TEST(SimTempoMapEdges, ATempoChangeInsideABarKeepsTheBarGrid) {
  Host host;
  host.SetTempoMap({{0.0, 120.0, 4, 4}, {3.0, 60.0, 4, 4}});  // 3 s = beat 6, mid-measure 1
  SimBeatPosition at = host.BeatPosition(5.0);                // two beats of one second later
  EXPECT_EQ(at.measure, 2);
  EXPECT_DOUBLE_EQ(at.beatInMeasure, 0.0);
  EXPECT_DOUBLE_EQ(at.fullBeats, 8.0);
  EXPECT_DOUBLE_EQ(host.NextBarLine(3.5), 5.0);
}

TEST(SimTempoMapEdges, DefaultMapAndNormalisedPoints) {
  Host host;  // 120 bpm, 4/4
  EXPECT_DOUBLE_EQ(host.BeatsToTime(8.0), 4.0);
  EXPECT_DOUBLE_EQ(host.DividedBpmAt(100.0), 120.0);
  // Unsorted points, an invalid one, and a first point not at 0.
  host.SetTempoMap({{4.0, 60.0, 4, 4}, {-1.0, 0.0, 4, 4}, {1.0, 120.0, 4, 4}});
  EXPECT_DOUBLE_EQ(host.DividedBpmAt(0.0), 120.0);
  EXPECT_DOUBLE_EQ(host.BeatsToTime(8.0), 4.0);
  EXPECT_DOUBLE_EQ(host.BeatsToTime(9.0), 5.0);
}

TEST(SimTempoMapEdges, MeasuresBeyondWhatTheHostCountsStopAtTheLast) {
  Host host;  // 2 s bars
  EXPECT_EQ(host.BeatPosition(4e9).measure, 2'000'000'000);
  // A project file may place a song at any finite time; the measure count saturates instead of
  // wrapping round to the project's start.
  for (double time : {5e9, 1e20, 1e35, 1e300}) {
    EXPECT_EQ(host.BeatPosition(time).measure, std::numeric_limits<int>::max()) << time;
    EXPECT_TRUE(std::isfinite(host.NextBarLine(time))) << time;
  }
}

}  // namespace
}  // namespace quorvane::sim
