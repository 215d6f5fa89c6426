#include "remote/command_handler.h"

#include <functional>
#include <string_view>

#include "host/host_api.h"
#include "practise/practise_session.h"
#include "practise/track_manager.h"
#include "remote/command_scanner.h"
#include "remote/remote_server.h"
#include "ui/pages.h"
#include "show/setlist.h"
#include "show/show_engine.h"
#include "ui/plugin_ui.h"

namespace quorvane::remote {
namespace {

enum class Broadcast { kNo, kYes };

class Command {
 public:
  Command(const SystemView& system, const std::string& line) : s_(system), line_(line) {}

  Broadcast Run(std::string_view type);

 private:
  ui::PluginUI& Ui() const { return s_.ui; }
  ui::WindowPort* Window() const { return s_.ui.window; }

  void Snapshot() const { s_.engine.SnapshotShowState(); }
  void Sync() const { ui::SyncWindowState(s_.ui, s_.engine.Snapshot()); }
  void RefreshPractiseDisplay() const {
    if (!Window()) return;
    const practise::PractiseRun& run = s_.practise.Run();
    Window()->RefreshPractiseStatus(run.active, run.countingIn, run.playing,
                                    s_.host.GetPlayPositionSafe());
  }
  static void Raise(const std::function<void()>& slot) {
    if (slot) slot();
  }

  void OpenLiveSetup() const {
    Ui().page = ui::UiPage::kSetlistSetup;
    if (Window()) Window()->EnterPage(ui::UiPage::kSetlistSetup);
  }
  void SetOption(bool ui::PluginUI::*option) const {
    if (const auto value = ReadBoolField(line_, "enabled")) {
      Ui().*option = *value;
      if (Window()) {
        Window()->ShowOptions();
        Window()->LayoutPage();
        Window()->InvalidateAll(true);
      }
    }
  }
  void EditSetlist(bool (show::Setlist::*edit)(int32_t), const char* key) const {
    const auto value = ReadIntField(line_, key);
    if (value && (s_.setlist.*edit)(*value)) AfterSetlistEdit();
  }
  void AfterSetlistEdit() const {
    s_.engine.SaveSetlist();
    s_.host.MarkProjectDirty(nullptr);
    OpenLiveSetup();
  }
  void SetTrack(bool (*set)(const host::HostApi&, int32_t, bool), const char* stateKey) const {
    const auto track = ReadIntField(line_, "trackIndex");
    const auto state = ReadBoolField(line_, stateKey);
    if (!track || !state) return;
    if (set(s_.host, *track, *state)) s_.host.MarkProjectDirty(nullptr);
    ui::ShowSoundCheckPage(Ui(), s_.practise);
  }
  void SetLoopEnabled(bool on) const {
    practise::PractiseSelection& selection = s_.practise.Selection();
    if (selection.loopEnabled == on) return;
    selection.loopEnabled = on;
    if (Window()) Window()->ShowLoopToggle(on);
    Raise(Ui().slots.onLoopToggled);
  }
  void EndShow() const;
  bool SetDuration() const;
  void SetAutoStartTime() const;

