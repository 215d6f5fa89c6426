// A backup rig on one core over the host simulator, following a main whose transport the test
// scripts: the main's timeline samples are made from that script and arrive a tick late, as over
// the rig channel, and the shared beat runs on the simulator's virtual clock. One host simulator
// per process, so the main is a script, not a second core.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <deque>
#include <string>
#include <vector>

#include "core/core.h"
#include "rig/follower.h"
#include "sim/sim_host.h"
#include "tests/follower/virtual_timeline.h"

namespace quorvane::rig::test {

// What the main's transport does, as the test tells it: exact on the shared clock.
class ScriptedMain {
 public:
  void Play(int32_t regionId, double position, int64_t nowUs) {
    regionId_ = regionId;
    position_ = position;
    sinceUs_ = nowUs;
    playing_ = true;
  }
  void Seek(double position, int64_t nowUs) {
    position_ = position;
    sinceUs_ = nowUs;
  }
  // The main's host seeks from `at` to `to` when it gets there (a jump on a bar line).
  void JumpAt(double at, double to) {
    jumpAt_ = at;
    jumpTo_ = to;
  }
  void Stop(int64_t nowUs) {
    position_ = PositionAt(nowUs);
    playing_ = false;
    regionId_ = -1;
  }
  // The main's audio clock runs this many millionths fast against the shared clock.
  void SetSkewPpm(double ppm) { skew_ = 1.0 + ppm / 1e6; }
  double PositionAt(int64_t nowUs) const {
    if (!playing_) return position_;
    const double position = position_ + skew_ * static_cast<double>(nowUs - sinceUs_) / 1e6;
    if (jumpAt_ > position_ && position >= jumpAt_) return jumpTo_ + (position - jumpAt_);
    return position;
  }
  bool Playing() const { return playing_; }
  TimelineSample SampleAt(int64_t nowUs, double beat) {
    TimelineSample sample;
    sample.sequence = ++sequence_;
    sample.linkBeat = beat;
    sample.position = PositionAt(nowUs);
    sample.playing = playing_;
    sample.regionId = regionId_;
    return sample;
  }

 private:
  bool playing_ = false;
  int32_t regionId_ = -1;
  double position_ = 0.0;
  int64_t sinceUs_ = 0;
  double skew_ = 1.0;
  double jumpAt_ = -1.0;
  double jumpTo_ = 0.0;
  uint64_t sequence_ = 0;
};

// The main's end of the channel, collecting what a main's follower sends.
class CollectingBackups final : public BackupLinks {
 public:
  void Send(const FromMain& message) override { sent.push_back(message); }
  std::vector<FromBackup> TakeArrived() override { return {}; }
  std::size_t ConnectedBackups() const override { return 1; }
  std::vector<FromMain> sent;
};

class FollowerStage : public ::testing::Test {
 protected:
  static constexpr int64_t kTickMs = 33;

  void SetUp() override {
    BuildProject();
    ASSERT_TRUE(core.Init());
    core.Tick();
    host.ClearCalls();
  }

  // Three songs at 120 bpm in 4/4 (a bar is two seconds); the first has four sections.
  void BuildProject() {
    host.AddRegion(1, "Northbound", 0.0, 16.0);
    host.AddMarker(1, "Intro", 0.0);
    host.AddMarker(2, "Verse", 4.0);
    host.AddMarker(3, "Chorus", 8.0);
    host.AddMarker(4, "Outro", 12.0);
    host.AddRegion(2, "Harbour Lights", 20.0, 36.0);
    host.AddRegion(3, "Long Road", 40.0, 400.0);
  }

  std::unique_ptr<Follower> MakeFollower(Role role) {
    return std::make_unique<Follower>(FollowerParts{core.Host(), core.Held(), core.Clock(),
                                                    core.Engine(), core.Setlist(), core.Ui().rig},
                                      timeline, role, std::chrono::milliseconds(500));
  }

  int64_t NowUs() const { return timeline.Now().count(); }

  // One tick of the backup: the clock moves, the core ticks, the samples that were on their way
  // for a tick arrive, the follower ticks. `mainAlive` false: the main sends nothing any more.
  void TickBackup(Follower& follower, bool mainAlive = true) {
    host.Advance(kTickMs);
    core.Tick();
    for (const TimelineSample& sample : inFlight)
      follower.OnMainMessage(sample);
    inFlight.clear();
    if (mainAlive) inFlight.push_back(main.SampleAt(NowUs(), timeline.BeatAt(timeline.Now())));
    follower.Tick(nullptr, nullptr);
  }

  // The core alone, as the host's timer runs it.
  void RunCore(int64_t ms) {
    for (int64_t done = 0; done < ms; done += kTickMs) {
      host.Advance(kTickMs);
      core.Tick();
    }
  }

  // Ticks for `ms`; the worst |backup - main| over the ticks once `settleMs` have passed.
  double RunAndMeasure(Follower& follower, int64_t ms, int64_t settleMs = 0,
                       std::vector<double>* errors = nullptr) {
    double worst = 0.0;
    for (int64_t done = 0; done < ms; done += kTickMs) {
      TickBackup(follower);
      if (done < settleMs || !main.Playing()) continue;
      const double error = std::fabs(host.PlayPosition() - main.PositionAt(NowUs()));
      worst = std::max(worst, error);
      if (errors) errors->push_back(error);
    }
    return worst;
  }

  sim::Host host;
  core::Core core{host.Info()->GetFunc, core::CoreOptions::Closed()};
  VirtualTimeline timeline{host};
  ScriptedMain main;
  std::vector<TimelineSample> inFlight;
};

}  // namespace quorvane::rig::test
