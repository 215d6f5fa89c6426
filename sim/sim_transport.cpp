// The simulated host's transport: play, stop and pause, the edit cursor, smooth seeks at the bar
// line, repeat over the time selection, and playback advancing on the virtual clock.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "sim/sim_host.h"
#include "sim/sim_state.h"

namespace quorvane::sim {

double Host::State::PlayPositionNow() const {
  const SimProject* project = Current();
  if (!project) return 0.0;
  return transport == TransportState::kStopped ? project->editCursor : playPosition;
}

void Host::State::Play() {
  SimProject* project = Current();
  if (!project) return;
  if (transport == TransportState::kPaused) {
    transport = TransportState::kPlaying;
    return;
  }
  // Stopped, or playing (play pressed again restarts at the edit cursor).
  double start = project->editCursor;
  if ((ConfigInteger("preroll") & 1) != 0 || (ConfigInteger("projmetroen") & 8) != 0) {
    double measures = 1.0;
    if (const ConfigValue* value = Config("prerollmeas"); value && value->bytes.size() == 8) {
      std::memcpy(&measures, value->bytes.data(), sizeof measures);
    }
    if (std::isfinite(measures) && measures > 0.0) {
      const TempoMap& tempo = MapOf(project);
      const SimBeatPosition at = tempo.TimeToBeats(start);
      start = tempo.BeatsToTime(at.fullBeats - measures * at.beatsInMeasure);
    }
  }
  playPosition = start;
  seekPending = false;
  transport = TransportState::kPlaying;
  startDelayLeft = DrawStartDelay();
}

double Host::State::DrawStartDelay() {
  if (startLatencyMaxMs <= 0) return 0.0;
  // A small generator of our own, so that a seeded run repeats exactly on every platform.
  latencySeed ^= latencySeed << 13;
  latencySeed ^= latencySeed >> 7;
  latencySeed ^= latencySeed << 17;
  const int64_t span = startLatencyMaxMs - startLatencyMinMs + 1;
  const int64_t ms =
      startLatencyMinMs + static_cast<int64_t>(latencySeed % static_cast<uint64_t>(span));
  return static_cast<double>(ms) / 1000.0;
}

void Host::State::Stop() {
  transport = TransportState::kStopped;
  seekPending = false;
  playPosition = Current() ? Current()->editCursor : 0.0;
}

void Host::State::PauseToggle() {
  if (transport == TransportState::kPlaying) {
    transport = TransportState::kPaused;
    seekPending = false;
  } else if (transport == TransportState::kPaused) {
    transport = TransportState::kPlaying;
  }
}

void Host::State::SetEditCursor(double time, bool seekPlay) {
  SimProject* project = Current();
  if (!project || !std::isfinite(time)) return;
  time = std::max(0.0, time);
  project->editCursor = time;
  if (!seekPlay) return;
  if (transport == TransportState::kPlaying) {
    if (ConfigInteger("smoothseek") != 0) {
      ArmSmoothSeek(time);
    } else {
      playPosition = time;
      seekPending = false;
    }
  } else if (transport == TransportState::kPaused) {
    playPosition = time;
    seekPending = false;
  }
}

void Host::State::ArmSmoothSeek(double target) {
  seekPending = true;
  seekTarget = target;
  seekBarLine = MapOf(Current()).NextBarLineAfter(playPosition);
}

void Host::State::AdvanceTransport(double seconds) {
  if (transport != TransportState::kPlaying || !(seconds > 0.0)) return;
  const SimProject* project = Current();
  double remaining = seconds;
  constexpr double kNoEvent = std::numeric_limits<double>::infinity();
  while (remaining > 0.0) {
    enum class Event { kNone, kBarLineSeek, kLoopEnd } event = Event::kNone;
    double toEvent = kNoEvent;
    if (seekPending) {
      toEvent = std::max(0.0, seekBarLine - playPosition);
      event = Event::kBarLineSeek;
    }
    const bool looping = repeat && project && project->selectionEnd > project->selectionStart &&
                         playPosition < project->selectionEnd;
    if (looping && project->selectionEnd - playPosition < toEvent) {
      toEvent = project->selectionEnd - playPosition;
      event = Event::kLoopEnd;
    }
    if (event == Event::kNone || toEvent > remaining) {
      playPosition += remaining;
      break;
    }
    playPosition += toEvent;
    remaining -= toEvent;
    if (event == Event::kBarLineSeek) {
      playPosition = seekTarget;
      seekPending = false;
      continue;
    }
    // The end of the time selection: playback wraps to its start.
    playPosition = project->selectionStart;
    if (seekPending) {
      const TempoMap& tempo = MapOf(project);
      if (tempo.TimeToBeats(playPosition).beatInMeasure == 0.0) {
        playPosition = seekTarget;  // the selection starts on a bar line: the seek happens here
        seekPending = false;
      } else {
        seekBarLine = tempo.NextBarLineAfter(playPosition);
      }
    } else {
      const double length = project->selectionEnd - project->selectionStart;
      if (remaining >= length) remaining = std::fmod(remaining, length);
    }
  }
}

TransportState Host::Transport() const {
  return state_->transport;
}

double Host::PlayPosition() const {
  return state_->PlayPositionNow();
}

double Host::EditCursor() const {
  return state_->Current() ? state_->Current()->editCursor : 0.0;
}

void Host::UserPlay() {
  state_->Play();
}

void Host::UserStop() {
  state_->Stop();
}

void Host::UserPause() {
  state_->PauseToggle();
}

void Host::UserSeek(double time) {
  state_->SetEditCursor(time, true);
}

bool Host::SeekPending() const {
  return state_->seekPending;
}

double Host::PendingSeekTarget() const {
  return state_->seekTarget;
}

double Host::PendingSeekBarLine() const {
  return state_->seekBarLine;
}

bool Host::RepeatOn() const {
  return state_->repeat;
}

void Host::SetRepeat(bool on) {
  state_->repeat = on;
}

double Host::PlayRate() const {
  return state_->Current() ? state_->Current()->playRate : 1.0;
}

void Host::SetClockSkewPpm(double ppm) {
  state_->clockSkewPpm = std::isfinite(ppm) ? ppm : 0.0;
}

void Host::SetStartLatency(int64_t minMs, int64_t maxMs, uint64_t seed) {
  state_->startLatencyMinMs = std::max<int64_t>(0, minMs);
  state_->startLatencyMaxMs = std::max(state_->startLatencyMinMs, maxMs);
  state_->latencySeed = seed != 0 ? seed : 1;
}

}  // namespace quorvane::sim
