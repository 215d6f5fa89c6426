// The show: plays the setlist through the song player, keeps the show's status and clock
// (elapsed, show remaining, music still to play, delay), starts the show by itself at the
// auto-start minute, and follows song ends and interruptions. Everything runs on the host's main
// thread: the timer tick, window callbacks, host actions and remote commands.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "host/listener_list.h"
#include "host/outcome.h"
#include "show/played_songs.h"
#include "show/project_store.h"
#include "show/setlist.h"
#include "show/show_listener.h"
#include "show/show_record.h"
#include "show/song_player.h"
#include "show/show_snapshot.h"

namespace quorvane::host {
class HeldSettings;
class HostApi;
}  // namespace quorvane::host
namespace quorvane::platform {
class Clock;
}
namespace quorvane::practise {
class PractiseSession;
}

namespace quorvane::show {

// What the interruption check reads before the player's tick.
struct TransportReading {
  bool wasPlaying = false;
  bool hostPlaying = false;
  double position = 0.0;
  uint64_t nowMs = 0;  // milliseconds since system start
};

// The auto-start bookkeeping: the settings seen last and whether their minute has been handled.
struct AutoStartClock {
  bool fired = false;
  bool lastEnabled = false;
  int lastHour = -1;
  int lastMinute = -1;
};

// The time of day the show starts by itself, and whether it does. Model state: the window's check
// box and time boxes show and edit it, remote commands set it with or without a window.
struct AutoStartSettings {
  bool enabled = false;
  int hour = -1;  // -1: no time chosen yet
  int minute = -1;

  bool HasTime() const { return hour >= 0 && hour < 24 && minute >= 0 && minute < 60; }
};

// A show that another rig runs, as this engine takes it over (a backup rig mirrors the main's).
struct AdoptedShow {
  std::vector<SetlistItem> items;
  int32_t currentIndex = -1;
  std::set<int32_t> played;  // setlist indexes
  ShowStatus status = ShowStatus::kPrepared;
  int64_t startMs = 0;  // on this machine's monotonic clock
  int64_t finishMs = 0;
  double elapsed = 0.0;
};

class ShowEngine {
 public:
  // How long after its set's duration a show is still resumed by a restart of the host (an
  // overrun, the time to restart); a show started longer ago starts fresh.
  static constexpr int64_t kResumeMarginMs = 30 * 60 * 1000;
  // How long the live views say that the show was resumed.
  static constexpr int64_t kResumedNoticeMs = 60 * 1000;

  ShowEngine(host::HostApi& host, host::HeldSettings& held, const platform::Clock& clock,
             Setlist& setlist, practise::PractiseSession& practise);

  // The views told about changes, in the order added; none tells nobody. Not owned: a listener
  // is removed before it goes (host::ListenerScope does both).
  void AddListener(ShowListener& listener) { listeners_.Add(listener); }
  void RemoveListener(ShowListener& listener) { listeners_.Remove(listener); }

  // --- Load and project change ---
  // Loads the project's setlist (an empty one when nothing usable is stored), binds it to the
  // window state and resets the player. A live show the project (or, for the project at
  // `projectPath`, the host's global settings) kept goes on where it was when it started within
  // its set's duration and kResumeMargin before now: LIVE, stopped, the played marks and the
  // current item as they were, the clock counting from the show's start. Any other stored show
  // is cleared. An empty path is a project never saved: only its own keys are read.
  void InitShowEngine(std::string_view projectPath = {});
  // The host's current project changed: everything the show and practise hold is given back.
  // Nothing is stored: the show kept for the project left stays kept.
  void ResetForProjectChange();
  // The extension is unloading: the host settings the player changed go back to the user's,
  // whatever is playing.
  void ReleaseHostSettings();

  // --- Per tick, in this order (the timer tick interleaves the practise tick after Tick) ---
  // Song supervision with the interruption check, CheckAutoStart, HandleSongFinished.
  void Tick();
  void UpdateShowTiming();
  // Stores what changed of the show since it was last stored (a few keys, never the setlist).
  void KeepShowState();
  void SnapshotShowState();

  // The steps of Tick, for a caller that needs them one by one.
  void SuperviseSong();
  TransportReading ReadTransportBefore();
  // Motion bookkeeping and the interrupted test; a LIVE song that was stopped or stalled is
  // handled by StopLive.
  void CheckTransportInterrupted(const TransportReading& before);
  void CheckAutoStart();
  void HandleSongFinished();

