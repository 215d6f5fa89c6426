#include "operations/user_operations.h"

#include <string_view>

#include "host/host_api.h"
#include "practise/track_manager.h"
#include "protocol/json_writer.h"
#include "show/setlist.h"
#include "ui/pages.h"
#include "ui/plugin_ui.h"

namespace quorvane::operations {
namespace {

// The host's global settings where the option is kept, beside the web remote's.
constexpr const char* kSettingsSection = "Quorvane";
constexpr const char* kLinkOptionKey = "linkEnabled";

}  // namespace

UserOperations::UserOperations(host::HostApi& host, ui::PluginUI& ui, show::Setlist& setlist,
                               show::ShowEngine& engine, practise::PractiseSession& practise)
    : host_(host), ui_(ui), setlist_(setlist), engine_(engine), practise_(practise) {}

// --- Modes and pages ---

void UserOperations::EnterLiveMode() {
  if (setlist_.Empty()) {
    ui::ShowSetupPage(ui_);
  } else {
    BackToLive();
  }
}

void UserOperations::EnterPractiseMode() {
  ui::ShowPractisePage(ui_, practise_);
}

void UserOperations::EnterSoundCheckMode() {
  ui::ShowSoundCheckPage(ui_, practise_);
}

void UserOperations::ExitMode() {
  engine_.ResetShow();
  engine_.ClearPlayed();
  engine_.ResetAutoStart();
  engine_.ResetAutoStartClock();
  ui::ShowModeSelectPage(ui_);
}

void UserOperations::OpenSetup() {
  ui::ShowSetupPage(ui_);
}

void UserOperations::BackToLive() {
  // A show not yet started offers to play the selected song.
  if (engine_.Status() == show::ShowStatus::kPrepared) {
    engine_.SetLiveTransport(show::LiveTransport::kSelected);
  }
  ui::ShowLivePage(ui_, practise_);
}

void UserOperations::WindowDestroyed() {
  engine_.ResetAutoStart();
}

// --- Options ---

bool UserOperations::SetLinkOption(bool enabled) {
  const bool changed = ui_.link.option != enabled;
  ui_.link.option = enabled;
  host_.SetExtState(kSettingsSection, kLinkOptionKey, enabled ? "1" : "0", true);
  return changed;
}

void UserOperations::LoadLinkOption() {
  const char* stored = host_.GetExtState(kSettingsSection, kLinkOptionKey);
  ui_.link.option = stored != nullptr && std::string_view(stored) == "1";
}

// --- Live ---

bool UserOperations::StartShow() {
  if (const auto passed = PassToLeader(R"({"cmd":"LIVE_START_SHOW"})")) return passed->applied;
  if (!setlist_.Empty()) setlist_.SetCurrentIndex(0, host_);
  const bool started = engine_.StartShow();
  SyncViews();
  return started;
}

void UserOperations::EndShow() {
  if (PassToLeader(R"({"cmd":"LIVE_END_SHOW"})")) return;
  engine_.EndShow();
  engine_.SnapshotShowState();
  practise_.ResetRateToNormal();
  ui_.page = ui::UiPage::kLive;
  if (engine_.Status() == show::ShowStatus::kPrepared) {
    engine_.SetLiveTransport(show::LiveTransport::kSelected);
  }
  listeners_.Tell([](OperationsListener& views) { views.ShowEnded(); });
  ui::SyncWindowState(ui_, engine_.Snapshot());
}

bool UserOperations::PlayNext() {
  if (const auto passed = PassToLeader(R"({"cmd":"LIVE_PLAY_NEXT"})")) return passed->applied;
  return engine_.PlayNext();
}

void UserOperations::Stop() {
  if (PassToLeader(R"({"cmd":"LIVE_STOP"})")) return;
  engine_.StopLive();
  SyncViews();
}

void UserOperations::StopPlayback() {
  if (PassToLeader(R"({"cmd":"LIVE_STOP"})")) return;
  engine_.StopPlayback();
  SyncViews();
}

void UserOperations::PlaySelected() {
  if (PassToLeader(R"({"cmd":"LIVE_REPLAY"})")) return;
  engine_.PlayCurrent();
  SyncViews();
}

host::Outcome UserOperations::SelectItem(int32_t index) {
  if (const auto passed = PassToLeader(Line("LIVE_SELECT", "index", index))) return *passed;
  return engine_.SelectSong(index);
}

host::Outcome UserOperations::SetVamp(bool enabled) {
  if (const auto passed = PassToLeader(std::string(R"({"cmd":"LIVE_VAMP","enabled":)") +
                                       (enabled ? "true}" : "false}")))
    return *passed;
  return AfterLiveControl(engine_.SetVamp(enabled));
}

host::Outcome UserOperations::JumpToSection(int32_t index, show::JumpWhen when) {
  if (const auto passed =
          PassToLeader(R"({"cmd":"LIVE_JUMP_SECTION","index":)" + std::to_string(index) +
                       R"(,"when":)" + std::to_string(static_cast<int>(when)) + "}"))
    return *passed;
  return AfterLiveControl(engine_.JumpToSection(index, when));
}

host::Outcome UserOperations::NextSection() {
  if (const auto passed = PassToLeader(R"({"cmd":"LIVE_NEXT_SECTION"})")) return *passed;
  return AfterLiveControl(engine_.NextSection());
}

host::Outcome UserOperations::PreviousSection() {
  if (const auto passed = PassToLeader(R"({"cmd":"LIVE_PREVIOUS_SECTION"})")) return *passed;
  return AfterLiveControl(engine_.PreviousSection());
}

host::Outcome UserOperations::CancelJump() {
  if (const auto passed = PassToLeader(R"({"cmd":"LIVE_CANCEL_JUMP"})")) return *passed;
  return AfterLiveControl(engine_.CancelJump());
}

std::string UserOperations::Line(std::string_view command, std::string_view field, int32_t value) {
  std::string line = R"({"cmd":")";
  line.append(command).append(R"(",")").append(field).append("\":");
  line += std::to_string(value);
  line += '}';
  return line;
}

