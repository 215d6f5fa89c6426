// The backup's picture of the main's transport: each timeline sample, placed on this machine's
// clock on arrival, gives where the main was at a known local moment; a line fitted through the
// recent ones says where the main is now, undisturbed by the jitter of any one sample. A sample
// that breaks the line (play, stop, another song, a seek, a jump or a vamp's loop) starts a new
// one. And the rate trim that keeps this rig's audio clock on the main's: a tiny change of the
// play rate, proportional to the error with a slow integral for the clocks' steady drift.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

namespace quorvane::rig {

// One sample of the main's transport on this machine's clock.
struct MainMoment {
  int64_t localUs = 0;    // this machine's monotonic microseconds
  double position = 0.0;  // the main's play position then, project seconds
  double rate = 1.0;
  bool playing = false;
  int32_t regionId = -1;
};

class MainPosition {
 public:
  // The samples a line is fitted through: about a second of the main's ticks.
  static constexpr std::size_t kWindow = 32;
  // A sample this far (seconds) from the line is a seek, not jitter.
  static constexpr double kBreak = 0.030;

  // True when the sample starts a new line (the first one, play, stop, another song, a seek).
  bool Add(const MainMoment& moment);
  bool Known() const { return !window_.empty(); }
  // The newest sample; only when Known().
  const MainMoment& Latest() const { return window_.back(); }
  // The main's position at `localUs`; the latest position while the main stands still.
  double PredictAt(int64_t localUs) const;
  // Moves with every new line: the follower notices a seek it has not followed yet.
  uint64_t Lines() const { return lines_; }
  void Clear() { window_.clear(); }

 private:
  // The fitted line through the window: position at the newest sample's time, and its slope.
  struct Line {
    double position = 0.0;
    double slope = 1.0;
  };
  Line Fit() const;
  // The main plays but its position has not moved since the sample before.
  bool Standing() const;

  std::deque<MainMoment> window_;
  uint64_t lines_ = 0;
};

// The play rate that brings this rig onto the main: 1 plus a trim of at most kMaxTrim.
class RateTrim {
 public:
  static constexpr double kMaxTrim = 0.002;  // 0.2%: far below what an ear notices
  // Per second of error: a millisecond behind plays 0.1% fast until it is made up.
  static constexpr double kProportional = 1.0;
  // The steady drift of the clocks (a hundred or two millionths) is learnt within seconds.
  static constexpr double kIntegral = 0.4;

  // `error`: the main's position minus ours (seconds); `elapsed`: seconds since the last update.
  // Returns the factor for the play rate.
  double Update(double error, double elapsed);
  // Forgets the error's history but keeps the learnt drift (it is the machines', not the song's).
  void ForgetError() {
    smoothed_ = 0.0;
    primed_ = false;
  }
  // Forgets everything (another machine to follow).
  void Reset() {
    ForgetError();
    drift_ = 0.0;
  }
  double Drift() const { return drift_; }

 private:
  double smoothed_ = 0.0;
  bool primed_ = false;
  double drift_ = 0.0;  // the integral term, as a rate offset
};

}  // namespace quorvane::rig
