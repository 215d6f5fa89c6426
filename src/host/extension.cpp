#include "host/extension.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/host_seams.h"
#include "platform/menu.h"
#include "remote/command_handler.h"
#include "remote/state_document.h"
#include "show/callback_binding.h"
#include "show/pages.h"

namespace quorvane::host {
namespace {

const platform::ClockSource* SimulatedClock(reaper_plugin_info_t* rec) {
  return static_cast<const platform::ClockSource*>(rec->GetFunc(platform::kClockSourceName));
}

const platform::MessageSink* SimulatedMessages(reaper_plugin_info_t* rec) {
  return static_cast<const platform::MessageSink*>(rec->GetFunc(platform::kMessageSinkName));
}

bool EqualsIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    const auto lower = [](char c) {
      return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    };
    if (lower(*a) != lower(*b)) return false;
  }
  return *a == *b;
}

}  // namespace

Extension* Extension::current_ = nullptr;

Extension::Extension(HINSTANCE instance, reaper_plugin_info_t* rec)
    : instance_(instance),
      rec_(rec),
      clock_(SimulatedClock(rec)),
      messages_(SimulatedMessages(rec)),
      projects_(rec->GetFunc),
      practise_(host_, clock_, messages_, ui_, &countIn_),
      engine_(host_, clock_, messages_, setlist_, ui_, practise_),
      system_{host_, ui_, setlist_, engine_, practise_, server_},
      registrations_(rec->Register) {}

Extension::~Extension() {
  // The window's procedure lives in this library: the window and its class go first.
  window_.reset();
  host_.RestorePitchShiftMode();
  server_.Stop();
  practise_.StopPractise();
  registrations_.UnregisterAll();
  rec_ = nullptr;
}

bool Extension::Load() {
  countIn_.SetPreviewFunctions(practise::BindPreviewFunctions(rec_->GetFunc));
  if (!host_.Bind(rec_->GetFunc)) return false;
  engine_.InitShowEngine();
  show::ConfigurePluginUI(ui_, setlist_, engine_, practise_, host_);
  window_ = ui::CreateWindowHost(
      ui::WindowContext{host_, ui_, setlist_, engine_, practise_, messages_, instance_});
  server_.SetCommandHandler(
      [this](const std::string& line) { remote::HandleRemoteCommand(system_, line); });
  server_.SetStateProvider([this] { return remote::BuildStateDocument(system_); });
  server_.Start();  // without the server the extension still runs, only not remotely

  if (!registrations_.Add("timer", reinterpret_cast<void*>(&Extension::TimerThunk))) return false;
  if (!RegisterAction(Action::kShowWindow)) return false;
  if (!registrations_.Add("hookcustommenu",
                          reinterpret_cast<void*>(&Extension::HookCustomMenuThunk))) {
    return false;
  }
  auto addMenu =
      reinterpret_cast<hostfn::AddExtensionsMainMenu>(rec_->GetFunc("AddExtensionsMainMenu"));
  if (!addMenu) return false;
  addMenu();
  for (size_t i = 1; i < kActions.size(); ++i) {
    if (!RegisterAction(static_cast<Action>(i))) return false;
  }
  return registrations_.Add("hookcommand", reinterpret_cast<void*>(&Extension::HookCommandThunk));
}

bool Extension::RegisterAction(Action action) {
  const auto index = static_cast<size_t>(action);
  const int id = registrations_.AddCommandId(kActions[index].commandName);
  if (id == 0) return false;
  commandIds_[index] = id;
  gaccel_register_t& accel = accelerators_[index];
  accel.accel = HostAccel{0, 0, static_cast<unsigned short>(id)};
  accel.desc = kActions[index].description;
  return registrations_.Add("gaccel", &accel);
}

void Extension::OnTimer() {
  TrackProject();
  server_.SetProjectName(projects_.DisplayName());
  server_.DispatchRemoteCommands();
  engine_.Tick();
  if (practise_.Run().active) practise_.PractiseTick();
  engine_.UpdateShowTiming();
  engine_.SnapshotShowState();
  show::SyncWindowState(ui_, engine_.Snapshot());
  if (ui_.window) {
    const practise::PractiseRun& run = practise_.Run();
    ui_.window->RefreshPractiseStatus(run.active, run.countingIn, run.playing,
                                      host_.GetPlayPositionSafe());
  }
  server_.BroadcastState();
}

