// A practise or sound-check run: one section of one song, from a start point to a stop point,
// optionally looped, optionally preceded by a synthesised count-in click, at a chosen rate. The
// selection the pages and remote commands edit and the run live here; the host settings a run and
// the chosen rate change are taken through the one owner, HeldSettings.
#pragma once

#include <array>
#include <cstdint>

#include "host/held_settings.h"
#include "host/host_api.h"
#include "host/listener_list.h"
#include "host/outcome.h"
#include "platform/clock.h"
#include "practise/practise_listener.h"

namespace quorvane::practise {

class CountInPlayer;

// The 21 playback rates from 0.50 to 1.50 in steps of 0.05; the rate box lists them in order.
inline constexpr std::array<double, 21> kPlaybackRateTable = {
    0.50, 0.55, 0.60, 0.65, 0.70, 0.75, 0.80, 0.85, 0.90, 0.95, 1.00,
    1.05, 1.10, 1.15, 1.20, 1.25, 1.30, 1.35, 1.40, 1.45, 1.50};

// The practise selection, which the practise and sound-check pages and remote commands edit and
// a practise run reads when it starts.
struct PractiseSelection {
  int32_t songRegionId = -1;  // -1: none
  int32_t startChoice = -2;   // -2: start of song; n >= 0: the n-th marker of the song
  int32_t stopChoice = -1;    // -1: end of song; n >= 0: the n-th marker of the song
  int32_t preCountBeats = 0;  // 0, 4 or 8
  bool loopEnabled = false;
  double playbackRate = 1.0;
};

// The run in progress.
struct PractiseRun {
  bool active = false;
  bool countingIn = false;
  bool playing = false;
  double sectionStart = 0.0;
  double sectionEnd = 0.0;
  double sectionBpm = 120.0;
  double sectionRate = 1.0;
  int32_t sectionPrecount = 0;
  uint64_t countInDeadline = 0;  // milliseconds since system start
  bool loopActive = false;
  // What the section was chosen as: read from the host again when the count-in ends.
  int32_t songRegionId = -1;
  int32_t startChoice = -2;
  int32_t stopChoice = -1;
};

class PractiseSession {
 public:
  // `countIn` may be null (no click can play then).
  PractiseSession(host::HostApi& host, host::HeldSettings& held, const platform::Clock& clock,
                  CountInPlayer* countIn);

  // The views told about changes, in the order added; none tells nobody. Not owned: a listener
  // is removed before it goes (host::ListenerScope does both).
  void AddListener(PractiseListener& listener) { listeners_.Add(listener); }
  void RemoveListener(PractiseListener& listener) { listeners_.Remove(listener); }

  // Starts a run of the selected section; refused when nothing is selected, a run is on, the
  // section cannot be found or played, or the host knows no tempo at its start (with the reason).
  host::Outcome StartPractise();
  void StopPractise();
  void ResetPractise();
  void PractiseTick();

  bool SelectPractiseSong(int32_t regionId);
  bool SetPractiseStartChoice(int32_t choice);
  bool SetPractiseStopChoice(int32_t choice);
  void SetPractisePrecount(int32_t beats);
  bool SetPractiseRate(double rate);
  void SelectPractiseRateIndex(int32_t index);
  int32_t CurrentPractiseMarker() const;
  void OnLoopToggled();

  // What entering a page does to the selection (the page switches call these).
  void EnterPractisePage();
  void EnterSoundCheckPage();
  // Live page: the rate goes back to 1.0 and is applied to the host.
  void ResetRateToNormal();

  // The selection; a view that edits it directly (a click on its own control) leaves the
  // session's reactions to the operations above.
  PractiseSelection& Selection() { return selection_; }
  const PractiseSelection& Selection() const { return selection_; }
  const PractiseRun& Run() const { return run_; }

 private:
  // The rest of a start once the section is known: the host settings, the seek, the count-in.
  void BeginRun(double start, double stop, double tempo, double rate);
  bool ApplyPractiseTransport();
  void RestorePractiseHostSettings();

  host::HostApi& host_;
  host::HeldSettings& held_;
  const platform::Clock& clock_;
  host::ListenerList<PractiseListener> listeners_;
  CountInPlayer* countIn_;
  PractiseSelection selection_;
  PractiseRun run_;
};

}  // namespace quorvane::practise
