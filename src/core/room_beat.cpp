#include "core/room_beat.h"

#include <algorithm>
#include <cmath>

#include "host/host_api.h"

namespace quorvane::core {

bool SongBeatAt(const host::HostApi& host, double position, SongBeat* out) {
  if (!host.TimeMap2_timeToBeats || !std::isfinite(position)) return false;
  int measure = 0;
  int beatsInBar = 0;
  int denominator = 0;
  const double beatInBar =
      host.TimeMap2_timeToBeats(nullptr, position, &measure, &beatsInBar, nullptr, &denominator);
  // The divided tempo counts the signature's own note, as the bar's beats do.
  const double bpm = host.TimeMap_GetDividedBpmAtTime(position) * host.GetPlayRate();
  if (beatsInBar < 1 || !std::isfinite(beatInBar) || !std::isfinite(bpm) || bpm <= 0.0) {
    return false;
  }
  const double quantum = beatsInBar;
  out->bpm = std::clamp(bpm, link::kMinBpm, link::kMaxBpm);
  out->quantum = quantum;
  out->beatInBar = std::clamp(beatInBar - quantum * std::floor(beatInBar / quantum), 0.0, quantum);
  if (out->beatInBar >= quantum) out->beatInBar = 0.0;
  return true;
}

double PhaseErrorSeconds(const link::SessionBeat& session, const SongBeat& song) {
  double beats = session.phase - song.beatInBar;
  beats -= song.quantum * std::round(beats / song.quantum);
  return beats * 60.0 / song.bpm;
}

bool LeadRule::NeedsLead(const link::SessionBeat& session, const SongBeat& song, double ledQuantum,
                         link::Micros sinceLastLead) {
  if (ledQuantum != song.quantum) return true;
  if (std::abs(session.bpm - song.bpm) > kTempoTolerance * song.bpm) return true;
  const double error = std::abs(PhaseErrorSeconds(session, song));
  if (error > kPhaseToleranceSeconds) return true;
  return error > kDriftToleranceSeconds && sinceLastLead >= kTrimInterval;
}

void RoomBeat::Tick(const host::HostApi& host, bool songPlays) {
  if (!songPlays || !link_.Joined()) {
    ledQuantum_ = 0.0;  // the next song leads on its first tick
    return;
  }
  // One sample: the position the host plays at this moment of Link's clock.
  const link::Micros now = link_.Now();
  const double position = host.GetPlayPositionSafe();
  SongBeat song;
  if (!SongBeatAt(host, position, &song)) return;
  const link::SessionBeat session = link_.BeatAt(now, song.quantum);
  if (!LeadRule::NeedsLead(session, song, ledQuantum_, now - lastLead_)) return;
  // The bar line at or before the session's beat now, plus where the song is in its bar; of the
  // two candidates a bar apart, the one nearer the session's count, so its beats hardly jump.
  double beat = session.beat - session.phase + song.beatInBar;
  if (beat - session.beat > song.quantum / 2) {
    beat -= song.quantum;
  } else if (session.beat - beat > song.quantum / 2) {
    beat += song.quantum;
  }
  link_.Lead(song.bpm, beat, now, song.quantum);
  ledQuantum_ = song.quantum;
  lastLead_ = now;
}

}  // namespace quorvane::core
