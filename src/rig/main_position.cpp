#include "rig/main_position.h"

#include <algorithm>
#include <cmath>

namespace quorvane::rig {
namespace {

double Seconds(int64_t fromUs, int64_t toUs) {
  return static_cast<double>(toUs - fromUs) / 1e6;
}

// A fitted slope this far from the main's own rate is a fit gone wrong (a seek just under the
// break): the main's rate is used instead.
constexpr double kSlopeTolerance = 0.01;
// Fewer samples than this give no trustworthy slope.
constexpr std::size_t kFitFrom = 4;

}  // namespace

bool MainPosition::Add(const MainMoment& moment) {
  bool breaks = window_.empty();
  if (!breaks) {
    const MainMoment& last = window_.back();
    // Play pressed on the main, its transport not moving yet (the host's start latency): the
    // main stands where it is until it moves, and its first move starts the line.
    const bool standing = moment.position == last.position;
    breaks = moment.playing != last.playing || moment.regionId != last.regionId ||
             moment.localUs < last.localUs || (Standing() && !standing) ||
             (!standing && std::fabs(moment.position - PredictAt(moment.localUs)) > kBreak);
  }
  if (breaks) {
    window_.clear();
    ++lines_;
  }
  window_.push_back(moment);
  if (window_.size() > kWindow) window_.pop_front();
  return breaks;
}

bool MainPosition::Standing() const {
  return window_.size() >= 2 && window_.back().position == window_[window_.size() - 2].position;
}

MainPosition::Line MainPosition::Fit() const {
  const MainMoment& latest = window_.back();
  Line line{latest.position, latest.rate};
  if (window_.size() < kFitFrom) return line;
  // Least squares through (seconds before the newest sample, position).
  double n = 0.0, sumX = 0.0, sumY = 0.0, sumXX = 0.0, sumXY = 0.0;
  for (const MainMoment& moment : window_) {
    const double x = Seconds(latest.localUs, moment.localUs);
    const double y = moment.position - latest.position;
    n += 1.0;
    sumX += x;
    sumY += y;
    sumXX += x * x;
    sumXY += x * y;
  }
  const double spread = n * sumXX - sumX * sumX;
  if (!(spread > 1e-12)) return line;
  const double slope = (n * sumXY - sumX * sumY) / spread;
  if (!std::isfinite(slope) || std::fabs(slope - latest.rate) > kSlopeTolerance * latest.rate) {
    return line;
  }
  line.slope = slope;
  line.position = latest.position + (sumY - slope * sumX) / n;
  return line;
}

double MainPosition::PredictAt(int64_t localUs) const {
  if (window_.empty()) return 0.0;
  const MainMoment& latest = window_.back();
  if (!latest.playing || Standing()) return latest.position;
  const Line line = Fit();
  return line.position + line.slope * Seconds(latest.localUs, localUs);
}

double RateTrim::Update(double error, double elapsed) {
  if (!std::isfinite(error)) return 1.0;
  // The error read once a tick jitters with the tick; a short average calms the rate.
  constexpr double kSmoothing = 0.3;
  smoothed_ = primed_ ? smoothed_ + kSmoothing * (error - smoothed_) : error;
  primed_ = true;
  if (std::isfinite(elapsed) && elapsed > 0.0 && elapsed < 1.0) {
    drift_ = std::clamp(drift_ + kIntegral * smoothed_ * elapsed, -kMaxTrim, kMaxTrim);
  }
  return 1.0 + std::clamp(kProportional * smoothed_ + drift_, -kMaxTrim, kMaxTrim);
}

}  // namespace quorvane::rig