std::optional<host::Outcome> UserOperations::PassToLeader(const std::string& line) {
  if (!leaderPass_) return std::nullopt;
  const std::optional<std::string> refusal = leaderPass_(line);
  if (!refusal) return std::nullopt;
  return refusal->empty() ? host::Outcome::Applied() : host::Outcome::Refused(*refusal);
}

host::Outcome UserOperations::AfterLiveControl(host::Outcome outcome) {
  if (outcome.applied) SyncViews();
  return outcome;
}

// --- Setlist setup ---

bool UserOperations::AddSong(int32_t regionId) {
  if (const auto passed = PassToLeader(Line("SETUP_ADD_REGION", "regionId", regionId)))
    return passed->applied;
  return AfterSetlistEdit(setlist_.AddRegionToSetlist(regionId));
}

bool UserOperations::AddPause() {
  if (const auto passed = PassToLeader(R"({"cmd":"SETUP_ADD_PAUSE"})")) return passed->applied;
  return AfterSetlistEdit(setlist_.AddPause());
}

bool UserOperations::RemoveItem(int32_t index) {
  if (const auto passed = PassToLeader(Line("SETUP_REMOVE", "index", index)))
    return passed->applied;
  return AfterSetlistEdit(setlist_.RemoveItem(index));
}

bool UserOperations::MoveItemUp(int32_t index) {
  if (const auto passed = PassToLeader(Line("SETUP_MOVE_UP", "index", index)))
    return passed->applied;
  return AfterSetlistEdit(setlist_.MoveItemUp(index));
}

bool UserOperations::MoveItemDown(int32_t index) {
  if (const auto passed = PassToLeader(Line("SETUP_MOVE_DOWN", "index", index)))
    return passed->applied;
  return AfterSetlistEdit(setlist_.MoveItemDown(index));
}

