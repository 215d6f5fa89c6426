#include "remote/command_handler.h"

#include <optional>

#include "operations/user_operations.h"
#include "protocol/command_table.h"
#include "remote/remote_server.h"
#include "show/setlist.h"
#include "show/show_engine.h"
#include "ui/pages.h"
#include "ui/plugin_ui.h"

namespace quorvane::remote {
namespace {

using protocol::CommandId;

// One decoded command being run: its fields were read only as the table lists them.
class Command {
 public:
  Command(const SystemView& system, const protocol::DecodedCommand& decoded)
      : s_(system), decoded_(decoded) {}

  // True when the command changed something (what a "when applied" broadcast waits for); none
  // for an id without an operation, which the build's switch warning already refuses.
  std::optional<bool> Run();
  // Why the command was refused, for the clients that are told; empty when it was not.
  const std::string& Refusal() const { return refusal_; }

 private:
  operations::UserOperations& Ops() const { return s_.operations; }
  ui::PluginUI& Ui() const { return s_.ui; }
  ui::WindowPort* Window() const { return s_.ui.window; }

  std::optional<int> Int(std::string_view name) const { return decoded_.Int(name); }
  std::optional<bool> Bool(std::string_view name) const { return decoded_.Bool(name); }
  std::optional<double> Rate() const { return decoded_.Real("rate"); }

  // Runs `operation` with the integer field when it was read.
  template <typename Operation>
  bool WithInt(std::string_view name, Operation operation) const {
    const auto value = Int(name);
    return value && operation(*value);
  }

  bool RequestState() const {
    s_.engine.SnapshotShowState();
    Ops().RefreshPractiseDisplay();
    return true;
  }
  bool OpenAbout() const {
    Ui().page = ui::UiPage::kAbout;
    Ui().aboutScroll = 0;
    if (Window()) {
      Window()->LayoutPage();
      Window()->InvalidateAll(true);
    }
    return true;
  }
  bool SetOption(bool ui::PluginUI::*option) const {
    const auto value = Bool("enabled");
    if (!value) return false;
    Ui().*option = *value;
    if (Window()) {
      Window()->ShowOptions();
      Window()->LayoutPage();
      Window()->InvalidateAll(true);
    }
    return true;
  }
  bool SetLinkOption() const {
    const auto value = Bool("enabled");
    if (!value) return false;
    Ops().SetLinkOption(*value);
    if (Window()) {
      Window()->ShowOptions();
      Window()->InvalidateAll(true);
    }
    return true;
  }
  bool SetTrack(bool (operations::UserOperations::*set)(int32_t, bool),
                std::string_view stateKey) const {
    const auto track = Int("trackIndex");
    const auto state = Bool(stateKey);
    if (!track || !state) return false;
    const bool changed = (Ops().*set)(*track, *state);
    Ops().EnterSoundCheckMode();
    return changed;
  }
  bool SetNote() {
    const auto index = Int("index");
    protocol::StringField note = decoded_.Text("note");
    if (!index || !s_.setlist.IsValidIndex(*index)) {
      refusal_ = "no setlist item at that index";
    } else if (!note.value) {
      refusal_ = "note: " + std::string(note.refusal.empty() ? "missing" : note.refusal);
    } else if (note.value->size() > show::Setlist::kMaxNoteBytes) {
      refusal_ = "note: longer than " + std::to_string(show::Setlist::kMaxNoteBytes) + " bytes";
    } else if (!Ops().SetNote(*index, std::move(*note.value))) {
      refusal_ = "note: not stored";
    }
    return refusal_.empty();
  }
  // Runs an operation that may say no; its reason goes to the clients that are told.
  bool Answer(const host::Outcome& outcome) {
    if (!outcome.applied) refusal_ = outcome.reason;
    return outcome.applied;
  }
  bool JumpToSection() {
    const int when = Int("when").value_or(1);
    if (when < 0 || when > 2) {
      refusal_ = "when: 0 (at once), 1 (next bar) or 2 (end of the section)";
      return false;
    }
    return Answer(
        Ops().JumpToSection(Int("index").value_or(-1), static_cast<show::JumpWhen>(when)));
  }
  bool SetAutoStartTime() const {
    const auto hour = Int("hour");
    const auto minute = Int("minute");
    return hour && minute && Ops().SetAutoStartTime(*hour, *minute);
  }

