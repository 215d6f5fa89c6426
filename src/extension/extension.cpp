#include "extension/extension.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/host_seams.h"
#include "platform/menu.h"
#include "platform/own_code_scope.h"

namespace quorvane::extension {
namespace {

const platform::WakeSource* SimulatedWake(reaper_plugin_info_t* rec) {
  return static_cast<const platform::WakeSource*>(rec->GetFunc(platform::kMainThreadWakeName));
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

core::CoreOptions CoreOptionsFor(const reaper_plugin_info_t& rec) {
  core::CoreOptions options;
  options.hostMainWindow = rec.hwnd_main;
  return options;
}

}  // namespace

Extension* Extension::current_ = nullptr;

Extension::Extension(HINSTANCE instance, reaper_plugin_info_t* rec)
    : instance_(instance),
      rec_(rec),
      core_(rec->GetFunc, CoreOptionsFor(*rec)),
      registrations_(rec->Register) {}

Extension::~Extension() {
  // The window's procedure lives in this library: the window and its class go first.
  window_.reset();
  core_.Shutdown();  // no thread posts any more, and a wake still queued finds nothing to do
  core_.AttachWake(nullptr);
  wake_.reset();
  registrations_.UnregisterAll();
  rec_ = nullptr;
}

bool Extension::Load() {
  wake_ =
      std::make_unique<platform::MainThreadWake>(SimulatedWake(rec_), &Extension::WakeThunk, this);
  core_.AttachWake(wake_.get());
  if (!core_.Init()) {
    ReportMissingFunctions();
    return false;
  }
  window_ = ui::CreateWindowHost(
      ui::WindowContext{core_.Host(), core_.Ui(), core_.Setlist(), core_.Engine(), core_.Practise(),
                        core_.Operations(), core_.Messages(), instance_, &core_.Web()});

  if (!registrations_.Add("timer", reinterpret_cast<void*>(&Extension::TimerThunk))) return false;
  if (!RegisterAction(Action::kShowWindow)) return false;
  if (!registrations_.Add("hookcustommenu",
                          reinterpret_cast<void*>(&Extension::HookCustomMenuThunk))) {
    return false;
  }
  core_.Host().AddExtensionsMainMenu();
  for (size_t i = 1; i < kActions.size(); ++i) {
    if (!RegisterAction(static_cast<Action>(i))) return false;
  }
  if (!registrations_.Add("hookcommand", reinterpret_cast<void*>(&Extension::HookCommandThunk)))
    return false;
  // Only a light on a controller depends on it: a host without it still runs the actions.
  registrations_.Add("toggleaction", reinterpret_cast<void*>(&Extension::ToggleActionThunk));
  return true;
}

void Extension::ReportMissingFunctions() {
  const std::vector<const char*>& missing = core_.Host().MissingRequired();
  std::string names;
  for (const char* name : missing) {
    if (!names.empty()) names += ", ";
    names += std::string("\"") + name + "\"";
  }
  const std::string text = "Quorvane could not be loaded: the host lacks the function" +
                           std::string(missing.size() > 1 ? "s " : " ") + names +
                           " that it needs. A newer version of the host may offer " +
                           (missing.size() > 1 ? "them." : "it.");
  core_.Messages().Show(core_.Host().MainWindow(), text, "Quorvane", platform::MessageIcon::kError);
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
  core_.Tick();
}

bool Extension::OnHookCommand(int command, int /*flag*/) {
  for (size_t i = 0; i < commandIds_.size(); ++i) {
    if (commandIds_[i] != 0 && commandIds_[i] == command) {
      try {
        RunAction(static_cast<Action>(i));
      } catch (...) {
        // The action is ours even when it fails; the host must not run anything else for it.
        core_.Failures().ReportCurrentException(std::string("the action ") +
                                                kActions[i].commandName);
      }
      return true;
    }
  }
  return false;
}

void Extension::RunAction(Action action) {
  // The host's actions are user operations like every other surface's (so on a rig that follows
  // another they act on the leading rig's show); ending a show that is not running leaves the
  // pages and the practise rate alone, as the action always did.
  operations::UserOperations& operations = core_.Operations();
  switch (action) {
    case Action::kShowWindow:
      if (window_) window_->OpenOrToggleWindow();
      break;
    case Action::kShowSetlist:
      core_.Host().ShowConsoleMsg(SetlistReport().c_str());
      break;
    case Action::kEnginePlayCurrent:
      operations.PlaySelected();
      break;
    case Action::kEnginePlayNext:
      operations.PlayNext();
      break;
    case Action::kEngineStop:
      operations.StopPlayback();
      break;
    case Action::kStartShow:
      operations.StartShow();
      break;
    case Action::kEndShow:
      if (core_.Engine().Status() == show::ShowStatus::kLive) operations.EndShow();
      break;
    case Action::kShowState:
      core_.Host().ShowConsoleMsg(ShowStateReport().c_str());
      break;
    case Action::kVampSection:
      operations.SetVamp(!core_.Engine().Sections().Vamping());
      break;
    case Action::kNextSection:
      operations.NextSection();
      break;
    case Action::kPreviousSection:
      operations.PreviousSection();
      break;
    case Action::kCancelJump:
      operations.CancelJump();
      break;
  }
}

int Extension::ToggleState(int command) {
  if (command == 0 || command != commandIds_[static_cast<size_t>(Action::kVampSection)]) return -1;
  return core_.Engine().Sections().Vamping() ? 1 : 0;
}

std::string Extension::SetlistReport() {
  const show::Setlist& setlist = core_.Setlist();
  std::string report;
  char line[160];
  std::snprintf(line, sizeof line,
                "\n=== QUORVANE ===\nSETLIST\n---------------------------\nTotal: %zu\n"
                "Current Index: %d\n\n",
                setlist.Items().size(), setlist.CurrentIndex());
  report += line;
  for (size_t i = 0; i < setlist.Items().size(); ++i) {
    const bool current = static_cast<int32_t>(i) == setlist.CurrentIndex();
    std::snprintf(line, sizeof line, "%zu. Region ID: %d%s\n", i + 1, setlist.Items()[i].regionId,
                  current ? "  <-- CURRENT" : "");
    report += line;
  }
  return report;
}

std::string Extension::ShowStateReport() {
  const show::ShowEngine& engine = core_.Engine();
  const show::ShowRecord& show = engine.Record();
  char text[640];
  std::snprintf(text, sizeof text,
                "\n=== SHOW STATE ===\nStatus: %s\nCurrent Index: %d\nPlaying: %s\n\n"
                "Show Duration: %.1f\nElapsed: %.1f\nShow Remaining: %.1f\n"
                "Playback Remaining: %.1f\nHas Delay: %s\nDelay: %.1f\n==================\n",
                show::ShowStatusName(show.status), show.showCurrentIndex,
                engine.Player().Playing() ? "YES" : "NO", show.duration, show.elapsed,
                show.showRemaining, show.playbackRemaining, show.hasDelay ? "YES" : "NO",
                show.delay);
  return text;
}

void Extension::OnHookCustomMenu(const char* menuId, HMENU menu, int flag) {
  if (!menuId || !menu || flag != 0) return;
  if (!EqualsIgnoringCase(menuId, host::kExtensionsMenuId)) return;
  const int showWindowId = commandIds_[static_cast<size_t>(Action::kShowWindow)];
  if (showWindowId <= 0) return;
  const int count = platform::MenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    if (platform::MenuItemId(menu, i) == showWindowId) return;
  }
  platform::AppendMenuItem(menu, showWindowId, host::kMenuText);
}

void Extension::ReportFailure(const char* where) noexcept {
  if (current_) current_->core_.Failures().ReportCurrentException(where);
}

void Extension::TimerThunk() noexcept {
  try {
    if (current_) current_->OnTimer();
  } catch (...) {
    // A failing tick must not take the host down; the next tick tries again.
    ReportFailure("the timer tick");
  }
}

bool Extension::HookCommandThunk(int command, int flag) noexcept {
  try {
    const platform::OwnCodeScope ours;
    return current_ && current_->OnHookCommand(command, flag);
  } catch (...) {
    ReportFailure("the command hook");
    return false;
  }
}

int Extension::ToggleActionThunk(int command) noexcept {
  try {
    const platform::OwnCodeScope ours;
    return current_ ? current_->ToggleState(command) : -1;
  } catch (...) {
    ReportFailure("the toggle state");
    return -1;
  }
}

void Extension::HookCustomMenuThunk(const char* menuId, HMENU menu, int flag) noexcept {
  try {
    const platform::OwnCodeScope ours;
    if (current_) current_->OnHookCustomMenu(menuId, menu, flag);
  } catch (...) {
    // The menu simply goes without our item.
    ReportFailure("the menu hook");
  }
}

void Extension::WakeThunk(void* target, int reason) noexcept {
  try {
    static_cast<Extension*>(target)->core_.OnWake(static_cast<platform::WakeReason>(reason));
  } catch (...) {
    // The tick runs whatever was left.
    static_cast<Extension*>(target)->core_.Failures().ReportCurrentException("the wake");
  }
}

}  // namespace quorvane::extension