bool UserOperations::ToggleAutoStart(int32_t index) {
  if (const auto passed = PassToLeader(Line("SETUP_TOGGLE_AUTOSTART", "index", index)))
    return passed->applied;
  return AfterSetlistEdit(setlist_.ToggleAutoStart(index));
}

bool UserOperations::SetNote(int32_t index, std::string note) {
  if (leaderPass_) {
    std::string line = R"({"cmd":"SETUP_NOTE","index":)" + std::to_string(index) + R"(,"note":)";
    protocol::AppendJsonString(line, note);
    line += '}';
    if (const auto passed = PassToLeader(line)) return passed->applied;
  }
  if (setlist_.IsValidIndex(index) && setlist_.At(index).note == note) return true;
  if (!setlist_.SetNote(index, std::move(note))) return false;
  engine_.SaveSetlist();
  MarkProjectDirty();
  return true;
}

bool UserOperations::AfterSetlistEdit(bool edited) {
  if (!edited) return false;
  engine_.SaveSetlist();
  MarkProjectDirty();
  ui::ShowSetupPage(ui_);
  return true;
}

bool UserOperations::SetShowDuration(int32_t minutes) {
  if (const auto passed = PassToLeader(Line("SETUP_DURATION", "minutes", minutes)))
    return passed->applied;
  if (minutes < 5) return false;
  engine_.SetShowDuration(static_cast<double>(minutes) * 60.0);
  engine_.SaveSetlist();
  MarkProjectDirty();
  // The excess notice follows the new set time at once.
  listeners_.Tell([](OperationsListener& views) { views.ShowDurationChanged(); });
  SyncViews();
  return true;
}

void UserOperations::SetAutoStartEnabled(bool enabled) {
  engine_.SetAutoStartEnabled(enabled);
}

bool UserOperations::SetAutoStartTime(int hour, int minute) {
  return engine_.SetAutoStartTime(hour, minute);
}

// --- Practise ---

host::Outcome UserOperations::StartPractise() {
  host::Outcome outcome = practise_.StartPractise();
  engine_.SnapshotShowState();
  RefreshPractiseDisplay();
  return outcome;
}

void UserOperations::StopPractise() {
  practise_.StopPractise();
  RefreshPractiseDisplay();
}

void UserOperations::SetLoop(bool on) {
  practise::PractiseSelection& selection = practise_.Selection();
  if (selection.loopEnabled == on) return;
  selection.loopEnabled = on;
  listeners_.Tell([on](OperationsListener& views) { views.LoopSwitched(on); });
  practise_.OnLoopToggled();
}

void UserOperations::SetPrecount(int32_t beats) {
  practise_.SetPractisePrecount(beats);
}

void UserOperations::RefreshPractiseDisplay() {
  if (listeners_.Empty()) return;  // the position is read only for someone to show it
  const double position = host_.GetPlayPositionSafe();
  listeners_.Tell(
      [&](OperationsListener& views) { views.PractiseDisplayChanged(practise_.Run(), position); });
}

// --- Sound check ---

bool UserOperations::SetTrackMute(int32_t trackIndex, bool muted) {
  if (!practise::SetTrackMute(host_, trackIndex, muted)) return false;
  MarkProjectDirty();
  return true;
}

bool UserOperations::SetTrackSolo(int32_t trackIndex, bool soloed) {
  if (!practise::SetTrackSolo(host_, trackIndex, soloed)) return false;
  MarkProjectDirty();
  return true;
}

practise::BackingTrackRows UserOperations::BackingTracks() const {
  return practise::ListProjectTracks(host_);
}

// --- Shared steps ---

void UserOperations::MarkProjectDirty() {
  host_.MarkProjectDirty(nullptr);
}

void UserOperations::SyncViews() {
  engine_.SnapshotShowState();
  ui::SyncWindowState(ui_, engine_.Snapshot());
}

}  // namespace quorvane::operations
