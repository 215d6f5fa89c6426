// The shared beat of two rigs, at 120 bpm on the host simulator's virtual clock: what Link's
// timeline is to a real rig, for the suites and the benchmark that script the main.
#pragma once

#include <cmath>

#include "rig/shared_timeline.h"
#include "sim/sim_host.h"

namespace quorvane::rig::test {

// The shared beat at 120 bpm on the simulator's clock.
class VirtualTimeline final : public SharedTimeline {
 public:
  explicit VirtualTimeline(const sim::Host& host) : host_(host) {}
  link::Micros Now() const override { return link::Micros(host_.MonotonicNs() / 1000); }
  double BeatAt(link::Micros time) const override {
    return static_cast<double>(time.count()) / 500'000.0;
  }
  link::Micros TimeAtBeat(double beat) const override {
    return link::Micros(std::llround(beat * 500'000.0));
  }

 private:
  const sim::Host& host_;
};

}  // namespace quorvane::rig::test