void Extension::TrackProject() {
  switch (projects_.Poll()) {
    case ProjectTracker::Change::kNone:
      return;
    case ProjectTracker::Change::kClosed:
      engine_.ResetForProjectChange();
      break;
    case ProjectTracker::Change::kOpened:
      engine_.ResetForProjectChange();
      engine_.InitShowEngine();
      break;
  }
  show::ShowModeSelectPage(ui_);
}

bool Extension::OnHookCommand(int command, int /*flag*/) {
  for (size_t i = 0; i < commandIds_.size(); ++i) {
    if (commandIds_[i] != 0 && commandIds_[i] == command) {
      try {
        RunAction(static_cast<Action>(i));
      } catch (...) {
        // The action is ours even when it fails; the host must not run anything else for it.
      }
      return true;
    }
  }
  return false;
}

void Extension::RunAction(Action action) {
  switch (action) {
    case Action::kShowWindow:
      if (window_) window_->OpenOrToggleWindow();
      break;
    case Action::kShowSetlist:
      host_.ShowConsoleMsg(SetlistReport().c_str());
      break;
    case Action::kEnginePlayCurrent:
      engine_.PlayCurrent();
      break;
    case Action::kEnginePlayNext:
      engine_.PlayNext();
      break;
    case Action::kEngineStop:
      engine_.StopPlayback();
      break;
    case Action::kStartShow:
      engine_.StartShow();
      break;
    case Action::kEndShow:
      engine_.EndShow();
      break;
    case Action::kShowState:
      host_.ShowConsoleMsg(ShowStateReport().c_str());
      break;
  }
}

std::string Extension::SetlistReport() const {
  std::string report;
  char line[160];
  std::snprintf(line, sizeof line,
                "\n=== QUORVANE ===\nSETLIST\n---------------------------\nTotal: %zu\n"
                "Current Index: %d\n\n",
                setlist_.Items().size(), setlist_.CurrentIndex());
  report += line;
  for (size_t i = 0; i < setlist_.Items().size(); ++i) {
    const bool current = static_cast<int32_t>(i) == setlist_.CurrentIndex();
    std::snprintf(line, sizeof line, "%zu. Region ID: %d%s\n", i + 1, setlist_.Items()[i].regionId,
                  current ? "  <-- CURRENT" : "");
    report += line;
  }
  return report;
}

std::string Extension::ShowStateReport() const {
  const show::ShowRecord& show = engine_.Record();
  char text[640];
  std::snprintf(text, sizeof text,
                "\n=== SHOW STATE ===\nStatus: %s\nCurrent Index: %d\nPlaying: %s\n\n"
                "Show Duration: %.1f\nElapsed: %.1f\nShow Remaining: %.1f\n"
                "Playback Remaining: %.1f\nHas Delay: %s\nDelay: %.1f\n==================\n",
                ui::ShowStatusName(show.status), show.showCurrentIndex,
                engine_.Player().Playing() ? "YES" : "NO", show.duration, show.elapsed,
                show.showRemaining, show.playbackRemaining, show.hasDelay ? "YES" : "NO",
                show.delay);
  return text;
}

void Extension::OnHookCustomMenu(const char* menuId, HMENU menu, int flag) {
  if (!menuId || !menu || flag != 0) return;
  if (!EqualsIgnoringCase(menuId, kExtensionsMenuId)) return;
  const int showWindowId = commandIds_[static_cast<size_t>(Action::kShowWindow)];
  if (showWindowId <= 0) return;
  const int count = platform::MenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    if (platform::MenuItemId(menu, i) == showWindowId) return;
  }
  platform::AppendMenuItem(menu, showWindowId, kMenuText);
}

void Extension::TimerThunk() noexcept {
  try {
    if (current_) current_->OnTimer();
  } catch (...) {
    // A failing tick must not take the host down; the next tick tries again.
  }
}

bool Extension::HookCommandThunk(int command, int flag) noexcept {
  try {
    return current_ && current_->OnHookCommand(command, flag);
  } catch (...) {
    return false;
  }
}

void Extension::HookCustomMenuThunk(const char* menuId, HMENU menu, int flag) noexcept {
  try {
    if (current_) current_->OnHookCustomMenu(menuId, menu, flag);
  } catch (...) {
    // The menu simply goes without our item.
  }
}

}  // namespace quorvane::host
