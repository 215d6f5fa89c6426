// The simulated host's preview playback: the sources it made and the records it plays, moved on
// as its audio thread would.
#include <cmath>
#include <string>
#include <vector>

#include "platform/preview_lock.h"
#include "sim/sim_host.h"
#include "sim/sim_state.h"

namespace quorvane::sim {

Host::State::Source* Host::State::FindSource(const PCM_source* handle) const {
  auto it = sources.find(handle);
  return it == sources.end() ? nullptr : it->second.get();
}

void Host::State::AdvancePreviews(double seconds) {
  // The host's audio thread: it takes each record's lock and moves the play position.
  for (auto& [record, playing] : previews) {
    if (!platform::ProbePreviewLock(&record->lock)) {
      Problem("the lock of a playing preview was held when the host wanted it");
      continue;
    }
    double position = record->curpos + seconds;
    const double length = playing.source ? playing.source->length : 0.0;
    if (length > 0.0 && position >= length) {
      position = record->loop ? std::fmod(position, length) : length;
    }
    record->curpos = position;
  }
}

int Host::PlayingPreviews() const {
  return static_cast<int>(state_->previews.size());
}

std::vector<std::string> Host::CreatedSourcePaths() const {
  return state_->createdSourcePaths;
}

int Host::LiveSources() const {
  return static_cast<int>(state_->sources.size());
}

void Host::FailPreviewPlayback(bool fail) {
  state_->failPreview = fail;
}

bool Host::PreviewPlaying(const preview_register_t* preview) const {
  return state_->previews.count(const_cast<preview_register_t*>(preview)) > 0;
}

}  // namespace quorvane::sim
