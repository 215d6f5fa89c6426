#include "link/link_session.h"

#include <ableton/Link.hpp>
#include <algorithm>

namespace quorvane::link {

struct LinkSession::Impl {
  ableton::Link link{120.0};
};

LinkSession::LinkSession() : impl_(std::make_unique<Impl>()) {}

LinkSession::~LinkSession() {
  Leave();
}

void LinkSession::Join() {
  if (!impl_->link.isEnabled()) impl_->link.enable(true);
}

void LinkSession::Leave() {
  if (impl_->link.isEnabled()) impl_->link.enable(false);
}

bool LinkSession::Joined() const {
  return impl_->link.isEnabled();
}

std::size_t LinkSession::Peers() const {
  return impl_->link.numPeers();
}

Micros LinkSession::Now() const {
  return impl_->link.clock().micros();
}

SessionBeat LinkSession::BeatAt(Micros time, double quantum) const {
  const auto state = impl_->link.captureAppSessionState();
  return {state.tempo(), state.beatAtTime(time, quantum), state.phaseAtTime(time, quantum)};
}

Micros LinkSession::TimeAtBeat(double beat, double quantum) const {
  return impl_->link.captureAppSessionState().timeAtBeat(beat, quantum);
}

void LinkSession::Lead(double bpm, double beat, Micros time, double quantum) {
  auto state = impl_->link.captureAppSessionState();
  state.setTempo(std::clamp(bpm, kMinBpm, kMaxBpm), time);
  state.forceBeatAtTime(beat, time, quantum);
  impl_->link.commitAppSessionState(state);
}

}  // namespace quorvane::link
