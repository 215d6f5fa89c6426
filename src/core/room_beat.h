// The room's beat: while a setlist song plays live and this rig leads, the Link session carries the
// song's tempo at the play position and its bar phase, so the room's Link apps (lights, visuals, a
// drummer's laptop) land their bars where the host plays the song's bar lines.
//
// Link counts beats of the time signature's own note: in 6/8 an eighth, so its tempo is the host's
// divided tempo (quarter-note bpm times denominator / 4, times the play rate) and its quantum, the
// beats in a bar, is the signature's numerator. The session never feeds back into the project.
//
// Main thread only, once per tick.
#pragma once

#include "link/link_session.h"

namespace quorvane::host {
class HostApi;
}

namespace quorvane::core {

// The song's beat at one play position, as the host's tempo map counts it.
struct SongBeat {
  double bpm = 0.0;        // beats of the signature's note per minute, as played (rate included)
  double quantum = 0.0;    // beats per bar: the signature's numerator
  double beatInBar = 0.0;  // 0 <= beatInBar < quantum: where the position is in its bar
};

// The beat at `position`; false when the host's tempo map cannot say.
bool SongBeatAt(const host::HostApi& host, double position, SongBeat* out);

// How far the session's bar phase at one moment is from the song's, in seconds at the song's tempo
// (negative: the session is behind); wraps around the bar, so the answer is within half a bar.
double PhaseErrorSeconds(const link::SessionBeat& session, const SongBeat& song);

// When the session must be led again. A new tempo or quantum, or a bar phase off by more than a
// millisecond (a seek, a chain, another peer moving the beat), is led at once; a smaller drift is
// trimmed at most a few times a second, so an unchanged song does not lead on every tick.
struct LeadRule {
  static constexpr double kPhaseToleranceSeconds = 0.001;
  static constexpr double kDriftToleranceSeconds = 0.00005;
  static constexpr link::Micros kTrimInterval{250'000};
  // Relative; Link carries a tempo as whole microseconds per beat.
  static constexpr double kTempoTolerance = 1e-5;

  // `ledQuantum`: the quantum of the last lead (0: not leading since the song started playing).
  static bool NeedsLead(const link::SessionBeat& session, const SongBeat& song, double ledQuantum,
                        link::Micros sinceLastLead);
};

class RoomBeat {
 public:
  explicit RoomBeat(link::LinkSession& link) : link_(link) {}

  // Per tick. `songPlays`: a setlist song plays live (not practise) and this rig leads the room.
  // Then, with the session joined, the host's position and Link's clock are read together and the
  // session is led to the song's beat there when it is off; otherwise nothing is published.
  void Tick(const host::HostApi& host, bool songPlays);

 private:
  link::LinkSession& link_;
  double ledQuantum_ = 0.0;
  link::Micros lastLead_{0};
};

}  // namespace quorvane::core
