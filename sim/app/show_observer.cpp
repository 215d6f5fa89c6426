#include "sim/app/show_observer.h"

namespace quorvane::sim {

void ShowObserver::Update(const Host& host) {
  const TransportState transport = host.Transport();
  const double position = host.PlayPosition();
  const SimRegion* under = nullptr;
  if (host.HasProject()) {
    for (const SimRegion& region : host.Project().regions) {
      if (position >= region.start && position < region.end) {
        under = &region;
        break;
      }
    }
  }
  const bool wasPlaying = transport_ == TransportState::kPlaying;
  const bool playing = transport == TransportState::kPlaying;
  const int region = under ? under->number : 0;

  if (playing && under && position < under->start + kEdgeSeconds &&
      (!wasPlaying || region != region_)) {
    ObservedEvent event;
    event.region = region;
    event.name = under->name;
    event.position = position;
    event.chained = wasPlaying && region_ != 0 && position_ >= regionEnd_ - kEdgeSeconds;
    ++songsStarted_;
    chained_ += event.chained ? 1 : 0;
    events_.push_back(std::move(event));
  }
  const bool moved = position < position_ - 0.000001 || position > position_ + kForwardJumpSeconds;
  if (playing && wasPlaying && under && region == region_ && moved) {
    ObservedEvent event;
    event.kind = ObservedEvent::Kind::kMoved;
    event.region = region;
    event.name = under->name;
    event.position = position;
    event.from = position_;
    const SimProject& project = host.Project();
    event.looped = host.RepeatOn() && project.selectionEnd > project.selectionStart &&
                   position >= project.selectionStart && position < position_;
    events_.push_back(std::move(event));
  }
  if (wasPlaying && !playing) {
    ObservedEvent event;
    event.kind = ObservedEvent::Kind::kStopped;
    event.region = region_;
    event.name = regionName_;
    event.position = position_;
    events_.push_back(std::move(event));
  }

  transport_ = transport;
  position_ = position;
  region_ = region;
  regionName_ = under ? under->name : std::string();
  regionStart_ = under ? under->start : 0.0;
  regionEnd_ = under ? under->end : 0.0;
}

std::vector<ObservedEvent> ShowObserver::TakeEvents() {
  std::vector<ObservedEvent> events;
  events.swap(events_);
  return events;
}

void ShowObserver::ResetCounts() {
  songsStarted_ = 0;
  chained_ = 0;
  events_.clear();
}

}  // namespace quorvane::sim