  // --- Player ---
  bool PlayCurrent() { return player_.PlayCurrent(); }
  bool PlayNext() { return player_.PlayNext(); }
  bool StopPlayback() { return player_.StopPlayback(); }
  // Stops and offers to replay the song.
  void StopLive();
  // The live page's selection; refused while a song plays, with the reason.
  host::Outcome SelectSong(int32_t index);

  // --- Played marks and the play button (model state the views and the state document read) ---
  const PlayedSongs& Played() const { return played_; }
  // Forgets the played marks; the play button back to NEXT.
  void ClearPlayed();
  LiveTransport LiveTransportChoice() const { return liveTransport_; }
  // The listeners hear of it only when it changed.
  void SetLiveTransport(LiveTransport transport);

  // --- Live control inside the song playing (refused while none plays or the next song is
  // being cued in its last bar) ---
  host::Outcome SetVamp(bool enabled);
  host::Outcome JumpToSection(int32_t index, JumpWhen when);
  host::Outcome NextSection();
  host::Outcome PreviousSection();
  host::Outcome CancelJump();
  const LiveSections& Sections() const { return player_.Sections(); }

  // --- Show ---
  bool StartShow();
  bool EndShow();
  void ResetShow();
  bool SetShowDuration(double seconds);
  // Writes every show key of the project, as they stand.
  bool SaveShowState() const;
  bool SaveSetlist() const;
  // The show as it is stored.
  StoredShow StoredNow() const;
  // The show went on after a restart of the host, and says so for a while (kResumedNoticeMs) or
  // until the next song starts.
  bool Resumed() const { return resumed_; }
  // The music still to play: the rest of the current song and every song after it.
  double ComputePlaybackRemaining();
  // Forgets which auto-start minute was handled (leaving the live mode).
  void ResetAutoStartClock();
  // --- Auto-start settings ---
  void SetAutoStartEnabled(bool enabled);
  // False (and nothing changed) unless 0 <= hour <= 23 and 0 <= minute <= 59.
  bool SetAutoStartTime(int hour, int minute);
  // Off, and a chosen time back to 00:00 (what the cleared time boxes show); no time stays none.
  void ResetAutoStart();
  const AutoStartSettings& AutoStartSetting() const { return autoStartSettings_; }
  // "AUTO-START SCHEDULED FOR hh:mm    STARTS IN hh:mm:ss" while a start is scheduled and the
  // live page is shown; empty otherwise.
  std::string AutoStartBannerText() const;

  // --- A show another rig runs ---
  // Takes the setlist, the current item, the played marks, the status and the show's clock as
  // they are, telling the views what changed; the transport and the stored show are left alone.
  void AdoptShow(const AdoptedShow& show);

  // --- Reading ---
  const ShowRecord& Record() const { return record_; }
  ShowStatus Status() const { return record_.status; }
  const ShowSnapshot& Snapshot() const { return snapshot_; }
  const SongPlayer& Player() const { return player_; }
  SongPlayer& Player() { return player_; }
  const AutoStartClock& AutoStart() const { return autoStart_; }

 private:
  bool LivePageShown() const;
  // Goes on with a stored live show when it is recent enough; false (nothing changed) otherwise.
  bool ResumeShow(const StoredShow& stored);
  // The host's global settings hold this project's live show while it is live, and no longer.
  void KeepLastShow(const StoredShow& now);
  // A setlist song plays and no chain into the next one is under way.
  bool SongMoving() const;

  host::HostApi& host_;
  host::HeldSettings& held_;
  const platform::Clock& clock_;
  Setlist& setlist_;
  practise::PractiseSession& practise_;
  host::ListenerList<ShowListener> listeners_;

  SongPlayer player_;
  ShowRecord record_;
  PlayedSongs played_{setlist_};
  LiveTransport liveTransport_ = LiveTransport::kNext;
  ShowSnapshot snapshot_;
  AutoStartClock autoStart_;
  AutoStartSettings autoStartSettings_;

  // The summed lengths of the songs after the current item, and what they were summed from.
  struct LaterSongs {
    bool known = false;
    uint64_t walkSerial = 0;
    uint64_t setlistRevision = 0;
    int32_t current = -1;
    double seconds = 0.0;
  };
  LaterSongs laterSongs_;

  // What the project's keys hold (and, while live, the host's global settings), for whose
  // project, and whether the global settings' slot is this project's.
  StoredShow kept_;
  std::string projectPath_;
  bool lastShowOurs_ = false;
  bool resumed_ = false;
  int64_t resumedAtMs_ = 0;  // monotonic

  // Motion bookkeeping of the interruption check.
  double lastPos_ = -1.0;
  uint64_t lastMoveMs_ = 0;
  bool playingAtLastCheck_ = false;
};

}  // namespace quorvane::show