  const SystemView& s_;
  const protocol::DecodedCommand& decoded_;
  std::string refusal_;
};

std::optional<bool> Command::Run() {
  operations::UserOperations& ops = Ops();
  switch (decoded_.Id()) {
    // Window and mode commands.
    case CommandId::kPing:
      return false;
    case CommandId::kRequestState:
      return RequestState();
    case CommandId::kModeMenu:
    case CommandId::kExitOptions:
      ui::ShowModeSelectPage(Ui());
      return true;
    case CommandId::kOpenAbout:
      return OpenAbout();
    case CommandId::kOpenOptions:
      ui::ShowOptionsPage(Ui());
      return true;
    case CommandId::kOptionsLiveMarkers:
      return SetOption(&ui::PluginUI::showMarkerNames);
    case CommandId::kOptionsTimeSigBpm:
      return SetOption(&ui::PluginUI::showTimeSignatureAndBpm);
    case CommandId::kOptionsLink:
      return SetLinkOption();
    case CommandId::kClosePlugin:
      if (Window()) Window()->Destroy();
      return true;
    case CommandId::kOpenLiveSetup:
      ops.OpenSetup();
      return true;
    case CommandId::kExitMode:
      ops.ExitMode();
      return true;
    case CommandId::kModeLive:
      ops.EnterLiveMode();
      return true;
    case CommandId::kModePractise:
      ops.EnterPractiseMode();
      return true;
    case CommandId::kModeSoundCheck:
      ops.EnterSoundCheckMode();
      return true;

    // Live commands.
    case CommandId::kLivePlayNext:
      return ops.PlayNext();
    case CommandId::kLiveStop:
      ops.Stop();
      return true;
    case CommandId::kLiveReplay:
      ops.PlaySelected();
      return true;
    case CommandId::kLiveStartShow:
      return ops.StartShow();
    case CommandId::kLiveEndShow:
      ops.EndShow();
      return true;
    case CommandId::kLiveSelect:
      // A refusal during playback opens no message box: it would block the stage computer until
      // someone clicks it. The web remote hears the reason; the TCP remote stays silent.
      return WithInt("index", [&](int index) { return Answer(ops.SelectItem(index)); });
    case CommandId::kLiveVamp:
      if (const auto enabled = Bool("enabled")) return Answer(ops.SetVamp(*enabled));
      return false;
    case CommandId::kLiveJumpSection:
      return JumpToSection();
    case CommandId::kLiveNextSection:
      return Answer(ops.NextSection());
    case CommandId::kLivePreviousSection:
      return Answer(ops.PreviousSection());
    case CommandId::kLiveCancelJump:
      return Answer(ops.CancelJump());

    // Setlist setup.
    case CommandId::kSetupAddRegion:
      return WithInt("regionId", [&](int region) { return ops.AddSong(region); });
    case CommandId::kSetupAddPause:
      return ops.AddPause();
    case CommandId::kSetupRemove:
      return WithInt("index", [&](int index) { return ops.RemoveItem(index); });
    case CommandId::kSetupMoveUp:
      return WithInt("index", [&](int index) { return ops.MoveItemUp(index); });
    case CommandId::kSetupMoveDown:
      return WithInt("index", [&](int index) { return ops.MoveItemDown(index); });
    case CommandId::kSetupToggleAutoStart:
      return WithInt("index", [&](int index) { return ops.ToggleAutoStart(index); });
    case CommandId::kSetupNote:
      return SetNote();
    case CommandId::kSetupDuration:
      return WithInt("minutes", [&](int minutes) { return ops.SetShowDuration(minutes); });
    case CommandId::kSetupAutoStartShow:
      if (const auto enabled = Bool("enabled")) ops.SetAutoStartEnabled(*enabled);
      return true;
    case CommandId::kSetupAutoStartTime:
      return SetAutoStartTime();
    case CommandId::kProjectTrackMute:
      return SetTrack(&operations::UserOperations::SetTrackMute, "muted");
    case CommandId::kProjectTrackSolo:
      return SetTrack(&operations::UserOperations::SetTrackSolo, "soloed");

    // Practise.
    case CommandId::kPractisePlay:
      Answer(ops.StartPractise());
      return true;
    case CommandId::kPractiseStop:
      ops.StopPractise();
      return true;
    case CommandId::kPractiseLoop:
      if (const auto enabled = Bool("enabled")) ops.SetLoop(*enabled);
      return true;
    case CommandId::kPractiseRegion:
      return WithInt("index", [&](int region) { return s_.practise.SelectPractiseSong(region); });
    case CommandId::kPractiseStart:
      return WithInt("index",
                     [&](int choice) { return s_.practise.SetPractiseStartChoice(choice); });
    case CommandId::kPractiseStopPoint:
      return WithInt("index",
                     [&](int choice) { return s_.practise.SetPractiseStopChoice(choice); });
    case CommandId::kPractisePrecount:
      return WithInt("beats", [&](int beats) {
        ops.SetPrecount(beats);
        return true;
      });
    case CommandId::kPractiseRate: {
      const auto rate = Rate();
      return rate && s_.practise.SetPractiseRate(*rate);
    }
    case CommandId::kRigHandBack:
      // The core's own: the rig channel is beyond the remote layer.
      refusal_ = "Only a backup rig that leads can hand the show back.";
      return false;
  }
  return std::nullopt;
}

}  // namespace

CommandResult HandleRemoteCommand(const SystemView& system,
                                  const protocol::DecodedCommand& decoded) {
  Command command(system, decoded);
  const std::optional<bool> applied = command.Run();
  CommandResult result;
  if (!applied) return result;
  result.applied = *applied;
  result.refusal = command.Refusal();
  const protocol::Broadcast broadcast = decoded.Definition().broadcast;
  if (broadcast == protocol::Broadcast::kAlways ||
      (broadcast == protocol::Broadcast::kWhenApplied && *applied)) {
    // An earlier command of this tick may have moved the show without a broadcast of its own:
    // the document must not pair its live values with the snapshot of the last tick.
    system.engine.UpdateShowTiming();
    system.engine.SnapshotShowState();
    system.server.BroadcastState();
  }
  return result;
}

}  // namespace quorvane::remote
