// What the simulated host sees of a show, tick by tick: the transport, the song under the play
// position, and the moments a song starts (from a stop, or following on from the song before it
// without a gap) and playback stops. It reads only the host, never the extension.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_host.h"

namespace quorvane::sim {

struct ObservedEvent {
  // kMoved: the play position jumped inside a song while it played (a seek, or the host's loop).
  enum class Kind { kSongStarted, kStopped, kMoved };
  Kind kind = Kind::kSongStarted;
  int region = 0;  // the song's region number (kStopped: where playback stood; 0 outside songs)
  std::string name;
  bool chained = false;  // kSongStarted: followed on from the song before without a stop
  double position = 0.0;
  double from = 0.0;    // kMoved: where play stood before
  bool looped = false;  // kMoved: the host's repeat took play back to the time selection's start
};

class ShowObserver {
 public:
  // A song start is recognised this close after its region's start, and a follow-on only when
  // the song before was this close to its end in the tick before.
  static constexpr double kEdgeSeconds = 0.5;
  // Play that moves on by more than this between two updates jumped.
  static constexpr double kForwardJumpSeconds = 0.5;

  // Call after every tick.
  void Update(const Host& host);

  TransportState Transport() const { return transport_; }
  double Position() const { return position_; }
  int Region() const { return region_; }  // the song under the play position; 0 when none
  const std::string& RegionName() const { return regionName_; }

  int SongsStarted() const { return songsStarted_; }
  int Chained() const { return chained_; }
  // Events since the last call, oldest first.
  std::vector<ObservedEvent> TakeEvents();
  // Forgets the counts and events (the transport and position stay).
  void ResetCounts();

 private:
  TransportState transport_ = TransportState::kStopped;
  double position_ = 0.0;
  int region_ = 0;
  std::string regionName_;
  double regionStart_ = 0.0;
  double regionEnd_ = 0.0;
  int songsStarted_ = 0;
  int chained_ = 0;
  std::vector<ObservedEvent> events_;
};

}  // namespace quorvane::sim