  const SystemView& s_;
  const std::string& line_;
};

void Command::EndShow() const {
  s_.engine.EndShow();
  Snapshot();
  s_.practise.ResetRateToNormal();
  Ui().page = ui::UiPage::kLive;
  if (Ui().snapshot.status == show::ShowStatus::kPrepared) {
    Ui().liveTransport = show::LiveTransport::kSelected;
  }
  if (Window()) Window()->ResetLivePageAfterShowEnd();
  Sync();
}

bool Command::SetDuration() const {
  const auto minutes = ReadIntField(line_, "minutes");
  if (!minutes || *minutes < 5 || !Ui().slots.onShowDurationChanged) return false;
  Ui().slots.onShowDurationChanged(static_cast<double>(*minutes) * 60.0);
  s_.engine.SaveSetlist();
  s_.host.MarkProjectDirty(nullptr);
  if (Window()) {
    Window()->RefreshSetupPage();
    Window()->InvalidateAll(false);
  }
  Snapshot();
  Sync();
  return true;
}

void Command::SetAutoStartTime() const {
  const auto hour = ReadIntField(line_, "hour");
  const auto minute = ReadIntField(line_, "minute");
  if (hour && minute) s_.engine.SetAutoStartTime(*hour, *minute);
}

Broadcast Command::Run(std::string_view type) {
  auto& slots = Ui().slots;
  // Window and mode commands.
  if (type == "PING") return Broadcast::kNo;
  if (type == "REQUEST_STATE") {
    Snapshot();
    RefreshPractiseDisplay();
    return Broadcast::kYes;
  }
  if (type == "MODE_MENU" || type == "EXIT_OPTIONS") {
    ui::ShowModeSelectPage(Ui());
    return Broadcast::kNo;
  }
  if (type == "OPEN_ABOUT") {
    Ui().page = ui::UiPage::kAbout;
    Ui().aboutScroll = 0;
    if (Window()) {
      Window()->LayoutPage();
      Window()->InvalidateAll(true);
    }
    return Broadcast::kNo;
  }
  if (type == "OPEN_OPTIONS") {
    ui::ShowOptionsPage(Ui());
    return Broadcast::kYes;
  }
  if (type == "OPTIONS_LIVE_MARKERS") {
    SetOption(&ui::PluginUI::showMarkerNames);
    return Broadcast::kYes;
  }
  if (type == "OPTIONS_TIME_SIG_BPM") {
    SetOption(&ui::PluginUI::showTimeSignatureAndBpm);
    return Broadcast::kYes;
  }
  if (type == "CLOSE_PLUGIN") {
    if (Window()) Window()->Destroy();
    return Broadcast::kNo;
  }
  if (type == "OPEN_LIVE_SETUP") {
    OpenLiveSetup();
    return Broadcast::kNo;
  }
  if (type == "EXIT_MODE") {
    if (slots.onExitMode) {
      slots.onExitMode();
    } else {
      ui::ShowModeSelectPage(Ui());
    }
    return Broadcast::kNo;
  }
  if (type == "MODE_LIVE") return Raise(slots.onLiveMode), Broadcast::kNo;
  if (type == "MODE_PRACTISE") return Raise(slots.onPractiseMode), Broadcast::kNo;
  if (type == "MODE_SOUND_CHECK") return Raise(slots.onSoundCheckMode), Broadcast::kNo;

  // Live commands.
  if (type == "LIVE_PLAY_NEXT") {
    s_.engine.PlayNext();
    return Broadcast::kNo;
  }
  if (type == "LIVE_STOP") {
    s_.engine.StopLive();
    Snapshot();
    Sync();
    return Broadcast::kYes;
  }
  if (type == "LIVE_REPLAY") {
    s_.engine.PlayCurrent();
    Snapshot();
    Sync();
    return Broadcast::kYes;
  }
  if (type == "LIVE_START_SHOW") {
    s_.engine.StartShow();
    return Broadcast::kNo;
  }
  if (type == "LIVE_END_SHOW") {
    EndShow();
    return Broadcast::kYes;
  }
  if (type == "LIVE_SELECT") {
    // The window's selection path, but a refusal during playback stays silent: a message box
    // would block the stage computer until someone clicks it.
    const auto index = ReadIntField(line_, "index");
    if (index && slots.onSelectItem) s_.engine.SelectSong(*index, show::Refusal::kSilent);
    return Broadcast::kNo;
  }

  // Setlist setup.
  if (type == "SETUP_ADD_REGION") {
    EditSetlist(&show::Setlist::AddRegionToSetlist, "regionId");
    return Broadcast::kNo;
  }
  if (type == "SETUP_ADD_PAUSE") {
    if (s_.setlist.AddPause()) AfterSetlistEdit();
    return Broadcast::kNo;
  }
  if (type == "SETUP_REMOVE") {
    EditSetlist(&show::Setlist::RemoveItem, "index");
    return Broadcast::kNo;
  }
  if (type == "SETUP_MOVE_UP") {
    EditSetlist(&show::Setlist::MoveItemUp, "index");
    return Broadcast::kNo;
  }
  if (type == "SETUP_MOVE_DOWN") {
    EditSetlist(&show::Setlist::MoveItemDown, "index");
    return Broadcast::kNo;
  }
  if (type == "SETUP_TOGGLE_AUTOSTART") {
    EditSetlist(&show::Setlist::ToggleAutoStart, "index");
    return Broadcast::kNo;
  }
  if (type == "SETUP_DURATION") return SetDuration() ? Broadcast::kYes : Broadcast::kNo;
  if (type == "SETUP_AUTOSTART_SHOW") {
    if (const auto enabled = ReadBoolField(line_, "enabled"))
      s_.engine.SetAutoStartEnabled(*enabled);
    return Broadcast::kNo;
  }
  if (type == "SETUP_AUTOSTART_TIME") {
    SetAutoStartTime();
    return Broadcast::kNo;
  }
  if (type == "PROJECT_TRACK_MUTE") {
    SetTrack(&practise::SetTrackMute, "muted");
    return Broadcast::kNo;
  }
  if (type == "PROJECT_TRACK_SOLO") {
    SetTrack(&practise::SetTrackSolo, "soloed");
    return Broadcast::kNo;
  }

  // Practise.
  if (type == "PRACTISE_PLAY") {
    if (slots.onPractisePlay) s_.practise.StartPractise(practise::Report::kSilent);
    Snapshot();
    RefreshPractiseDisplay();
    return Broadcast::kYes;
  }
  if (type == "PRACTISE_STOP") {
    Raise(slots.onPractiseStop);
    RefreshPractiseDisplay();
    return Broadcast::kYes;
  }
  if (type == "PRACTISE_LOOP") {
    if (const auto enabled = ReadBoolField(line_, "enabled")) SetLoopEnabled(*enabled);
    return Broadcast::kYes;
  }
  if (type == "PRACTISE_REGION") {
    if (const auto region = ReadIntField(line_, "index")) s_.practise.SelectPractiseSong(*region);
    return Broadcast::kYes;
  }
  if (type == "PRACTISE_START") {
    if (const auto choice = ReadIntField(line_, "index"))
      s_.practise.SetPractiseStartChoice(*choice);
    return Broadcast::kYes;
  }
  if (type == "PRACTISE_STOP_POINT") {
    if (const auto choice = ReadIntField(line_, "index"))
      s_.practise.SetPractiseStopChoice(*choice);
    return Broadcast::kYes;
  }
  if (type == "PRACTISE_PRECOUNT") {
    if (const auto beats = ReadIntField(line_, "beats")) s_.practise.SetPractisePrecount(*beats);
    return Broadcast::kYes;
  }
  if (type == "PRACTISE_RATE") {
    if (const auto rate = ReadRateField(line_)) s_.practise.SetPractiseRate(*rate);
    return Broadcast::kYes;
  }
  return Broadcast::kNo;
}

}  // namespace

void HandleRemoteCommand(const SystemView& system, const std::string& line) {
  const std::string type = ReadCommandType(line);
  if (type.empty()) return;
  if (Command(system, line).Run(type) == Broadcast::kYes) system.server.BroadcastState();
}

}  // namespace quorvane::remote
