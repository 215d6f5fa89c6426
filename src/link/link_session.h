// One place on the Ableton Link network: the beat timeline shared with the other rig and with the
// room's Link apps (lights, visuals, a drummer's laptop). Link keeps one tempo and beat between the
// peers of a network; every peer reads it against its own monotonic clock.
//
// A session is built off the network and joins only when asked, so a rig that needs no Link stays
// silent. Everything here is for the host's main thread, except Peers().
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>

namespace quorvane::link {

// Microseconds on Link's clock: the machine's monotonic clock, the same for every process on it.
using Micros = std::chrono::microseconds;

// Link's own bounds for a session's tempo; Lead clamps to them.
inline constexpr double kMinBpm = 20.0;
inline constexpr double kMaxBpm = 999.0;

// The session's beat at one moment, for a given quantum (beats per bar).
struct SessionBeat {
  double bpm = 120.0;
  double beat = 0.0;   // on the session's beat timeline
  double phase = 0.0;  // 0 <= phase < quantum: where in the bar
};

class LinkSession {
 public:
  LinkSession();
  // Leaves the network.
  ~LinkSession();
  LinkSession(const LinkSession&) = delete;
  LinkSession& operator=(const LinkSession&) = delete;

  // Joins the network (idempotent); peers may take a moment to appear.
  void Join();
  // Leaves it (idempotent).
  void Leave();
  bool Joined() const;
  // Other peers in the session; any thread.
  std::size_t Peers() const;

  // Now, on Link's clock.
  Micros Now() const;
  // The session's tempo, beat and phase at `time`.
  SessionBeat BeatAt(Micros time, double quantum) const;
  // When the session's timeline reaches `beat`, on this machine's clock.
  Micros TimeAtBeat(double beat, double quantum) const;
  // Leads the session: from `time` on, its tempo is `bpm` and `beat` falls at `time`, with the bar
  // phase of `quantum` (the other peers' beats jump there too; a leader of the room's beat does
  // this).
  void Lead(double bpm, double beat, Micros time, double quantum);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quorvane::link
