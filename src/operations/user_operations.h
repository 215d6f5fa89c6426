// The user's operations: one function for each thing a user can do with the show, the setlist,
// practise and the tracks, shared by the window's click handlers and the remote commands. Each
// one changes the model, stores it, marks the project modified and changes the page exactly
// once, so that a button and its remote command cannot drift apart. An operation that may say no
// answers with its reason (host::Outcome); what stays with a caller is only how it reads its input
// and how it answers: the window explains a refusal in a message box, the web remote replies with
// it, a TCP remote command stays silent. The views hear of what the model does not report through
// OperationsListener.
//
// Everything here runs on the host's main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "host/listener_list.h"
#include "host/outcome.h"
#include "operations/operations_listener.h"
#include "practise/practise_session.h"
#include "practise/track_row.h"
#include "show/show_engine.h"

namespace quorvane::host {
class HostApi;
}
namespace quorvane::show {
class Setlist;
}
namespace quorvane::ui {
class PluginUI;
}

namespace quorvane::operations {

class UserOperations {
 public:
  UserOperations(host::HostApi& host, ui::PluginUI& ui, show::Setlist& setlist,
                 show::ShowEngine& engine, practise::PractiseSession& practise);

  // The views told about changes, in the order added. Not owned: a listener is removed before it
  // goes (host::ListenerScope does both).
  void AddListener(OperationsListener& listener) { listeners_.Add(listener); }
  void RemoveListener(OperationsListener& listener) { listeners_.Remove(listener); }

  // --- Modes and pages ---
  // The live page, or the setup page while the setlist is empty.
  void EnterLiveMode();
  void EnterPractiseMode();
  void EnterSoundCheckMode();
  // Leaves the live or practise mode: the show back to PREPARED, the played marks and the timed
  // start cleared, the menu.
  void ExitMode();
  void OpenSetup();
  void BackToLive();
  // The window was destroyed: the timed start is cleared, as it was when the check box that held
  // it went with the window.
  void WindowDestroyed();

  // While this rig follows another one, the show is the leading rig's: the live operations and the
  // setlist edits below give `pass` their remote command instead of running. It answers nullopt
  // when this rig runs the command itself, else the refusal ("" when the command went to the
  // leading rig).
  using LeaderPass = std::function<std::optional<std::string>(const std::string& line)>;
  void SetLeaderPass(LeaderPass pass) { leaderPass_ = std::move(pass); }

  // --- Live ---
  // Makes the first item current (stored), then starts the show.
  bool StartShow();
  // Ends a running show; the live page, the play rate back to normal.
  void EndShow();
  bool PlayNext();
  // Stops the song and offers to replay it.
  void Stop();
  // Stops the song and offers nothing (the host's "Engine Stop" action).
  void StopPlayback();
  // Plays (or replays) the current song.
  void PlaySelected();
  // Makes an item current; refused while a song plays, with the reason.
  host::Outcome SelectItem(int32_t index);

  // --- Live control inside the song playing: each refused while none plays, with the reason ---
  host::Outcome SetVamp(bool enabled);
  host::Outcome JumpToSection(int32_t index, show::JumpWhen when);
  host::Outcome NextSection();
  host::Outcome PreviousSection();
  host::Outcome CancelJump();

  // --- Setlist setup: on success the setlist is stored, the project marked modified and the
  // setup page shown; on failure nothing changes ---
  bool AddSong(int32_t regionId);
  bool AddPause();
  bool RemoveItem(int32_t index);
  bool MoveItemUp(int32_t index);
  bool MoveItemDown(int32_t index);
  bool ToggleAutoStart(int32_t index);
  // Stored and the project marked modified, but the page stays: a note is often written from a
  // phone during the show.
  bool SetNote(int32_t index, std::string note);
  // Five minutes or more; stored, the project marked modified, the show clock refreshed.
  bool SetShowDuration(int32_t minutes);
  void SetAutoStartEnabled(bool enabled);
  bool SetAutoStartTime(int hour, int minute);

  // --- Options ---
  // The "Ableton Link" option, kept with the host's settings (the core joins or leaves the room's
  // Link session on its next tick). True when it changed.
  bool SetLinkOption(bool enabled);
  // The option as the host's settings keep it, read at load.
  void LoadLinkOption();

  // --- Practise ---
  host::Outcome StartPractise();
  void StopPractise();
  void SetLoop(bool on);
  void SetPrecount(int32_t beats);
  // The practise display (status line, markers) follows the run and the play position.
  void RefreshPractiseDisplay();

  // --- Sound check: the project is marked modified when the track changed ---
  bool SetTrackMute(int32_t trackIndex, bool muted);
  bool SetTrackSolo(int32_t trackIndex, bool soloed);
  practise::BackingTrackRows BackingTracks() const;

 private:
  // Stores an edited setlist, marks the project modified and shows the setup page.
  bool AfterSetlistEdit(bool edited);
  void MarkProjectDirty();
  void SyncViews();
  // The window shows a vamp or a queued jump at once.
  host::Outcome AfterLiveControl(host::Outcome outcome);
  // The outcome of `line` given to the leading rig; nullopt when this rig runs it itself.
  std::optional<host::Outcome> PassToLeader(const std::string& line);
  // A remote command line with one integer field.
  static std::string Line(std::string_view command, std::string_view field, int32_t value);

  host::HostApi& host_;
  ui::PluginUI& ui_;
  show::Setlist& setlist_;
  show::ShowEngine& engine_;
  practise::PractiseSession& practise_;
  host::ListenerList<OperationsListener> listeners_;
  LeaderPass leaderPass_;
};

}  // namespace quorvane::operations
