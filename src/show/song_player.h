// Plays setlist songs through the host's transport: starts a song at its region start, watches
// the play position every tick, pre-rolls into a following auto-start song so that it starts at
// the bar line without a gap, and notices the end of a song. The host does the playing; the
// player only moves the edit cursor and presses play and stop. The host settings it changes while a
// song plays (repeat off, no time selection, smooth seek for a chain) are taken through the one
// owner, HeldSettings, and given back when the player stops.
#pragma once

#include <cstdint>

#include "show/live_sections.h"
#include "show/setlist.h"

namespace quorvane::host {
class HeldSettings;
class HostApi;
struct ProjectRegion;
}  // namespace quorvane::host

namespace quorvane::show {

class SongPlayer {
 public:
  SongPlayer(host::HostApi& host, host::HeldSettings& held, Setlist& setlist)
      : host_(host), held_(held), setlist_(setlist), sections_(host, held) {}

  // Plays the setlist's current item from its region start. False for a pause, a song whose
  // region is gone, or a host that cannot seek or play.
  bool PlayCurrent();
  // Moves to the next song after the current item (pauses skipped) and plays it.
  bool PlayNext();
  // Stops the host and puts back the host settings held for playback. True when stop was pressed.
  bool StopPlayback();
  // Per-tick supervision: pre-roll, then the end of the song (chain or stop).
  void PlayerTick();

  // Back to the initial values without touching the host.
  void Reset();
  // Hands the song-finished event to the show: true once per event.
  bool ConsumeSongFinished();
  // Forgets the armed chain and its pending song.
  void ClearChain();
  // Puts back every host setting the player holds (smooth seek, repeat, the time selection)
  // without touching the transport: the extension is being unloaded.
  void ReleaseHostSettings();

  // --- Following another rig's transport (a backup rig) ---
  // While following, the player neither pre-rolls nor ends a song by itself (the other rig's
  // transport decides; FollowAt moves this one); vamps and jumps still know their sections. Back
  // off, the player runs the show from where it is.
  void SetFollowing(bool following) { following_ = following; }
  bool Following() const { return following_; }
  // Plays the song of `region` from `position` (a seek at once while playing), holding what a song
  // holds; the setlist's current item is the caller's. False when the host cannot play.
  bool FollowAt(const host::ProjectRegion& region, double position);

  bool Playing() const { return playing_; }
  int32_t CurrentRegionId() const { return currentRegionId_; }
  double RegionStart() const { return regionStart_; }
  double RegionEnd() const { return regionEnd_; }
  bool SongFinished() const { return songFinished_; }
  bool ChainArmed() const { return chainArmed_; }
  int32_t PendingFromIndex() const { return pendingFromIndex_; }
  int32_t PendingRegionId() const { return pendingRegionId_; }
  // Vamps and jumps inside the song playing; a chain into the next song waits for them.
  LiveSections& Sections() { return sections_; }
  const LiveSections& Sections() const { return sections_; }

 private:
  void ClearPending();
  // Drops the song-finished event and any pre-rolled chain, giving back the smooth-seek override.
  void AbandonChain();
  // Seeks into the next song during the current song's last bar. False ends the whole tick.
  bool PreRoll(double pos);
  void ArmChain(int32_t fromIndex, const host::ProjectRegion& next);
  bool SeekToSongStart(double start);
  // A failed start: false, with the settings given back unless a song is still playing.
  bool GiveBackUnlessPlaying();
  void StartAt(const host::ProjectRegion& region);
  void FinishSong();

  host::HostApi& host_;
  host::HeldSettings& held_;
  Setlist& setlist_;

  bool playing_ = false;
  int32_t currentRegionId_ = -1;
  double regionStart_ = 0.0;
  double regionEnd_ = 0.0;
  bool songFinished_ = false;
  bool chainArmed_ = false;
  int32_t pendingFromIndex_ = -1;
  int32_t pendingRegionId_ = -1;
  double pendingStart_ = 0.0;
  double pendingEnd_ = 0.0;
  LiveSections sections_;
  bool following_ = false;
};

}  // namespace quorvane::show
